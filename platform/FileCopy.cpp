// Copying a file and making a directory with the operating system's error code on failure.
#include "platform/FileCopy.h"

#include "platform/FileDescriptor.h"

#include <QByteArray>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

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

// Copies the open source into a new file at `path` (created with O_EXCL); removes it on failure.
int CopyInto(int source, const struct stat& info, const QByteArray& path, int fd)
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
        ::unlink(path.constData());
    return error;
}

} // namespace

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
    const QByteArray targetPath = target.toLocal8Bit();
    if (!overwrite) {
        const int fd = ::open(targetPath.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        return fd < 0 ? errno : CopyInto(from.fd(), info, targetPath, fd);
    }
    // A temporary name in the target's folder, renamed over the target when complete.
    QByteArray temporary = QFileInfo(target).absolutePath().toLocal8Bit() + "/.vellacord-copy-XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0)
        return errno;
    // mkostemp makes the file private; an attachment is for the whole team, as the umask allows.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    if (const int error = CopyInto(from.fd(), info, temporary, fd))
        return error;
    if (std::rename(temporary.constData(), targetPath.constData()) != 0) {
        const int error = errno;
        ::unlink(temporary.constData());
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
    if (::stat(name.constData(), &info) == 0 && S_ISDIR(info.st_mode))
        return true;
    errno = EEXIST; // a file of that name is in the way
    return false;
}

QString SystemErrorText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}
