#pragma once
// Sending a notification through the workstation's sendmail interface (msmtp, Postfix, Exim,
// nullmailer all provide one).

#include <QString>

namespace mail {

struct MailEnvironment;
struct Notification;

inline constexpr const char* kDefaultSendmail = "/usr/sbin/sendmail";
inline constexpr const char* kSendmailVariable = "VELLACORD_SENDMAIL";

// The program named by VELLACORD_SENDMAIL, else /usr/sbin/sendmail.
QString SendmailProgram();

// True when sendmail accepted the message (exit status 0); a failure has been told. The first
// mail of a computer is a test: the user is told before and asked afterwards whether it arrived.
bool SendBySystemMail(const Notification& notification, MailEnvironment& environment);

} // namespace mail
