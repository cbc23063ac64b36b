// The connection to the shared file: opening it, the fair wait for its locks, statements, transactions, failures.

#include "engine/Connection.h"

#include "base/Check.h"
#include "engine/BoundedTrim.h"
#include "engine/EngineLibrary.h"
#include "engine/EngineStatus.h"
#include "engine/PgConnection.h"
#include "engine/Rowset.h"
#include "engine/SqlDialect.h"
#include "engine/Statement.h"
#include "engine/ViewFence.h"
#include "platform/OleDate.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QScopeGuard>

#include <sqlite3.h>

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <thread>
#include <utility>

namespace engine {

namespace {

// A wait for a lock polls it with short sleeps of random length, so that waiters do not try in
// step, which grow a little as the wait goes on but stay short: each try is a call to the file
// server, and a freed lock should not stay unused. SQLite's own handler sleeps ever longer, up to
// 100 ms, and leaves a freed lock to whoever happens to try first, so that with eight
// workstations saving at once some waited for twenty saves.
constexpr std::chrono::microseconds kShortestSleep{1000};
constexpr std::chrono::microseconds kLongestSleep{4000};
constexpr std::chrono::milliseconds kSleepGrowsWithin{100};
// Writers take the write lock in the order they asked for it: each shows how long it has waited
// in steps of this length, and none tries while another has waited longer.
constexpr std::chrono::milliseconds kWaitLevelStep{2};
// How long a writer lets longer waiters go first. A waiter that no longer moves up (a workstation
// that died waiting, whose lock a file share keeps until its lease runs out) would otherwise hold
// back every save on every workstation until the others had waited as long.
constexpr std::chrono::milliseconds kLongestDeference{1000};
constexpr std::chrono::milliseconds kDefaultBusyLimit{30000};
// A transaction a server refused for a conflict runs again after a random pause of up to this.
constexpr std::chrono::microseconds kLongestServerPause{20000};

// Measured with 10 ms disk syncs on a busy machine: DELETE 60 ms a save alone and 386 ms with
// eight saving at once (p50); PERSIST 67 and 457 ms, TRUNCATE 77 and 467 ms (each syncs the
// journal once more).
constexpr const char* kJournalMode = "PRAGMA journal_mode=DELETE";

void SleepAWhile(std::chrono::steady_clock::duration waited)
{
    const double grown = std::min(1.0, std::chrono::duration<double>(waited) / kSleepGrowsWithin);
    const auto ceiling = kShortestSleep +
        std::chrono::duration_cast<std::chrono::microseconds>((kLongestSleep - kShortestSleep) * grown);
    std::this_thread::sleep_for(
        ceiling / 2 +
        std::chrono::microseconds(QRandomGenerator::global()->bounded(static_cast<int>(ceiling.count() / 2) + 1)));
}

std::chrono::milliseconds& BusyLimitSetting()
{
    static std::chrono::milliseconds limit = kDefaultBusyLimit;
    return limit;
}

void NowFunction(sqlite3_context* context, int, sqlite3_value**)
{
    sqlite3_result_double(context, OleDateNow());
}

long StatusOf(int code)
{
    switch (code & 0xff) {
    case SQLITE_OK:
        return kOk;
    case SQLITE_CONSTRAINT:
        return kIntegrityViolation;
    default:
        return kFailure;
    }
}

// Failures that say the file itself is out of reach (gone, replaced, unreadable, unwritable, or
// held by another program beyond the busy limit), not that a statement was wrong. A file that is
// no database is not out of reach: waiting for it changes nothing, and the user must hear what
// it is instead.
bool MeansFileUnreachable(int code)
{
    switch (code & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_IOERR:
    case SQLITE_READONLY:
    case SQLITE_CANTOPEN:
    case SQLITE_PROTOCOL:
        return true;
    default:
        return false;
    }
}

// A file that is no database, or one cut off or damaged, opens; its first read fails.
bool MeansNoUsableDatabase(int code)
{
    return (code & 0xff) == SQLITE_NOTADB || (code & 0xff) == SQLITE_CORRUPT;
}

// A journal whose first byte is zero holds no change the engine would replay: a writer stopped
// before it wrote the header. The engine leaves such a file in place for ever.
bool HoldsNoChange(const QString& journal)
{
    QFile file(journal);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    char first = 0;
    return file.read(&first, 1) <= 0 || first == 0;
}

QString SystemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

Connection::Connection() = default;

Connection::Connection(Connection&& other) noexcept
    : db_(std::exchange(other.db_, nullptr)), presence_(std::move(other.presence_)), path_(std::move(other.path_)),
      identity_(other.identity_), lost_(std::exchange(other.lost_, false)), errors_(std::move(other.errors_)),
      lossHandler_(std::move(other.lossHandler_))
{
    MoveServerFrom(other);
    if (db_ != nullptr)
        sqlite3_busy_handler(db_, WaitForLock, this);
}

Connection& Connection::operator=(Connection&& other) noexcept
{
    if (this != &other) {
        Close();
        db_ = std::exchange(other.db_, nullptr);
        presence_ = std::move(other.presence_);
        path_ = std::move(other.path_);
        identity_ = other.identity_;
        lost_ = std::exchange(other.lost_, false);
        errors_ = std::move(other.errors_);
        lossHandler_ = std::move(other.lossHandler_);
        MoveServerFrom(other);
        if (db_ != nullptr)
            sqlite3_busy_handler(db_, WaitForLock, this);
    }
    return *this;
}

Connection::~Connection()
{
    Close();
}

void Connection::SetBusyLimit(std::chrono::milliseconds limit)
{
    BusyLimitSetting() = limit;
}

std::chrono::milliseconds Connection::BusyLimit()
{
    return BusyLimitSetting();
}

int Connection::WaitForLock(void* connection, int attempt)
{
    auto& self = *static_cast<Connection*>(connection);
    // A writer's turn may have begun before its first try; any other wait begins at the first.
    if (attempt == 0 && !self.queueing_)
        self.EndWait();
    if (self.queueing_ && !self.AwaitTurn())
        return 0;
    const auto waited = self.Waited();
    if (waited >= BusyLimitSetting())
        return 0;
    // The writer whose turn it is tries often: every moment the lock lies unused after a commit
    // is added to every waiting writer's save.
    SleepAWhile(self.queueing_ ? std::chrono::steady_clock::duration::zero() : waited);
    return 1;
}

std::chrono::steady_clock::duration Connection::Waited()
{
    const auto now = std::chrono::steady_clock::now();
    if (!waiting_) {
        waitingSince_ = now;
        presence_.SetWaiting(true);
        waiting_ = true;
    }
    return now - waitingSince_;
}

bool Connection::AwaitTurn()
{
    // A waiter that stopped (a suspended machine) keeps its level but does not raise it, so the
    // others pass it once they have waited as long; the busy limit bounds every wait.
    for (;;) {
        const auto waited = Waited();
        if (waited >= BusyLimitSetting())
            return false;
        const int level = static_cast<int>(waited / kWaitLevelStep);
        presence_.SetWaitLevel(level);
        if (waited >= kLongestDeference || !presence_.LongerWaiterThan(level))
            return true;
        // Whoever waited longer still has a whole transaction to go after it took the lock, so
        // checking less often loses nothing and leaves the processor to those at work.
        std::this_thread::sleep_for(kLongestSleep +
                                    std::chrono::microseconds(QRandomGenerator::global()->bounded(
                                        static_cast<int>(kLongestSleep.count()) + 1)));
    }
}

void Connection::EndWait()
{
    if (waiting_) {
        presence_.SetWaiting(false);
        presence_.SetWaitLevel(-1);
        waiting_ = false;
    }
}

QString Connection::JournalOf(const QString& path)
{
    return path + QStringLiteral("-journal");
}

ErrorRecords Connection::TakeErrorRecords()
{
    return std::exchange(errors_, {});
}

QString Connection::TakeErrorMessage()
{
    const ErrorRecords records = TakeErrorRecords();
    return records.empty() ? QStringLiteral("the database engine failed") : records.front().message;
}

long Connection::RecordFailure(long status, const ErrorRecord& record)
{
    ErrorRecord classified = record;
    if (classified.kind == FailureKind::Other)
        classified.kind = KindOfCode(classified.extendedCode);
    if (classified.file.isEmpty())
        classified.file = path_;
    errors_ = {classified};
    return status;
}

long Connection::Fail(int code, const QString& sql)
{
    const QString message =
        db_ != nullptr ? QString::fromUtf8(sqlite3_errmsg(db_)) : QString::fromUtf8(sqlite3_errstr(code));
    const int extended = db_ != nullptr ? sqlite3_extended_errcode(db_) : code;
    if (MeansFileUnreachable(code))
        lost_ = true;
    return RecordFailure(StatusOf(code), {message, extended, sql});
}

long Connection::OpenFailure(long status, const ErrorRecord& record)
{
    Close();
    return RecordFailure(status, record);
}

bool Connection::TextIsUtf8()
{
    if (!textIsUtf8_) {
        sqlite3_stmt* pragma = nullptr;
        if (sqlite3_prepare_v2(db_, "PRAGMA encoding", -1, &pragma, nullptr) == SQLITE_OK &&
            sqlite3_step(pragma) == SQLITE_ROW) {
            const auto* name = reinterpret_cast<const char*>(sqlite3_column_text(pragma, 0));
            textIsUtf8_ = name != nullptr && std::strcmp(name, "UTF-8") == 0;
        }
        sqlite3_finalize(pragma);
    }
    // Unknown (the question failed) counts as no: the texts are then converted.
    return textIsUtf8_.value_or(false);
}

long Connection::Open(const QString& path)
{
    Close();
    errors_.clear();
    if (IsServerName(path))
        return OpenServer(path);
    if (!QFileInfo(path).isFile())
        return OpenFailure(kFailure,
                           {QStringLiteral("the database file does not exist: %1").arg(path),
                            SQLITE_CANTOPEN,
                            {},
                            FailureKind::Unreachable,
                            path});
    if (!presence_.Acquire(path, PresenceLock::Kind::Shared)) {
        const QString reason = presence_.errorCode() == EAGAIN
            ? QStringLiteral("the database file is in use for maintenance: %1").arg(path)
            : QStringLiteral("the database file cannot be read (%1): %2").arg(SystemError(presence_.errorCode()), path);
        return OpenFailure(kFailure, {reason, SQLITE_CANTOPEN, {}, FailureKind::Unreachable, path});
    }
    const QByteArray nativePath = QFile::encodeName(path);
    if (::access(nativePath.constData(), R_OK | W_OK) != 0)
        return OpenFailure(kFailure,
                           {QStringLiteral("the database file is not writable (%1): %2").arg(SystemError(errno), path),
                            SQLITE_READONLY,
                            {},
                            FailureKind::ReadOnly,
                            path});
    // The rollback journal is created beside the file.
    const QString folder = QFileInfo(path).absolutePath();
    if (::access(QFile::encodeName(folder).constData(), W_OK | X_OK) != 0)
        return OpenFailure(
            kFailure,
            {QStringLiteral("the folder of the database is not writable (%1): %2").arg(SystemError(errno), folder),
             SQLITE_READONLY,
             {},
             FailureKind::ReadOnly,
             folder});

    const int code =
        sqlite3_open_v2(nativePath.constData(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (code != SQLITE_OK) {
        path_ = path;
        const long status = Fail(code, QString());
        Close();
        return status;
    }
    const std::optional<FileIdentity> identity = FileIdentity::OfName(path);
    if (!identity)
        return OpenFailure(kFailure,
                           {QStringLiteral("the database file vanished: %1").arg(path),
                            SQLITE_CANTOPEN,
                            {},
                            FailureKind::Unreachable,
                            path});
    path_ = path;
    identity_ = *identity;
    sqlite3_extended_result_codes(db_, 1);
    sqlite3_busy_handler(db_, WaitForLock, this);
    sqlite3_create_function_v2(db_, "now", 0, SQLITE_UTF8, nullptr, NowFunction, nullptr, nullptr, nullptr);
    RegisterBoundedTrim(db_);

    // Reading once tells a file that another program holds locked from one that can be used.
    Rowset probe;
    const long probed = QueryOnce(QStringLiteral("SELECT count(*) FROM sqlite_master"), {}, probe);
    if (Failed(probed)) {
        if (!MeansNoUsableDatabase(sqlite3_extended_errcode(db_))) {
            Close();
            return probed;
        }
        // Not a database, or a damaged one: the first query tells the caller what it is.
        lost_ = false;
        return kOk;
    }
    // Shared memory for a write-ahead log does not work on file shares.
    ExecuteOnce(QString::fromLatin1(kJournalMode), {});
    ExecuteOnce(QStringLiteral("PRAGMA synchronous=FULL"), {});
    // The probe has replayed a journal that held a change; one that holds none is removed here.
    DiscardEmptyJournal();
    errors_.clear();
    return kOk;
}

bool Connection::DiscardEmptyJournal()
{
    if (server_)
        return false;
    const QString journal = JournalOf(path_);
    if (!QFileInfo::exists(journal))
        return false;
    // Only under the write lock: a writer at work holds it from before it creates its journal
    // until after it removed it. A writer ahead means the journal is its own, so no waiting.
    sqlite3_busy_handler(db_, nullptr, nullptr);
    const bool locked = sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_busy_handler(db_, WaitForLock, this);
    if (!locked)
        return false;
    const bool discarded = HoldsNoChange(journal) && QFile::remove(journal);
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    return discarded;
}

void Connection::Close()
{
    textIsUtf8_.reset();
    server_.reset();
    if (db_ != nullptr) {
        sqlite3_close_v2(db_);
        db_ = nullptr;
    }
    presence_.Release();
    waiting_ = false;
    path_.clear();
    lost_ = false;
}

bool Connection::StillNamesItsFile() const
{
    if (server_)
        return server_->Healthy();
    if (db_ == nullptr)
        return false;
    return FileIdentity::OfName(path_) == identity_ && ::access(QFile::encodeName(path_).constData(), R_OK | W_OK) == 0;
}

bool Connection::InTransaction() const
{
    if (server_)
        return server_->InTransaction();
    return db_ != nullptr && sqlite3_get_autocommit(db_) == 0;
}

long Connection::BeginImmediate()
{
    // One that comes while other writers wait joins them instead of taking the lock in the moment
    // between two of them (as one that just committed would, again and again).
    EndWait();
    queueing_ = true;
    // Whatever way this ends, the level goes: a level left shown would hold back the others, and
    // the connection's reads would queue as writers.
    const auto leaveQueue = qScopeGuard([this] {
        queueing_ = false;
        EndWait();
    });
    if (presence_.LongerWaiterThan(-1))
        AwaitTurn();
    return ExecuteOnce(QStringLiteral("BEGIN IMMEDIATE"), {});
}

long Connection::Commit(long status)
{
    if (!Failed(status)) {
        const long committed = ExecuteOnce(QStringLiteral("COMMIT"), {});
        if (Failed(committed)) {
            status = committed;
            // The engine may fail after the change reached the file; running it again could
            // apply it twice (a second defect from one insert). A COMMIT refused because another
            // workstation held its read lock beyond the busy limit wrote nothing: the whole
            // transaction can run again once the file is free.
            commitUncertain_ = !(errors_.size() == 1 && IsBusyRefusal(errors_.front()));
        }
    }
    if (Failed(status) && InTransaction())
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    return status;
}

long Connection::Attempt(const std::function<long()>& call)
{
    for (;;) {
        const bool outermost = !InTransaction();
        // Only this call's failure may send it round again: a flag left by an earlier call whose
        // commit failed would run a call that succeeded a second time (an insert twice).
        if (outermost)
            lost_ = false;
        const long status = call();
        const bool uncertain = std::exchange(commitUncertain_, false);
        if (outermost && ServerBusyAgain(status))
            continue;
        if (!lost_ || !outermost || !lossHandler_ || uncertain)
            return status;
        lossHandler_(status);
        if (!IsOpen() || lost_)
            return status;
    }
}

long Connection::Execute(const QString& sql, const Parameters& parameters)
{
    return Attempt([&] { return ExecuteOnce(sql, parameters); });
}

long Connection::ExecuteOnce(const QString& sql, const Parameters& parameters)
{
    Statement statement(*this, sql);
    long status = statement.Bind(parameters);
    if (Failed(status))
        return status;
    // A write that starts as a read would have to upgrade its lock, and SQLite refuses that
    // upgrade at once, without waiting, when another writer is ahead.
    const bool ownTransaction = !InTransaction() && statement.WritesInTransaction();
    if (ownTransaction && Failed(status = BeginImmediate()))
        return status;
    while (status == kOk)
        status = statement.Step();
    status = status == kEndOfRowset ? kOk : status;
    return ownTransaction ? Commit(status) : status;
}

long Connection::WriteTransaction(const std::function<long()>& body)
{
    if (InTransaction())
        return body();
    if (server_)
        return Attempt([&] { return server_ ? server_->Transaction(body) : kFailure; });
    return Attempt([&] { return RunBegun(BeginImmediate(), body); });
}

long Connection::ReadTogether(const std::function<long()>& body)
{
    if (server_ || InTransaction())
        return body();
    // Deferred: the read lock comes with the first read, waiting for writers as any read does.
    return Attempt([&] { return RunBegun(ExecuteOnce(QStringLiteral("BEGIN"), {}), body); });
}

long Connection::RunBegun(long begun, const std::function<long()>& body)
{
    if (Failed(begun))
        return begun;
    long status = kOk;
    try {
        status = body();
    } catch (...) {
        // An open transaction would keep its lock against every other workstation.
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
    return Commit(status);
}

long Connection::ReplaceView(const QString& name, const QString& select)
{
    static const QRegularExpression kIdentifier(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
    check::precondition(kIdentifier.match(name).hasMatch(), "view name is no plain identifier");
    if (server_)
        return server_->ReplaceView(name, select);
    // The body runs unfenced in every program that reads the view later, so it must pass the
    // filter's fence here first: one statement, reading only, no forbidden function, and run to
    // its end within the fence's time, since a report program holds its read lock, which keeps
    // every workstation from saving, for as long as the query runs.
    const long checked = ReadRows(
        select, {}, Access::ReadOnly, [] {}, [](const Statement&) {});
    if (Failed(checked))
        return checked;
    const QString create = QStringLiteral("CREATE VIEW %1 AS %2").arg(name, select);
    // A schema change makes every workstation prepare its statements again, and the write waits
    // for the other writers: a view that is already the same is left alone.
    std::int64_t same = 0;
    const long compared =
        QueryInt(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type='view' AND name=? AND sql=?"),
                 {name, create}, same);
    if (Failed(compared) || same > 0)
        return compared;
    return WriteTransaction([&] {
        {
            const ViewFence fence(db_, name);
            const long dropped = ExecuteOnce(QStringLiteral("DROP VIEW IF EXISTS %1").arg(name), {});
            const long created = Failed(dropped) ? dropped : ExecuteOnce(create, {});
            if (Failed(created))
                return created;
        }
        // A body that reads the old view makes the new one read itself: no program could read it,
        // and SQLite would refuse to rename or drop any column of the file while it stands.
        return Statement(*this, QStringLiteral("SELECT * FROM %1").arg(name), Access::ReadOnly).Bind({});
    });
}

long Connection::Query(const QString& sql, const Parameters& parameters, Rowset& rows)
{
    return Attempt([&] { return QueryOnce(sql, parameters, rows); });
}

long Connection::QueryOnce(const QString& sql, const Parameters& parameters, Rowset& rows)
{
    Statement statement(*this, sql);
    long status = statement.Bind(parameters);
    if (Failed(status))
        return status;
    std::vector<Row> collected;
    while ((status = statement.Step()) == kOk) {
        Row row;
        row.reserve(static_cast<std::size_t>(statement.ColumnCount()));
        for (int i = 0; i < statement.ColumnCount(); ++i)
            row.push_back(statement.Column(i));
        collected.push_back(std::move(row));
    }
    if (Failed(status))
        return status;
    rows.Reset(statement.ColumnNames(), std::move(collected));
    return kOk;
}

long Connection::ReadRows(const QString& sql, const Parameters& parameters, Access access,
                          const std::function<void()>& begin, const std::function<void(const Statement&)>& row)
{
    return Attempt([&] {
        Statement statement(*this, sql, access);
        long status = statement.Bind(parameters);
        if (Failed(status))
            return status;
        bool begun = false;
        while ((status = statement.Step()) == kOk) {
            if (!std::exchange(begun, true))
                begin();
            row(statement);
        }
        if (status != kEndOfRowset)
            return status;
        if (!begun)
            begin();
        return kOk;
    });
}

std::optional<Connection::ChangeStamp> Connection::ReadChangeStamp()
{
    constexpr qint64 kChangeCounterOffset = 24; // big-endian, 4 bytes
    if (server_) {
        const std::optional<std::int64_t> counter = server_->ReadChangeCounter();
        return counter ? std::optional(ChangeStamp{{}, static_cast<std::uint32_t>(*counter)}) : std::nullopt;
    }
    if (!IsOpen() || InTransaction())
        return std::nullopt;
    // A deferred transaction takes its shared lock at the first read; the schema cookie is in the
    // header page, so no other page is read (a page the list pushed out of the cache would be).
    const int begun = sqlite3_exec(db_, "BEGIN; PRAGMA schema_version;", nullptr, nullptr, nullptr);
    EndWait();
    if (begun != SQLITE_OK) {
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        return std::nullopt;
    }
    const QByteArray bytes = presence_.ReadAt(kChangeCounterOffset, 4);
    sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
    if (bytes.size() != 4)
        return std::nullopt;
    std::uint32_t counter = 0;
    for (const char byte : bytes)
        counter = (counter << 8) | static_cast<unsigned char>(byte);
    return ChangeStamp{identity_, counter};
}

long Connection::QueryInt(const QString& sql, const Parameters& parameters, std::int64_t& value)
{
    Rowset rows;
    const long status = Query(sql, parameters, rows);
    if (Failed(status))
        return status;
    if (rows.MoveFirst() == kEndOfRowset || rows.ColumnCount() == 0)
        return kEndOfRowset;
    value = rows.Int(0);
    return kOk;
}

int Connection::ChangeNotificationSocket() const
{
    return server_ ? server_->Socket() : -1;
}

bool Connection::TakeChangeNotifications()
{
    return server_ && server_->TakeNotifications();
}

bool Connection::TakeServerMaintenance()
{
    return server_ && server_->TakeMaintenance();
}

QString Connection::ServerMaintenanceReason()
{
    return server_ ? server_->MaintenanceReason() : QString();
}

long Connection::QueryTableColumns(const QString& table, Rowset& columns)
{
    if (server_)
        return Query(ServerTableColumnsQuery(), {table}, columns);
    return Query(QStringLiteral("PRAGMA table_info(%1)").arg(QuotedIdentifier(table)), {}, columns);
}

std::int64_t Connection::LastInsertId() const
{
    if (server_)
        return server_->LastInsertId();
    return db_ != nullptr ? sqlite3_last_insert_rowid(db_) : 0;
}

int Connection::Changes() const
{
    if (server_)
        return server_->Changes();
    return db_ != nullptr ? sqlite3_changes(db_) : 0;
}

long Connection::OpenServer(const QString& uri)
{
    path_ = uri;
    server_ = std::make_unique<PgConnection>(*this);
    const long status = server_->Open(uri);
    if (Failed(status)) {
        ErrorRecords errors = std::move(errors_);
        Close();
        errors_ = std::move(errors);
    }
    return status;
}

void Connection::MoveServerFrom(Connection& other)
{
    server_ = std::move(other.server_);
    if (server_)
        server_->Rebind(*this);
}

bool Connection::ServerBusyAgain(long status)
{
    // A deadlock or serialisation failure rolled the server's transaction back: it runs again,
    // after a short random pause, until the busy limit is over.
    if (!server_ || !Failed(status) || !server_->TakeBusy()) {
        busySince_.reset();
        return false;
    }
    const auto now = std::chrono::steady_clock::now();
    if (!busySince_)
        busySince_ = now;
    if (now - *busySince_ >= BusyLimitSetting()) {
        busySince_.reset();
        return false;
    }
    std::this_thread::sleep_for(
        kShortestSleep +
        std::chrono::microseconds(QRandomGenerator::global()->bounded(static_cast<int>(kLongestServerPause.count()))));
    return true;
}

long Connection::CreateFile(const QString& path, ErrorRecords* errors)
{
    ErrorRecords found;
    long status = kOk;
    if (QFileInfo::exists(path)) {
        found = {{QStringLiteral("a data source already exists: %1").arg(path), SQLITE_CANTOPEN, QString()}};
        status = kDataSourceExists;
    } else {
        sqlite3* db = nullptr;
        const QByteArray nativePath = QFile::encodeName(path);
        int code = sqlite3_open_v2(nativePath.constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
        if (code == SQLITE_OK)
            // Writing the header makes the file a database even before the first table.
            code = sqlite3_exec(db, "PRAGMA user_version=0; VACUUM;", nullptr, nullptr, nullptr);
        if (code != SQLITE_OK) {
            found = {{QString::fromUtf8(db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(code)), code, QString()}};
            status = kFailure;
        }
        sqlite3_close_v2(db);
    }
    if (errors != nullptr)
        *errors = std::move(found);
    return status;
}

long Connection::CompactInto(const QString& source, const QString& destination, ErrorRecords* errors)
{
    Connection connection;
    long status = connection.Open(source);
    if (!Failed(status) && QFileInfo::exists(destination))
        status = connection.RecordFailure(
            kDataSourceExists,
            {QStringLiteral("the destination exists: %1").arg(destination), SQLITE_CANTOPEN, QString()});
    if (!Failed(status))
        status = connection.Execute(QStringLiteral("VACUUM INTO ?"), {destination});
    if (errors != nullptr)
        *errors = connection.TakeErrorRecords();
    return status;
}

} // namespace engine
