#pragma once
// The administration's commands on whole database files, as the dialogs and the open procedure see them.

#include <QString>

// What the administration dialog and the open procedure ask of database administration.
class AdministrationActions {
public:
    virtual ~AdministrationActions() = default;

    // Creates a new database at path (replacing an existing one); false when it failed.
    virtual bool CreateDatabase(const QString& path) = 0;

    // Compacts and repairs the closed database at path, with backups.
    virtual bool CompactAndRepair(const QString& path) = 0;

    // Converts an older database at path to the current version.
    virtual bool ConvertDatabase(const QString& path) = 0;
};
