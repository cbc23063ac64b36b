// The mail options: method choice and tool command lines.

#include "mail/MailOptions.h"

#include "base/Check.h"
#include "base/StringTable.h"
#include "mail/NotificationSender.h"
#include "platform/Utf8Text.h"
#include "store/DatabaseAccess.h"

namespace mail {

namespace {

const QString kServerPlaceholder = QStringLiteral("YOUR_SERVER_HERE");
// Room the browse button leaves in the field for the arguments.
constexpr int kArgumentsReserve = 50;

struct RequiredToken {
    Tool tool;
    const char* token;
};
constexpr RequiredToken kRequiredTokens[] = {{Tool::Mail, "%to%"},
                                             {Tool::Mail, "%textfile%"},
                                             {Tool::Compression, "%attachmentdir%"},
                                             {Tool::Compression, "%zipfile%"}};

// The radio buttons in the order of MethodChoice: the stored method, the text, the explanation.
struct ChoiceEntry {
    int method;
    const char* text;
    const char* explanation;
};
constexpr ChoiceEntry kChoices[] = {
    {kMethodSystemMail, "system mail (sendmail)",
     "Sends mail via this computer's mail system (sendmail). Requires a valid email configuration on this computer."},
    {kMethodExternalTool, "ext. Tool", "Uses an external tool to send mails. See online help for more infos."},
    {kMethodNoMail, "no mail", "Does not send mail. Uses Vellacord's internal notification mechanism."}};

} // namespace

MethodChoice ChoiceForMethod(int storedMethod)
{
    switch (storedMethod) {
    case kMethodNotConfigured:
    case kMethodSystemMail:
        return MethodChoice::SystemMail;
    case kMethodExternalTool:
        return MethodChoice::ExternalTool;
    case kMethodNoMail:
        return MethodChoice::NoMail;
    default:
        check::assertion(false, "invalid mail method value");
        return MethodChoice::NoMail;
    }
}

int MethodForChoice(MethodChoice choice)
{
    return kChoices[static_cast<int>(choice)].method;
}

QString ChoiceText(MethodChoice choice)
{
    return QString::fromLatin1(kChoices[static_cast<int>(choice)].text);
}

QString ChoiceExplanation(MethodChoice choice)
{
    return QString::fromLatin1(kChoices[static_cast<int>(choice)].explanation);
}

QStringList SendMethodEntries()
{
    return {QStringLiteral("system mail"), QStringLiteral("ext. tool")};
}

int MethodForSendEntry(int index)
{
    return index == 1 ? kMethodExternalTool : kMethodSystemMail;
}

std::optional<int> SendEntryForMethod(int method)
{
    if (method == kMethodSystemMail)
        return 0;
    if (method == kMethodExternalTool)
        return 1;
    return std::nullopt;
}

std::optional<ToolProblem> CheckToolCommands(const QString& mailTool, const QString& compressionTool)
{
    const QString mail = mailTool.toLower();
    const QString compression = compressionTool.toLower();
    for (const RequiredToken& required : kRequiredTokens) {
        const QString& command = required.tool == Tool::Mail ? mail : compression;
        const QString token = QLatin1String(required.token);
        if (!command.isEmpty() && !command.contains(token))
            return ToolProblem{options_string::kTokenMissing, token, required.tool};
    }
    if (mail.contains(kServerPlaceholder.toLower()))
        return ToolProblem{options_string::kServerMissing, QString(), Tool::Mail};
    return std::nullopt;
}

QString ProblemText(const ToolProblem& problem)
{
    if (problem.stringId == options_string::kTokenMissing)
        return FormatString(options_string::kTokenMissing, problem.token.toUtf8().constData());
    return LoadString(problem.stringId);
}

std::optional<QString> BrowsedToolCommand(Tool tool, const QString& programPath)
{
    if (programPath.size() > SystemSettings::kToolBufferSize - kArgumentsReserve)
        return std::nullopt;
    const QString arguments = tool == Tool::Mail
        ? QStringLiteral(
              R"("%textfile%" -to "%to%" -server YOUR_SERVER_HERE -f "%from%" -s "%subject%" -attach "%attachments%")")
        : QStringLiteral(R"("%zipfile%" "%attachmentdir%/*")");
    const QString command = QStringLiteral("\"%1\" %2").arg(programPath, arguments);
    // The mail tool's arguments are longer than the room kept for them; a command line cut at
    // the field's end would lose its last variables.
    if (Utf8Length(command) >= SystemSettings::kToolBufferSize)
        return std::nullopt;
    return command;
}

} // namespace mail
