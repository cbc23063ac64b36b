#pragma once
// vellacord-admin search: the quick search from a shell.

#include "AdminCommands.h"

#include <QString>
#include <QTextStream>

class AdministrationActions;
class UserInterface;

// An empty text on success (also when nothing matched), else the reason. The caller has checked
// the lock and the version.
QString SearchDefects(const AdminOptions& options, UserInterface& ui, AdministrationActions& administration,
                      QTextStream& out);
