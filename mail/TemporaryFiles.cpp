// Temporary file names of the mail, and writing those files.

#include "mail/TemporaryFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <cerrno>

namespace mail {

QString TemporaryBase(long number)
{
    return QDir::tempPath() + QDir::separator() +
        QStringLiteral("id_%1_VC%2").arg(number).arg(QCoreApplication::applicationPid(), 0, 16);
}

int WriteTemporaryFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    errno = 0;
    // The flush makes a full disk show here rather than unnoticed when the file closes.
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size() && file.flush())
        return 0;
    return errno != 0 ? errno : EIO;
}

} // namespace mail
