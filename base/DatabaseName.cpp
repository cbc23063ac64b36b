// Telling a server's connection URI from a file path.

#include "base/DatabaseName.h"

bool IsServerDatabaseName(const QString& name)
{
    return name.startsWith(QLatin1String("postgresql://"), Qt::CaseInsensitive) ||
        name.startsWith(QLatin1String("postgres://"), Qt::CaseInsensitive);
}
