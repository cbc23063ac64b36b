// Conversion of an older database into a verified copy beside it, renamed into place when whole.

#include "store/ConvertedCopy.h"

#include "base/ErrorReport.h"
#include "engine/Connection.h"
#include "engine/EngineStatus.h"
#include "engine/Rowset.h"
#include "platform/DurableFiles.h"
#include "store/Compaction.h"
#include "store/DatabaseVersion.h"
#include "store/TemporaryDatabaseFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <cstdint>
#include <map>
#include <optional>

namespace {

// ".team.defl.convert-" — hidden, and neither the database's name, its journal's nor a backup's.
QString LeftoverPrefix(const QString& path)
{
    return QStringLiteral(".%1.convert-").arg(QFileInfo(path).fileName());
}

QString TemporaryName(const QString& path)
{
    return QFileInfo(path).dir().filePath(LeftoverPrefix(path) +
                                          QStringLiteral("%1.tmp").arg(QCoreApplication::applicationPid()));
}

using RowCounts = std::map<QString, std::int64_t>;

// The rows of every table of the schema (the engine's own tables aside).
std::optional<RowCounts> CountRows(engine::Connection& connection)
{
    engine::Rowset tables;
    if (connection.Query(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE "
                                        "'sqlite\\_%' ESCAPE '\\'"),
                         {}, tables) != engine::kOk)
        return std::nullopt;
    RowCounts counts;
    for (long status = tables.MoveFirst(); status == engine::kOk; status = tables.MoveNext()) {
        const QString table = tables.Text(0);
        const QString quoted =
            QLatin1Char('"') + QString(table).replace(QLatin1Char('"'), QLatin1String("\"\"")) + QLatin1Char('"');
        std::int64_t rows = 0;
        if (connection.QueryInt(QStringLiteral("SELECT count(*) FROM %1").arg(quoted), {}, rows) != engine::kOk)
            return std::nullopt;
        counts[table.toLower()] = rows;
    }
    return counts;
}

// The scripts add tables and rows but never take any away; the defects stay exactly.
QString CompareRows(const RowCounts& before, const RowCounts& after, const QString& destination)
{
    for (const auto& [table, rows] : before) {
        const auto found = after.find(table);
        if (found == after.end())
            return QStringLiteral("the converted copy of %1 lacks the table %2").arg(destination, table);
        const bool kept = table == QLatin1String("defectlist") ? found->second == rows : found->second >= rows;
        if (!kept)
            return QStringLiteral("the converted copy of %1 has %2 rows in %3 instead of %4")
                .arg(destination)
                .arg(found->second)
                .arg(table)
                .arg(rows);
    }
    return {};
}

QString CheckCopy(const QString& copy, const RowCounts& before, const QString& destination)
{
    engine::Connection connection;
    if (engine::Failed(connection.Open(copy)))
        return QStringLiteral("cannot open the converted copy of %1: %2")
            .arg(destination, FailureCause(connection.TakeErrorRecords()));
    MapIntoMemory(connection);
    if (const QString failure = QuickCheck(connection); !failure.isEmpty())
        return QStringLiteral("the converted copy of %1 is damaged (%2)").arg(destination, failure);
    std::int64_t version = 0;
    if (ReadDatabaseVersion(connection, version) != engine::kOk || version != EXPECTED_DB_VERSION)
        return QStringLiteral("the converted copy of %1 did not reach version %2")
            .arg(destination)
            .arg(EXPECTED_DB_VERSION);
    const std::optional<RowCounts> after = CountRows(connection);
    if (!after)
        return QStringLiteral("cannot count the rows of the converted copy of %1: %2")
            .arg(destination, FailureCause(connection.TakeErrorRecords()));
    return CompareRows(before, *after, destination);
}

} // namespace

QString ConversionLockReason()
{
    return QStringLiteral("converting old database to current format");
}

QStringList ConversionLeftovers(const QString& path)
{
    const QDir folder = QFileInfo(path).dir();
    QStringList leftovers;
    for (const QString& name : folder.entryList({LeftoverPrefix(path) + QLatin1Char('*')}, QDir::Files | QDir::Hidden))
        leftovers << folder.filePath(name);
    return leftovers;
}

QString ConvertIntoPlace(const QString& source, const QString& destination, const ConvertCopy& convert)
{
    const TemporaryDatabaseFile copy(TemporaryName(destination));
    std::optional<RowCounts> before;
    {
        engine::Connection original;
        if (engine::Failed(original.Open(source)))
            return QStringLiteral("cannot open %1 to convert it: %2")
                .arg(destination, FailureCause(original.TakeErrorRecords()));
        MapIntoMemory(original);
        before = CountRows(original);
        if (!before)
            return QStringLiteral("cannot count the rows of %1: %2")
                .arg(destination, FailureCause(original.TakeErrorRecords()));
        if (engine::Failed(original.Execute(QStringLiteral("VACUUM INTO ?"), {copy.path()})))
            return QStringLiteral("cannot copy %1 to convert it: %2")
                .arg(destination, FailureCause(original.TakeErrorRecords()));
    }
    {
        engine::Connection converted;
        if (engine::Failed(converted.Open(copy.path())))
            return QStringLiteral("cannot open the copy of %1 to convert it: %2")
                .arg(destination, FailureCause(converted.TakeErrorRecords()));
        // Nobody else sees the copy, and it is synced before it takes the name: a crash meanwhile
        // only leaves a leftover, so the scripts need not sync every statement.
        converted.Execute(QStringLiteral("PRAGMA synchronous=OFF"));
        converted.Execute(QStringLiteral("PRAGMA journal_mode=MEMORY"));
        if (!convert(converted))
            return QStringLiteral("the conversion scripts did not run through");
    }
    QString failure = CheckCopy(copy.path(), *before, destination);
    if (failure.isEmpty())
        failure = TakeOverAccessAndSync(copy.path(), source);
    if (!failure.isEmpty())
        return failure;
    if (!RenameToFreeName(copy.path(), destination))
        return QStringLiteral("could not put the converted copy of %1 in its place").arg(destination);
    SyncFolderOf(destination);
    return {};
}
