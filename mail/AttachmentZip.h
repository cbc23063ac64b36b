#pragma once
// Packing a defect's attachment folder into one archive with the external compression tool.

#include <QString>

#include <cstdint>

namespace mail {

struct MailEnvironment;

// The archive's path; empty when there is no compression tool (hint 191) or it failed (string 188).
// The tool packs a copy of the folder in which links and special files are left out (the user is
// told which, string 2307), so that a link planted on the share cannot add what it points to.
QString ZipAttachments(std::int32_t defectId, const QString& attachmentDir, MailEnvironment& environment);

} // namespace mail
