// The listing's way to the standard output: directly, or through a spool file.

#include "ListingOutput.h"

#include "base/Check.h"

#include <QDir>
#include <QFile>
#include <QFileDevice>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>

namespace {

bool SameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool IsNullDevice(const struct stat& output)
{
    struct stat null { };
    return S_ISCHR(output.st_mode) && ::stat("/dev/null", &null) == 0 && S_ISCHR(null.st_mode) &&
        null.st_rdev == output.st_rdev;
}

// A regular file that this listing may cut back to `start` without losing anything but its own
// lines: written at its end and not opened for appending (others' appended lines would be cut
// too), not the error stream too (its messages would be), and on the temporary folder's disk
// (a share would be slower than the spool, and would hold the read lock while it takes the lines).
bool IsOwnLocalFileEnd(int descriptor, const struct stat& output, int errors, off_t& start)
{
    if (!S_ISREG(output.st_mode))
        return false;
    const int flags = ::fcntl(descriptor, F_GETFL);
    if (flags < 0 || (flags & O_APPEND) != 0)
        return false;
    start = ::lseek(descriptor, 0, SEEK_CUR);
    if (start < 0 || start != output.st_size)
        return false;
    struct stat error { };
    if (::fstat(errors, &error) == 0 && SameFile(error, output))
        return false;
    struct stat temporary { };
    return ::stat(QFile::encodeName(QDir::tempPath()).constData(), &temporary) == 0 &&
        temporary.st_dev == output.st_dev;
}

void WriteAll(QIODevice& device, const QByteArray& bytes, const char* failure)
{
    check::abort_if(device.write(bytes) != bytes.size(), failure);
}

void WriteAll(int descriptor, const QByteArray& bytes)
{
    const char* at = bytes.constData();
    for (qsizetype left = bytes.size(); left > 0;) {
        const ssize_t written = ::write(descriptor, at, static_cast<size_t>(left));
        if (written < 0 && errno == EINTR)
            continue;
        check::abort_if(written <= 0, kOutputFailure);
        at += written;
        left -= written;
    }
}

void CopyListing(QFileDevice& spool, QTextStream& out)
{
    constexpr qint64 kCopyBytes = 1 << 20;
    check::abort_if(!spool.seek(0), kSpoolFailure);
    // The bytes go out past the stream's conversion to text and back.
    out.flush();
    QIODevice* device = out.device();
    while (!spool.atEnd()) {
        const QByteArray bytes = spool.read(kCopyBytes);
        check::abort_if(bytes.isEmpty(), kSpoolFailure);
        if (device != nullptr)
            WriteAll(*device, bytes, kOutputFailure);
        else
            out << QString::fromUtf8(bytes);
    }
    FlushOutput(out);
}

} // namespace

void FlushOutput(QTextStream& out)
{
    out.flush();
    if (auto* file = qobject_cast<QFileDevice*>(out.device()))
        check::abort_if(!file->flush(), kOutputFailure);
    check::abort_if(out.status() != QTextStream::Ok, kOutputFailure);
}

ListingOutput::ListingOutput(QTextStream& out, int descriptor, int errors) : out_(out), descriptor_(descriptor)
{
    struct stat output { };
    if (::fstat(descriptor_, &output) == 0) {
        if (IsNullDevice(output))
            mode_ = Mode::Null;
        else if (IsOwnLocalFileEnd(descriptor_, output, errors, start_))
            mode_ = Mode::File;
    }
    if (mode_ == Mode::Spool)
        check::abort_if(!spool_.open(), kSpoolFailure);
    else
        // Nothing the stream holds may come after the lines written past it.
        FlushOutput(out_);
}

ListingOutput::~ListingOutput()
{
    if (!finished_)
        CutBack();
}

void ListingOutput::CutBack() const
{
    if (mode_ == Mode::File && written_) {
        // Nothing to report from here: at worst the lines of a failed listing stay.
        if (::ftruncate(descriptor_, start_) == 0)
            ::lseek(descriptor_, start_, SEEK_SET);
    }
}

void ListingOutput::Restart()
{
    switch (mode_) {
    case Mode::Spool:
        check::abort_if(!spool_.seek(0) || !spool_.resize(0), kSpoolFailure);
        return;
    case Mode::Null:
        return;
    case Mode::File:
        if (written_)
            check::abort_if(::ftruncate(descriptor_, start_) != 0 || ::lseek(descriptor_, start_, SEEK_SET) != start_,
                            kOutputFailure);
        written_ = false;
        return;
    }
}

void ListingOutput::Write(const QByteArray& bytes)
{
    if (mode_ == Mode::Spool) {
        WriteAll(spool_, bytes, kSpoolFailure);
        return;
    }
    written_ = true;
    WriteAll(descriptor_, bytes);
}

void ListingOutput::Finish()
{
    if (mode_ == Mode::Spool)
        CopyListing(spool_, out_);
    finished_ = true;
}
