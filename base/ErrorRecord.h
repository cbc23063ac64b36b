#pragma once
// The engine's error records: what a failed database call reports, shown by the error report.

#include <QString>

#include <utility>
#include <vector>

namespace engine {

// What a failure means to the user; the engine decides it from its own codes, so that the
// reports above it can choose a clear text without knowing them.
enum class FailureKind {
    Other,        // a faulty statement, a key collision, ...: only the details tell
    NotADatabase, // the file is no database at all
    Damaged,      // the file is a database with damaged or missing pages (cut off, for example)
    DiskFull,     // the disk holding the file or its journal is full
    ReadOnly,     // this user may not write the file or its folder
    Locked,       // another program holds the file beyond the busy limit
    Unreachable,  // the file is gone, cannot be opened or read, or the connection to it was closed
    Maintenance,  // a server database is taken for maintenance; the message is its maintainer's reason
};

struct ErrorRecord {
    ErrorRecord() = default;
    ErrorRecord(QString message, int extendedCode, QString statement, FailureKind kind = FailureKind::Other,
                QString file = {})
        : message(std::move(message)), extendedCode(extendedCode), statement(std::move(statement)), kind(kind),
          file(std::move(file))
    {
    }

    QString message;
    int extendedCode = 0;
    QString statement;
    FailureKind kind = FailureKind::Other;
    QString file; // the database file the failure concerns, when known
};

// The records of one failure; a connection keeps those of its own last failure.
using ErrorRecords = std::vector<ErrorRecord>;

} // namespace engine
