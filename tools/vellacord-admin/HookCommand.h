#pragma once
// vellacord-admin hook install and hook run: commit messages that reach their defects.

#include "AdminCommands.h"

#include <QTextStream>

class AdministrationActions;
class UserInterface;

// Writes the post-commit hook into the repository options.file; the exit status.
int InstallHook(const AdminOptions& options, QTextStream& out);

// Delivers the queued commits and the options' revision to their defects. Always 0: a commit is
// never held up; what could not be delivered stays queued in the repository and is told.
int RunHook(const AdminOptions& options, UserInterface& ui, AdministrationActions& administration);
