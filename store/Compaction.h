#pragma once
// Compaction of a closed database into a verified copy that replaces the file by one atomic rename.

#include <QString>
#include <QStringList>

// Compacts the closed database `source` into a temporary file beside `destination`, gives the copy
// the access of `source`, checks it (quick check, schema version, defect count) while it syncs it
// and renames it over `destination`. Nothing else is ever written at `destination`, so a crash
// leaves either the old state or the finished copy there. Refuses a source without the current schema.
// Empty on success, else what went wrong, naming `destination`.
QString CompactDatabase(const QString& source, const QString& destination);

// The engine's rollback journal of a database file: "team.defl-journal".
QString JournalOf(const QString& path);

// The temporary files that compactions of `path` may have left behind, with their journals.
QStringList CompactionLeftovers(const QString& path);

// Empty when the file opens and passes the engine's quick check, else what is wrong.
QString QuickCheckFailure(const QString& path);

namespace engine {
class Connection;
}

// The same on an open connection.
QString QuickCheck(engine::Connection& connection);

// Maintenance reads every page once or twice; mapping the file saves copying each page into the
// page cache (a third of the time on a 60 MB file).
void MapIntoMemory(engine::Connection& connection);
