#pragma once
// Running the external programs of the mail: started without a shell and waited for in a local
// event loop, so that the windows keep painting; the user may end a program that takes too long.

#include <QString>
#include <QStringList>

class QProcess;
class UserInterface;

namespace mail {

// The result of a program the user ended after the time-out question.
constexpr int kCancelledResult = 99;
// The result of a program that ended by a signal rather than with an exit code.
constexpr int kCrashedResult = -1;

// The path of the program to run: a path stands as it is when the file exists (executable or
// not, so that the caller can tell which); a bare name is looked up on PATH. Empty otherwise.
QString ResolveProgram(const QString& program);

// Waits for a started process. Every `timeoutMs` without an end asks string 190; Cancel ends the
// process, and so does the end of the whole program meanwhile. The process's exit code,
// kCancelledResult or kCrashedResult.
int WaitForProcess(QProcess& process, UserInterface& ui, int timeoutMs);

// Runs program and arguments with the command line logged in a new temporary file ending in
// ".command.txt" and the output in one ending in ".output.txt", which the desktop opens for the
// user when the result is not 0 (and which is removed when it is). The result: 0, the exit code, kCancelledResult, or
// the system's error number when the program could not be started.
int RunCommandLine(const QStringList& command, UserInterface& ui, int timeoutMs);

} // namespace mail
