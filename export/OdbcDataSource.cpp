// Registration of the reports' data source with the ODBC installer library.

#include "export/OdbcDataSource.h"

#include "engine/PgConnection.h"
#include "engine/SqlDialect.h"

#include <QStringList>
#include <QUrl>

#include <map>

#include <odbcinst.h>

namespace odbc {

namespace {

// User data sources land in the user's own odbc.ini (or the file ODBCINI names), never in the
// system's; the mode is put back afterwards for the rest of the process.
class UserConfigMode {
public:
    UserConfigMode() { SQLSetConfigMode(ODBC_USER_DSN); }
    ~UserConfigMode() { SQLSetConfigMode(ODBC_BOTH_DSN); }
    UserConfigMode(const UserConfigMode&) = delete;
    UserConfigMode& operator=(const UserConfigMode&) = delete;
};

// The file as an SQLite URI opened read-only: the driver has no read-only option of its own,
// and a report must never change the team's file.
QString ReadOnlyUri(const QString& databasePath)
{
    QString uri = QUrl::fromLocalFile(databasePath).toString(QUrl::FullyEncoded);
    // The ODBC configuration reads ";" as the end of a value in connection strings.
    uri.replace(QLatin1Char(';'), QStringLiteral("%3B"));
    return uri + QStringLiteral("?mode=ro");
}

// A value of a libpq option string: quoted, with quotes and backslashes escaped.
QString LibpqQuoted(QString value)
{
    value.replace(QLatin1Char('\\'), QStringLiteral("\\\\")).replace(QLatin1Char('\''), QStringLiteral("\\'"));
    return QLatin1Char('\'') + value + QLatin1Char('\'');
}

// psqlODBC's own keys for what it asks libpq; the URI's other parameters (a service, a time
// limit, certificates) reach libpq through its option string.
Attributes ServerAttributes(const QString& uri)
{
    static const std::map<QString, QString> kDriverKeys{{QStringLiteral("host"), QStringLiteral("Servername")},
                                                        {QStringLiteral("port"), QStringLiteral("Port")},
                                                        {QStringLiteral("dbname"), QStringLiteral("Database")},
                                                        {QStringLiteral("user"), QStringLiteral("Username")},
                                                        {QStringLiteral("sslmode"), QStringLiteral("SSLmode")}};
    Attributes attributes{
        {QStringLiteral("DSN"), QString::fromLatin1(kDataSourceName)},
        {QStringLiteral("Description"), QStringLiteral("Vellacord defect database (reports)")},
    };
    // The program's names come first, and a report only reads. Given as server settings at the
    // start of the session, since the driver runs no ConnSettings for a read-only data source.
    QString serverOptions = QStringLiteral("-c search_path=vellacord,pg_catalog -c default_transaction_read_only=on");
    QStringList libpqOptions;
    for (const auto& [keyword, value] : engine::ServerConnectionParameters(uri)) {
        if (const auto key = kDriverKeys.find(keyword); key != kDriverKeys.end())
            attributes.emplace_back(key->second, value);
        else if (keyword == QLatin1String("options"))
            serverOptions = value + QLatin1Char(' ') + serverOptions;
        else
            libpqOptions << QStringLiteral("%1=%2").arg(keyword, LibpqQuoted(value));
    }
    libpqOptions << QStringLiteral("options=") + LibpqQuoted(serverOptions);
    attributes.emplace_back(QStringLiteral("pqopt"), libpqOptions.join(QLatin1Char(' ')));
    attributes.emplace_back(QStringLiteral("ReadOnly"), QStringLiteral("1"));
    return attributes;
}

} // namespace

Attributes DataSourceAttributes(const QString& databasePath)
{
    if (engine::IsServerName(databasePath))
        return ServerAttributes(databasePath);
    return {
        {QStringLiteral("DSN"), QString::fromLatin1(kDataSourceName)},
        {QStringLiteral("Description"), QStringLiteral("Vellacord defect database (reports)")},
        {QStringLiteral("Database"), ReadOnlyUri(databasePath)},
        // A database that is gone must not come back as an empty file.
        {QStringLiteral("NoCreat"), QStringLiteral("1")},
        // Results are read whole, and no transaction is offered: no read lock of a report
        // outlasts its query and keeps the team from saving.
        {QStringLiteral("StepAPI"), QStringLiteral("0")},
        {QStringLiteral("NoTXN"), QStringLiteral("1")},
        // Milliseconds a report waits while a workstation writes.
        {QStringLiteral("Timeout"), QStringLiteral("10000")},
        // JournalMode, SyncPragma and LoadExt stay unset: each would change the shared file's
        // journal or the reader's process.
    };
}

bool RegisterDataSource(const QString& databasePath)
{
    const Attributes attributes = DataSourceAttributes(databasePath);
    const char* driver = engine::IsServerName(databasePath) ? kServerDriverName : kDriverName;
    const UserConfigMode mode;
    // Keys of the other driver must not stay behind when the database moves between a file and a server.
    SQLRemoveDSNFromIni(kDataSourceName);
    // A driver with a setup routine of its own takes the NUL-separated list.
    QByteArray list;
    for (const auto& [key, value] : attributes)
        list += (key + QLatin1Char('=') + value).toUtf8() + '\0';
    list += '\0';
    if (SQLConfigDataSource(nullptr, ODBC_ADD_DSN, driver, list.constData()))
        return true;
    // The Debian SQLite driver has none: the entry is written directly.
    const QByteArray name = QByteArray(kDataSourceName);
    if (!SQLWriteDSNToIni(name.constData(), driver))
        return false;
    for (const auto& [key, value] : attributes) {
        if (key == QLatin1String("DSN"))
            continue;
        if (!SQLWritePrivateProfileString(name.constData(), key.toUtf8().constData(), value.toUtf8().constData(),
                                          "odbc.ini"))
            return false;
    }
    return true;
}

} // namespace odbc
