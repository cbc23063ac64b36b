#include "store/Compaction.h"

#include "app/base/ErrorContext.h"
#include "platform/DurableFiles.h"
#include "store/Connection.h"
#include "store/DatabaseVersion.h"
#include "store/EngineStatus.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdint>
#include <optional>

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

QString JournalOf(const QString& path)
{
    return path + QStringLiteral("-journal");
}

QString EngineMessage()
{
    const std::vector<engine::ErrorRecord> records = engine::TakeErrorRecords();
    return records.empty() ? QStringLiteral("the database engine failed") : records.front().message;
}

// What the copy must share with the original.
struct Contents {
    std::int64_t version = 0;
    std::int64_t defects = 0;
};

std::optional<Contents> ReadContents(engine::Connection& connection, const QString& shownName, QString& failure)
{
    Contents contents;
    if (ReadDatabaseVersion(connection, contents.version) != engine::kOk) {
        failure = QStringLiteral("%1 is no Vellacord database: it has no schema version").arg(shownName);
        return std::nullopt;
    }
    if (connection.QueryInt(QStringLiteral("SELECT count(*) FROM defectlist"), {}, contents.defects) != engine::kOk) {
        failure = QStringLiteral("cannot count the defects of %1: %2").arg(shownName, EngineMessage());
        return std::nullopt;
    }
    return contents;
}

// Removes the temporary copy and its journal unless the copy arrived.
class TemporaryCopy {
public:
    explicit TemporaryCopy(QString path) : path_(std::move(path)) { Remove(); }
    TemporaryCopy(const TemporaryCopy&) = delete;
    TemporaryCopy& operator=(const TemporaryCopy&) = delete;
    ~TemporaryCopy() { Remove(); }
    const QString& path() const { return path_; }

private:
    void Remove() const
    {
        QFile::remove(path_);
        QFile::remove(JournalOf(path_));
    }
    QString path_;
};

QString QuickCheck(engine::Connection& connection)
{
    std::int64_t problems = 0;
    if (connection.QueryInt(QStringLiteral("SELECT count(*) FROM pragma_quick_check WHERE quick_check <> 'ok'"), {},
                            problems) != engine::kOk)
        return EngineMessage();
    return problems == 0 ? QString() : QStringLiteral("the quick check finds %1 problems").arg(problems);
}

QString CheckCopy(const QString& copy, const Contents& original, const QString& destination)
{
    engine::Connection connection;
    if (engine::Failed(connection.Open(copy)))
        return QStringLiteral("cannot open the compacted copy of %1: %2").arg(destination, EngineMessage());
    if (const QString failure = QuickCheck(connection); !failure.isEmpty())
        return QStringLiteral("the compacted copy of %1 is damaged (%2)").arg(destination, failure);
    QString failure;
    const std::optional<Contents> compacted = ReadContents(connection, copy, failure);
    if (!compacted)
        return failure;
    if (compacted->version != original.version || compacted->defects != original.defects)
        return QStringLiteral("the compacted copy of %1 differs from it: version %2 and %3 defects instead of %4 and %5")
            .arg(destination)
            .arg(compacted->version)
            .arg(compacted->defects)
            .arg(original.version)
            .arg(original.defects);
    return {};
}

} // namespace

QString CompactDatabase(const QString& source, const QString& destination)
{
    ErrorContext context("compacting database");
    engine::Connection connection;
    if (engine::Failed(connection.Open(source)))
        return QStringLiteral("cannot open %1 to compact it: %2").arg(destination, EngineMessage());
    QString failure;
    const std::optional<Contents> original = ReadContents(connection, destination, failure);
    if (!original)
        return failure;
    if (original->version != EXPECTED_DB_VERSION)
        return QStringLiteral("%1 has schema version %2, not %3; convert it before repairing it")
            .arg(destination)
            .arg(original->version)
            .arg(EXPECTED_DB_VERSION);

    const TemporaryCopy copy(TemporaryName(destination));
    if (engine::Failed(connection.Execute(QStringLiteral("VACUUM INTO ?"), {copy.path()})))
        return QStringLiteral("could not compact %1: %2").arg(destination, EngineMessage());
    connection.Close();
    failure = CheckCopy(copy.path(), *original, destination);
    if (failure.isEmpty())
        failure = TakeOverAccessAndSync(copy.path(), source);
    if (!failure.isEmpty())
        return failure;
    if (!ReplaceByRename(copy.path(), destination))
        return QStringLiteral("could not put the compacted copy of %1 in its place").arg(destination);
    SyncFolderOf(destination);
    return {};
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
        return EngineMessage();
    return QuickCheck(connection);
}
