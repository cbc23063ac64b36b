#pragma once
// The statuses of the database engine that the program tells apart, and the error records
// a failed call leaves for the error report.

#include <QString>

#include <cstdint>
#include <vector>

namespace engine {

constexpr long Status(std::uint32_t code)
{
    return static_cast<long>(static_cast<std::int32_t>(code));
}

constexpr long kOk = 0;
constexpr long kEndOfRowset = Status(0x00040EC6);         // a success: no further row
constexpr long kFailure = Status(0x80004005);             // unspecified failure
constexpr long kFaultyCommand = Status(0x80040E14);       // the command text is faulty
constexpr long kDataSourceExists = Status(0x80040E17);    // creating over an existing file
constexpr long kDeletedRow = Status(0x80040E23);          // the row is gone
constexpr long kIntegrityViolation = Status(0x80040E2F);  // a key or constraint collision
constexpr long kConcurrencyViolation = Status(0x80040E38); // the row changed since it was read

inline bool Failed(long status)
{
    return status < 0;
}

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
