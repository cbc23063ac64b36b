#include "store/Connection.h"

#include "platform/OleDate.h"
#include "store/EngineStatus.h"
#include "store/Rowset.h"
#include "store/Statement.h"

#include <QFileInfo>

#include <sqlite3.h>

#include <utility>

namespace engine {

namespace {

constexpr int kBusyTimeoutMs = 5000;

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

} // namespace

Connection::Connection(Connection&& other) noexcept
    : db_(std::exchange(other.db_, nullptr)), presence_(std::move(other.presence_)), path_(std::move(other.path_))
{
}

Connection& Connection::operator=(Connection&& other) noexcept
{
    if (this != &other) {
        Close();
        db_ = std::exchange(other.db_, nullptr);
        presence_ = std::move(other.presence_);
        path_ = std::move(other.path_);
    }
    return *this;
}

Connection::~Connection()
{
    Close();
}

long Connection::Fail(int code, const QString& sql)
{
    const QString message = db_ != nullptr ? QString::fromUtf8(sqlite3_errmsg(db_)) : QString::fromUtf8(sqlite3_errstr(code));
    const int extended = db_ != nullptr ? sqlite3_extended_errcode(db_) : code;
    RecordError({message, extended, sql});
    return StatusOf(code);
}

long Connection::Open(const QString& path)
{
    Close();
    if (!QFileInfo(path).isFile()) {
        RecordError({QStringLiteral("the database file does not exist: %1").arg(path), SQLITE_CANTOPEN, QString()});
        return kFailure;
    }
    if (!presence_.Acquire(path, PresenceLock::Kind::Shared)) {
        RecordError({QStringLiteral("the database file is in use for maintenance: %1").arg(path), SQLITE_BUSY,
                     QString()});
        return kFailure;
    }
    const QByteArray nativePath = path.toUtf8();
    const int code = sqlite3_open_v2(nativePath.constData(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (code != SQLITE_OK) {
        const long status = Fail(code, QString());
        Close();
        return status;
    }
    path_ = path;
    sqlite3_extended_result_codes(db_, 1);
    sqlite3_busy_timeout(db_, kBusyTimeoutMs);
    sqlite3_create_function_v2(db_, "now", 0, SQLITE_UTF8, nullptr, NowFunction, nullptr, nullptr, nullptr);
    // Shared memory for a write-ahead log does not work on file shares; a file that is not a
    // database refuses these, and the first query then tells the caller what it is.
    Execute(QStringLiteral("PRAGMA journal_mode=DELETE"));
    Execute(QStringLiteral("PRAGMA synchronous=FULL"));
    TakeErrorRecords();
    return kOk;
}

void Connection::Close()
{
    if (db_ != nullptr) {
        sqlite3_close_v2(db_);
        db_ = nullptr;
    }
    presence_.Release();
    path_.clear();
}

long Connection::Execute(const QString& sql, const Parameters& parameters)
{
    Statement statement(*this, sql);
    long status = statement.Bind(parameters);
    while (status == kOk)
        status = statement.Step();
    return status == kEndOfRowset ? kOk : status;
}

long Connection::Query(const QString& sql, const Parameters& parameters, Rowset& rows)
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

std::int64_t Connection::LastInsertId() const
{
    return db_ != nullptr ? sqlite3_last_insert_rowid(db_) : 0;
}

int Connection::Changes() const
{
    return db_ != nullptr ? sqlite3_changes(db_) : 0;
}

long Connection::CreateFile(const QString& path)
{
    if (QFileInfo::exists(path)) {
        RecordError({QStringLiteral("a data source already exists: %1").arg(path), SQLITE_CANTOPEN, QString()});
        return kDataSourceExists;
    }
    sqlite3* db = nullptr;
    const QByteArray nativePath = path.toUtf8();
    int code = sqlite3_open_v2(nativePath.constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    if (code == SQLITE_OK)
        // Writing the header makes the file a database even before the first table.
        code = sqlite3_exec(db, "PRAGMA journal_mode=DELETE; PRAGMA user_version=0; VACUUM;", nullptr, nullptr, nullptr);
    long status = kOk;
    if (code != SQLITE_OK) {
        RecordError({QString::fromUtf8(db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(code)), code, QString()});
        status = kFailure;
    }
    sqlite3_close_v2(db);
    return status;
}

long Connection::CompactInto(const QString& source, const QString& destination)
{
    Connection connection;
    long status = connection.Open(source);
    if (Failed(status))
        return status;
    if (QFileInfo::exists(destination)) {
        RecordError({QStringLiteral("the destination exists: %1").arg(destination), SQLITE_CANTOPEN, QString()});
        return kDataSourceExists;
    }
    return connection.Execute(QStringLiteral("VACUUM INTO ?"), {destination});
}

} // namespace engine
