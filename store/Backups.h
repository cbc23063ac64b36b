#pragma once
// Numbered backups beside a database file, and a backup copy that a crash cannot leave half written.

#include <QString>

// Keeps `count` numbered backups beside `path` ("path.1" the most recent): the oldest is dropped,
// the others move up by one, and `source` becomes "path.1" by a rename, not a copy. No backup when
// count <= 0. False when `source` could not take its place.
bool RotateBackups(const QString& source, const QString& path, int count);

// Copies `source` to `backup`, replacing it only once the synced copy is whole: a backup that a
// crash can leave half written is none. The caller keeps writers out while it copies.
bool CopyBackup(const QString& source, const QString& backup);

// Whether `backup` holds the same bytes as `file`: a backup made by a conversion that stopped
// before its end, which a new conversion of the file may replace without asking.
bool IsCopyOf(const QString& backup, const QString& file);
