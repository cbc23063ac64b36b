// Checks a server database against the program's schema script, mends its counters and change stamp, and vacuums it.

#include "store/ServerRepair.h"

#include "base/ErrorReport.h"
#include "engine/Connection.h"
#include "engine/EngineStatus.h"
#include "engine/Rowset.h"
#include "engine/SqlDialect.h"
#include "store/DatabaseVersion.h"
#include "store/MaintenanceLock.h"
#include "store/ScriptRunner.h"
#include "store/ServerMaintenanceLock.h"

#include <QRegularExpression>

#include <set>

namespace {

constexpr int kSchemaScript = 190;

using Names = std::set<QString>;

struct SchemaObjects {
    Names relations; // tables, views and indexes
    Names constraints;
    Names triggers;
    Names functions;
};

Names Matches(const QString& text, const QString& pattern)
{
    Names names;
    QRegularExpressionMatchIterator it =
        QRegularExpression(pattern, QRegularExpression::CaseInsensitiveOption).globalMatch(text);
    while (it.hasNext())
        names.insert(it.next().captured(1).toLower());
    return names;
}

// What the schema script makes; the server folds the unquoted names to lower case.
SchemaObjects ExpectedObjects()
{
    const QString script = QString::fromUtf8(LoadScript(kSchemaScript, true));
    SchemaObjects expected;
    for (const char* pattern :
         {R"(\bcreate\s+table\s+(\w+))", R"(\bcreate\s+view\s+(\w+))", R"(\bcreate\s+(?:unique\s+)?index\s+(\w+))"})
        expected.relations.merge(Matches(script, QString::fromLatin1(pattern)));
    expected.constraints =
        Matches(script, QStringLiteral(R"(\bconstraint\s+(\w+)\s+(?:primary|unique|check|foreign|references)\b)"));
    expected.triggers = Matches(script, QStringLiteral(R"(\bcreate\s+(?:constraint\s+)?trigger\s+(\w+))"));
    expected.functions =
        Matches(script, QStringLiteral(R"(\bcreate\s+(?:or\s+replace\s+)?function\s+vellacord\.(\w+))"));
    return expected;
}

QString Why(engine::Connection& connection, const QString& what)
{
    const engine::ErrorRecords records = connection.TakeErrorRecords();
    return QStringLiteral("%1: %2\ndetails: %3")
        .arg(what, FailureText(records), records.empty() ? QString() : records.front().message);
}

bool ReadNames(engine::Connection& connection, const QString& sql, Names& names)
{
    engine::Rowset rows;
    if (engine::Failed(connection.Query(sql, {}, rows)))
        return false;
    for (long s = rows.MoveFirst(); s == engine::kOk; s = rows.MoveNext())
        names.insert(rows.Text(0).toLower());
    return true;
}

void ListMissing(const Names& expected, const Names& present, const QString& kind, QStringList& missing)
{
    for (const QString& name : expected)
        if (!present.contains(name))
            missing << QStringLiteral("%1 %2").arg(kind, name);
}

// The script's own statements make a missing trigger or index again: neither holds data, and a
// missing change trigger would keep other workstations from hearing of saves. Tables, constraints
// and functions are left to a backup: remaking them could lose rows or hand rights to whoever
// runs the repair.
void RemakeTriggersAndIndexes(engine::Connection& connection, Names& presentTriggers, Names& presentRelations,
                              ServerRepairOutcome& outcome)
{
    const QRegularExpression remakable(
        QStringLiteral(R"(^create\s+(?:(?:constraint\s+)?(trigger)|(?:unique\s+)?(index))\s+(\w+))"),
        QRegularExpression::CaseInsensitiveOption);
    const QByteArray script = LoadScript(kSchemaScript, true);
    const char* end = script.constData() + script.size();
    for (ScriptStatement statement = NextStatement(script.constData(), end); !statement.text.isEmpty();
         statement = NextStatement(statement.next, end)) {
        const QString text = QString::fromUtf8(statement.text);
        const QRegularExpressionMatch match = remakable.match(text);
        if (!match.hasMatch())
            continue;
        const bool trigger = !match.captured(1).isEmpty();
        const QString name = match.captured(3).toLower();
        Names& present = trigger ? presentTriggers : presentRelations;
        if (present.contains(name))
            continue;
        if (engine::Failed(connection.Execute(text))) {
            connection.TakeErrorRecords(); // it stays missing, and is named so
            continue;
        }
        present.insert(name);
        outcome.repaired << QStringLiteral("the %1 %2 was missing; it is made again")
                                .arg(trigger ? QStringLiteral("trigger") : QStringLiteral("index"), name);
    }
}

bool CheckSchema(engine::Connection& connection, ServerRepairOutcome& outcome)
{
    const SchemaObjects expected = ExpectedObjects();
    SchemaObjects present;
    const bool read =
        ReadNames(connection,
                  QStringLiteral("SELECT c.relname FROM pg_catalog.pg_class c JOIN pg_catalog.pg_namespace n ON n.oid "
                                 "= c.relnamespace WHERE n.nspname = 'vellacord'"),
                  present.relations) &&
        ReadNames(connection,
                  QStringLiteral("SELECT c.conname FROM pg_catalog.pg_constraint c JOIN pg_catalog.pg_namespace n ON "
                                 "n.oid = c.connamespace WHERE n.nspname = 'vellacord'"),
                  present.constraints) &&
        ReadNames(connection,
                  QStringLiteral("SELECT t.tgname FROM pg_catalog.pg_trigger t JOIN pg_catalog.pg_class c ON c.oid = "
                                 "t.tgrelid JOIN pg_catalog.pg_namespace n ON n.oid = c.relnamespace WHERE n.nspname "
                                 "= 'vellacord' AND NOT t.tgisinternal"),
                  present.triggers) &&
        ReadNames(connection,
                  QStringLiteral("SELECT p.proname FROM pg_catalog.pg_proc p JOIN pg_catalog.pg_namespace n ON n.oid = "
                                 "p.pronamespace WHERE n.nspname = 'vellacord'"),
                  present.functions);
    if (!read) {
        outcome.error = Why(connection, QStringLiteral("the schema could not be read"));
        return false;
    }
    RemakeTriggersAndIndexes(connection, present.triggers, present.relations, outcome);
    ListMissing(expected.relations, present.relations, QStringLiteral("table, view or index"), outcome.missing);
    ListMissing(expected.constraints, present.constraints, QStringLiteral("constraint"), outcome.missing);
    ListMissing(expected.triggers, present.triggers, QStringLiteral("trigger"), outcome.missing);
    ListMissing(expected.functions, present.functions, QStringLiteral("function"), outcome.missing);
    return true;
}

// A trigger switched off (for a bulk import, say) no longer bumps the change stamp: other
// workstations would not see the changes.
bool EnableTriggers(engine::Connection& connection, ServerRepairOutcome& outcome)
{
    engine::Rowset off;
    if (engine::Failed(connection.Query(
            QStringLiteral("SELECT c.relname, t.tgname FROM pg_catalog.pg_trigger t JOIN pg_catalog.pg_class c ON "
                           "c.oid = t.tgrelid JOIN pg_catalog.pg_namespace n ON n.oid = c.relnamespace WHERE "
                           "n.nspname = 'vellacord' AND NOT t.tgisinternal AND t.tgenabled = 'D' ORDER BY 1, 2"),
            {}, off))) {
        outcome.error = Why(connection, QStringLiteral("the triggers could not be read"));
        return false;
    }
    for (long s = off.MoveFirst(); s == engine::kOk; s = off.MoveNext()) {
        const QString table = off.Text(0);
        const QString trigger = off.Text(1);
        if (engine::Failed(
                connection.Execute(QStringLiteral("ALTER TABLE %1 ENABLE TRIGGER %2")
                                       .arg(engine::QuotedIdentifier(table), engine::QuotedIdentifier(trigger))))) {
            outcome.error = Why(connection, QStringLiteral("the trigger %1 could not be switched on").arg(trigger));
            return false;
        }
        outcome.repaired << QStringLiteral("the trigger %1 on %2 was switched off; it is on again").arg(trigger, table);
    }
    return true;
}

// Every workstation compares the one counter row; without it nobody hears of other saves.
bool MendChangeStamp(engine::Connection& connection, ServerRepairOutcome& outcome)
{
    std::int64_t rows = 0;
    if (engine::Failed(connection.QueryInt(QStringLiteral("SELECT count(*) FROM changestamp"), {}, rows))) {
        outcome.error = Why(connection, QStringLiteral("the change stamp could not be read"));
        return false;
    }
    if (rows == 1)
        return true;
    const long mended = connection.WriteTransaction([&] {
        if (rows == 0)
            return connection.Execute(QStringLiteral("INSERT INTO changestamp (counter) VALUES (0)"));
        return connection.Execute(QStringLiteral("DELETE FROM changestamp WHERE ctid <> (SELECT ctid FROM changestamp "
                                                 "ORDER BY counter DESC LIMIT 1)"));
    });
    if (engine::Failed(mended)) {
        outcome.error = Why(connection, QStringLiteral("the change stamp could not be mended"));
        return false;
    }
    outcome.repaired << (rows == 0 ? QStringLiteral("the change stamp row was missing; it is back")
                                   : QStringLiteral("the change stamp had %1 rows; one is left").arg(rows));
    return true;
}

// Rows imported with their ids leave a counter behind them: the next new row would take an id
// that is in use and be refused.
bool MendCounters(engine::Connection& connection, ServerRepairOutcome& outcome)
{
    engine::Rowset columns;
    if (engine::Failed(connection.Query(
            QStringLiteral("SELECT c.relname, a.attname, pg_catalog.pg_get_serial_sequence(pg_catalog.format('%I.%I', "
                           "n.nspname, c.relname), a.attname) FROM pg_catalog.pg_attribute a JOIN pg_catalog.pg_class "
                           "c ON c.oid = a.attrelid JOIN pg_catalog.pg_namespace n ON n.oid = c.relnamespace WHERE "
                           "n.nspname = 'vellacord' AND a.attidentity <> '' AND NOT a.attisdropped ORDER BY 1"),
            {}, columns))) {
        outcome.error = Why(connection, QStringLiteral("the counters could not be read"));
        return false;
    }
    for (long s = columns.MoveFirst(); s == engine::kOk; s = columns.MoveNext()) {
        const QString table = columns.Text(0);
        const QString column = columns.Text(1);
        const QString sequence = columns.Text(2);
        std::int64_t highest = 0;
        std::int64_t next = 0;
        const bool read = !engine::Failed(connection.QueryInt(
                              QStringLiteral("SELECT coalesce(max(%1), 0) FROM %2")
                                  .arg(engine::QuotedIdentifier(column), engine::QuotedIdentifier(table)),
                              {}, highest)) &&
            !engine::Failed(connection.QueryInt(
                QStringLiteral("SELECT CASE WHEN is_called THEN last_value + 1 ELSE last_value END FROM %1")
                    .arg(sequence),
                {}, next));
        if (!read) {
            outcome.error = Why(connection, QStringLiteral("the counter of %1 could not be read").arg(table));
            return false;
        }
        if (next > highest)
            continue;
        std::int64_t set = 0;
        if (engine::Failed(connection.QueryInt(QStringLiteral("SELECT pg_catalog.setval(?::regclass, ?)"),
                                               {sequence, highest}, set))) {
            outcome.error = Why(connection, QStringLiteral("the counter of %1 could not be set").arg(table));
            return false;
        }
        outcome.repaired << QStringLiteral("the counter of %1.%2 stood at %3, behind the highest id %4; new rows now "
                                           "get %5 and up")
                                .arg(table, column)
                                .arg(next)
                                .arg(highest)
                                .arg(highest + 1);
    }
    return true;
}

} // namespace

ServerRepairOutcome RepairServerDatabase(const QString& uri, const Clock& clock)
{
    ServerRepairOutcome outcome;
    const QString shown = engine::DisplayNameOfServer(uri);
    engine::Connection connection;
    if (engine::Failed(connection.Open(uri))) {
        outcome.error = Why(connection, QStringLiteral("cannot open %1").arg(shown));
        return outcome;
    }
    const ServerMaintenanceLock lock(connection, QStringLiteral("checking and repairing database"), clock);
    if (!lock.held()) {
        // String 160 ends the sentence itself.
        QString reason = lock.message();
        if (reason.endsWith(QLatin1Char('.')))
            reason.chop(1);
        outcome.error = LockRefusalText(reason);
        return outcome;
    }
    if (!CheckSchema(connection, outcome) || !EnableTriggers(connection, outcome) ||
        !MendChangeStamp(connection, outcome) || !MendCounters(connection, outcome))
        return outcome;
    // The server reclaims space by itself; a repair also refreshes the planner's statistics,
    // which a bulk import leaves stale.
    if (engine::Failed(connection.Execute(QStringLiteral("VACUUM (ANALYZE)"))))
        outcome.error = Why(connection, QStringLiteral("the server could not vacuum %1").arg(shown));
    return outcome;
}

QString ServerRepairText(const ServerRepairOutcome& outcome, const QString& shownName)
{
    QString text;
    if (!outcome.error.isEmpty())
        text = (outcome.repaired.isEmpty() ? QStringLiteral("%1 was not repaired: %2")
                                           : QStringLiteral("%1 was not repaired completely: %2"))
                   .arg(shownName, outcome.error);
    else if (!outcome.missing.isEmpty())
        text = QStringLiteral("%1 lacks parts of the program's schema, which a repair cannot make: %2.\nRestore a "
                              "backup.")
                   .arg(shownName, outcome.missing.join(QStringLiteral(", ")));
    else
        text = QStringLiteral("%1 is repaired: its schema is complete, its counters are right, and the server "
                              "vacuumed and analysed it.")
                   .arg(shownName);
    if (!outcome.repaired.isEmpty())
        text += QStringLiteral("\n\nPut right:\n- ") + outcome.repaired.join(QStringLiteral("\n- "));
    return text;
}

QString ServerConversionRefusal(const QString& shownName, int version)
{
    if (version == EXPECTED_DB_VERSION)
        return {};
    if (version > EXPECTED_DB_VERSION)
        return QStringLiteral("%1 has version %2, which needs a newer program than this one (version %3)")
            .arg(shownName)
            .arg(version)
            .arg(EXPECTED_DB_VERSION);
    return QStringLiteral("%1 has version %2 and was not converted: a server database can only be converted from "
                          "version %3 on. Migrate it into a file, convert the file, and migrate it back.")
        .arg(shownName)
        .arg(version)
        .arg(EXPECTED_DB_VERSION);
}
