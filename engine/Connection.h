#pragma once
// A connection to one database file that several processes share.

#include "base/ErrorRecord.h"
#include "engine/EngineValue.h"
#include "platform/FileIdentity.h"
#include "platform/PresenceLock.h"

#include <QString>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

struct sqlite3;

namespace engine {

class PgConnection;
class Rowset;
class Statement;
enum class Access;

using Parameters = std::vector<Value>;

class Connection {
public:
    // Called when a call found the file unreachable outside a transaction: it either opens this
    // connection again (the call is then repeated) or throws.
    using LossHandler = std::function<void(long status)>;

    Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    Connection(Connection&& other) noexcept;
    Connection& operator=(Connection&& other) noexcept;
    ~Connection();

    // Opens an existing file for shared use. A file taken for maintenance, locked by another
    // program beyond the busy limit, or not writable here cannot be opened. A file that is no
    // database, or a damaged one, opens; its first query fails and says so. The first read
    // replays the journal of a writer that stopped, and a journal that holds no change goes.
    // A name that begins "postgresql://" connects to that server database instead.
    long Open(const QString& path);
    void Close();
    bool IsOpen() const { return db_ != nullptr || server_ != nullptr; }
    // Whether the database is a server's, named by a postgresql:// URI, rather than a file.
    bool IsServer() const { return server_ != nullptr; }
    const QString& path() const { return path_; }

    // The file went away, was replaced, or stayed locked beyond the busy limit; only reopening helps.
    bool lost() const { return lost_; }
    // The path still names the file this connection has open, and it is still readable and writable.
    bool StillNamesItsFile() const;
    void SetLossHandler(LossHandler handler) { lossHandler_ = std::move(handler); }

    // Runs a command without a result; "?" marks the parameters. A write outside a transaction
    // runs in a transaction of its own, begun IMMEDIATE.
    long Execute(const QString& sql, const Parameters& parameters = {});

    // Reads every row of a SELECT into `rows`; no statement stays open afterwards.
    long Query(const QString& sql, const Parameters& parameters, Rowset& rows);

    // Hands the rows of a SELECT one by one to `row`, without keeping them. `begin` runs once the
    // statement has delivered its first row (or ended without one), in every attempt: a read
    // that found the file gone starts again from the top once the file is back, and a statement
    // that fails at once leaves the caller's old rows alone. kOk when every row was read.
    long ReadRows(const QString& sql, const Parameters& parameters, Access access, const std::function<void()>& begin,
                  const std::function<void(const Statement&)>& row);

    // The columns of a table, a row each, as the file engine describes them: cid, name, type
    // (with its length, "varchar(50)"), notnull, dflt_value, pk (the position in the key, 0 for none).
    long QueryTableColumns(const QString& table, Rowset& columns);

    // The first column of the first row; kEndOfRowset when there is no row.
    long QueryInt(const QString& sql, const Parameters& parameters, std::int64_t& value);

    // Runs `body` in a write transaction begun IMMEDIATE: committed when it succeeds, else rolled back.
    long WriteTransaction(const std::function<long()>& body);

    // Runs the reads of `body` in one read transaction: one read lock and one look at the file for
    // all of them (each is a round trip on a file share), and all see the same state of the file.
    // A file found gone runs `body` again from the top once it is back. On a server the reads run
    // as they come.
    long ReadTogether(const std::function<long()>& body);

    // Makes the view `name` (a plain identifier) one over `select`, a SELECT that may carry a
    // user's filter: the select must first pass the read-only fence of a filter (else
    // kFaultyCommand, and nothing is written); then, in one write transaction, the old view is
    // dropped and the new one created under a fence that lets nothing else in the file change.
    // A view that is already the same is left alone.
    long ReplaceView(const QString& name, const QString& select);

    // Takes a server database for maintenance until this connection closes: only while no other
    // workstation is connected, and while it holds it nobody can connect. False for a file.
    bool TakeServerMaintenance();
    // The reason the maintainer of a server database gave; empty when none holds it, or for a file.
    QString ServerMaintenanceReason();

    // A server announces every commit on the connection's socket: the socket to watch while
    // connected (-1 for a file), and whether a commit was announced since the last call.
    int ChangeNotificationSocket() const;
    bool TakeChangeNotifications();

    // The file's identity and the change counter of its header, read under a read lock (which
    // also makes a network client drop stale cached pages). Every commit changes the counter, so
    // a stamp taken before a read and equal later proves that nothing changed since.
    struct ChangeStamp {
        FileIdentity identity;
        std::uint32_t changeCounter = 0;
        friend bool operator==(const ChangeStamp&, const ChangeStamp&) = default;
    };
    std::optional<ChangeStamp> ReadChangeStamp();

    std::int64_t LastInsertId() const;
    int Changes() const;

    // Removes the journal beside the open file when it holds no change (a writer stopped before
    // it wrote any), under the write lock and without waiting for it; true when it went.
    bool DiscardEmptyJournal();

    // The engine's rollback journal of a database file: "team.defl-journal".
    static QString JournalOf(const QString& path);

    // The records of the last failure on this connection.
    const ErrorRecords& errorRecords() const { return errors_; }
    ErrorRecords TakeErrorRecords();
    // The message of the last failure for a one-line report; the records are taken.
    QString TakeErrorMessage();
    // Records a failure found above the engine (a row changed by another user, for example).
    long RecordFailure(long status, const ErrorRecord& record);

    // Creates a new, empty database file; refuses with kDataSourceExists when the path exists.
    // The records of a failure go to `errors` when given.
    static long CreateFile(const QString& path, ErrorRecords* errors = nullptr);

    // Writes a compact copy of the closed file `source` to `destination` (which must not exist).
    static long CompactInto(const QString& source, const QString& destination, ErrorRecords* errors = nullptr);

    // How long a call waits for another workstation's lock before the file counts as unreachable.
    static void SetBusyLimit(std::chrono::milliseconds limit);
    static std::chrono::milliseconds BusyLimit();

private:
    friend class Statement;
    friend class PgConnection;
    long OpenServer(const QString& uri);
    void MoveServerFrom(Connection& other);
    bool ServerBusyAgain(long status);
    long Fail(int code, const QString& sql);
    long Attempt(const std::function<long()>& call);
    long ExecuteOnce(const QString& sql, const Parameters& parameters);
    long QueryOnce(const QString& sql, const Parameters& parameters, Rowset& rows);
    long OpenFailure(long status, const ErrorRecord& record);
    bool InTransaction() const;
    // Whether the file keeps its texts as UTF-8 (asked once, during a read).
    bool TextIsUtf8();
    long BeginImmediate();
    // Commits when status is a success, else rolls back; returns the outcome.
    long Commit(long status);
    // Runs `body` in the transaction whose BEGIN had the outcome `begun`, then commits or rolls
    // back (also when `body` throws).
    long RunBegun(long begun, const std::function<long()>& body);
    static int WaitForLock(void* connection, int attempt);
    // How long this wait for a lock has lasted; the first call starts it and shows it to the others.
    std::chrono::steady_clock::duration Waited();
    // A writer waits without trying for the lock while another has waited longer. False once
    // the busy limit is over.
    bool AwaitTurn();
    // The wait for a lock is over: the flag and the level that told other workstations go.
    void EndWait();

    sqlite3* db_ = nullptr;
    std::unique_ptr<PgConnection> server_; // set when the database is a server's
    PresenceLock presence_;
    QString path_;
    FileIdentity identity_; // the file opened under path_
    bool lost_ = false;
    std::optional<bool> textIsUtf8_;
    bool commitUncertain_ = false; // the last COMMIT failed: whether it reached the file is unknown
    bool waiting_ = false;         // the busy handler flagged this connection as waiting
    bool queueing_ = false;        // waiting for the write lock, in turn with other writers
    ErrorRecords errors_;
    LossHandler lossHandler_;
    std::chrono::steady_clock::time_point waitingSince_;
    std::optional<std::chrono::steady_clock::time_point> busySince_; // a server call runs again since
};

} // namespace engine
