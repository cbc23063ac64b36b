#pragma once
// The maintenance lock of a server database: the session's exclusive advisory lock, with the reason in a row
// that a workstation refused meanwhile shows, as it shows a file's rescue file.

#include "platform/OleDate.h"

#include <QString>

namespace engine {
class Connection;
}

class ServerMaintenanceLock {
public:
    // Takes the server database the open connection names for maintenance: only while no other
    // workstation is connected. held() tells the outcome, message() the reason of a refusal for
    // LockRefusalText.
    ServerMaintenanceLock(engine::Connection& connection, const QString& reason,
                          const Clock& clock = SystemClockInstance());
    ServerMaintenanceLock(const ServerMaintenanceLock&) = delete;
    ServerMaintenanceLock& operator=(const ServerMaintenanceLock&) = delete;
    // A held lock: clears the reason and closes the connection, since the server's lock ends with
    // the session. A refused one leaves the connection as it was.
    ~ServerMaintenanceLock();

    bool held() const { return held_; }
    const QString& message() const { return message_; }

private:
    engine::Connection& connection_;
    bool held_ = false;
    QString message_;
};
