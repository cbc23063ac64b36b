#pragma once
// A lock on a byte range of the database file that the engine never touches. Every open
// connection holds it shared; maintenance takes it exclusively without waiting. On POSIX a
// rename of an open file succeeds, so this is how maintenance learns that a file is in use.
// Open-file-description locks belong to the descriptor, so two connections of one process
// exclude each other just as two workstations do.

#include <QByteArray>
#include <QString>

class PresenceLock {
public:
    enum class Kind { Shared, Exclusive };

    PresenceLock() = default;
    PresenceLock(const PresenceLock&) = delete;
    PresenceLock& operator=(const PresenceLock&) = delete;
    PresenceLock(PresenceLock&& other) noexcept;
    PresenceLock& operator=(PresenceLock&& other) noexcept;
    ~PresenceLock();

    // Tries to take the lock without waiting. False when the file cannot be opened or the lock
    // conflicts with one held elsewhere (errorCode then holds the reason, EAGAIN for a conflict).
    bool Acquire(const QString& path, Kind kind);
    void Release();

    bool held() const { return fd_ >= 0; }
    // Reads bytes of the locked file through the held descriptor (never one opened and closed
    // for the purpose, whose close would drop the engine's record locks); empty on failure.
    QByteArray ReadAt(qint64 offset, int size) const;
    int errorCode() const { return errorCode_; }

    // A connection waiting for the engine's lock says so with a shared lock on a byte of its
    // own, so that a writer who just committed leaves it a turn only when somebody waits.
    void SetWaiting(bool waiting);
    // Whether another connection (of any process) says it waits.
    bool OthersWaiting() const;

    // A connection waiting for the engine's write lock also says how long it has waited, as a
    // level (a shared lock on one byte of a range of kWaitLevels), so that the others can let the
    // longest waiting go first. A level below 0 withdraws it.
    static constexpr int kWaitLevels = 2048;
    void SetWaitLevel(int level);
    // Whether a connection elsewhere waits for the write lock at a level above `level`; with -1,
    // whether any does.
    bool LongerWaiterThan(int level) const;

private:
    int fd_ = -1;
    int errorCode_ = 0;
    int waitLevel_ = -1;
};
