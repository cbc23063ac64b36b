#pragma once
// The engine's error record: what a failed database call reports, shown by the error report.

#include <QString>

#include <vector>

namespace engine {

struct ErrorRecord {
    QString message;
    int extendedCode = 0;
    QString statement;
};

// Replaces the pending records by the one of the latest failure.
void RecordError(ErrorRecord record);
// Hands the pending records to the error report and forgets them.
std::vector<ErrorRecord> TakeErrorRecords();

} // namespace engine
