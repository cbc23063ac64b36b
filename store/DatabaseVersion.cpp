// Reading the schema version from versiontable.

#include "store/DatabaseVersion.h"

#include "engine/Connection.h"

long ReadDatabaseVersion(engine::Connection& connection, std::int64_t& version)
{
    return connection.QueryInt(QStringLiteral("Select dbversion from versiontable"), {}, version);
}
