#pragma once
// What differs between the file engine's SQL and the server's: the program writes one text, the server reads its
// translation.

#include <QString>

namespace engine {

// The program's SQL as the server reads it. Outside quotes and comments: "?" becomes "$1", "$2",
// …; a bracketed name "[x]" becomes "\"x\""; "IS ?" and "IS NOT ?" become the null-safe
// "IS NOT DISTINCT FROM $n" and "IS DISTINCT FROM $n" (the file engine's IS compares NULLs as
// equal, the server's "IS" takes no parameter); LIKE becomes ILIKE, since the file engine
// compares letters without case there and users' filters count on it.
struct ServerSql {
    QString text;
    int parameters = 0; // how many "?" the text had
};
ServerSql ToServerSql(const QString& sql);

// Whether a database name is a server connection URI rather than a file path.
bool IsServerName(const QString& name);

// The URI without its password, for titles, messages and mail subjects.
QString DisplayNameOfServer(const QString& uri);

// A name quoted as an identifier for the server.
QString QuotedIdentifier(const QString& name);

} // namespace engine
