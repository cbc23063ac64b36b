#pragma once
// Attachments live beside the database: a root directory named after the database file and
// one directory per defect below it.

#include <QString>

// The database path without a ".defl" extension (any letter case), followed by ".attach".
QString AttachmentRootFor(const QString& databasePath);

// The defect's directory below the root: the id in ten digits, padded with zeros.
QString DefectAttachmentPath(const QString& databasePath, int defectId);
