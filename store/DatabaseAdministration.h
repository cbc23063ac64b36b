#pragma once
// Creating, converting and repairing database files: what the administration dialog, the open
// procedure and vellacord-admin do to a file as a whole.

#include "base/AdministrationActions.h"

#include <QString>

#include <cstdint>

#include <functional>
#include <span>

class CMaintenanceLock;
class Clock;
class UserInterface;

namespace engine {
class Connection;
}

// One step of the conversion table: a database below `target` is brought to it by `script`;
// script 0 means that no conversion leads there.
struct ConversionStep {
    int target;
    int script;
};

class DatabaseAdministration : public AdministrationActions {
public:
    // Puts a file or a directory out of the way; false when that failed.
    using Discard = std::function<bool(const QString& path)>;
    // Told every conversion script before it runs, with the version it leads to.
    using ScriptObserver = std::function<void(int scriptId, int targetVersion)>;

    DatabaseAdministration(UserInterface& ui, const Clock& clock, Discard discard = MoveToTrashOrDelete);

    void SetScriptObserver(ScriptObserver observer) { scriptObserver_ = std::move(observer); }

    // Replaces the file at path (and its attachment directory) by a new database. The workflow
    // is chosen first: Cancel there leaves everything as it was and returns false. A postgresql://
    // URI is created as CreateServerDatabase does; repair and conversion route a URI to the
    // server's own repair and version check.
    bool CreateDatabase(const QString& path) override;
    // Creates the schema, the seed and the chosen workflow in the server database the URI names,
    // which must not hold the program's schema yet; false after telling the user why.
    bool CreateServerDatabase(const QString& uri);
    bool CompactAndRepair(const QString& path) override;
    // Brings an older file to the current version under the maintenance lock: a copy is
    // converted and checked beside it and renamed into place, so that a crash leaves the old
    // file or the converted one; the original is kept as path + ".bak". A file left unfinished
    // by an interrupted conversion of an older program is converted again from that backup.
    bool ConvertDatabase(const QString& path) override;

    // The schema scripts and the chosen workflow (the chooser's index), in one transaction on the
    // new, empty file at `building`; false after telling the user, naming `path`, that nothing was
    // created.
    bool InitializeDatabase(const QString& building, const QString& path, int workflow);

    // The file the lock moved aside and the attachment directory go out of the way.
    bool RemoveOldDatabase(const CMaintenanceLock& lock, const QString& path);

    // In the order the conversion walks it; the last target is EXPECTED_DB_VERSION.
    static std::span<const ConversionStep> ConversionTable();
    // False for versions that no script converts (0, left behind by an interrupted conversion).
    static bool IsConvertible(int version);
    static QString CannotConvertText();
    // What a user hears when a new database could not be written at `path`.
    static QString CreationFailedText(const QString& path);
    // What the user is told about a file an interrupted conversion left unfinished, naming the
    // backup with its original.
    static QString InterruptedConversionText(const QString& path);

    // The desktop's trash; where there is none (no desktop session, as on build servers) the
    // file or directory is deleted instead, since the new database has to take its place.
    static bool MoveToTrashOrDelete(const QString& path);

private:
    enum class Source { Original, Backup };
    // Converts under the maintenance lock from the original (moved aside by the lock) or from
    // the backup; true when the converted file stands at path with its workflow.
    bool ConvertLocked(const QString& path, Source source);
    bool ConvertFromBackupOfInterrupted(const QString& path, std::int64_t defects);
    // Runs the conversion scripts from `version` on; false when that version cannot be converted
    // or a script failed.
    bool RunConversions(engine::Connection& connection, int version);
    // A server database: nothing to convert at the current version; any other is refused, saying why.
    bool CheckServerVersion(const QString& uri);
    // Checks and repairs a server database and tells the user what was found and done.
    bool RepairServer(const QString& uri);

    UserInterface& ui_;
    const Clock& clock_;
    Discard discard_;
    ScriptObserver scriptObserver_;
};
