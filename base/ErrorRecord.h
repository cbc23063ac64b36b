#pragma once
// The engine's error records: what a failed database call reports, shown by the error report.

#include <QString>

#include <vector>

namespace engine {

struct ErrorRecord {
    QString message;
    int extendedCode = 0;
    QString statement;
};

// The records of one failure; a connection keeps those of its own last failure.
using ErrorRecords = std::vector<ErrorRecord>;

} // namespace engine
