// The test mail server and its sendmail command.

#include "support/SmtpSink.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QThread>

#include <algorithm>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace {

// A loopback socket on port 0, asked for its number and closed; or connected to `port`.
int LoopbackSocket(int port, bool connectToIt)
{
    const int socketFd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (socketFd < 0)
        return -1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    auto* generic = reinterpret_cast<sockaddr*>(&address);
    int result = -1;
    if (connectToIt) {
        result = ::connect(socketFd, generic, sizeof address) == 0 ? port : -1;
    } else if (::bind(socketFd, generic, sizeof address) == 0) {
        socklen_t length = sizeof address;
        if (::getsockname(socketFd, generic, &length) == 0)
            result = ntohs(address.sin_port);
    }
    ::close(socketFd);
    return result;
}

bool WriteFile(const QString& path, const QByteArray& text, QFileDevice::Permissions permissions)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(text) == text.size() &&
        file.setPermissions(permissions);
}

// Maildir names begin "<seconds>.M<microseconds>P…": the time of delivery.
std::pair<qint64, qint64> ArrivalKey(const QString& name)
{
    static const QRegularExpression time(QStringLiteral("^(\\d+)\\.M(\\d+)"));
    const QRegularExpressionMatch match = time.match(name);
    return {match.captured(1).toLongLong(), match.captured(2).toLongLong()};
}

} // namespace

SmtpSink::SmtpSink()
{
    port_ = LoopbackSocket(0, false);
    const QString mailbox = folder_.filePath(QStringLiteral("maildir"));
    server_.setProgram(QStringLiteral("/usr/bin/python3"));
    server_.setArguments({QStringLiteral("-m"), QStringLiteral("aiosmtpd"), QStringLiteral("-n"), QStringLiteral("-l"),
                          QStringLiteral("127.0.0.1:%1").arg(port_), QStringLiteral("-c"),
                          QStringLiteral("aiosmtpd.handlers.Mailbox"), mailbox});
    server_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    server_.start();
    server_.waitForStarted();
    const QDeadlineTimer deadline(10000);
    while (server_.state() == QProcess::Running && !deadline.hasExpired() && !running_) {
        running_ = LoopbackSocket(port_, true) == port_;
        if (!running_)
            QThread::msleep(50);
    }
    EXPECT_TRUE(running_) << "the SMTP sink (python3-aiosmtpd) did not start on port " << port_;

    // msmtp refuses a configuration that others may read.
    const QString config = folder_.filePath(QStringLiteral("msmtprc"));
    WriteFile(config,
              QStringLiteral("defaults\nauth off\ntls off\naccount default\nhost 127.0.0.1\nport %1\n"
                             "from vellacord-test@localhost\n")
                  .arg(port_)
                  .toUtf8(),
              QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    WriteFile(
        sendmailCommand(),
        QStringLiteral("#!/bin/sh\nexec /usr/bin/msmtp -C '%1' --read-envelope-from \"$@\"\n").arg(config).toUtf8(),
        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

SmtpSink::~SmtpSink()
{
    server_.kill();
    server_.waitForFinished(5000);
}

QString SmtpSink::sendmailCommand() const
{
    return folder_.filePath(QStringLiteral("sendmail"));
}

QList<QByteArray> SmtpSink::WaitForMessages(int count, int timeoutMs) const
{
    const QDir arrived(folder_.filePath(QStringLiteral("maildir/new")));
    const QDeadlineTimer deadline(timeoutMs);
    QList<QByteArray> messages;
    for (;;) {
        QFileInfoList files = arrived.entryInfoList(QDir::Files);
        std::sort(files.begin(), files.end(), [](const QFileInfo& a, const QFileInfo& b) {
            return ArrivalKey(a.fileName()) < ArrivalKey(b.fileName());
        });
        if (files.size() >= count || deadline.hasExpired()) {
            for (const QFileInfo& file : files) {
                QFile message(file.filePath());
                if (message.open(QIODevice::ReadOnly))
                    messages << message.readAll();
            }
            return messages;
        }
        QThread::msleep(50);
    }
}
