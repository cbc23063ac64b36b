// Copying every table between a file and a server database in one transaction, with the counters and a row count per
// table.

#include "store/ServerMigration.h"

#include "base/ErrorReport.h"
#include "engine/Connection.h"
#include "engine/EngineStatus.h"
#include "engine/Rowset.h"
#include "engine/SqlDialect.h"
#include "engine/Statement.h"
#include "store/AttachmentPaths.h"
#include "store/AttachmentRootSetting.h"
#include "store/DatabaseVersion.h"
#include "store/MaintenanceLock.h"
#include "store/ScriptRunner.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace {

constexpr int kSchemaScript = 190;
// Rows per INSERT: fewer round trips, within the server's limit of 65535 values per statement.
constexpr int kRowsPerInsert = 500;
// Tables of the file that carry their rows' number, which the server keeps as a column.
const QStringList kNumberedTables{QStringLiteral("statustransitions"), QStringLiteral("systemsettings")};

QString Why(engine::Connection& connection, const QString& what)
{
    const engine::ErrorRecords records = connection.TakeErrorRecords();
    return QStringLiteral("%1: %2\ndetails: %3")
        .arg(what, FailureText(records), records.empty() ? QString() : records.front().message);
}

QStringList Tables(engine::Connection& connection)
{
    engine::Rowset rows;
    const QString sql = connection.IsServer()
        ? QStringLiteral("SELECT table_name FROM information_schema.tables WHERE table_schema = 'vellacord' AND "
                         "table_type = 'BASE TABLE' AND table_name NOT IN ('changestamp', 'maintenancereason') ORDER "
                         "BY table_name")
        : QStringLiteral("SELECT lower(name) FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite%' "
                         "ORDER BY name");
    QStringList names;
    if (engine::Failed(connection.Query(sql, {}, rows)))
        return names;
    for (long s = rows.MoveFirst(); s == engine::kOk; s = rows.MoveNext())
        names << rows.Text(0).toLower();
    return names;
}

QStringList Columns(engine::Connection& connection, const QString& table)
{
    engine::Rowset info;
    QStringList names;
    if (engine::Failed(connection.QueryTableColumns(table, info)))
        return names;
    for (long s = info.MoveFirst(); s == engine::kOk; s = info.MoveNext())
        names << info.Text(info.ColumnIndex(QStringLiteral("name"))).toLower();
    if (kNumberedTables.contains(table))
        names << QStringLiteral("rowid");
    return names;
}

// Reads every row of the table from `from` and writes it into `to`, a batch per statement.
long CopyRows(engine::Connection& from, engine::Connection& to, const QString& table, const QStringList& columns)
{
    const QString list = columns.join(QStringLiteral(", "));
    engine::Parameters batch;
    int rows = 0;
    long status = engine::kOk;
    const auto flush = [&] {
        if (rows == 0)
            return engine::kOk;
        QStringList tuples;
        const QString marks = QStringLiteral("(") +
            QStringList(columns.size(), QStringLiteral("?")).join(QLatin1Char(',')) + QStringLiteral(")");
        for (int i = 0; i < rows; ++i)
            tuples << marks;
        const long written = to.Execute(
            QStringLiteral("INSERT INTO %1 (%2) VALUES %3").arg(table, list, tuples.join(QLatin1Char(','))), batch);
        batch.clear();
        rows = 0;
        return written;
    };
    // The rows are collected first: one session carries one command at a time, and a file's
    // read should not wait for the server.
    engine::Rowset all;
    status = from.Query(QStringLiteral("SELECT %1 FROM %2").arg(list, table), {}, all);
    if (engine::Failed(status))
        return status;
    for (long s = all.MoveFirst(); s == engine::kOk; s = all.MoveNext()) {
        for (int i = 0; i < all.ColumnCount(); ++i)
            batch.push_back(all.Get(i));
        if (++rows == kRowsPerInsert && engine::Failed(status = flush()))
            return status;
    }
    return flush();
}

// The highest number a table's counter has handed out on the file (deleted rows included).
std::int64_t FileCounter(engine::Connection& file, const QString& table)
{
    std::int64_t seq = 0;
    file.QueryInt(QStringLiteral("SELECT seq FROM sqlite_sequence WHERE lower(name) = ?"), {table}, seq);
    return seq;
}

// Copies every table both have; fills `outcome` with the counts. Runs inside `to`'s transaction.
long CopyAll(engine::Connection& from, engine::Connection& to, MigrationOutcome& outcome)
{
    const QStringList targetTables = Tables(to);
    for (const QString& table : Tables(from)) {
        if (!targetTables.contains(table)) {
            outcome.skipped << table;
            continue;
        }
        const QStringList columns = Columns(from, table);
        // A new schema's own rows (the version) give way to the source's.
        long status = to.Execute(QStringLiteral("DELETE FROM %1").arg(table));
        if (!engine::Failed(status))
            status = CopyRows(from, to, table, columns);
        if (engine::Failed(status)) {
            outcome.error = Why(to, QStringLiteral("copying table %1 failed").arg(table));
            return status;
        }
        MigratedTable counted{table};
        from.QueryInt(QStringLiteral("SELECT count(*) FROM %1").arg(table), {}, counted.sourceRows);
        to.QueryInt(QStringLiteral("SELECT count(*) FROM %1").arg(table), {}, counted.targetRows);
        outcome.tables.push_back(counted);
        if (counted.sourceRows != counted.targetRows) {
            outcome.error = QStringLiteral("table %1 has %2 rows in the source but %3 in the copy")
                                .arg(table)
                                .arg(counted.sourceRows)
                                .arg(counted.targetRows);
            return engine::kFailure;
        }
    }
    return engine::kOk;
}

QString RequireCurrentVersion(engine::Connection& connection, const QString& shown)
{
    std::int64_t version = 0;
    if (engine::Failed(ReadDatabaseVersion(connection, version)))
        return QStringLiteral("%1 is no Vellacord database: it has no schema version").arg(shown);
    if (version != EXPECTED_DB_VERSION)
        return QStringLiteral("%1 has version %2; only version %3 can move (convert it first)")
            .arg(shown)
            .arg(version)
            .arg(EXPECTED_DB_VERSION);
    return {};
}

} // namespace

MigrationOutcome MigrateFileToServer(const QString& file, const QString& uri)
{
    MigrationOutcome outcome;
    const QString shown = engine::DisplayNameOfServer(uri);
    CMaintenanceLock lock(file, QStringLiteral("moving the database to %1").arg(shown), true);
    if (!lock.held()) {
        outcome.error = QStringLiteral("%1 cannot be taken for the move: %2").arg(file, lock.message());
        return outcome;
    }
    engine::Connection source;
    if (engine::Failed(source.Open(MaintenanceName(file)))) {
        outcome.error = Why(source, QStringLiteral("cannot open %1").arg(file));
        return outcome;
    }
    outcome.error = RequireCurrentVersion(source, file);
    engine::Rowset check;
    if (outcome.error.isEmpty() &&
        (engine::Failed(source.Query(QStringLiteral("PRAGMA quick_check"), {}, check)) ||
         check.MoveFirst() != engine::kOk || check.Text(0) != QLatin1String("ok")))
        outcome.error = QStringLiteral("%1 fails its quick check; repair it first").arg(file);
    if (!outcome.error.isEmpty())
        return outcome;

    engine::Connection target;
    if (engine::Failed(target.Open(uri))) {
        outcome.error = Why(target, QStringLiteral("cannot connect to %1").arg(shown));
        return outcome;
    }
    std::int64_t present = 0;
    if (engine::Failed(target.QueryInt(QStringLiteral("SELECT count(*) FROM information_schema.tables WHERE "
                                                      "table_schema = 'vellacord'"),
                                       {}, present)) ||
        present != 0) {
        outcome.error =
            QStringLiteral("%1 is not empty: the move needs a database without the program's tables").arg(shown);
        return outcome;
    }
    const long status = target.WriteTransaction([&] {
        ScriptFailure failure;
        if (!RunScriptUntilFailure(kSchemaScript, target, failure)) {
            outcome.error = QStringLiteral("creating the schema failed at: %1").arg(failure.statement);
            return engine::Failed(failure.status) ? failure.status : engine::kFailure;
        }
        // The copy is no change any workstation needs to hear of, one row at a time.
        const QStringList targetTables = Tables(target);
        for (const QString& table : targetTables)
            target.Execute(QStringLiteral("ALTER TABLE %1 DISABLE TRIGGER USER").arg(table));
        long copied = CopyAll(source, target, outcome);
        if (engine::Failed(copied))
            return copied;
        // The attachments stay where they are, beside the file, and the server names that folder.
        copied = StoreServerAttachmentRoot(target, QFileInfo(AttachmentRootFor(file)).absoluteFilePath());
        if (engine::Failed(copied))
            return copied;
        for (const QString& table : targetTables)
            target.Execute(QStringLiteral("ALTER TABLE %1 ENABLE TRIGGER USER").arg(table));
        // Each counter continues after the highest number the file handed out.
        engine::Rowset identities;
        copied = target.Query(QStringLiteral("SELECT table_name, column_name FROM information_schema.columns WHERE "
                                             "table_schema = 'vellacord' AND is_identity = 'YES'"),
                              {}, identities);
        for (long s = identities.MoveFirst(); !engine::Failed(copied) && s == engine::kOk; s = identities.MoveNext()) {
            const QString table = identities.Text(0);
            const QString column = identities.Text(1);
            std::int64_t highest = 0;
            target.QueryInt(QStringLiteral("SELECT coalesce(max(%1), 0) FROM %2").arg(column, table), {}, highest);
            highest = std::max(highest, column == QLatin1String("rowid") ? 0 : FileCounter(source, table));
            if (highest > 0)
                copied = target.Execute(QStringLiteral("SELECT setval(pg_get_serial_sequence(?, ?), ?)"),
                                        {table, column, highest});
        }
        if (engine::Failed(copied) && outcome.error.isEmpty())
            outcome.error = Why(target, QStringLiteral("setting the counters failed"));
        return copied;
    });
    if (engine::Failed(status) && outcome.error.isEmpty())
        outcome.error = Why(target, QStringLiteral("the move to %1 failed").arg(shown));
    source.Close();
    lock.Unlock();
    return outcome;
}

MigrationOutcome MigrateServerToFile(const QString& uri, const QString& file)
{
    MigrationOutcome outcome;
    const QString shown = engine::DisplayNameOfServer(uri);
    if (QFileInfo::exists(file)) {
        outcome.error = QStringLiteral("%1 exists; the way back writes a new file").arg(file);
        return outcome;
    }
    engine::Connection source;
    if (engine::Failed(source.Open(uri))) {
        outcome.error = Why(source, QStringLiteral("cannot connect to %1").arg(shown));
        return outcome;
    }
    if (outcome.error = RequireCurrentVersion(source, shown); !outcome.error.isEmpty())
        return outcome;
    const QFileInfo info(file);
    const QString building = info.absolutePath() + QStringLiteral("/.") + info.fileName() + QStringLiteral(".moving");
    QFile::remove(building);
    engine::ErrorRecords errors;
    if (engine::Failed(engine::Connection::CreateFile(building, &errors))) {
        outcome.error = QStringLiteral("cannot create %1: %2").arg(file, FailureText(errors));
        return outcome;
    }
    long status = engine::kOk;
    {
        engine::Connection target;
        status = target.Open(building);
        if (engine::Failed(status)) {
            outcome.error = Why(target, QStringLiteral("cannot open %1").arg(building));
        } else {
            status = target.WriteTransaction([&] {
                ScriptFailure failure;
                if (!RunScriptUntilFailure(kSchemaScript, target, failure)) {
                    outcome.error = QStringLiteral("creating the schema failed at: %1").arg(failure.statement);
                    return engine::kFailure;
                }
                const long copied = CopyAll(source, target, outcome);
                if (engine::Failed(copied))
                    return copied;
                // The file's counters continue after the server's.
                engine::Rowset counters;
                source.Query(QStringLiteral("SELECT table_name, column_name FROM information_schema.columns WHERE "
                                            "table_schema = 'vellacord' AND is_identity = 'YES' AND column_name <> "
                                            "'rowid'"),
                             {}, counters);
                for (long s = counters.MoveFirst(); s == engine::kOk; s = counters.MoveNext()) {
                    std::int64_t last = 0;
                    source.QueryInt(QStringLiteral("SELECT coalesce(pg_sequence_last_value(pg_get_serial_sequence(?, "
                                                   "?)::regclass), 0)"),
                                    {counters.Text(0), counters.Text(1)}, last);
                    const long set = target.Execute(
                        QStringLiteral("UPDATE sqlite_sequence SET seq = max(seq, ?) WHERE lower(name) = ?"),
                        {last, counters.Text(0)});
                    if (engine::Failed(set))
                        return set;
                }
                return engine::kOk;
            });
            if (engine::Failed(status) && outcome.error.isEmpty())
                outcome.error = Why(target, QStringLiteral("the move to %1 failed").arg(file));
        }
    }
    if (engine::Failed(status) || !outcome.error.isEmpty()) {
        QFile::remove(building);
        return outcome;
    }
    // Only a complete copy gets the name.
    if (!QFile::rename(building, file)) {
        QFile::remove(building);
        outcome.error = QStringLiteral("cannot put the new file in place at %1").arg(file);
    }
    return outcome;
}
