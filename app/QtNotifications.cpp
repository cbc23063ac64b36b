// The notification service's Notify call and its ActionInvoked signal.

#include "app/QtNotifications.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kOpenAction = QStringLiteral("default");
constexpr int kServerDefaultTimeout = -1;

} // namespace

QtNotifications::QtNotifications(QObject* parent) : QObject(parent)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected())
        bus.connect(kService, kPath, kService, QStringLiteral("ActionInvoked"), this,
                    SLOT(OnActionInvoked(uint, QString)));
}

bool QtNotifications::Show(const QString& summary, const QString& body, const QString& openLabel)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("Notify"));
    const QVariantMap hints{{QStringLiteral("desktop-entry"), QStringLiteral("vellacord")}};
    // The "default" action is a click on the notification; servers that draw buttons show its label.
    call << QStringLiteral("Vellacord") << lastId_ << QStringLiteral("vellacord") << summary << body
         << QStringList{kOpenAction, openLabel} << hints << kServerDefaultTimeout;
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* finished) {
        const QDBusPendingReply<uint> reply = *finished;
        if (reply.isError())
            emit failed();
        else
            lastId_ = reply.value();
        finished->deleteLater();
    });
    return true;
}

void QtNotifications::OnActionInvoked(uint id, const QString& action)
{
    if (id == lastId_ && action == kOpenAction)
        emit openRequested();
}
