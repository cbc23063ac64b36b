#pragma once
// The notification-area icon's states: which icon it shows, its tip, and the blink after new
// entries. The window that draws the icon follows iconChanged.

#include <QObject>
#include <QString>
#include <QTimer>

class TrayIconStates : public QObject {
    Q_OBJECT
public:
    enum State {
        kNoIcon = 0,
        kNormal = 1,
        kAlert = 2, // new entries waiting, or the database offline
        kStartBlinking = 3,
        kBlinkPhaseOne = 4,
        kBlinkPhaseTwo = 5,
        kKeep = 6, // only the tip changes
    };
    // Icon resource ids.
    static constexpr int kNormalIcon = 220;
    static constexpr int kNewEntriesIcon = 192;
    static constexpr int kBlinkTimerId = 6002;
    static constexpr int kBlinkIntervalMs = 500;
    static constexpr int kBlinkCount = 10;
    static constexpr int kMaxTipLength = 63;

    explicit TrayIconStates(QObject* parent = nullptr);

    // Shows the icon in its current state (the normal one after none) or removes it.
    void SetTrayIcon(bool on, const QString& tip);
    // Remembers the state and shows it when the icon is shown.
    void SetTrayState(int state, const QString& tip);
    // One tick of the blink timer.
    void BlinkStep();

    bool shown() const { return shown_; }
    int state() const { return state_; }
    int icon() const { return icon_; }
    const QString& tip() const { return tip_; }
    int blinkCountdown() const { return blinkCountdown_; }
    bool blinking() const { return blinkTimer_.isActive(); }

signals:
    // shown(), icon() and tip() tell what the notification area should show now.
    void iconChanged();

private:
    // Applies a state: picks its icon and the state that follows it.
    void Apply(int state);
    void StopBlinking();

    QTimer blinkTimer_;
    bool shown_ = false;
    int state_ = kNormal;
    int icon_ = kNormalIcon;
    int blinkCountdown_ = 0;
    QString tip_;
};
