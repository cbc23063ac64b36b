// Creating, converting and repairing database files, and moving an old one to the trash.

#include "store/DatabaseAdministration.h"

#include "base/Check.h"
#include "base/ErrorContext.h"
#include "base/ErrorReport.h"
#include "base/StringTable.h"
#include "base/UserInterface.h"
#include "engine/Connection.h"
#include "engine/EngineStatus.h"
#include "platform/DurableFiles.h"
#include "platform/LocalSettings.h"
#include "platform/OleDate.h"
#include "store/AttachmentPaths.h"
#include "store/Backups.h"
#include "store/DatabaseAccess.h"
#include "store/DatabaseVersion.h"
#include "store/MaintenanceLock.h"
#include "store/ScriptRunner.h"
#include "store/Workflow.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include "engine/EngineLibrary.h"

#include <cstdint>

namespace {

constexpr int kSchemaScript = 190;
constexpr int kSeedScript = 191;
// The first version with a workflow table; older files get a workflow after their conversion.
constexpr int kFirstVersionWithWorkflow = 6;

constexpr ConversionStep kConversionTable[] = {
    {1, 0},   {3, 197}, {4, 213},  {5, 214},  {6, 228},  {7, 237},
    {8, 241}, {9, 254}, {10, 255}, {11, 261}, {12, 265}, {13, 270},
};
static_assert(kConversionTable[std::size(kConversionTable) - 1].target == EXPECTED_DB_VERSION);

unsigned long Code32(long status)
{
    return static_cast<std::uint32_t>(status);
}

} // namespace

DatabaseAdministration::DatabaseAdministration(UserInterface& ui, const Clock& clock, Discard discard)
    : ui_(ui), clock_(clock), discard_(std::move(discard))
{
}

std::span<const ConversionStep> DatabaseAdministration::ConversionTable()
{
    return kConversionTable;
}

bool DatabaseAdministration::IsConvertible(int version)
{
    for (const ConversionStep& step : kConversionTable) {
        if (step.target > version)
            return step.script != 0;
    }
    return true;
}

QString DatabaseAdministration::CannotConvertText()
{
    return QStringLiteral("This database version cannot be converted. Export all data, create a new database and "
                          "import the data.");
}

namespace {

bool Delete(const QString& path)
{
    const QFileInfo info(path);
    if (info.isDir() && !info.isSymLink())
        return QDir(path).removeRecursively();
    return QFile::remove(path);
}

// A trash keeps its files in "files" below "Trash" (the home trash) or ".Trash-<uid>" (a volume's).
bool IsInTrash(const QString& path)
{
    QDir files = QFileInfo(path).dir();
    if (files.dirName() != QLatin1String("files") || !files.cdUp())
        return false;
    return files.dirName() == QLatin1String("Trash") || files.dirName().startsWith(QLatin1String(".Trash"));
}

} // namespace

bool DatabaseAdministration::MoveToTrashOrDelete(const QString& path)
{
    // Qt sets up the home trash only below an existing data directory; without one it takes the
    // working directory for the trash, which is why the destination is checked as well.
    QDir().mkpath(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
    QString inTrash;
    if (QFile::moveToTrash(path, &inTrash))
        return IsInTrash(inTrash) || Delete(inTrash);
    return Delete(path);
}

namespace {

// ".team.defl.create-<pid>.tmp": hidden beside the database, where a new one is built.
QString BuildingName(const QString& path)
{
    const QFileInfo info(path);
    return info.dir().filePath(
        QStringLiteral(".%1.create-%2.tmp").arg(info.fileName()).arg(QCoreApplication::applicationPid()));
}

void RemoveBuilding(const QString& building)
{
    QFile::remove(building);
    QFile::remove(building + QStringLiteral("-journal"));
}

} // namespace

QString DatabaseAdministration::CreationFailedText(const QString& path)
{
    return QStringLiteral("Vellacord could not create the database %1: the new file could not be written. Nothing was "
                          "created. Make sure that the disk has room and that the folder may be written, then try "
                          "again.")
        .arg(QDir::toNativeSeparators(path));
}

bool DatabaseAdministration::CreateDatabase(const QString& path)
{
    ErrorContext context("create new database file");
    CMaintenanceLock lock(path, QStringLiteral("creating new database file"), false, clock_);
    if (!lock.held()) {
        ShowTextMessage(ui_, LockRefusalText(lock.message()), Buttons::Ok, Icon::Warning, 160);
        return false;
    }
    RemoveOldDatabase(lock, path);

    if (engine::LibraryVersionNumber() < kMinimumEngineVersion) {
        ShowOleDbErrors(ui_, engine::kFailure, {}, LoadString(162));
        return false;
    }
    if (QFileInfo::exists(path)) {
        ShowStringMessage(ui_, 122, Buttons::Ok, Icon::Warning);
        return false;
    }
    // The database is built aside and renamed into place whole, so that a creation that fails
    // leaves nothing at the path that could pass for a database.
    const QString building = BuildingName(path);
    RemoveBuilding(building);
    if (engine::Failed(engine::Connection::CreateFile(building))) {
        RemoveBuilding(building);
        ShowTextMessage(ui_, CreationFailedText(path), Buttons::Ok, Icon::Error);
        return false;
    }
    if (!InitializeDatabase(building, path)) {
        RemoveBuilding(building);
        return false;
    }
    if (!SyncFile(building) || !RenameToFreeName(building, path)) {
        const bool taken = QFileInfo::exists(path);
        RemoveBuilding(building);
        if (taken)
            ShowStringMessage(ui_, 122, Buttons::Ok, Icon::Warning);
        else
            ShowTextMessage(ui_, CreationFailedText(path), Buttons::Ok, Icon::Error);
        return false;
    }
    SyncFolderOf(path);
    return true;
}

bool DatabaseAdministration::RemoveOldDatabase(const CMaintenanceLock& lock, const QString& path)
{
    ErrorContext context("Removing old database");
    check::precondition(lock.held(), "database is not locked.");
    const QString oldDatabase = MaintenanceName(path);
    if (QFileInfo::exists(oldDatabase))
        check::assertion(discard_(oldDatabase), "Could not delete old database");
    const QString attachments = AttachmentRootFor(path);
    if (QFileInfo::exists(attachments))
        check::assertion(discard_(attachments), "Could not delete attachment directory");
    return true;
}

bool DatabaseAdministration::InitializeDatabase(const QString& building, const QString& path)
{
    ErrorContext context("initializing database");
    engine::Connection connection;
    if (engine::Failed(connection.Open(building))) {
        ShowTextMessage(ui_, CreationFailedText(path), Buttons::Ok, Icon::Error);
        return false;
    }
    // One transaction: the schema, the seed and the workflow go in together or not at all.
    bool incomplete = false;
    std::int64_t version = 0;
    const long status = connection.WriteTransaction([&] {
        ScriptFailure failure;
        if (!RunScriptUntilFailure(kSchemaScript, connection, failure) ||
            !RunScriptUntilFailure(kSeedScript, connection, failure))
            return failure.status;
        const long read = ReadDatabaseVersion(connection, version);
        if (engine::Failed(read) || version != EXPECTED_DB_VERSION) {
            incomplete = true;
            return engine::kFailure;
        }
        ChooseAndStoreWorkflow(connection, ui_);
        return engine::kOk;
    });
    if (incomplete) {
        ShowTextMessage(ui_,
                        QStringLiteral("%1 was created without a complete schema: its version is %2, not %3.")
                            .arg(path)
                            .arg(version)
                            .arg(EXPECTED_DB_VERSION),
                        Buttons::Ok, Icon::Error);
        return false;
    }
    if (engine::Failed(status)) {
        ShowTextMessage(ui_, CreationFailedText(path), Buttons::Ok, Icon::Error);
        return false;
    }
    return true;
}

bool DatabaseAdministration::ConvertDatabase(const QString& path)
{
    ErrorContext context("converting old database to current format");
    const QString backup = path + QStringLiteral(".bak");
    if (QFileInfo::exists(backup) && ShowStringMessage(ui_, 137, Buttons::YesNo, Icon::Question) != Answer::Yes)
        return false;
    engine::Connection connection;
    std::int64_t version = 0;
    long status = connection.Open(path);
    // The read transaction keeps other programs from writing while the file is copied; its first
    // read completes a change that a stopped workstation left in the journal.
    if (!engine::Failed(status))
        status = connection.Execute(QStringLiteral("BEGIN"));
    if (!engine::Failed(status))
        status = ReadDatabaseVersion(connection, version);
    if (status == engine::kOk) {
        // Without a copy of the original the conversion does not start.
        const bool copied = CopyBackup(path, backup);
        connection.Execute(QStringLiteral("COMMIT"));
        check::assertion(copied, "could not copy the database to its backup file");
    }
    if (status != engine::kOk) {
        ShowTextMessage(ui_, FormatString(127, Code32(status)), Buttons::Ok, Icon::Error, 127);
        return false;
    }
    if (!RunConversions(connection, static_cast<int>(version)))
        return false;

    // The scripts report each failing statement and go on; the version row tells whether the
    // file arrived.
    std::int64_t reached = 0;
    if (engine::Failed(ReadDatabaseVersion(connection, reached)) || reached < EXPECTED_DB_VERSION)
        return false;
    if (version < kFirstVersionWithWorkflow)
        return ChooseAndStoreWorkflow(connection, ui_);
    return true;
}

bool DatabaseAdministration::RunConversions(engine::Connection& connection, int version)
{
    for (const ConversionStep& step : kConversionTable) {
        if (step.target <= version)
            continue;
        if (step.script == 0) {
            ShowTextMessage(ui_, CannotConvertText(), Buttons::Ok, Icon::Error);
            return false;
        }
        if (scriptObserver_)
            scriptObserver_(step.script, step.target);
        RunScript(step.script, connection, ui_, true);
        version = step.target;
    }
    return true;
}

bool DatabaseAdministration::CompactAndRepair(const QString& path)
{
    CDatabaseAccess access(ui_, clock_, path);
    return access.CompactAndRepair();
}
