#pragma once
// The JSON form of a defect and of a history log, as defect show --json, search --json and list --format json print
// them.

#include <QJsonArray>
#include <QJsonObject>
#include <QString>

#include <cstdint>

class LookupLists;
struct DefectRecord;

// An OLE date as UTC in ISO 8601 with milliseconds ("2026-03-01T09:30:00.250Z"), so that two saves in
// one second differ; null for a date not set.
QJsonValue JsonDate(double oleDate);

// The entries of a history log: {"date", "status", "user", "comment"} each; a comment's own line
// breaks stay in its entry.
QJsonArray HistoryJson(const QString& history);

// Every field of the defect with the names of its lookup entries, its history, its attachments' names
// and whether it is unread for the user `readerId`.
QJsonObject DefectJson(const DefectRecord& record, const LookupLists& lookups, const QString& databasePath,
                       std::int32_t readerId);

// The attachments' file names of the defect, sorted; links are left out.
QStringList AttachmentNames(const QString& databasePath, std::int32_t defectId);
