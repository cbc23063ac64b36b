#pragma once
// A status change of a defect in memory: the history line with the comment, the new status and the closing date.

#include <QString>

#include <cstdint>

class DefectContext;
struct DefectRecord;

// Appends the history entry for `status` with `comment`, then sets the status and Closed (now for
// "closed", else not set). A full history refuses the entry with its contract failure and leaves
// the record as it was. The change reaches the file with the next save.
void ApplyStatusChange(DefectContext& context, DefectRecord& record, std::int32_t status, const QString& comment);
