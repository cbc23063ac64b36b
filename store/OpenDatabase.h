#pragma once
// The open procedure: from a path or the administration dialog to an open database of the current version.

#include <QString>

#include <optional>

class AdministrationActions;
class CDatabaseAccess;

// What the open procedure remembers for the whole run; the document owns it.
struct OpenState {
    bool openAttempted = false;
    // The database this workstation opened last (from its local settings); empty for none.
    QString lastDatabase;
};

// Opens the database at `path`, or one the user chooses in the administration dialog, checks its
// version, offers conversion of an old file and compaction of a grown one. True when a database
// is open; its absolute path is then the access object's file name.
// Without a path, the first open of a run takes the last database, or "default.defl" in the
// working directory when there is none; a missing one shows the dialog, which names it. Every
// later open without a path starts with the dialog.
bool OpenDatabase(CDatabaseAccess& access, std::optional<QString> path, AdministrationActions& actions,
                  OpenState& state);
