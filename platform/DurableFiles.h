#pragma once
// File operations that must hold across a crash or a power cut: syncing a file and its folder,
// replacing a file by one atomic rename, and giving a replacement the access of the file it replaces.

#include <QString>

// Writes the file's data and metadata to the disk.
bool SyncFile(const QString& path);

// Writes the folder holding `path` to the disk, so that a rename or a new name there lasts.
bool SyncFolderOf(const QString& path);

// Renames `from` to `to` in one step, replacing a file at `to`.
bool ReplaceByRename(const QString& from, const QString& to);

// Renames `from` to `to` in one step, but never over a file at `to` (false then).
bool RenameToFreeName(const QString& from, const QString& to);

// Empty when the file's data and metadata reached the disk, else what failed.
QString SyncFailure(const QString& path);

// Gives `replacement` the permission bits and group of `original`, and its owner where the process
// may (as root). Empty on success, else what failed.
QString TakeOverAccess(const QString& replacement, const QString& original);

// The same, then syncs `replacement`.
QString TakeOverAccessAndSync(const QString& replacement, const QString& original);
