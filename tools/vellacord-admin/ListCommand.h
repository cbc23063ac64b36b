#pragma once
// vellacord-admin list: the defect list as a user sees it in the program, read by the program's own list.

#include "AdminCommands.h"

#include <QString>
#include <QTextStream>

class AdministrationActions;
class UserInterface;

// Prints the list of options.user on options.file to `out`: the shown columns' captions, then a
// line per defect, tab-separated; or, with options.output, the export file the program writes.
// The entry count goes to `err`. Writes nothing to the database file. The reason it could not
// list, empty when it did; a failed export aborts.
QString ListDefects(const AdminOptions& options, UserInterface& ui, AdministrationActions& administration,
                    QTextStream& out, QTextStream& err);
