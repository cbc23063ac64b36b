#pragma once
// The schema version this build expects, and reading a file's version.

#include <cstdint>

namespace engine {
class Connection;
}

// The schema version this build reads and writes. It must match the insert into versiontable at
// the end of script 190 and the last entry of the conversion table.
constexpr int EXPECTED_DB_VERSION = 13;

// The file's schema version: kOk, a failure, or kEndOfRowset when versiontable has no row.
long ReadDatabaseVersion(engine::Connection& connection, std::int64_t& version);
