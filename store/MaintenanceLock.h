#pragma once
// The maintenance lock: a rescue file beside the database that only one client can create, and
// the database itself renamed out of the way, so that no client opens it while it is replaced.
// The locking client holds the rescue file locked while it works; a rescue file that nobody holds
// was left by a client that died, and the next client recovers the database by itself.

#include "platform/HeldFile.h"
#include "platform/OleDate.h"

#include <QString>

#include <functional>

// The directory part D (with its separator) and the file name F of a database path X give:
QString RescueFileName(const QString& path);  // D + "#RESCUE-" + F + ".txt"
QString MaintenanceName(const QString& path); // D + "#" + F + ".mt", where the file lies while locked

// The rescue file's name as the lock message shows it: a directory part of 30 characters or more
// loses its middle.
QString AbbreviatedRescueName(const QString& rescueFileName);

// The first line of the lock text (who locked it, where, when and why), which other clients show
// as the lock's reason; a server database keeps it in a row.
QString MaintenanceReasonLine(const QString& database, const QString& reason, const Clock& clock);

// What a user is told about a file that is locked for maintenance (string 160 with the lock's message).
QString LockRefusalText(const QString& lockMessage);

struct LockState {
    bool locked = false;
    QString message;   // the first line of the rescue file and its name (string 161); empty when not locked
    QString recovered; // when a dead client's lock was undone: what happened, to show the user
};

class CMaintenanceLock {
public:
    using Sleeper = std::function<void(int milliseconds)>;

    // Tries to take the lock at once; held() tells the outcome, message() the reason of a refusal.
    CMaintenanceLock(QString path, const QString& reason, bool mustExist, const Clock& clock = SystemClockInstance(),
                     Sleeper sleep = {});

    CMaintenanceLock(const CMaintenanceLock&) = delete;
    CMaintenanceLock& operator=(const CMaintenanceLock&) = delete;
    ~CMaintenanceLock();

    bool Lock(const QString& reason, bool mustExist);

    // Moves the database back and deletes the rescue file; true when both worked.
    bool Unlock();

    // Also recovers the database from a lock that nobody holds any more: leftovers of the
    // interrupted maintenance go, the database returns to its name and the rescue file goes.
    static LockState IsLocked(const QString& path);

    bool held() const { return rescueFile_.held(); }
    const QString& message() const { return message_; }

private:
    QString message_;
    HeldFile rescueFile_;
    QString path_;
    const Clock& clock_;
    Sleeper sleep_;
};
