#pragma once
// Whether a database name names a server rather than a file: every floor that shows or reports a name asks it.

#include <QString>

// A postgresql:// (or postgres://) connection URI, in any case.
bool IsServerDatabaseName(const QString& name);
