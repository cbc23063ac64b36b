// Compaction and repair of the shared file under the maintenance lock, with the numbered backups.

#include "store/DatabaseAccess.h"

#include "app/base/ErrorContext.h"
#include "app/base/UserInterface.h"
#include "store/Backups.h"
#include "store/Compaction.h"
#include "store/EngineStatus.h"
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
    if (!RotateBackups(maintenanceName, databaseFileName_, systemSettings_.BackupsToKeep)) {
        lock.Unlock();
        return false;
    }
    if (!CompactDatabase(maintenanceName, databaseFileName_)) {
        lock.Unlock();
        return false;
    }
    const bool removedOriginal = QFile::remove(maintenanceName);
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
    return removedOriginal;
}
