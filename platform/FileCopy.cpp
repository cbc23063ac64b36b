// Copying a file and making a directory with the operating system's error code on failure.
#include "platform/FileCopy.h"

#include "platform/FileDescriptor.h"
#include "platform/NoFollowTree.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Copies the open source into the new file `name` in the open folder; removes it on failure.
int CopyInto(int source, const struct stat& info, int folder, const QByteArray& name, int fd)
{
    FileDescriptor target(fd);
    int error = CopyContents(source, target.fd());
    if (error == 0) {
        const struct timespec times[2] = {info.st_atim, info.st_mtim};
        ::futimens(target.fd(), times);
        if (target.Close() != 0)
            error = errno;
    }
    if (error != 0)
        ::unlinkat(folder, name.constData(), 0);
    return error;
}

// A new file of an unpredictable name in the open folder, opened for writing: the name, or empty
// with errno set.
QByteArray NewTemporaryIn(int folder, int& fd)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QByteArray name = ".vellacord-copy-" + QByteArray::number(QRandomGenerator::system()->generate64(), 36);
        fd = ::openat(folder, name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0)
            return name;
        if (errno != EEXIST)
            return {};
    }
    return {};
}

} // namespace

int CopyContents(int from, int to)
{
    char buffer[64 * 1024];
    for (;;) {
        const ssize_t got = ::read(from, buffer, sizeof buffer);
        if (got == 0)
            return 0;
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        for (ssize_t done = 0; done < got;) {
            const ssize_t put = ::write(to, buffer + done, static_cast<size_t>(got - done));
            if (put < 0) {
                if (errno == EINTR)
                    continue;
                return errno;
            }
            done += put;
        }
    }
}

int CopyFileTo(const QString& source, const QString& target, bool overwrite)
{
    const FileDescriptor from(source, O_RDONLY);
    if (from.fd() < 0)
        return errno;
    struct stat info = {};
    if (::fstat(from.fd(), &info) != 0)
        return errno;
    if (S_ISDIR(info.st_mode))
        return EISDIR;
    // The target's folder and the target itself are never reached through a link: a link planted
    // on a share would make the copy land wherever it points.
    const QFileInfo targetInfo(target);
    const FileDescriptor folder(OpenFolderNoFollow(targetInfo.absolutePath()));
    if (folder.fd() < 0)
        return errno;
    const QByteArray name = QFile::encodeName(targetInfo.fileName());
    if (!overwrite) {
        const int fd =
            ::openat(folder.fd(), name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        return fd < 0 ? errno : CopyInto(from.fd(), info, folder.fd(), name, fd);
    }
    // A temporary name in the target's folder, renamed over the target when complete (a link at
    // the target is replaced, not followed).
    int fd = -1;
    const QByteArray temporary = NewTemporaryIn(folder.fd(), fd);
    if (temporary.isEmpty())
        return errno;
    // The temporary file is private; an attachment is for the whole team, as the umask allows.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    if (const int error = CopyInto(from.fd(), info, folder.fd(), temporary, fd))
        return error;
    if (::renameat(folder.fd(), temporary.constData(), folder.fd(), name.constData()) != 0) {
        const int error = errno;
        ::unlinkat(folder.fd(), temporary.constData(), 0);
        return error;
    }
    return 0;
}

bool MakeDirectory(const QString& path)
{
    const QByteArray name = path.toLocal8Bit();
    if (::mkdir(name.constData(), 0777) == 0)
        return true;
    if (errno != EEXIST)
        return false;
    struct stat info = {};
    if (::lstat(name.constData(), &info) == 0 && S_ISDIR(info.st_mode))
        return true;
    errno = EEXIST; // a file or a link of that name is in the way
    return false;
}

QString SystemErrorText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}
