#pragma once
// The notification as an Internet mail message, for the workstation's sendmail interface.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>

namespace mail {

struct Notification;

// The addresses of a recipient text: split at every blank, comma and semicolon, empty pieces skipped.
QStringList SplitRecipients(const QString& recipients);

// The Message-ID (without angle brackets) that every notification of one defect refers to, so
// that mail programs show them as one thread. It depends on the database's name and the defect's
// opening time, which are the same on every workstation whatever path the share is mounted at.
QString ThreadRoot(const QString& databasePath, std::int32_t defectId, double opened);

// The whole message: headers (From when the author has an e-mail, To, Subject, Date, Message-ID,
// In-Reply-To, References, Auto-Submitted; non-ASCII texts encoded), the body as UTF-8 text and,
// when `archive` is given, the archive as one application/zip part named `archiveName`.
QByteArray BuildMimeMessage(const Notification& notification, const QByteArray& archive = {},
                            const QString& archiveName = {});

} // namespace mail
