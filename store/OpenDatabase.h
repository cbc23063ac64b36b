#pragma once
// The open procedure: from a path or the administration dialog to an open database of the current version.

#include <QString>

#include <optional>

class AdministrationActions;
class CDatabaseAccess;

// What the open procedure remembers for the whole run; the document owns it.
struct OpenState {
    bool openAttempted = false;
};

// Opens the database at `path` ("default.defl" in the working directory when none is given), or
// one the user chooses in the administration dialog, checks its version, offers conversion of an
// old file and compaction of a grown one. True when a database is open; its absolute path is
// then the access object's file name.
bool OpenDatabase(CDatabaseAccess& access, std::optional<QString> path, AdministrationActions& actions,
                  OpenState& state);
