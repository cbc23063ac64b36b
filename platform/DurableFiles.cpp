// Syncing files and folders, renames that replace atomically or never overwrite, and taking over access rights.

#include "platform/DurableFiles.h"

#include "platform/FileDescriptor.h"

#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

bool Sync(const QString& path, int flags)
{
    const FileDescriptor file(path, flags);
    return file.fd() >= 0 && ::fsync(file.fd()) == 0;
}

QString Failure(const char* what, const QString& path)
{
    return QStringLiteral("cannot %1 %2: %3")
        .arg(QLatin1String(what), path, QString::fromLocal8Bit(std::strerror(errno)));
}

} // namespace

bool SyncFile(const QString& path)
{
    return Sync(path, O_RDONLY);
}

bool SyncFolderOf(const QString& path)
{
    return Sync(QFileInfo(path).absolutePath(), O_RDONLY | O_DIRECTORY);
}

bool ReplaceByRename(const QString& from, const QString& to)
{
    return std::rename(from.toLocal8Bit().constData(), to.toLocal8Bit().constData()) == 0;
}

bool RenameToFreeName(const QString& from, const QString& to)
{
    const QByteArray source = from.toLocal8Bit();
    const QByteArray target = to.toLocal8Bit();
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // File systems without the flag: a hard link refuses an existing name just as well.
    if (::link(source.constData(), target.constData()) == 0)
        return ::unlink(source.constData()) == 0;
    if (errno == EEXIST)
        return false;
    // Neither is supported (some network shares): a check just before the rename is the best left.
    return !QFileInfo::exists(to) && std::rename(source.constData(), target.constData()) == 0;
}

QString SyncFailure(const QString& path)
{
    const FileDescriptor file(path, O_RDONLY);
    if (file.fd() < 0)
        return Failure("open", path);
    if (::fsync(file.fd()) != 0)
        return Failure("write to the disk", path);
    return {};
}

QString TakeOverAccess(const QString& replacement, const QString& original)
{
    struct stat wanted = {};
    if (::stat(original.toLocal8Bit().constData(), &wanted) != 0)
        return Failure("read the access of", original);
    const FileDescriptor file(replacement, O_RDONLY);
    struct stat current = {};
    if (file.fd() < 0 || ::fstat(file.fd(), &current) != 0)
        return Failure("open", replacement);
    // Only root may give a file away; anyone may pass it to a group of their own.
    const uid_t owner = ::geteuid() == 0 ? wanted.st_uid : static_cast<uid_t>(-1);
    const bool groupMatters = ((wanted.st_mode >> 3) & 7) != (wanted.st_mode & 7);
    if ((owner != current.st_uid || wanted.st_gid != current.st_gid) &&
        ::fchown(file.fd(), owner, wanted.st_gid) != 0 && (owner != static_cast<uid_t>(-1) || groupMatters))
        return Failure("give the owner and group of the database to", replacement);
    // After the owner: a change of owner clears the set-id bits.
    if (::fchmod(file.fd(), wanted.st_mode & 07777) != 0)
        return Failure("give the permissions of the database to", replacement);
    return {};
}

QString TakeOverAccessAndSync(const QString& replacement, const QString& original)
{
    if (QString failure = TakeOverAccess(replacement, original); !failure.isEmpty())
        return failure;
    return SyncFailure(replacement);
}
