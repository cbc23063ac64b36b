#pragma once
// Desktop notifications through the freedesktop service org.freedesktop.Notifications on the
// session bus, with one action that opens the main window.

#include <QObject>
#include <QString>

class QtNotifications : public QObject {
    Q_OBJECT
public:
    explicit QtNotifications(QObject* parent = nullptr);

    // Sends the notification; each one replaces the previous. false at once without a session
    // bus; a desktop without the service answers later with failed().
    bool Show(const QString& summary, const QString& body, const QString& openLabel);

signals:
    void openRequested();
    void failed();

private slots:
    void OnActionInvoked(uint id, const QString& action);

private:
    uint lastId_ = 0;
};
