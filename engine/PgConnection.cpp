// The server session behind a connection: connecting by URI, transactions, failures by SQLSTATE, the change counter.

#include "engine/PgConnection.h"
#include "engine/PgLibrary.h"

#include "engine/Connection.h"
#include "engine/EngineStatus.h"
#include "engine/PgStatement.h"
#include "engine/SqlDialect.h"
#include "engine/Statement.h"

#include <QTimeZone>

#include <libpq-fe.h>
#include <sqlite3.h>

namespace engine {

using namespace pq;

namespace {

void IgnoreNotice(void*, const char*)
{
}

} // namespace

ServerFailure ClassifySqlState(const QString& state)
{
    if (state.isEmpty() || state.startsWith(QLatin1String("08")) || state == QLatin1String("57P01") ||
        state == QLatin1String("57P02") || state == QLatin1String("57P03"))
        return {kFailure, SQLITE_IOERR, true, false, false};
    // A deadlock or a serialisation failure rolled the transaction back: running it again helps.
    if (state == QLatin1String("40P01") || state == QLatin1String("40001"))
        return {kFailure, SQLITE_BUSY, false, true, false};
    // The session's lock wait is the busy limit: another session held the lock beyond it.
    if (state == QLatin1String("55P03"))
        return {kFailure, SQLITE_BUSY, true, false, false};
    if (state.startsWith(QLatin1String("23")))
        return {kIntegrityViolation, SQLITE_CONSTRAINT, false, false, false};
    if (state == QLatin1String("53100"))
        return {kFailure, SQLITE_FULL, false, false, false};
    if (state == QLatin1String("57014"))
        return {kFailure, SQLITE_INTERRUPT, false, false, true};
    if (state == QLatin1String("25006"))
        return {kFailure, SQLITE_READONLY, false, false, false};
    if (state == QLatin1String("42501"))
        return {kFailure, SQLITE_PERM, false, false, false};
    if (state.startsWith(QLatin1String("42")))
        return {kFaultyCommand, SQLITE_ERROR, false, false, false};
    return {kFailure, SQLITE_ERROR, false, false, false};
}

std::vector<std::pair<QString, QString>> ServerConnectionParameters(const QString& uri)
{
    std::vector<std::pair<QString, QString>> parameters;
    char* error = nullptr;
    PQconninfoOption* options = PQconninfoParse(uri.toUtf8().constData(), &error);
    if (error != nullptr)
        PQfreemem(error);
    if (options == nullptr)
        return parameters;
    for (const PQconninfoOption* option = options; option->keyword != nullptr; ++option) {
        if (option->val != nullptr && qstrcmp(option->keyword, "password") != 0)
            parameters.emplace_back(QString::fromUtf8(option->keyword), QString::fromUtf8(option->val));
    }
    PQconninfoFree(options);
    return parameters;
}

PgConnection::PgConnection(Connection& owner) : owner_(&owner)
{
}

PgConnection::~PgConnection()
{
    if (conn_ != nullptr)
        PQfinish(conn_);
}

long PgConnection::Open(const QString& uri)
{
    conn_ = PQconnectdb(uri.toUtf8().constData());
    if (conn_ == nullptr || PQstatus(conn_) != CONNECTION_OK) {
        const QString message =
            conn_ != nullptr ? QString::fromUtf8(PQerrorMessage(conn_)).trimmed() : QStringLiteral("out of memory");
        if (conn_ != nullptr)
            PQfinish(conn_);
        conn_ = nullptr;
        owner_->lost_ = true;
        return owner_->RecordFailure(kFailure,
                                     {QStringLiteral("the database server cannot be reached: %1").arg(message),
                                      SQLITE_CANTOPEN, QString(), FailureKind::Unreachable, DisplayNameOfServer(uri)});
    }
    PQsetNoticeProcessor(conn_, IgnoreNotice, nullptr);
    // The program's now() comes before the server's; lock waits end at the busy limit, as on a file.
    const long set = RunCommand(QStringLiteral("SET search_path = vellacord, pg_catalog; SET lock_timeout = %1; "
                                               "SET client_encoding = 'UTF8'")
                                    .arg(Connection::BusyLimit().count()));
    if (Failed(set))
        return set;
    // OLE dates are local time: the session takes the workstation's zone. A zone the server does
    // not know leaves the server's.
    const QByteArray zone = QTimeZone::systemTimeZoneId();
    if (!zone.isEmpty() && !zone.contains('\'')) {
        PGresult* result = PQexec(conn_, QByteArray("SET TIME ZONE '" + zone + "'").constData());
        PQclear(result);
    }
    // Every commit's trigger notifies this channel; other workstations refresh at once.
    PQclear(PQexec(conn_, "LISTEN vellacord_changes"));
    // Presence: refused while a maintainer holds the database. A database without the program's
    // schema has no such function; its first query tells the caller what it is.
    PGresult* presence = PQexec(conn_, "SELECT vellacord.enter_presence()");
    const bool refused =
        PQresultStatus(presence) == PGRES_TUPLES_OK && PQntuples(presence) == 1 && PQgetvalue(presence, 0, 0)[0] == 'f';
    PQclear(presence);
    if (refused) {
        QString reason = MaintenanceReason();
        if (reason.isEmpty())
            reason = QStringLiteral("the database is in use for maintenance: %1").arg(DisplayNameOfServer(uri));
        PQfinish(std::exchange(conn_, nullptr));
        owner_->lost_ = true;
        return owner_->RecordFailure(
            kFailure, {reason, SQLITE_CANTOPEN, QString(), FailureKind::Maintenance, DisplayNameOfServer(uri)});
    }
    return kOk;
}

bool PgConnection::Healthy() const
{
    return conn_ != nullptr && PQstatus(conn_) == CONNECTION_OK;
}

bool PgConnection::InTransaction()
{
    if (conn_ == nullptr)
        return false;
    // While a read streams its rows the session reports a command at work, not whether a
    // transaction is open: the rest of the rows is taken first.
    if (PQtransactionStatus(conn_) == PQTRANS_ACTIVE)
        SettleStreaming();
    const PGTransactionStatusType status = PQtransactionStatus(conn_);
    return status == PQTRANS_INTRANS || status == PQTRANS_INERROR;
}

long PgConnection::FailWith(long status, const QString& message, int code, const QString& sql)
{
    return owner_->RecordFailure(status, {message, code, sql, FailureKind::Other, DisplayNameOfServer(owner_->path())});
}

long PgConnection::Fail(pg_result* result, const QString& sql, bool)
{
    QString state = result != nullptr ? QString::fromLatin1(PQresultErrorField(result, PG_DIAG_SQLSTATE)) : QString();
    if (!Healthy())
        state.clear();
    QString message = result != nullptr ? QString::fromUtf8(PQresultErrorMessage(result)).trimmed() : QString();
    if (message.isEmpty() && conn_ != nullptr)
        message = QString::fromUtf8(PQerrorMessage(conn_)).trimmed();
    if (message.isEmpty())
        message = QStringLiteral("the connection to the database server was lost");
    message += QStringLiteral(" (SQLSTATE %1)").arg(state.isEmpty() ? QStringLiteral("08006") : state);
    const ServerFailure failure = ClassifySqlState(state);
    if (failure.lost)
        owner_->lost_ = true;
    busy_ = failure.busy;
    const FailureKind kind =
        failure.lost && failure.code == SQLITE_IOERR ? FailureKind::Unreachable : FailureKind::Other;
    return owner_->RecordFailure(failure.status,
                                 {message, failure.code, sql, kind, DisplayNameOfServer(owner_->path())});
}

void PgConnection::SettleStreaming()
{
    if (streaming_ != nullptr) {
        PgStatement* statement = std::exchange(streaming_, nullptr);
        statement->BufferRest();
    }
}

long PgConnection::RunCommand(const QString& sql)
{
    if (!Healthy())
        return Fail(nullptr, sql);
    SettleStreaming();
    PGresult* result = PQexec(conn_, sql.toUtf8().constData());
    const ExecStatusType status = PQresultStatus(result);
    long outcome = kOk;
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
        outcome = Fail(result, sql);
    PQclear(result);
    return outcome;
}

long PgConnection::Transaction(const std::function<long()>& body)
{
    const long begun = RunCommand(QStringLiteral("BEGIN"));
    if (Failed(begun))
        return begun;
    long status = kOk;
    try {
        status = body();
    } catch (...) {
        // An open transaction would hold its locks against every other workstation.
        if (Healthy())
            PQclear(PQexec(conn_, "ROLLBACK"));
        throw;
    }
    if (!Failed(status)) {
        SettleStreaming();
        PGresult* result = PQexec(conn_, "COMMIT");
        if (PQresultStatus(result) != PGRES_COMMAND_OK) {
            status = Fail(result, QStringLiteral("COMMIT"));
            // A session that broke during the commit may or may not have committed: running the
            // body again could apply it twice.
            if (owner_->lost_)
                owner_->commitUncertain_ = true;
        } else if (QByteArray(PQcmdStatus(result)) == "ROLLBACK") {
            status = FailWith(kFailure, QStringLiteral("the transaction was rolled back"), SQLITE_ERROR,
                              QStringLiteral("COMMIT"));
        }
        PQclear(result);
    }
    if (Failed(status) && InTransaction())
        PQclear(PQexec(conn_, "ROLLBACK"));
    return status;
}

int PgConnection::Socket() const
{
    return Healthy() ? PQsocket(conn_) : -1;
}

bool PgConnection::TakeNotifications()
{
    if (!Healthy() || PQconsumeInput(conn_) == 0)
        return false;
    bool announced = false;
    // The session's own commits are known to it already: a refresh after each save would read
    // the whole list again for nothing.
    while (PGnotify* notification = PQnotifies(conn_)) {
        announced |= notification->be_pid != PQbackendPID(conn_);
        PQfreemem(notification);
    }
    return announced;
}

bool PgConnection::TakeMaintenance()
{
    if (!Healthy())
        return false;
    SettleStreaming();
    PGresult* result = PQexec(conn_, "SELECT vellacord.take_maintenance()");
    const bool taken =
        PQresultStatus(result) == PGRES_TUPLES_OK && PQntuples(result) == 1 && PQgetvalue(result, 0, 0)[0] == 't';
    PQclear(result);
    return taken;
}

QString PgConnection::MaintenanceReason()
{
    if (!Healthy() || InTransaction())
        return {};
    SettleStreaming();
    // The maintainer writes its reason beside its own session number; a row whose session no
    // longer holds the lock is a dead maintainer's and says nothing. Without the table there is
    // no reason to tell.
    PGresult* result = PQexec(conn_,
                              "SELECT r.reason FROM vellacord.maintenancereason r WHERE EXISTS (SELECT 1 "
                              "FROM pg_catalog.pg_locks l WHERE l.pid = r.holder AND l.locktype = 'advisory' "
                              "AND l.mode = 'ExclusiveLock' AND l.granted AND l.classid = 0 AND l.objid = "
                              "1986356332 AND l.objsubid = 1) LIMIT 1");
    QString reason;
    if (PQresultStatus(result) == PGRES_TUPLES_OK && PQntuples(result) == 1)
        reason = QString::fromUtf8(PQgetvalue(result, 0, 0));
    PQclear(result);
    return reason;
}

std::optional<std::int64_t> PgConnection::ReadChangeCounter()
{
    if (!Healthy() || InTransaction())
        return std::nullopt;
    SettleStreaming();
    PGresult* result = PQexec(conn_, "SELECT counter FROM vellacord.changestamp");
    std::optional<std::int64_t> counter;
    if (PQresultStatus(result) == PGRES_TUPLES_OK && PQntuples(result) == 1)
        counter = std::strtoll(PQgetvalue(result, 0, 0), nullptr, 10);
    PQclear(result);
    return counter;
}

QString PgConnection::IdentityColumn(const QString& table)
{
    const auto known = identityColumns_.find(table);
    if (known != identityColumns_.end())
        return known->second;
    if (!Healthy())
        return {};
    SettleStreaming();
    const QByteArray name = table.toUtf8();
    const char* values[] = {name.constData()};
    PGresult* result = PQexecParams(conn_,
                                    "SELECT attname FROM pg_attribute WHERE attrelid = to_regclass($1) "
                                    "AND attidentity <> '' AND NOT attisdropped",
                                    1, nullptr, values, nullptr, nullptr, 0);
    QString column;
    if (PQresultStatus(result) == PGRES_TUPLES_OK && PQntuples(result) == 1)
        column = QString::fromUtf8(PQgetvalue(result, 0, 0));
    const bool answered = PQresultStatus(result) == PGRES_TUPLES_OK;
    PQclear(result);
    if (answered)
        identityColumns_[table] = column;
    return column;
}

long PgConnection::ReplaceView(const QString& name, const QString& select)
{
    // The body runs unfenced in every program that reads the view later: it must pass the
    // filter's fence here first, to its end.
    const long checked = owner_->ReadRows(
        select, {}, Access::ReadOnly, [] {}, [](const Statement&) {});
    if (Failed(checked))
        return checked;
    return owner_->WriteTransaction([&] {
        const long dropped = owner_->Execute(QStringLiteral("DROP VIEW IF EXISTS %1").arg(name));
        return Failed(dropped) ? dropped : owner_->Execute(QStringLiteral("CREATE VIEW %1 AS %2").arg(name, select));
    });
}

} // namespace engine
