#pragma once
// A throwaway PostgreSQL server for the tests, in a temporary folder on a Unix socket, with one database per test.

#include <QString>

#include <optional>

// A new empty database on the test program's own server (started at the first call, stopped when
// the program ends) as a connection URI; none when the server programs are not installed or the
// server did not start, with the reason in ServerUnavailableReason().
std::optional<QString> NewServerDatabase();
QString ServerUnavailableReason();

// The superuser's URI of a database on the test server, for administration from a test.
QString ServerAdminUri(const QString& database);

// Skips the running test with the reason when no test server can run here.
#define SERVER_DATABASE_OR_SKIP(variable)                                                                              \
    const std::optional<QString> variable##Found = NewServerDatabase();                                                \
    if (!variable##Found)                                                                                              \
        GTEST_SKIP() << ServerUnavailableReason().toStdString();                                                       \
    const QString variable = *variable##Found
