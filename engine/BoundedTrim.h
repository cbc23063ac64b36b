#pragma once
// The two-argument trim functions with a bounded set of characters: SQLite compares every
// character of the text with every character of the set, so a set as long as the text makes one
// call take minutes, and no clock can stop a single call.

struct sqlite3;

namespace engine {

// The most characters a trim, ltrim or rtrim may be asked to remove; a longer set is too big.
constexpr int kLongestTrimSet = 256;

// Replaces trim(X,Y), ltrim(X,Y) and rtrim(X,Y) on the connection by functions that behave the
// same for sets up to kLongestTrimSet characters and refuse longer ones.
void RegisterBoundedTrim(sqlite3* db);

} // namespace engine
