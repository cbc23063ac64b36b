#pragma once
// Where the lines of vellacord-admin list go while the list is read: straight into the standard
// output when that can neither hold the read up nor keep the lines of a read that starts again,
// otherwise into a spool file that is copied out once the read is over.

#include <QByteArray>
#include <QTemporaryFile>
#include <QTextStream>

#include <sys/types.h>
#include <unistd.h>

inline constexpr const char* kSpoolFailure = "Writing the list to a temporary file failed!";
inline constexpr const char* kOutputFailure = "Writing the list to the standard output failed!";

// The text the stream still buffers goes out; aborts with kOutputFailure when the output failed
// (a full disk or a closed pipe shows here at the latest).
void FlushOutput(QTextStream& out);

class ListingOutput {
public:
    // `out` writes to `descriptor`; `errors` is the descriptor of the error stream. Direct when
    // the output is /dev/null, or a regular file on the temporary folder's disk, written at its
    // end, not for appending and not shared with the error stream: such a file takes the lines as
    // fast as a spool would and can be cut back to where the listing began. A pipe, a terminal or
    // any other file gets the spool, so that a slow reader never holds the database's read lock.
    explicit ListingOutput(QTextStream& out, int descriptor = STDOUT_FILENO, int errors = STDERR_FILENO);
    ListingOutput(const ListingOutput&) = delete;
    ListingOutput& operator=(const ListingOutput&) = delete;
    // Without Finish, a direct file is cut back to where the listing began: a listing that failed
    // or was refused leaves nothing behind, as with the spool.
    ~ListingOutput();

    // A read begins, or begins again: whatever an earlier attempt wrote is dropped.
    void Restart();
    // Aborts with kSpoolFailure or kOutputFailure when the bytes cannot be written.
    void Write(const QByteArray& bytes);
    // The read is over and the listing stands: the spool is copied out, and the output flushed.
    void Finish();

    bool direct() const { return mode_ != Mode::Spool; }

private:
    enum class Mode { Spool, Null, File };

    void CutBack() const;

    QTextStream& out_;
    const int descriptor_;
    Mode mode_ = Mode::Spool;
    off_t start_ = 0;
    bool written_ = false;
    bool finished_ = false;
    QTemporaryFile spool_;
};
