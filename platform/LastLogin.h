#pragma once
// The user who last logged in to a database from this workstation, remembered per database so
// that the login dialog can offer that user again.

#include <QString>

// The login name last remembered for the database file; empty when there is none.
QString LastLoginName(const QString& databasePath);
void RememberLastLogin(const QString& databasePath, const QString& loginName);
