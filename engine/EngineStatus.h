#pragma once
// The statuses of the database engine that the program tells apart.
//
// Glossary: these numbers are the status codes that error reports, dump files and the guide have
// always shown ("(0x80004005)"), so a report from any workstation and any version reads the
// same; they never change and a new status takes a new number. Negative means failure.

#include "base/ErrorRecord.h"

#include <cstdint>

namespace engine {

constexpr long Status(std::uint32_t code)
{
    return static_cast<long>(static_cast<std::int32_t>(code));
}

constexpr long kOk = 0;
constexpr long kEndOfRowset = Status(0x00040EC6);          // a success: no further row
constexpr long kFailure = Status(0x80004005);              // unspecified failure
constexpr long kFaultyCommand = Status(0x80040E14);        // the command text is faulty
constexpr long kDataSourceExists = Status(0x80040E17);     // creating over an existing file
constexpr long kDeletedRow = Status(0x80040E23);           // the row is gone
constexpr long kIntegrityViolation = Status(0x80040E2F);   // a key or constraint collision
constexpr long kConcurrencyViolation = Status(0x80040E38); // the row changed since it was read

inline bool Failed(long status)
{
    return status < 0;
}

} // namespace engine
