#pragma once
// The dispatch of vellacord-admin's defect, hook and search commands.

#include "AdminCommands.h"

#include "base/UserInterface.h"

#include <map>

class AdministrationActions;

// The answers the shell commands give to the questions of the code they run: a defect filed
// without --to goes to nobody, as the command line said.
void AddShellAnswers(const AdminOptions& options, std::map<int, Answer>& answers);

// Runs a defect, hook or search command; the exit status (0 success, 1 failure).
int RunShellCommand(const AdminOptions& options, UserInterface& ui, AdministrationActions& administration);
