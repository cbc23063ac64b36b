#pragma once
// The server backend of a connection: one libpq session to a PostgreSQL database named by a URI.

#include "base/ErrorRecord.h"
#include "engine/EngineValue.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

struct pg_conn;
struct pg_result;

namespace engine {

class Connection;
class PgStatement;

// What a server failure means to the program, from its SQLSTATE.
struct ServerFailure {
    long status = 0;      // the engine status the callers tell apart
    int code = 0;         // the file engine's equivalent code, so that the failure kinds read the same
    bool lost = false;    // the session is gone or unusable: only reconnecting helps
    bool busy = false;    // another session's lock or a deadlock: the whole call may run again
    bool timeout = false; // the statement was cancelled at its time limit
};
ServerFailure ClassifySqlState(const QString& sqlState);

// The connection parameters a URI sets, by libpq's keywords (host, port, dbname, user, sslmode,
// service, ...), as libpq reads them; never the password. Empty when the URI does not parse.
std::vector<std::pair<QString, QString>> ServerConnectionParameters(const QString& uri);

class PgConnection {
public:
    explicit PgConnection(Connection& owner);
    PgConnection(const PgConnection&) = delete;
    PgConnection& operator=(const PgConnection&) = delete;
    ~PgConnection();

    // Connects to the database the URI names; the password comes from the user's password or
    // service file, never from the program.
    long Open(const QString& uri);
    bool Healthy() const;
    bool InTransaction();

    // Runs `body` between BEGIN and COMMIT; rolled back when it fails or throws.
    long Transaction(const std::function<long()>& body);
    // The change counter that every committed write bumps; none when the database has no schema.
    std::optional<std::int64_t> ReadChangeCounter();
    // The session's socket, readable when the server sends something (a notification); -1 when closed.
    int Socket() const;
    // Reads what arrived on the socket; true when it held a notification of another session's commit.
    bool TakeNotifications();

    // Takes the database for maintenance: only while no other session is connected; the lock
    // holds until this session ends.
    bool TakeMaintenance();
    // The reason the session that holds the database for maintenance gave (its row of
    // vellacord.maintenancereason); empty when nobody holds it or no reason was written.
    QString MaintenanceReason();
    long ReplaceView(const QString& name, const QString& select);

    std::int64_t LastInsertId() const { return lastInsertId_; }
    int Changes() const { return changes_; }
    // Whether the last failure was a lock conflict or deadlock that a new attempt may pass; taken.
    bool TakeBusy() { return std::exchange(busy_, false); }

    // Runs a command the program made itself (no parameters, several statements allowed).
    long RunCommand(const QString& sql);

    // Records the failure of a result (or of the session when result is null) on the owner.
    long Fail(pg_result* result, const QString& sql, bool fenced = false);
    long FailWith(long status, const QString& message, int code, const QString& sql);

    pg_conn* handle() const { return conn_; }
    Connection& owner() const { return *owner_; }
    // The connection object moved: failures go to its new place.
    void Rebind(Connection& owner) { owner_ = &owner; }

    // The key column a server-numbered insert into `table` gives back; empty when none.
    QString IdentityColumn(const QString& table);
    void SetInserted(std::int64_t id, int changes)
    {
        lastInsertId_ = id;
        changes_ = changes;
    }
    void SetChanges(int changes) { changes_ = changes; }

    // The statement whose rows arrive one by one: a statement begun meanwhile makes it take its
    // remaining rows first, since one session carries one command at a time.
    void SetStreaming(PgStatement* statement) { streaming_ = statement; }
    PgStatement* streaming() const { return streaming_; }
    void SettleStreaming();

private:
    Connection* owner_;
    pg_conn* conn_ = nullptr;
    std::int64_t lastInsertId_ = 0;
    int changes_ = 0;
    bool busy_ = false;
    PgStatement* streaming_ = nullptr;
    std::map<QString, QString> identityColumns_;
};

} // namespace engine
