#pragma once
// The system-wide hotkey that starts a new defect: a key grab on the X11 root window. Where
// there is no X11 display (Wayland, other systems) the setting is kept and the key stays idle.

#include <QAbstractNativeEventFilter>
#include <QObject>

#include <cstdint>

class QtHotkey : public QObject, public QAbstractNativeEventFilter {
    Q_OBJECT
public:
    explicit QtHotkey(QObject* parent = nullptr);
    ~QtHotkey() override;

    // Grabs the key of a hot-key value (key code in the low byte; shift 1, control 2, alt 4 in
    // the high byte) in place of the previous one. False when the desktop offers no key grab,
    // the key is unknown, or another program holds it.
    bool Register(int hotkey);
    void Unregister();
    bool registered() const { return keycode_ != 0; }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

signals:
    void pressed();

private:
    std::uint8_t keycode_ = 0;
    std::uint16_t modifiers_ = 0;
};
