#pragma once

#include <QString>

// Keeps `count` numbered copies of the database beside `path` ("path.1" the most recent): the oldest
// is dropped, the others move up by one, and `source` becomes "path.1". No copy when count <= 0.
// False when the new copy could not be written.
bool RotateBackups(const QString& source, const QString& path, int count);
