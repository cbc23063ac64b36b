#pragma once

// The schema version this build reads and writes. It must match the insert into versiontable at
// the end of script 190 and the last entry of the conversion table.
constexpr int EXPECTED_DB_VERSION = 13;
