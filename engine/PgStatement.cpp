// A statement on the server: translation, parameters, single-row reads, the read-only fence of a user's filter.

#include "engine/PgStatement.h"

#include "engine/Connection.h"
#include "engine/EngineStatus.h"
#include "engine/PgConnection.h"
#include "engine/PgLibrary.h"
#include "engine/ReadOnlyFence.h"
#include "engine/SqlDialect.h"
#include "engine/Statement.h"

#include <QRegularExpression>

#include <libpq-fe.h>
#include <sqlite3.h>

#include <charconv>
#include <cstdlib>
#include <cstring>
#include <type_traits>

namespace engine {

using namespace pq;

namespace {

// The server's type numbers of the values the program binds and reads.
constexpr Oid kBool = 16;
constexpr Oid kBytea = 17;
constexpr Oid kInt8 = 20;
constexpr Oid kInt2 = 21;
constexpr Oid kInt4 = 23;
constexpr Oid kOid = 26;
constexpr Oid kFloat4 = 700;
constexpr Oid kFloat8 = 701;
constexpr Oid kNumeric = 1700;

const char* kFenceSavepoint = "vellacord_fence";

void ClearResult(pg_result* result)
{
    PQclear(result);
}

void FreeCancel(pg_cancel* cancel)
{
    PQfreeCancel(cancel);
}

// The server writes numbers in the C locale, whatever the workstation's.
double ReadReal(const char* text)
{
    double value = 0;
    std::from_chars(text, text + std::strlen(text), value);
    return value;
}

} // namespace

PgStatement::PgStatement(PgConnection& connection, const QString& sql, Access access)
    : connection_(connection), sql_(sql), row_(nullptr, ClearResult), shape_(nullptr, ClearResult),
      cancel_(nullptr, FreeCancel)
{
    if (!connection.Healthy()) {
        prepareStatus_ = connection.Fail(nullptr, sql);
        return;
    }
    const ServerSql server = ToServerSql(sql);
    text_ = server.text;
    expected_ = server.parameters;
    if (access == Access::ReadOnly) {
        // A user's filter reads in a transaction that cannot write and ends at the time limit;
        // it is rolled back whatever the filter did to its own session.
        nestedFence_ = connection.InTransaction();
        const qint64 limit = ReadOnlyFence::LongestRun().count();
        const QString begin = nestedFence_
            ? QStringLiteral("SAVEPOINT %1; SET LOCAL transaction_read_only = on; ").arg(QLatin1String(kFenceSavepoint))
            : QStringLiteral("BEGIN READ ONLY; ");
        prepareStatus_ = connection.RunCommand(
            begin + QStringLiteral("SET LOCAL statement_timeout = %1; SET LOCAL lock_timeout = %1").arg(limit));
        fenced_ = !Failed(prepareStatus_) || connection.InTransaction();
        return;
    }
    // The key of a new row comes back with the insert itself.
    static const QRegularExpression kInsert(
        QStringLiteral("^\\s*INSERT\\s+INTO\\s+(\"[^\"]+\"|[A-Za-z_][A-Za-z0-9_.]*)"),
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression kReturning(QStringLiteral("\\bRETURNING\\b"),
                                               QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch insert = kInsert.match(text_);
    if (insert.hasMatch() && !kReturning.match(text_).hasMatch()) {
        const QString key = connection.IdentityColumn(insert.captured(1));
        if (!key.isEmpty()) {
            text_ = text_.trimmed();
            while (text_.endsWith(QLatin1Char(';')))
                text_.chop(1);
            text_ += QStringLiteral(" RETURNING ") + QuotedIdentifier(key);
            returnsKey_ = true;
        }
    }
}

PgStatement::~PgStatement()
{
    if (sent_ && !done_ && connection_.streaming() == this) {
        // The caller stopped reading: the server need not send the rest.
        if (pg_cancel* cancel = PQgetCancel(connection_.handle())) {
            char error[256];
            PQcancel(cancel, error, sizeof error);
            PQfreeCancel(cancel);
        }
    }
    StopWatch();
    Drain();
    if (fenced_ && connection_.Healthy()) {
        const QByteArray end = nestedFence_
            ? QByteArray("ROLLBACK TO SAVEPOINT ") + kFenceSavepoint + "; RELEASE SAVEPOINT " + kFenceSavepoint
            : QByteArray("ROLLBACK");
        PQclear(PQexec(connection_.handle(), end.constData()));
    }
}

long PgStatement::Bind(const std::vector<Value>& parameters)
{
    if (Failed(prepareStatus_))
        return prepareStatus_;
    if (static_cast<int>(parameters.size()) != expected_)
        return connection_.FailWith(
            kFaultyCommand,
            QStringLiteral("the command has %1 parameters, %2 values given").arg(expected_).arg(parameters.size()),
            SQLITE_RANGE, sql_);
    parameters_ = parameters;
    return kOk;
}

long PgStatement::Send()
{
    if (text_.trimmed().isEmpty())
        return connection_.FailWith(kFaultyCommand, QStringLiteral("empty statement"), SQLITE_ERROR, sql_);
    if (static_cast<int>(parameters_.size()) != expected_)
        return connection_.FailWith(kFaultyCommand, QStringLiteral("the command's parameters are not bound"),
                                    SQLITE_RANGE, sql_);
    connection_.SettleStreaming();
    const int count = static_cast<int>(parameters_.size());
    std::vector<QByteArray> texts(parameters_.size());
    std::vector<const char*> values(parameters_.size(), nullptr);
    std::vector<int> lengths(parameters_.size(), 0);
    std::vector<int> formats(parameters_.size(), 0);
    std::vector<Oid> types(parameters_.size(), 0);
    for (std::size_t i = 0; i < parameters_.size(); ++i) {
        std::visit(
            [&](const auto& value) {
                using T = std::decay_t<decltype(value)>;
                if constexpr (std::is_same_v<T, std::int64_t>) {
                    texts[i] = QByteArray::number(static_cast<qlonglong>(value));
                    types[i] = kInt8;
                } else if constexpr (std::is_same_v<T, double>) {
                    texts[i] = QByteArray::number(value, 'g', 17);
                    types[i] = kFloat8;
                } else if constexpr (std::is_same_v<T, QString>) {
                    // Untyped: the server takes the type of the column it meets.
                    texts[i] = value.toUtf8();
                } else if constexpr (std::is_same_v<T, QByteArray>) {
                    texts[i] = value;
                    types[i] = kBytea;
                    formats[i] = 1;
                }
                if constexpr (!std::is_same_v<T, std::monostate>) {
                    values[i] = texts[i].constData();
                    lengths[i] = static_cast<int>(texts[i].size());
                }
            },
            parameters_[i]);
    }
    const QByteArray text = text_.toUtf8();
    if (PQsendQueryParams(connection_.handle(), text.constData(), count, types.data(), values.data(), lengths.data(),
                          formats.data(), 0) == 0)
        return connection_.Fail(nullptr, sql_);
    PQsetSingleRowMode(connection_.handle());
    sent_ = true;
    connection_.SetStreaming(this);
    if (fenced_)
        StartWatch();
    return kOk;
}

pg_result* PgStatement::NextResult()
{
    if (!buffered_.empty()) {
        pg_result* result = buffered_.front();
        buffered_.pop_front();
        return result;
    }
    if (connection_.streaming() == this) {
        pg_result* result = PQgetResult(connection_.handle());
        if (result == nullptr)
            connection_.SetStreaming(nullptr);
        return result;
    }
    return nullptr;
}

void PgStatement::BufferRest()
{
    while (pg_result* result = PQgetResult(connection_.handle()))
        buffered_.push_back(result);
}

void PgStatement::Drain()
{
    if (connection_.streaming() == this) {
        while (pg_result* result = PQgetResult(connection_.handle()))
            PQclear(result);
        connection_.SetStreaming(nullptr);
    }
    for (pg_result* result : buffered_)
        PQclear(result);
    buffered_.clear();
}

long PgStatement::Step()
{
    if (Failed(prepareStatus_))
        return prepareStatus_;
    if (done_)
        return kEndOfRowset;
    if (!sent_) {
        const long sent = Send();
        if (Failed(sent)) {
            done_ = true;
            return fenced_ && !connection_.owner().lost() ? kFaultyCommand : sent;
        }
    }
    std::int64_t key = 0;
    for (;;) {
        pg_result* result = NextResult();
        if (result == nullptr) {
            done_ = true;
            StopWatch();
            return kEndOfRowset;
        }
        switch (PQresultStatus(result)) {
        case PGRES_SINGLE_TUPLE:
            if (returnsKey_) {
                key = std::strtoll(PQgetvalue(result, 0, 0), nullptr, 10);
                PQclear(result);
                continue;
            }
            row_.reset(result);
            return kOk;
        case PGRES_TUPLES_OK:
            if (returnsKey_)
                connection_.SetInserted(key, std::atoi(PQcmdTuples(result)));
            else
                connection_.SetChanges(std::atoi(PQcmdTuples(result)));
            shape_.reset(result);
            continue;
        case PGRES_COMMAND_OK:
            connection_.SetChanges(std::atoi(PQcmdTuples(result)));
            PQclear(result);
            continue;
        case PGRES_EMPTY_QUERY:
            PQclear(result);
            Drain();
            done_ = true;
            return connection_.FailWith(kFaultyCommand, QStringLiteral("empty statement"), SQLITE_ERROR, sql_);
        default: {
            const bool timedOut =
                QString::fromLatin1(PQresultErrorField(result, PG_DIAG_SQLSTATE)) == QLatin1String("57014");
            long status = connection_.Fail(result, sql_, fenced_);
            PQclear(result);
            Drain();
            StopWatch();
            done_ = true;
            if (fenced_ && timedOut)
                return connection_.FailWith(kFaultyCommand,
                                            QStringLiteral("the condition ran longer than %1 seconds")
                                                .arg(static_cast<double>(ReadOnlyFence::LongestRun().count()) / 1000.0),
                                            SQLITE_INTERRUPT, sql_);
            // A user's condition that fails while it runs is as faulty as one that does not parse.
            if (fenced_ && !connection_.owner().lost())
                status = kFaultyCommand;
            return status;
        }
        }
    }
}

void PgStatement::StartWatch()
{
    cancel_.reset(PQgetCancel(connection_.handle()));
    if (cancel_ == nullptr)
        return;
    standing_ = true;
    // The server's own limit stops the statement; this one also stops a server that does not
    // answer, a moment later.
    const auto deadline =
        std::chrono::steady_clock::now() + ReadOnlyFence::LongestRun() + std::chrono::milliseconds(500);
    watchdog_ = std::thread([this, deadline] {
        std::unique_lock lock(mutex_);
        if (down_.wait_until(lock, deadline, [this] { return !standing_; }))
            return;
        char error[256];
        PQcancel(cancel_.get(), error, sizeof error);
    });
}

void PgStatement::StopWatch()
{
    if (!watchdog_.joinable())
        return;
    {
        std::lock_guard lock(mutex_);
        standing_ = false;
    }
    down_.notify_all();
    watchdog_.join();
}

int PgStatement::ColumnCount() const
{
    const pg_result* described = row_ ? row_.get() : shape_.get();
    return described != nullptr ? PQnfields(described) : 0;
}

QStringList PgStatement::ColumnNames() const
{
    const pg_result* described = shape_ ? shape_.get() : row_.get();
    QStringList names;
    for (int i = 0; described != nullptr && i < PQnfields(described); ++i)
        names << QString::fromUtf8(PQfname(described, i));
    return names;
}

Value PgStatement::Column(int index) const
{
    if (!row_ || PQgetisnull(row_.get(), 0, index))
        return std::monostate{};
    const char* text = PQgetvalue(row_.get(), 0, index);
    switch (PQftype(row_.get(), index)) {
    case kBool:
        // Yes is -1, as the program stores it.
        return std::int64_t{text[0] == 't' ? -1 : 0};
    case kInt2:
    case kInt4:
    case kInt8:
    case kOid:
        return static_cast<std::int64_t>(std::strtoll(text, nullptr, 10));
    case kFloat4:
    case kFloat8:
    case kNumeric:
        return ReadReal(text);
    case kBytea: {
        std::size_t length = 0;
        unsigned char* bytes = PQunescapeBytea(reinterpret_cast<const unsigned char*>(text), &length);
        QByteArray value(reinterpret_cast<const char*>(bytes), static_cast<qsizetype>(length));
        PQfreemem(bytes);
        return value;
    }
    default:
        return QString::fromUtf8(text, PQgetlength(row_.get(), 0, index));
    }
}

std::int64_t PgStatement::ColumnInt(int index) const
{
    if (!row_ || PQgetisnull(row_.get(), 0, index))
        return 0;
    const char* text = PQgetvalue(row_.get(), 0, index);
    if (PQftype(row_.get(), index) == kBool)
        return text[0] == 't' ? -1 : 0;
    return std::strtoll(text, nullptr, 10);
}

double PgStatement::ColumnReal(int index) const
{
    if (!row_ || PQgetisnull(row_.get(), 0, index))
        return 0;
    return ReadReal(PQgetvalue(row_.get(), 0, index));
}

const char* PgStatement::ColumnUtf8(int index, int& bytes) const
{
    if (!row_ || PQgetisnull(row_.get(), 0, index)) {
        bytes = 0;
        return nullptr;
    }
    bytes = PQgetlength(row_.get(), 0, index);
    return PQgetvalue(row_.get(), 0, index);
}

} // namespace engine
