#pragma once
// Attachments live beside the database: a root directory named after the database file and
// one directory per defect below it. A server database names its root itself.

#include <QString>

// The database path without a ".defl" extension (any letter case), followed by ".attach". For a
// server's URI the root remembered for it, or empty when it has none: the URI is no place.
QString AttachmentRootFor(const QString& databasePath);

// Remembers the root the server database at `uri` names (empty: none), read when it is opened.
void RememberServerAttachmentRoot(const QString& uri, const QString& root);

// The defect's directory below the root: the id in ten digits, padded with zeros. Empty when
// the database has no root.
QString DefectAttachmentPath(const QString& databasePath, int defectId);
