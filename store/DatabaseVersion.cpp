#include "store/DatabaseVersion.h"

#include "store/Connection.h"

long ReadDatabaseVersion(engine::Connection& connection, std::int64_t& version)
{
    return connection.QueryInt(QStringLiteral("Select dbversion from versiontable"), {}, version);
}
