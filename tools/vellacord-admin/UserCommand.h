#pragma once
// The user commands of vellacord-admin: adding a stakeholder and listing them, through the list
// editor's own store code.

#include "AdminCommands.h"

#include <QString>
#include <QTextStream>

class UserInterface;

// Both return an empty text on success, else the reason. The caller has checked the lock and the version.
QString AddUser(const AdminOptions& options, UserInterface& ui, const QString& password, QTextStream& out);
QString ListUsers(const AdminOptions& options, UserInterface& ui, QTextStream& out);
