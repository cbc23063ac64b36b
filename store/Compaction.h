#pragma once

#include <QString>

// Writes a compact copy of the closed database `source` to `destination`, replacing whatever lies
// there. An engine failure throws its status as CResult<long>; no half-written destination remains.
bool CompactDatabase(const QString& source, const QString& destination);
