#pragma once
// The "Vellacord" ODBC data source that report documents read: a data source of the
// operating-system user, registered with unixODBC on the SQLite ODBC driver, that opens the
// current database read-only; for a server database, on the PostgreSQL ODBC driver.

#include <QString>

#include <utility>
#include <vector>

namespace odbc {

inline constexpr char kDataSourceName[] = "Vellacord";
// The name under which the Debian package libsqliteodbc registers its SQLite 3 driver.
inline constexpr char kDriverName[] = "SQLite3";
// The name under which the Debian package odbc-postgresql registers the PostgreSQL driver.
inline constexpr char kServerDriverName[] = "PostgreSQL Unicode";

using Attributes = std::vector<std::pair<QString, QString>>;

// The attributes of the data source for the database at `databasePath` (or a postgresql:// URI),
// the name first; a password in the URI is never among them.
Attributes DataSourceAttributes(const QString& databasePath);

// Adds the data source, or changes it to the given database; false when unixODBC refused.
bool RegisterDataSource(const QString& databasePath);

} // namespace odbc
