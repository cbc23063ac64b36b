#pragma once
// Packing a defect's attachment folder into one archive with the external compression tool.

#include <QString>

namespace mail {

struct MailEnvironment;

// The archive's path; empty when there is no compression tool (hint 191) or it failed (string 188).
QString ZipAttachments(std::int32_t defectId, const QString& attachmentDir, MailEnvironment& environment);

} // namespace mail
