// Compaction and repair of the shared file under the maintenance lock, with the numbered backups.

#include "store/DatabaseAccess.h"

#include "base/ErrorContext.h"
#include "base/UserInterface.h"
#include "engine/EngineStatus.h"
#include "store/Backups.h"
#include "store/Compaction.h"
#include "store/MaintenanceLock.h"

#include <QFile>

bool CDatabaseAccess::CompactAndRepair()
{
    ErrorContext context("compact and repair database file");
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
