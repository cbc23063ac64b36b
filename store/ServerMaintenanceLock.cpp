// Taking a server database for maintenance and leaving the reason where refused workstations read it.

#include "store/ServerMaintenanceLock.h"

#include "base/StringTable.h"
#include "engine/Connection.h"
#include "engine/EngineStatus.h"
#include "engine/SqlDialect.h"
#include "store/MaintenanceLock.h"

#include <QThread>

namespace {

constexpr int kInUseText = 164;
constexpr int kEndingSessionAttempts = 20;
constexpr unsigned long kEndingSessionIntervalMs = 100;

// Made by the first maintenance of a database, so that a database made before it needs no
// conversion; the workstations' group role reads it.
const char* const kReasonTable[] = {
    "CREATE TABLE IF NOT EXISTS maintenancereason (holder integer NOT NULL, reason text NOT NULL)",
    "DO $$BEGIN IF EXISTS (SELECT FROM pg_roles WHERE rolname = 'vellacord_users') THEN "
    "GRANT SELECT ON maintenancereason TO vellacord_users; END IF; END$$",
};

} // namespace

ServerMaintenanceLock::ServerMaintenanceLock(engine::Connection& connection, const QString& reason, const Clock& clock)
    : connection_(connection)
{
    // The server ends a session a moment after its client closed it (this program's own, just
    // before a repair, or a workstation that was just quit): such a session is waited for briefly.
    bool taken = connection_.TakeServerMaintenance();
    for (int attempt = 0; !taken && attempt < kEndingSessionAttempts && connection_.ServerMaintenanceReason().isEmpty();
         ++attempt) {
        QThread::msleep(kEndingSessionIntervalMs);
        taken = connection_.TakeServerMaintenance();
    }
    if (!taken) {
        // Another maintainer keeps everybody out, this session included, before it gets here;
        // what refuses the lock now is another workstation's session.
        const QString other = connection_.ServerMaintenanceReason();
        message_ = other.isEmpty() ? LoadString(kInUseText) : other;
        return;
    }
    held_ = true;
    // Without the right to create the table the lock holds all the same; refused workstations
    // then read the plain refusal.
    const QString line = MaintenanceReasonLine(engine::DisplayNameOfServer(connection_.path()), reason, clock);
    const long written = connection_.WriteTransaction([&] {
        for (const char* statement : kReasonTable)
            if (const long status = connection_.Execute(QString::fromLatin1(statement)); engine::Failed(status))
                return status;
        // Rows of maintainers that died are of no use any more.
        const long cleared = connection_.Execute(QStringLiteral("DELETE FROM maintenancereason"));
        if (engine::Failed(cleared))
            return cleared;
        return connection_.Execute(
            QStringLiteral("INSERT INTO maintenancereason (holder, reason) VALUES (pg_backend_pid(), ?)"), {line});
    });
    if (engine::Failed(written))
        connection_.TakeErrorRecords();
}

ServerMaintenanceLock::~ServerMaintenanceLock()
{
    if (!held_)
        return;
    try {
        // A row left behind says nothing once the session is gone; clearing it keeps the table tidy.
        if (connection_.IsOpen())
            connection_.Execute(QStringLiteral("DELETE FROM maintenancereason WHERE holder = pg_backend_pid()"));
    } catch (...) {
        // A destructor must not throw; the lock ends with the session below all the same.
    }
    connection_.Close();
}
