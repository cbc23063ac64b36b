#pragma once
// Edits of the current defect that could not reach the shared file when the user quit: kept in
// the user's data folder and offered again at the next login on the same database.

#include "document/DefectRecord.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

struct RecoveredEdits {
    QString databasePath;
    std::int32_t userId = 0;
    DefectRecord original; // the defect as it was last read from the file before the edits
    DefectRecord edited;
    QDateTime keptAt;
    // False for the files of earlier versions: their original may hold the edits of a save that
    // failed, so it cannot tell whether another user changed the defect since.
    bool originalAsRead = true;
};

// $XDG_DATA_HOME/VellacordTeam/recovery (usually ~/.local/share/VellacordTeam/recovery).
QString RecoveryFolder();
// A new recovery file for the database and the user: named after both, never one that exists,
// so that edits kept earlier are never overwritten.
QString NewKeptEditsFile(const QString& databasePath, std::int32_t userId);
// The recovery files of the database and the user, oldest first.
QStringList KeptEditsFiles(const QString& databasePath, std::int32_t userId);

// Writes the edits durably; false when the file could not be written.
bool KeepEdits(const QString& file, const RecoveredEdits& edits);
// The edits of the file; none when it is missing or unreadable.
std::optional<RecoveredEdits> ReadKeptEdits(const QString& file);
