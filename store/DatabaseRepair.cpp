// Compaction and repair of the shared file under the maintenance lock, with the numbered backups.

#include "store/DatabaseAccess.h"

#include "base/ErrorContext.h"
#include "base/ErrorReport.h"
#include "base/StringTable.h"
#include "base/UserInterface.h"
#include "engine/EngineStatus.h"
#include "store/Backups.h"
#include "store/Compaction.h"
#include "store/DatabaseVersion.h"
#include "store/MaintenanceLock.h"

#include <QDir>
#include <QFile>

#include <cstdint>

namespace {

// Empty when the file has the current schema, else what the user is told. Read before anything
// is written: a file of a newer version must not get so much as a settings row from this program.
QString VersionRefusal(const QString& path)
{
    constexpr int kNoDatabase = 125;
    constexpr int kTooNew = 155;
    engine::Connection connection;
    const long opened = connection.Open(path);
    if (engine::Failed(opened))
        return FailureText(connection.TakeErrorRecords());
    std::int64_t version = 0;
    if (ReadDatabaseVersion(connection, version) != engine::kOk)
        return LoadString(kNoDatabase) + QStringLiteral("\n") + QDir::toNativeSeparators(path);
    if (version > EXPECTED_DB_VERSION)
        return LoadString(kTooNew);
    if (version < EXPECTED_DB_VERSION)
        return QStringLiteral("%1 has version %2; convert it to version %3 before repairing it.")
            .arg(QDir::toNativeSeparators(path))
            .arg(version)
            .arg(EXPECTED_DB_VERSION);
    return {};
}

} // namespace

bool CDatabaseAccess::CompactAndRepair()
{
    ErrorContext context("compact and repair database file");
    // The lock's check undoes a dead maintainer's lock first, so that its file is the one read.
    const LockState state = CMaintenanceLock::IsLocked(databaseFileName_);
    if (!state.recovered.isEmpty())
        ShowTextMessage(ui_, state.recovered, Buttons::Ok, Icon::Information);
    if (!state.locked) {
        if (const QString refusal = VersionRefusal(databaseFileName_); !refusal.isEmpty()) {
            ShowTextMessage(ui_, refusal, Buttons::Ok, Icon::Warning);
            return false;
        }
    }
    LoadSystemSettings();
    CMaintenanceLock lock(databaseFileName_, QStringLiteral("compacting and repairing database"), true, clock_);
    if (!lock.held()) {
        ShowTextMessage(ui_, LockRefusalText(lock.message()), Buttons::Ok, Icon::Warning, 160);
        return false;
    }
    const QString maintenanceName = MaintenanceName(databaseFileName_);
    const QString failure = CompactDatabase(maintenanceName, databaseFileName_);
    if (!failure.isEmpty()) {
        lock.Unlock();
        ShowTextMessage(ui_, failure, Buttons::Ok, Icon::Error);
        return false;
    }
    // The compacted file stands at the name; the original becomes the newest backup.
    const bool keptOriginal = systemSettings_.BackupsToKeep > 0
        ? RotateBackups(maintenanceName, databaseFileName_, systemSettings_.BackupsToKeep)
        : QFile::remove(maintenanceName);
    lock.Unlock();

    {
        ErrorContext saving("saving compression results");
        GetDataConnection(RetryMode::None);
        if (!engine::Failed(LoadSystemSettings())) {
            systemSettings_.DateOfLastCompress = clock_.OleNow();
            systemSettings_.SizeAfterLastCompress = GetDatabaseFileSize();
            SaveSystemSettings();
        }
        CloseDataConnection();
    }
    return keptOriginal;
}
