#pragma once
// A mail server for tests: a local SMTP sink (python3-aiosmtpd writing a Maildir) on a free
// loopback port, and a sendmail-compatible command (msmtp) that delivers to it.
//
//     SmtpSink sink;                          // starts the server; a failure fails the test
//     qputenv("VELLACORD_SENDMAIL", sink.sendmailCommand().toUtf8());
//     ... send ...
//     QList<QByteArray> mails = sink.WaitForMessages(1);
//
// The received messages are raw RFC 5322 text with three headers the server adds: X-Peer,
// X-MailFrom (the envelope sender) and X-RcptTo (the envelope recipients, comma-separated).

#include <QByteArray>
#include <QList>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

class SmtpSink {
public:
    SmtpSink();
    ~SmtpSink();
    SmtpSink(const SmtpSink&) = delete;
    SmtpSink& operator=(const SmtpSink&) = delete;

    // True when the server accepts connections.
    bool running() const { return running_; }
    int port() const { return port_; }

    // An executable that takes sendmail's options (-t -oi …) and the message on its standard input.
    QString sendmailCommand() const;

    // The messages received so far, oldest first, once there are at least `count` of them or
    // `timeoutMs` has passed.
    QList<QByteArray> WaitForMessages(int count, int timeoutMs = 10000) const;

private:
    QTemporaryDir folder_;
    QProcess server_;
    int port_ = 0;
    bool running_ = false;
};
