#pragma once
// The subject and body of a defect's notification mail.

#include <QString>

#include <optional>

class LookupLists;
struct DefectRecord;

namespace mail {

// The database file's name without folder and extension: "projects" for ".../projects.defl".
QString DatabaseTitle(const QString& databasePath);

// "[Vellacord:projects] 42:open 'Crash on start'".
QString ComposeSubject(const DefectRecord& defect, const QString& databasePath, const LookupLists& lookups);

// The comment (when there is one) above a line of dashes, then the template with every
// %COLUMN% token replaced by the defect's list cell text (memo texts whole), then the footer.
// An empty template stands for the built-in one.
QString ComposeBody(const std::optional<QString>& comment, const DefectRecord& defect, const QString& bodyTemplate,
                    const LookupLists& lookups);

} // namespace mail
