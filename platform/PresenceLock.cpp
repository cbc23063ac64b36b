// The presence lock on the database file: taking it shared or exclusive, reading through it, releasing it.

#include "platform/PresenceLock.h"

#include "platform/OpenFileLock.h"

#include <unistd.h>

#include <algorithm>
#include <utility>

namespace {
// Far above the engine's own lock bytes at 1 GiB; a lock may lie beyond the end of a file.
constexpr off_t kPresenceRangeStart = 0x60000000;
constexpr off_t kPresenceRangeLength = 1;
// Outside the range maintenance takes, so that a waiting connection never keeps it out.
constexpr off_t kWaitingByte = kPresenceRangeStart + kPresenceRangeLength;
constexpr off_t kWaitLevelStart = kWaitingByte + 1;
} // namespace

PresenceLock::PresenceLock(PresenceLock&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), errorCode_(other.errorCode_), waitLevel_(std::exchange(other.waitLevel_, -1))
{
}

PresenceLock& PresenceLock::operator=(PresenceLock&& other) noexcept
{
    if (this != &other) {
        Release();
        fd_ = std::exchange(other.fd_, -1);
        errorCode_ = other.errorCode_;
        waitLevel_ = std::exchange(other.waitLevel_, -1);
    }
    return *this;
}

PresenceLock::~PresenceLock()
{
    Release();
}

bool PresenceLock::Acquire(const QString& path, Kind kind)
{
    Release();
    const QByteArray nativePath = path.toLocal8Bit();
    const int fd = ::open(nativePath.constData(), (kind == Kind::Shared ? O_RDONLY : O_RDWR) | O_CLOEXEC);
    if (fd < 0) {
        errorCode_ = errno;
        return false;
    }
    if (!TryOpenFileLock(fd, kind == Kind::Shared ? F_RDLCK : F_WRLCK, kPresenceRangeStart, kPresenceRangeLength)) {
        errorCode_ = errno;
        ::close(fd);
        return false;
    }
    fd_ = fd;
    errorCode_ = 0;
    return true;
}

QByteArray PresenceLock::ReadAt(qint64 offset, int size) const
{
    QByteArray bytes(size, Qt::Uninitialized);
    if (fd_ < 0 || ::pread(fd_, bytes.data(), static_cast<std::size_t>(size), offset) != size)
        return QByteArray();
    return bytes;
}

void PresenceLock::SetWaiting(bool waiting)
{
    // Best effort: a flag that cannot be set only costs the waiter its turn.
    if (fd_ >= 0)
        TryOpenFileLock(fd_, waiting ? F_RDLCK : F_UNLCK, kWaitingByte, 1);
}

bool PresenceLock::OthersWaiting() const
{
    return fd_ >= 0 && OpenFileLockHeldElsewhere(fd_, kWaitingByte, 1);
}

void PresenceLock::SetWaitLevel(int level)
{
    level = std::min(level, kWaitLevels - 1);
    if (fd_ < 0 || level == waitLevel_)
        return;
    // The new level first, so that the wait never looks over to the others in between. Best
    // effort like the flag: a level that cannot be shown only costs this waiter its precedence.
    if (level >= 0 && !TryOpenFileLock(fd_, F_RDLCK, kWaitLevelStart + level, 1))
        level = -1;
    if (waitLevel_ >= 0)
        TryOpenFileLock(fd_, F_UNLCK, kWaitLevelStart + waitLevel_, 1);
    waitLevel_ = level;
}

bool PresenceLock::LongerWaiterThan(int level) const
{
    const int above = std::max(level + 1, 0);
    return fd_ >= 0 && above < kWaitLevels &&
        OpenFileLockHeldElsewhere(fd_, kWaitLevelStart + above, kWaitLevels - above);
}

void PresenceLock::Release()
{
    // Closing any descriptor of a file also drops the process's POSIX record locks on it,
    // the engine's included. That is harmless only because no statement stays open between
    // calls, so the engine holds no lock when a connection closes.
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
        waitLevel_ = -1;
    }
}
