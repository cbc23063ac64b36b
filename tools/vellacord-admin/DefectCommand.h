#pragma once
// The defect commands of vellacord-admin: show, add, comment and status, through the document the program uses.

#include "AdminCommands.h"

#include <QString>
#include <QTextStream>

class AdministrationActions;
class UserInterface;

// Each returns an empty text on success, else the reason. The caller has checked the lock and the version.
QString ShowDefect(const AdminOptions& options, UserInterface& ui, AdministrationActions& administration,
                   QTextStream& out);
QString AddDefect(const AdminOptions& options, UserInterface& ui, AdministrationActions& administration,
                  QTextStream& out);
QString CommentOnDefect(const AdminOptions& options, UserInterface& ui, AdministrationActions& administration,
                        QTextStream& out);
QString ChangeDefectStatus(const AdminOptions& options, UserInterface& ui, AdministrationActions& administration,
                           QTextStream& out);

// The password --password-stdin reads: the first line of the standard input; none without the option.
std::optional<QString> PasswordFromStdin(const AdminOptions& options);
