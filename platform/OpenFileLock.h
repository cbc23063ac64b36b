#pragma once
// Open-file-description locks (F_OFD_SETLK): they belong to one open file, not to the process, so
// two descriptors of one process exclude each other, and the kernel drops them when the last
// descriptor closes, also when the process dies.

#include <fcntl.h>

#include <cerrno>

// Takes a lock of `type` (F_RDLCK, F_WRLCK) on the range without waiting; a length of 0 reaches
// to the end of the file. On failure errno says why, EAGAIN for a lock held elsewhere.
inline bool TryOpenFileLock(int fd, short type, off_t start, off_t length)
{
    struct flock range = {};
    range.l_type = type;
    range.l_whence = SEEK_SET;
    range.l_start = start;
    range.l_len = length;
    if (::fcntl(fd, F_OFD_SETLK, &range) == 0)
        return true;
    if (errno == EACCES)
        errno = EAGAIN;
    return false;
}

// Whether a lock held through another open file would keep a write lock on the range out.
inline bool OpenFileLockHeldElsewhere(int fd, off_t start, off_t length)
{
    struct flock range = {};
    range.l_type = F_WRLCK;
    range.l_whence = SEEK_SET;
    range.l_start = start;
    range.l_len = length;
    return ::fcntl(fd, F_OFD_GETLK, &range) == 0 && range.l_type != F_UNLCK;
}
