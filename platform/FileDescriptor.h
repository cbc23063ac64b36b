#pragma once
// An open file descriptor for the length of one operation, closed when it goes out of scope.

#include <QString>

#include <fcntl.h>
#include <unistd.h>

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) { }
    // Opens `path` with `flags` (close-on-exec added); fd() is negative and errno says why on failure.
    FileDescriptor(const QString& path, int flags) : fd_(::open(path.toLocal8Bit().constData(), flags | O_CLOEXEC)) { }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }

    int fd() const { return fd_; }
    // Closes now, so that a failing close (a full disk on a share) is seen: 0, or -1 with errno.
    int Close()
    {
        const int result = ::close(fd_);
        fd_ = -1;
        return result;
    }

private:
    int fd_;
};
