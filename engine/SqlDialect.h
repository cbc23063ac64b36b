#pragma once
// What differs between the file engine's SQL and the server's: the program writes one text, the server reads its
// translation.

#include <QString>

namespace engine {

// The program's SQL as the server reads it. Outside quotes and comments: "?" becomes "$1", "$2",
// …; a bracketed name "[X]" becomes "\"x\"" and a quoted name is put in lower case, since the
// file engine compares names without case and the server's schema names are in lower case; "IS ?" and "IS NOT ?" become
// the null-safe "IS NOT DISTINCT FROM $n" and "IS DISTINCT FROM $n" (the file engine's IS compares NULLs as equal, the
// server's "IS" takes no parameter); LIKE becomes ILIKE, since the file engine compares letters without case there and
// users' filters count on it.
struct ServerSql {
    QString text;
    int parameters = 0; // how many values the text takes ("?2" takes the second)
};
ServerSql ToServerSql(const QString& sql);

// Whether a database name is a server connection URI rather than a file path.
bool IsServerName(const QString& name);

// The URI without its password, for titles, messages and mail subjects.
QString DisplayNameOfServer(const QString& uri);

// The server's description of a table's columns (one parameter: the table's name, in any case)
// in the shape the file engine's table_info has. The server's own row number is left out.
QString ServerTableColumnsQuery();

// The URI without a password, as it may be remembered: the password belongs in ~/.pgpass.
QString ServerUriWithoutPassword(const QString& uri);

// The name of the database a server URI names ("team" for postgresql://dbhost/team).
QString ServerDatabaseName(const QString& uri);

// A database name as the user may see it: a file's path as it is, a server's URI without credentials.
QString DisplayNameOfDatabase(const QString& name);

// A name quoted as an identifier for the server.
QString QuotedIdentifier(const QString& name);

} // namespace engine
