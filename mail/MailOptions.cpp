// The mail options: method choice and tool command lines.

#include "mail/MailOptions.h"

#include "base/Check.h"
#include "base/StringTable.h"
#include "mail/NotificationSender.h"
#include "platform/Utf8Text.h"
#include "store/DatabaseAccess.h"

#include <QFileInfo>

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
    {kMethodExternalTool, "ext. Tool",
     "Runs a mail program of your choice, such as mail or msmtp, for each notification; \"...\" fills in a command "
     "line that works with it. The section \"Mail\" of the user guide explains the variables."},
    {kMethodNoMail, "no mail", "Does not send mail. Uses Vellacord's internal notification mechanism."}};

// The mail tools read the text from their standard input, which the tool runner does not give
// them; a shell reads the text file into it. The values reach the shell as its positional
// parameters, never as script text: $0 the program, $1 subject, $2 sender, $3 the addressees
// separated by commas, $4 the text file.
QString MailToolTemplate(const QString& programPath)
{
    static const QStringList kMessageReaders{QStringLiteral("msmtp"), QStringLiteral("sendmail"),
                                             QStringLiteral("ssmtp")};
    // Programs of the sendmail kind take a whole message with its headers; mail and its
    // relatives (mailx, s-nail, mailutils) take a subject and the body.
    const bool readsMessage = kMessageReaders.contains(QFileInfo(programPath).fileName());
    const QString script = readsMessage
        ? QStringLiteral(
              R"({ printf 'Subject: %s\nFrom: %s\nTo: %s\nContent-Type: text/plain; charset=UTF-8\n\n' """$1""" """$2""" """$3"""; cat """$4"""; } | """$0""" -f """$2""" -- $(echo """$3""" | tr , ' '))")
        : QStringLiteral(R"(exec """$0""" -s """$1""" -r """$2""" -- $(echo """$3""" | tr , ' ') < """$4""")");
    return QStringLiteral(R"(/bin/sh -c "%1" "%2" "%subject%" "%from%" "%to%" "%textfile%")").arg(script, programPath);
}

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
    const QString command = tool == Tool::Mail
        ? MailToolTemplate(programPath)
        : QStringLiteral(R"("%1" "%zipfile%" "%attachmentdir%/*")").arg(programPath);
    // The mail tool's arguments are longer than the room kept for them; a command line cut at
    // the field's end would lose its last variables.
    if (Utf8Length(command) >= SystemSettings::kToolBufferSize)
        return std::nullopt;
    return command;
}

} // namespace mail
