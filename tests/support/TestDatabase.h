#pragma once

#include <QString>

// Creates a database of the current version at `path` the way the program does (scripts 190 and
// 191) and returns the path. Any failure or error report along the way fails the running test.
QString CreateCurrentDatabase(const QString& path);
