// Creating, taking over, writing and releasing a file held under a lock, and telling whether anybody holds it.

#include "platform/HeldFile.h"

#include "platform/FileIdentity.h"
#include "platform/OpenFileLock.h"

#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr off_t kWholeFile = 0;
} // namespace

HeldFile::~HeldFile()
{
    Release();
}

bool HeldFile::Create(const QString& path, const QString& permissionsOf)
{
    Release();
    if (!Hold(path, ::open(path.toLocal8Bit().constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666)))
        return false;
    struct stat model = {};
    if (::stat(permissionsOf.toLocal8Bit().constData(), &model) == 0)
        ::fchmod(fd_, model.st_mode & 0666);
    return true;
}

bool HeldFile::TakeOver(const QString& path)
{
    Release();
    return Hold(path, ::open(path.toLocal8Bit().constData(), O_RDWR | O_CLOEXEC));
}

bool HeldFile::Hold(const QString& path, int fd)
{
    if (fd < 0) {
        errorCode_ = errno;
        return false;
    }
    if (!TryOpenFileLock(fd, F_WRLCK, 0, kWholeFile)) {
        errorCode_ = errno;
    } else if (const std::optional<FileIdentity> opened = FileIdentity::OfDescriptor(fd);
               !opened || FileIdentity::OfName(path) != opened) {
        errorCode_ = ENOENT;
    } else {
        fd_ = fd;
        errorCode_ = 0;
        return true;
    }
    ::close(fd);
    return false;
}

bool HeldFile::Write(const QByteArray& text)
{
    qsizetype written = 0;
    while (held() && written < text.size()) {
        const ssize_t step = ::write(fd_, text.constData() + written, static_cast<size_t>(text.size() - written));
        if (step <= 0)
            return false;
        written += step;
    }
    return held() && ::fsync(fd_) == 0;
}

void HeldFile::Release()
{
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

HeldFile::State HeldFile::Inspect(const QString& path)
{
    const int fd = ::open(path.toLocal8Bit().constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT ? State::Absent : State::Held;
    const bool held = OpenFileLockHeldElsewhere(fd, 0, kWholeFile);
    ::close(fd);
    return held ? State::Held : State::Abandoned;
}
