// Compacting a closed database into a checked copy, and finding what an interrupted compaction left.

#include "store/Compaction.h"

#include "base/ErrorContext.h"
#include "base/ErrorReport.h"
#include "engine/Connection.h"
#include "engine/EngineStatus.h"
#include "platform/DurableFiles.h"
#include "store/DatabaseVersion.h"
#include "store/TemporaryDatabaseFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdint>
#include <future>
#include <optional>
#include <vector>

namespace {

// ".team.defl.compact-" — hidden, and neither the database's name, its journal's nor a backup's.
QString LeftoverPrefix(const QString& path)
{
    return QStringLiteral(".%1.compact-").arg(QFileInfo(path).fileName());
}

QString TemporaryName(const QString& path)
{
    return QFileInfo(path).dir().filePath(LeftoverPrefix(path) +
                                          QStringLiteral("%1.tmp").arg(QCoreApplication::applicationPid()));
}

QString NoSchemaText(const QString& shownName)
{
    return QStringLiteral("%1 is no Vellacord database: it has no schema version").arg(shownName);
}

std::optional<std::int64_t> CountDefects(engine::Connection& connection, const QString& shownName, QString& failure)
{
    std::int64_t defects = 0;
    if (connection.QueryInt(QStringLiteral("SELECT count(*) FROM defectlist"), {}, defects) == engine::kOk)
        return defects;
    failure = QStringLiteral("cannot count the defects of %1: %2")
                  .arg(shownName, FailureCause(connection.TakeErrorRecords()));
    return std::nullopt;
}

QString CheckCopy(const QString& copy, std::int64_t version, std::int64_t defects, const QString& destination)
{
    engine::Connection connection;
    if (engine::Failed(connection.Open(copy)))
        return QStringLiteral("cannot open the compacted copy of %1: %2")
            .arg(destination, FailureCause(connection.TakeErrorRecords()));
    MapIntoMemory(connection);
    if (const QString failure = QuickCheck(connection); !failure.isEmpty())
        return QStringLiteral("the compacted copy of %1 is damaged (%2)").arg(destination, failure);
    std::int64_t copiedVersion = 0;
    if (ReadDatabaseVersion(connection, copiedVersion) != engine::kOk)
        return NoSchemaText(copy);
    QString failure;
    const std::optional<std::int64_t> copiedDefects = CountDefects(connection, copy, failure);
    if (!copiedDefects)
        return failure;
    if (copiedVersion != version || *copiedDefects != defects)
        return QStringLiteral(
                   "the compacted copy of %1 differs from it: version %2 and %3 defects instead of %4 and %5")
            .arg(destination)
            .arg(copiedVersion)
            .arg(*copiedDefects)
            .arg(version)
            .arg(defects);
    return {};
}

} // namespace

void MapIntoMemory(engine::Connection& connection)
{
    // The whole file: the engine lowers the request to its own limit (2 GiB as Debian builds it).
    // Pages above a 1 GiB mapping went through the small page cache, a tenth more processor time
    // for the check of a 1.4 GB copy.
    connection.Execute(QStringLiteral("PRAGMA mmap_size=1099511627776"));
}

QString QuickCheck(engine::Connection& connection)
{
    std::int64_t problems = 0;
    if (connection.QueryInt(QStringLiteral("SELECT count(*) FROM pragma_quick_check WHERE quick_check <> 'ok'"), {},
                            problems) != engine::kOk)
        return FailureCause(connection.TakeErrorRecords());
    return problems == 0 ? QString() : QStringLiteral("the quick check finds %1 problems").arg(problems);
}

QString CompactDatabase(const QString& source, const QString& destination)
{
    ErrorContext context("compacting database");
    engine::Connection connection;
    if (engine::Failed(connection.Open(source)))
        return QStringLiteral("cannot open %1 to compact it: %2")
            .arg(destination, FailureCause(connection.TakeErrorRecords()));
    MapIntoMemory(connection);
    std::int64_t version = 0;
    if (ReadDatabaseVersion(connection, version) != engine::kOk)
        return NoSchemaText(destination);
    if (version != EXPECTED_DB_VERSION)
        return QStringLiteral("%1 has schema version %2, not %3; convert it before repairing it")
            .arg(destination)
            .arg(version)
            .arg(EXPECTED_DB_VERSION);

    const TemporaryDatabaseFile copy(TemporaryName(destination));
    // The engine would sync the copy as it writes it (the source is only read); it is synced below
    // instead, while it is checked, and replaces nothing before both are done.
    connection.Execute(QStringLiteral("PRAGMA synchronous=OFF"));
    if (engine::Failed(connection.Execute(QStringLiteral("VACUUM INTO ?"), {copy.path()})))
        return QStringLiteral("could not compact %1: %2").arg(destination, FailureCause(connection.TakeErrorRecords()));
    QString failure = TakeOverAccess(copy.path(), source);
    if (!failure.isEmpty())
        return failure;
    // Writing the copy to the disk waits for the disk and checking it for the processor: side by
    // side they take as long as the longer. The future's end waits for the sync on every return.
    std::future<QString> synced =
        std::async(std::launch::async | std::launch::deferred, [path = copy.path()] { return SyncFailure(path); });
    const std::optional<std::int64_t> defects = CountDefects(connection, destination, failure);
    if (!defects)
        return failure;
    connection.Close();
    failure = CheckCopy(copy.path(), version, *defects, destination);
    const QString syncFailure = synced.get();
    if (failure.isEmpty())
        failure = syncFailure;
    if (!failure.isEmpty())
        return failure;
    // The name stays empty while the database is away; a file there means another client took the
    // database back meanwhile, and its writes must not be overwritten by this copy.
    if (!RenameToFreeName(copy.path(), destination))
        return QStringLiteral("could not put the compacted copy of %1 in its place").arg(destination);
    SyncFolderOf(destination);
    return {};
}

QString JournalOf(const QString& path)
{
    return engine::Connection::JournalOf(path);
}

QStringList CompactionLeftovers(const QString& path)
{
    const QDir folder = QFileInfo(path).dir();
    QStringList leftovers;
    for (const QString& name : folder.entryList({LeftoverPrefix(path) + QLatin1Char('*')}, QDir::Files | QDir::Hidden))
        leftovers << folder.filePath(name);
    return leftovers;
}

QString QuickCheckFailure(const QString& path)
{
    engine::Connection connection;
    if (engine::Failed(connection.Open(path)))
        return FailureCause(connection.TakeErrorRecords());
    return QuickCheck(connection);
}
