// Reading the options of vellacord-admin's defect, hook and search commands.

#include "ShellArguments.h"

#include "engine/SqlDialect.h"

#include <QFileInfo>

#include <utility>

namespace {

using Command = AdminOptions::Command;

std::optional<std::int32_t> DefectId(const QString& text)
{
    bool ok = false;
    const int id = text.toInt(&ok);
    return ok && id > 0 ? std::optional<std::int32_t>(id) : std::nullopt;
}

} // namespace

bool IsRequiredOption(AdminOptions::Command command, const char* option)
{
    const QLatin1String name(option);
    switch (command) {
    case Command::List:
    case Command::DefectComment:
        return name == QLatin1String("user");
    case Command::DefectAdd:
        return name == QLatin1String("user") || name == QLatin1String("subject");
    case Command::DefectStatus:
        return name == QLatin1String("user") || name == QLatin1String("to");
    case Command::HookInstall:
    case Command::HookRun:
        return name == QLatin1String("database");
    default:
        return false;
    }
}

std::optional<QString> ShellCommandActions(const QString& word)
{
    if (word == QLatin1String("defect"))
        return QStringLiteral("show add comment status");
    if (word == QLatin1String("hook"))
        return QStringLiteral("install run");
    return std::nullopt;
}

std::optional<QString> ParseShellOptions(AdminOptions::Command command, const QStringList& positional,
                                         const std::function<QString(const char*)>& value,
                                         const std::function<QStringList(const char*)>& values,
                                         const std::function<bool(const char*)>& isSet, AdminOptions& options)
{
    ShellOptions& shell = options.shell;
    const auto get = [&](const char* name) { return isSet(name) ? value(name) : QString(); };
    switch (command) {
    case Command::DefectShow:
    case Command::DefectComment:
    case Command::DefectStatus: {
        const std::optional<std::int32_t> id = DefectId(positional.at(1));
        if (!id)
            return QStringLiteral("ID must be a defect number, not '%1'").arg(positional.at(1));
        shell.defectId = *id;
        break;
    }
    case Command::Search:
        shell.words = positional.mid(1);
        if (shell.words.join(QString()).trimmed().isEmpty())
            return QStringLiteral("search needs WORDS");
        break;
    case Command::HookRun:
        shell.revision = positional.at(0);
        break;
    default:
        break;
    }
    options.user = get("user");
    options.passwordFromStdin = isSet("password-stdin");
    shell.json = isSet("json");
    shell.subject = get("subject");
    shell.to = get("to");
    shell.cc = isSet("cc") ? values("cc") : QStringList();
    shell.severity = get("severity");
    shell.priority = get("priority");
    shell.component = get("component");
    shell.category = get("category");
    shell.descriptionFile = get("description-file");
    shell.text = get("text");
    shell.textFile = get("text-file");
    shell.comment = get("comment");
    shell.expectModified = get("expect-modified");
    shell.database = get("database");
    shell.fixesStatus = get("fixes-status");
    shell.gitDir = get("git-dir");
    // --to names the addressee of a new defect, the new status of a status change.
    if (command == Command::DefectStatus)
        shell.toStatus = std::exchange(shell.to, QString());
    for (const char* name : {"user", "subject", "to", "database"}) {
        if (IsRequiredOption(command, name) && get(name).trimmed().isEmpty())
            return QStringLiteral("missing --%1").arg(QLatin1String(name));
    }
    if (command == Command::DefectComment) {
        if (isSet("text") == isSet("text-file"))
            return QStringLiteral("give the comment with either --text or --text-file");
        if (isSet("text") && shell.text.trimmed().isEmpty())
            return QStringLiteral("--text is empty");
    }
    // Text files read from the standard input cannot share it with the password.
    const bool readsStdin = shell.descriptionFile == QLatin1String("-") || shell.textFile == QLatin1String("-");
    if (readsStdin && options.passwordFromStdin)
        return QStringLiteral("--password-stdin and a text read from - cannot both use the standard input");
    // A server's URI is no path.
    if (!shell.database.isEmpty() && !engine::IsServerName(shell.database))
        shell.database = QFileInfo(shell.database).absoluteFilePath();
    return std::nullopt;
}
