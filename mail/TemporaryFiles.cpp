// The mail's private temporary folder and the files made in it.

#include "mail/TemporaryFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTemporaryFile>

#include <cerrno>

namespace mail {

namespace {

// QTemporaryDir makes the folder with mkdtemp: a new name nobody could guess, mode 0700.
QTemporaryDir& Folder()
{
    static QTemporaryDir folder(QDir::temp().filePath(QStringLiteral("vellacord-mail-XXXXXX")));
    return folder;
}

QString Template(long number, const QString& suffix)
{
    return TemporaryBase(number) + QStringLiteral("-XXXXXX") + suffix;
}

} // namespace

QString TemporaryFolder()
{
    return Folder().isValid() ? Folder().path() : QString();
}

QString TemporaryBase(long number)
{
    return TemporaryFolder() + QDir::separator() +
        QStringLiteral("id_%1_VC%2").arg(number).arg(QCoreApplication::applicationPid(), 0, 16);
}

int WriteTemporaryFile(long number, const QString& suffix, const QByteArray& bytes, QString& path)
{
    path.clear();
    if (TemporaryFolder().isEmpty())
        return errno != 0 ? errno : EACCES;
    // QTemporaryFile opens with O_CREAT | O_EXCL: a name that exists, link or not, is never used.
    QTemporaryFile file(Template(number, suffix));
    file.setAutoRemove(false);
    errno = 0;
    if (!file.open())
        return errno != 0 ? errno : EIO;
    path = file.fileName();
    // The flush makes a full disk show here rather than unnoticed when the file closes.
    if (file.write(bytes) == bytes.size() && file.flush())
        return 0;
    const int error = errno != 0 ? errno : EIO;
    // Closed first: QFile does not remove a file whose closing failed, and closing a file that
    // could not be written fails again.
    file.close();
    QFile::remove(path);
    path.clear();
    return error;
}

QString NewTemporaryName(long number, const QString& suffix)
{
    if (TemporaryFolder().isEmpty())
        return QString();
    // Taken by making the file and removing it again: nobody else can make one in the folder.
    QTemporaryFile file(Template(number, suffix));
    if (!file.open())
        return QString();
    return file.fileName();
}

} // namespace mail
