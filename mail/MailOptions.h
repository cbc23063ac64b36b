#pragma once
// The mail options: the method choice of this computer and the checks and defaults of the
// database's mail and compression tool command lines.

#include <QString>
#include <QStringList>

#include <optional>

namespace mail {

// The method radio buttons of the mail page, in their order.
enum class MethodChoice { SystemMail = 0, ExternalTool = 1, NoMail = 2 };

// The button a stored method selects: not configured and system mail select system mail.
// Any value the program never writes is the assertion "invalid mail method value".
MethodChoice ChoiceForMethod(int storedMethod);
int MethodForChoice(MethodChoice choice);
// The button's text and its explanation.
QString ChoiceText(MethodChoice choice);
QString ChoiceExplanation(MethodChoice choice);

// The "send method:" entries of the send dialog and the methods they stand for.
QStringList SendMethodEntries();
int MethodForSendEntry(int index);
// The entry of a configured method, none for "not configured" and "no mail".
std::optional<int> SendEntryForMethod(int method);

enum class Tool { Mail, Compression };

// Why a tool command line cannot be stored: the string to show, its token (for 186), the field.
struct ToolProblem {
    int stringId = 0;
    QString token;
    Tool tool = Tool::Mail;
};

// Checks both command lines; an empty one passes (sending reports the missing tool). Tokens
// are compared ignoring case.
std::optional<ToolProblem> CheckToolCommands(const QString& mailTool, const QString& compressionTool);
// The text of a problem, ready to show.
QString ProblemText(const ToolProblem& problem);

// The command line a browsed program gets: the quoted path and the tool's default arguments;
// none when the path or the whole command does not fit the field (string 187).
std::optional<QString> BrowsedToolCommand(Tool tool, const QString& programPath);

namespace options_string {
constexpr int kTokenMissing = 186;
constexpr int kPathTooLong = 187;
constexpr int kServerMissing = 189;
} // namespace options_string

} // namespace mail
