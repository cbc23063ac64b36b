// Creating, converting and repairing database files, and moving an old one to the trash.

#include "store/DatabaseAdministration.h"

#include "base/Check.h"
#include "base/ErrorContext.h"
#include "base/ErrorReport.h"
#include "base/StringTable.h"
#include "base/UserInterface.h"
#include "engine/Connection.h"
#include "engine/EngineStatus.h"
#include "engine/SqlDialect.h"
#include "platform/DurableFiles.h"
#include "platform/LocalSettings.h"
#include "platform/OleDate.h"
#include "store/AttachmentPaths.h"
#include "store/Backups.h"
#include "store/ConvertedCopy.h"
#include "store/DatabaseAccess.h"
#include "store/DatabaseVersion.h"
#include "store/MaintenanceLock.h"
#include "store/ScriptRunner.h"
#include "store/ServerRepair.h"
#include "store/UnreadIndex.h"
#include "store/Workflow.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include "engine/EngineLibrary.h"

#include <cstdint>
#include <optional>

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
    if (engine::IsServerName(path))
        return CreateServerDatabase(path);
    ErrorContext context("create new database file");
    // Asked before anything is touched, so that Cancel creates nothing and keeps an old file.
    const std::optional<int> workflow = ui_.ChooseWorkflow();
    if (!workflow)
        return false;
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
    if (!InitializeDatabase(building, path, *workflow)) {
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

bool DatabaseAdministration::CreateServerDatabase(const QString& uri)
{
    ErrorContext context("creating a database on a server");
    const QString shown = engine::DisplayNameOfServer(uri);
    {
        engine::Connection probe;
        if (engine::Failed(probe.Open(uri))) {
            ShowTextMessage(ui_,
                            CreationFailedText(shown) + QStringLiteral("\n") + FailureText(probe.TakeErrorRecords()),
                            Buttons::Ok, Icon::Error);
            return false;
        }
        std::int64_t present = 0;
        if (engine::Failed(probe.QueryInt(QStringLiteral("SELECT count(*) FROM information_schema.tables WHERE "
                                                         "table_schema = 'vellacord' AND table_name = 'versiontable'"),
                                          {}, present)) ||
            present != 0) {
            ShowTextMessage(ui_, QStringLiteral("%1 already holds a Vellacord database.").arg(shown), Buttons::Ok,
                            Icon::Error);
            return false;
        }
    }
    const std::optional<int> workflow = ui_.ChooseWorkflow();
    if (!workflow)
        return false;
    // On the server the schema, the seed and the workflow are one transaction: a failure leaves nothing.
    return InitializeDatabase(uri, shown, *workflow);
}

bool DatabaseAdministration::InitializeDatabase(const QString& building, const QString& path, int workflow)
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
        // "Import your own workflow" stores none; the database is usable all the same.
        StoreChosenWorkflow(workflow, connection);
        // A file made by vellacord-admin create is as quick to test for unread entries as one the program opened.
        return CreateUnreadIndex(connection);
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

namespace {

QString BackupOf(const QString& path)
{
    return path + QStringLiteral(".bak");
}

// The version row of the file at path, or what the user is told about a file whose version
// cannot be read (the engine's records behind "Details").
struct FileVersion {
    std::optional<std::int64_t> version;
    QString text;
    QString details;
    std::int64_t defects = -1;
};

FileVersion ReadFileVersion(const QString& path)
{
    constexpr int kNoDatabase = 125;
    engine::Connection connection;
    FileVersion result;
    const long opened = connection.Open(path);
    if (engine::Failed(opened)) {
        const engine::ErrorRecords records = connection.TakeErrorRecords();
        result.text = FailureText(records);
        result.details = OleDbErrorReport(opened, records);
        return result;
    }
    std::int64_t version = 0;
    const long status = ReadDatabaseVersion(connection, version);
    if (status == engine::kOk) {
        result.version = version;
        connection.QueryInt(QStringLiteral("select count(*) from defectlist"), {}, result.defects);
        return result;
    }
    // A file without a version row, or one whose first read fails, is no database of this
    // program; a damaged one is told so as well.
    const engine::ErrorRecords records = connection.TakeErrorRecords();
    const bool damaged = !records.empty() && records.front().kind == engine::FailureKind::Damaged;
    result.text = damaged ? FailureText(records)
                          : LoadString(kNoDatabase) + QStringLiteral("\n") + QDir::toNativeSeparators(path);
    result.details = OleDbErrorReport(status, records);
    return result;
}

} // namespace

bool DatabaseAdministration::ConvertDatabase(const QString& path)
{
    if (engine::IsServerName(path))
        return CheckServerVersion(path);
    ErrorContext context("converting old database to current format");
    constexpr int kTooNew = 155;
    const QString backup = BackupOf(path);
    const FileVersion found = ReadFileVersion(path);
    if (!found.version) {
        ShowDetailedMessage(ui_, found.text, found.details, Buttons::Ok, Icon::Error);
        return false;
    }
    const std::int64_t version = *found.version;
    if (version == EXPECTED_DB_VERSION)
        return true;
    if (version > EXPECTED_DB_VERSION) {
        ShowStringMessage(ui_, kTooNew, Buttons::Ok, Icon::Warning);
        return false;
    }
    if (!IsConvertible(static_cast<int>(version)))
        return ConvertFromBackupOfInterrupted(path, found.defects);
    // A backup with the bytes of the file is the one an interrupted conversion made: no question.
    if (QFileInfo::exists(backup) && !IsCopyOf(backup, path) &&
        ShowStringMessage(ui_, 137, Buttons::YesNo, Icon::Question) != Answer::Yes)
        return false;
    return ConvertLocked(path, Source::Original);
}

bool DatabaseAdministration::ConvertFromBackupOfInterrupted(const QString& path, std::int64_t defects)
{
    const QString backup = BackupOf(path);
    const FileVersion original = QFileInfo::exists(backup) ? ReadFileVersion(backup) : FileVersion();
    // Only a backup of the same defects is the original of this file: the scripts never remove
    // a defect, and nobody can have added one to a file that no program opens.
    const bool usable = original.version && IsConvertible(static_cast<int>(*original.version)) &&
        *original.version < EXPECTED_DB_VERSION && original.defects >= 0 && original.defects == defects;
    if (!usable) {
        ShowTextMessage(ui_, InterruptedConversionText(path), Buttons::Ok, Icon::Error);
        return false;
    }
    ShowTextMessage(ui_,
                    QStringLiteral("%1 was left unfinished by an interrupted conversion. It is converted again from "
                                   "its original, %2; the unfinished file is kept as %3.")
                        .arg(QDir::toNativeSeparators(path), QDir::toNativeSeparators(backup),
                             QDir::toNativeSeparators(path + QStringLiteral(".interrupted"))),
                    Buttons::Ok, Icon::Information);
    return ConvertLocked(path, Source::Backup);
}

QString DatabaseAdministration::InterruptedConversionText(const QString& path)
{
    const QString backup = QDir::toNativeSeparators(BackupOf(path));
    const QString file = QDir::toNativeSeparators(path);
    if (!QFileInfo::exists(BackupOf(path)))
        return QStringLiteral("%1 was left unfinished by an interrupted conversion, and its original %2 is missing. "
                              "%3")
            .arg(file, backup, CannotConvertText());
    return QStringLiteral("%1 was left unfinished by an interrupted conversion. Its original is kept in %2, but "
                          "that file is not the database as it was before the conversion (it holds other "
                          "defects, or cannot be read). Put the right original in place of %1 (for example: cp "
                          "%2 %1) and convert again.")
        .arg(file, backup);
}

bool DatabaseAdministration::ConvertLocked(const QString& path, Source source)
{
    const QString backup = BackupOf(path);
    const QString shownPath = QDir::toNativeSeparators(path);
    const QString shownBackup = QDir::toNativeSeparators(backup);
    CMaintenanceLock lock(path, ConversionLockReason(), true, clock_);
    if (!lock.held()) {
        ShowTextMessage(ui_, LockRefusalText(lock.message()), Buttons::Ok, Icon::Warning, 160);
        return false;
    }
    const QString original = MaintenanceName(path);
    const QString from = source == Source::Original ? original : backup;
    // Read again under the lock: another workstation may have converted the file meanwhile.
    const FileVersion found = ReadFileVersion(from);
    if (!found.version || *found.version >= EXPECTED_DB_VERSION || !IsConvertible(static_cast<int>(*found.version))) {
        lock.Unlock();
        if (found.version && *found.version == EXPECTED_DB_VERSION)
            return true;
        ShowDetailedMessage(ui_, found.version ? CannotConvertText() : found.text, found.details, Buttons::Ok,
                            Icon::Error);
        return false;
    }
    const int version = static_cast<int>(*found.version);
    // The original stays untouched at its maintenance name; the backup is whole before anything
    // else happens, and one that already holds its bytes is not written again.
    if (source == Source::Original && !IsCopyOf(backup, original) && !CopyBackup(original, backup)) {
        lock.Unlock();
        ShowTextMessage(ui_,
                        QStringLiteral("%1 was not converted and is unchanged: its copy %2 could not be written.")
                            .arg(shownPath, shownBackup),
                        Buttons::Ok, Icon::Error);
        return false;
    }
    bool workflowStored = true;
    const QString failure = ConvertIntoPlace(from, path, [&](engine::Connection& copy) {
        if (!RunConversions(copy, version))
            return false;
        if (version < kFirstVersionWithWorkflow) {
            constexpr int kImportOwnWorkflow = 2;
            const std::optional<int> choice = ui_.ChooseWorkflow();
            workflowStored = choice && StoreChosenWorkflow(*choice, copy);
            // A built-in workflow that could not be written fails the conversion: the file stays as
            // it was instead of arriving without the workflow the user chose.
            if (choice && *choice != kImportOwnWorkflow && !workflowStored)
                return false;
        }
        return true;
    });
    if (!failure.isEmpty()) {
        lock.Unlock();
        ShowTextMessage(ui_,
                        QStringLiteral("%1 was not converted and is unchanged (%2). Its original is kept in %3.")
                            .arg(shownPath, failure, shownBackup),
                        Buttons::Ok, Icon::Error);
        return false;
    }
    // The converted file stands at the name. The original is the backup's twin; an unfinished
    // file that was converted again from its backup is kept beside it.
    if (source == Source::Original)
        QFile::remove(original);
    else
        ReplaceByRename(original, path + QStringLiteral(".interrupted"));
    SyncFolderOf(path);
    lock.Unlock();
    return workflowStored;
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
        // On the copy the first failure stops: the original stays as it was.
        if (!RunScript(step.script, connection, ui_, false))
            return false;
        version = step.target;
    }
    return true;
}

bool DatabaseAdministration::CheckServerVersion(const QString& uri)
{
    const QString shown = engine::DisplayNameOfServer(uri);
    engine::Connection connection;
    std::int64_t version = 0;
    if (engine::Failed(connection.Open(uri))) {
        const engine::ErrorRecords records = connection.TakeErrorRecords();
        ShowDetailedMessage(ui_, FailureText(records), OleDbErrorReport(engine::kFailure, records), Buttons::Ok,
                            Icon::Error);
        return false;
    }
    if (ReadDatabaseVersion(connection, version) != engine::kOk) {
        ShowTextMessage(ui_, LoadString(125) + QStringLiteral("\n") + shown, Buttons::Ok, Icon::Warning);
        return false;
    }
    const QString refusal = ServerConversionRefusal(shown, static_cast<int>(version));
    if (!refusal.isEmpty())
        ShowTextMessage(ui_, refusal, Buttons::Ok, Icon::Warning);
    return refusal.isEmpty();
}

bool DatabaseAdministration::RepairServer(const QString& uri)
{
    const QString shown = engine::DisplayNameOfServer(uri);
    {
        // Only the current version is repaired; anything else is said by the version check.
        engine::Connection connection;
        std::int64_t version = 0;
        if (!engine::Failed(connection.Open(uri)) && ReadDatabaseVersion(connection, version) == engine::kOk &&
            version != EXPECTED_DB_VERSION) {
            ShowTextMessage(ui_, ServerConversionRefusal(shown, static_cast<int>(version)), Buttons::Ok, Icon::Warning);
            return false;
        }
    }
    const ServerRepairOutcome outcome = RepairServerDatabase(uri, clock_);
    const bool repaired = outcome.error.isEmpty() && outcome.missing.isEmpty();
    ShowTextMessage(ui_, ServerRepairText(outcome, shown), Buttons::Ok, repaired ? Icon::Information : Icon::Warning);
    return repaired;
}

bool DatabaseAdministration::CompactAndRepair(const QString& path)
{
    if (engine::IsServerName(path))
        return RepairServer(path);
    CDatabaseAccess access(ui_, clock_, path);
    return access.CompactAndRepair();
}
