#pragma once
// Test databases made the way the program makes them, and one-number queries on them.

#include "engine/Connection.h"

#include <QString>

#include <cstdint>

// Creates a database of the current version at `path` the way the program does (scripts 190 and
// 191) and returns the path. Any failure or error report along the way fails the running test.
// A postgresql:// URI names an empty server database, which gets the server's schema.
QString CreateCurrentDatabase(const QString& path);

// The first column of the first row of a query that must succeed; -1 when it fails the test.
std::int64_t QueryNumber(engine::Connection& connection, const QString& sql, const engine::Parameters& parameters = {});
// The same on a connection of its own to the file at path.
std::int64_t QueryNumber(const QString& path, const QString& sql);
