#pragma once

#include <QString>

// Keeps `count` numbered backups beside `path` ("path.1" the most recent): the oldest is dropped,
// the others move up by one, and `source` becomes "path.1" by a rename, not a copy. No backup when
// count <= 0. False when `source` could not take its place.
bool RotateBackups(const QString& source, const QString& path, int count);

// Copies `source` to `backup`, replacing it, and syncs the copy: a backup that a crash can leave
// half written is none.
bool CopyBackup(const QString& source, const QString& backup);
