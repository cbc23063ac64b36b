#pragma once
// A file that one process creates and holds locked for as long as it needs it. The kernel drops
// the lock when the holder dies, so a file that nobody holds was left behind by a process that
// no longer runs.

#include <QByteArray>
#include <QString>

class HeldFile {
public:
    enum class State { Absent, Held, Abandoned };

    HeldFile() = default;
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;
    ~HeldFile();

    // Creates the file, failing when it exists (errorCode EEXIST), and holds it. It gets the
    // permission bits of `permissionsOf` where that exists, so that whoever may use that file may
    // also take this one over.
    bool Create(const QString& path, const QString& permissionsOf);
    // Holds an existing file that nobody holds; false when it is held (EAGAIN) or gone (ENOENT).
    bool TakeOver(const QString& path);
    // Writes the whole text and syncs it to the disk.
    bool Write(const QByteArray& text);
    void Release();

    bool held() const { return fd_ >= 0; }
    int errorCode() const { return errorCode_; }

    static State Inspect(const QString& path);

private:
    // Locks the open file and checks that the name still leads to it: a process that found the
    // file abandoned may have deleted it between the open and the lock.
    bool Hold(const QString& path, int fd);

    int fd_ = -1;
    int errorCode_ = 0;
};
