// Changing a defect's status in memory, for the form's status command and for changes made without a window.

#include "document/StatusChange.h"

#include "document/DefectContext.h"
#include "document/DefectRecord.h"
#include "platform/OleDate.h"
#include "store/LookupEntries.h"

void ApplyStatusChange(DefectContext& context, DefectRecord& record, std::int32_t status, const QString& comment)
{
    // The entry first: when the history is full it throws, and the status stays as it was.
    context.AddHistoryEntry(record, status, comment);
    record.StatusID = status;
    record.Closed = status == reserved::kStatusClosed ? context.Time().OleNow() : 0;
}
