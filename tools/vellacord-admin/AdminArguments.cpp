// Reading vellacord-admin's command line: one QCommandLineParser per command, with the options that
// command takes, and the help texts made from the same table.

#include "AdminArguments.h"
#include "ShellArguments.h"

#include "base/ProductInfo.h"
#include "engine/SqlDialect.h"
#include "store/DatabaseVersion.h"

#include <QCommandLineParser>
#include <QFileInfo>

#include <algorithm>
#include <optional>
#include <vector>

namespace {

using Command = AdminOptions::Command;

constexpr const char* kProgram = "vellacord-admin";

struct OptionEntry {
    const char* name;
    const char* valueName; // null for a switch
    const char* description;
};

const std::vector<OptionEntry>& Options()
{
    static const std::vector<OptionEntry> options{
        {"workflow", "NAME", "The workflow of the new or converted file: standard (the default), simple or none."},
        {"replace", nullptr, "Replaces an existing FILE; it and its attachment directory go to the trash."},
        {"overwrite-backup", nullptr, "Replaces an existing FILE.bak."},
        {"user", "LOGIN",
         "The user's login name, exact or else ignoring case: whose list, who makes the change, or whose "
         "drafts and templates are seen."},
        {"view", "ID", "Lists through this view instead of the user's last one."},
        {"filter", "ID", "Switches this filter on instead of the user's last one."},
        {"my-defects", nullptr, "Lists only the defects addressed to the user."},
        {"output", "OUT",
         "Writes the export file OUT instead of printing the list; - writes it to the standard "
         "output. A pipe or a device is written directly, a regular file replaced when complete."},
        {"format", "FORMAT",
         "The format of OUT: text, csv, xml or xlsx; without it the extension of OUT decides "
         "(.csv, .xml, .xlsx, .dqy; text otherwise). Without --output, json prints the list as JSON."},
        {"raw-formulas", nullptr,
         "Writes CSV and text cells that begin with =, +, -, @, a tab or a carriage return "
         "as they are, without the leading ' that keeps a spreadsheet from evaluating them."},
        {"name", "NAME", "The new user's display name."},
        {"email", "ADDR", "The new user's e-mail address."},
        {"admin", nullptr, "Makes the new user an administrator."},
        {"password-stdin", nullptr, "Reads the password from the first line of the standard input."},
        SHELL_OPTION_ENTRIES};
    return options;
}

struct CommandEntry {
    const char* name; // "user add" is one command of two words
    Command command;
    const char* arguments;
    std::vector<const char*> options;
    const char* description;
};

const std::vector<CommandEntry>& Commands()
{
    static const std::vector<CommandEntry> commands{
        {"create",
         Command::Create,
         "FILE",
         {"workflow", "replace"},
         "Creates a new database. An existing FILE is refused unless --replace is given; then it and its\n"
         "attachment directory go to the trash."},
        {"convert",
         Command::Convert,
         "FILE",
         {"workflow", "overwrite-backup"},
         "Converts a database of an older version (1 and up) to the current version, keeping a copy of the\n"
         "original in FILE.bak (an existing one is replaced only with --overwrite-backup, or when it holds\n"
         "the same bytes as FILE). A copy is converted and checked beside FILE and renamed over it, so that\n"
         "an interruption leaves the old file or the converted one. Files older than version 6 get the\n"
         "chosen workflow. A database on a server (a postgresql:// URI) is made at the current version; an\n"
         "older one is refused, since the program has no conversion for a server."},
        {"repair",
         Command::Repair,
         "FILE",
         {},
         "Compacts and repairs the database, keeping numbered backups FILE.1, FILE.2, ... Refused while\n"
         "another program has the file open. For a postgresql:// URI, while no workstation is connected: checks\n"
         "that the program's tables, constraints, triggers and functions are all there, makes missing triggers\n"
         "and indexes again, switches its triggers back on, puts the change stamp and every counter that fell\n"
         "behind its highest id right (as a careless import leaves them), then has the server vacuum and\n"
         "analyse the database. Missing tables, constraints or functions are named and make it fail."},
        {"unlock",
         Command::Unlock,
         "FILE",
         {},
         "Undoes a maintenance lock whose client died: checks the database, puts it back in place and deletes\n"
         "the rescue file. Refused while the locking client runs. Rolls back a FILE-journal left by a writer\n"
         "that stopped, as every command does. For a postgresql:// URI it says whether maintenance holds the\n"
         "database: the server ends that lock with the session that took it, also when its client died."},
        {"version", Command::Version, "FILE", {}, "Prints the schema version of the database."},
        {"list",
         Command::List,
         "FILE",
         {"user", "view", "filter", "my-defects", "output", "format", "raw-formulas"},
         "Prints the defect list as the user sees it in the program: the user's last view, filter and\n"
         "\"My defects\", unless --view, --filter or --my-defects is given. First the shown columns' captions,\n"
         "then a line per defect, tab-separated (tabs and line breaks in a cell become spaces); the entry\n"
         "count goes to the error stream. Asks no password and writes nothing to the file. With --output the\n"
         "list goes into an export file, as the program's File > Export writes it: text, csv and xml hold every\n"
         "column of the listed defects, xlsx the shown ones."},
        {"user add",
         Command::UserAdd,
         "FILE LOGIN",
         {"name", "email", "admin", "password-stdin"},
         "Adds a user who can log in as LOGIN, as the program's list editor does (without --password-stdin\n"
         "the user has no password)."},
        {"user list",
         Command::UserList,
         "FILE",
         {},
         "Prints the users: id, login, name, e-mail, flags and whether a password is set."},
        {"migrate",
         Command::Migrate,
         "SOURCE TARGET",
         {},
         "Moves a database between a file and a PostgreSQL server, either way. From a FILE to a postgresql:// URI:\n"
         "under the file's maintenance lock, the file must be of the current version and pass its quick check,\n"
         "and the server database must be empty; the schema is created, every table copied in one\n"
         "transaction, the counters set and the rows counted per table; then every stored filter is tried\n"
         "on the server, and those that fail there are listed to be fixed before the team switches. From a\n"
         "URI to a FILE (which must not exist): the same copy into a new file."},
        {"backup",
         Command::Backup,
         "URI DIR",
         {},
         "Writes a backup of the server database into the folder DIR with pg_dump (custom format, for\n"
         "pg_restore), named after the database and the time, and removes the oldest of them beyond the\n"
         "database's BackupsToKeep."},
        {"attachments-root",
         Command::AttachmentsRoot,
         "URI [FOLDER]",
         {},
         "Shows the folder in which the server database the postgresql:// URI names keeps its attachments,\n"
         "or sets it to FOLDER, an existing shared folder every workstation reaches under the same path.\n"
         "Without it the program stores no attachments for that database. migrate sets it to the file's\n"
         "attachment folder."},
        {"pg-setup",
         Command::ServerSetup,
         "URI",
         {"workflow"},
         "Prepares the PostgreSQL database the postgresql:// URI names, once, connected as a superuser: creates\n"
         "the roles vellacord_owner (owns the schema) and vellacord_users (grant it to each user's login),\n"
         "takes from PUBLIC the functions a filter could use against other sessions (pg_cancel_backend,\n"
         "pg_terminate_backend, pg_notify, the advisory locks, set_config, pg_sleep), and creates the schema\n"
         "with its seed and the chosen workflow when the database has none yet."},
        SHELL_COMMAND_ENTRIES};
    return commands;
}

const CommandEntry* FindCommand(const QString& name)
{
    for (const CommandEntry& entry : Commands()) {
        if (name == QLatin1String(entry.name))
            return &entry;
    }
    return nullptr;
}

const OptionEntry& FindOption(const char* name)
{
    for (const OptionEntry& option : Options()) {
        if (qstrcmp(option.name, name) == 0)
            return option;
    }
    Q_UNREACHABLE();
}

QString OptionSynopsis(const OptionEntry& option)
{
    QString text = QStringLiteral("--") + QLatin1String(option.name);
    if (option.valueName != nullptr)
        text += QLatin1Char(' ') + QLatin1String(option.valueName);
    return text;
}

QString CommandSynopsis(const CommandEntry& entry)
{
    QString text = QStringLiteral("%1 %2 %3")
                       .arg(QLatin1String(kProgram), QLatin1String(entry.name), QLatin1String(entry.arguments));
    for (const char* name : entry.options) {
        const QString option = OptionSynopsis(FindOption(name));
        text += IsRequiredOption(entry.command, name) ? QLatin1Char(' ') + option : QStringLiteral(" [%1]").arg(option);
    }
    return text;
}

// Lines of at most 100 characters: the option at the left, its description from column 24.
QString OptionLines(const QString& synopsis, const QString& description)
{
    constexpr int kColumn = 24;
    constexpr int kWidth = 100;
    QString text = QStringLiteral("  ") + synopsis;
    QString line;
    const auto flush = [&] {
        if (text.size() >= kColumn - 1 && !text.endsWith(QLatin1Char('\n')))
            text += QLatin1Char('\n');
        if (text.endsWith(QLatin1Char('\n')))
            text += QString(kColumn, QLatin1Char(' '));
        else
            text += QString(kColumn - text.size(), QLatin1Char(' '));
        text += line + QLatin1Char('\n');
        line.clear();
    };
    for (const QString& word : description.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (!line.isEmpty() && kColumn + line.size() + 1 + word.size() > kWidth)
            flush();
        line += (line.isEmpty() ? QString() : QStringLiteral(" ")) + word;
    }
    flush();
    return text;
}

QString CommandHelp(const CommandEntry& entry)
{
    QString text =
        QStringLiteral("Usage: %1\n\n%2\n\nOptions:\n").arg(CommandSynopsis(entry), QLatin1String(entry.description));
    for (const char* name : entry.options) {
        const OptionEntry& option = FindOption(name);
        text += OptionLines(OptionSynopsis(option), QLatin1String(option.description));
    }
    text += OptionLines(QStringLiteral("-h, --help"), QStringLiteral("Prints this help."));
    return text;
}

QString HintFor(const CommandEntry* entry)
{
    return entry == nullptr ? QStringLiteral("Try '%1 --help' for more information.").arg(QLatin1String(kProgram))
                            : QStringLiteral("Try '%1 %2 --help' for more information.")
                                  .arg(QLatin1String(kProgram), QLatin1String(entry->name));
}

AdminArguments UsageError(const QString& error, const CommandEntry* entry)
{
    AdminArguments result;
    result.outcome = AdminArguments::Outcome::UsageError;
    result.text = error;
    result.hint = HintFor(entry);
    return result;
}

AdminArguments Printed(AdminArguments::Outcome outcome, const QString& text)
{
    AdminArguments result;
    result.outcome = outcome;
    result.text = text;
    return result;
}

std::optional<int> WorkflowIndex(const QString& name)
{
    const QStringList names{QStringLiteral("standard"), QStringLiteral("simple"), QStringLiteral("none")};
    const qsizetype index = names.indexOf(name);
    return index < 0 ? std::nullopt : std::optional<int>(static_cast<int>(index));
}

std::optional<int> Id(const QString& text)
{
    bool ok = false;
    const int id = text.toInt(&ok);
    return ok ? std::optional<int>(id) : std::nullopt;
}

// The command's own options, after the command's word or words.
AdminArguments ParseCommand(const CommandEntry& entry, const QStringList& rest)
{
    QCommandLineParser parser;
    // -user reads as --user, not as -u -s -e -r.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    parser.addOption(help);
    for (const char* name : entry.options) {
        const OptionEntry& option = FindOption(name);
        QCommandLineOption parsed{QLatin1String(option.name)};
        if (option.valueName != nullptr)
            parsed.setValueName(QLatin1String(option.valueName));
        parser.addOption(parsed);
    }
    if (!parser.parse(QStringList(QLatin1String(kProgram)) + rest))
        return UsageError(parser.errorText(), &entry);
    if (parser.isSet(help))
        return Printed(AdminArguments::Outcome::Help, CommandHelp(entry));

    AdminOptions options;
    options.command = entry.command;
    const QStringList positional = parser.positionalArguments();
    const QStringList expected = QString::fromLatin1(entry.arguments).split(QLatin1Char(' '));
    // "[NAME]" is an argument that may be left out.
    const auto required = std::count_if(expected.begin(), expected.end(),
                                        [](const QString& name) { return !name.startsWith(QLatin1Char('[')); });
    if (positional.size() < required)
        return UsageError(QStringLiteral("%1 needs %2").arg(QLatin1String(entry.name), expected.at(positional.size())),
                          &entry);
    const bool variadic = expected.back().endsWith(QLatin1String("..."));
    if (positional.size() > expected.size() && !variadic)
        return UsageError(QStringLiteral("unexpected argument '%1' for %2")
                              .arg(positional.at(expected.size()), QLatin1String(entry.name)),
                          &entry);
    options.file = positional.front();
    if (entry.command == Command::Migrate) {
        options.target = positional.at(1);
        if (engine::IsServerName(options.file) == engine::IsServerName(options.target))
            return UsageError(QStringLiteral("migrate moves between a file and a postgresql:// URI"), &entry);
        if (!engine::IsServerName(options.target))
            options.target = QFileInfo(options.target).absoluteFilePath();
    }
    if (entry.command == Command::Backup) {
        if (!engine::IsServerName(options.file))
            return UsageError(QStringLiteral("backup needs a postgresql:// URI; a file's backups are made by repair"),
                              &entry);
        // A folder named "postgresql:" is never what was meant.
        if (engine::IsServerName(positional.at(1)))
            return UsageError(QStringLiteral("backup writes into a folder DIR, not into a postgresql:// URI"), &entry);
        options.target = QFileInfo(positional.at(1)).absoluteFilePath();
    }
    if (entry.command == Command::AttachmentsRoot) {
        if (!engine::IsServerName(options.file))
            return UsageError(QStringLiteral("attachments-root needs a postgresql:// URI; a file keeps its "
                                             "attachments beside it"),
                              &entry);
        if (positional.size() > 1 && engine::IsServerName(positional.at(1)))
            return UsageError(QStringLiteral("attachments-root takes a shared FOLDER, not a postgresql:// URI"),
                              &entry);
        if (positional.size() > 1)
            options.target = QFileInfo(positional.at(1)).absoluteFilePath();
    }
    if (entry.command == Command::UserAdd) {
        options.login = positional.at(1);
        if (options.login.trimmed().isEmpty())
            return UsageError(QStringLiteral("user add needs a LOGIN"), &entry);
    }
    const auto value = [&](const char* name) { return parser.value(QLatin1String(name)); };
    const auto isSet = [&](const char* name) {
        return parser.optionNames().contains(QLatin1String(name)) && parser.isSet(QLatin1String(name));
    };

    if (isSet("workflow")) {
        const std::optional<int> index = WorkflowIndex(value("workflow"));
        if (!index)
            return UsageError(QStringLiteral("--workflow takes standard, simple or none"), &entry);
        options.workflow = *index;
    }
    options.replace = isSet("replace");
    if (options.replace && engine::IsServerName(options.file))
        return UsageError(QStringLiteral("--replace is for files only; a server database is emptied by its "
                                         "administrator (DROP SCHEMA vellacord CASCADE)"),
                          &entry);
    options.overwriteBackup = isSet("overwrite-backup");
    if (entry.command == Command::List) {
        options.user = value("user");
        if (options.user.isEmpty())
            return UsageError(QStringLiteral("list needs --user LOGIN"), &entry);
        for (const char* name : {"view", "filter"}) {
            if (!isSet(name))
                continue;
            const std::optional<int> id = Id(value(name));
            if (!id)
                return UsageError(QStringLiteral("--%1 takes a number").arg(QLatin1String(name)), &entry);
            (qstrcmp(name, "view") == 0 ? options.viewId : options.filterId) = id;
        }
        options.myDefects = isSet("my-defects");
        options.output = value("output");
        if (isSet("output") && options.output.isEmpty())
            return UsageError(QStringLiteral("--output takes a file name, or - for the standard output"), &entry);
        if (engine::IsServerName(options.output))
            return UsageError(QStringLiteral("--output takes a file name, not a postgresql:// URI"), &entry);
        options.format = value("format");
        if (isSet("format") &&
            !QStringList({QStringLiteral("text"), QStringLiteral("csv"), QStringLiteral("xml"), QStringLiteral("xlsx"),
                          QStringLiteral("json")})
                 .contains(options.format))
            return UsageError(QStringLiteral("--format takes text, csv, xml, xlsx or json"), &entry);
        if (options.format == QLatin1String("json") && !options.output.isEmpty())
            return UsageError(QStringLiteral("--format json prints the list; it takes no --output"), &entry);
        if (!options.format.isEmpty() && options.format != QLatin1String("json") && options.output.isEmpty())
            return UsageError(QStringLiteral("--format needs --output OUT"), &entry);
        options.rawFormulas = isSet("raw-formulas");
    }
    if (entry.command == Command::UserAdd) {
        options.displayName = value("name");
        options.email = value("email");
        options.administrator = isSet("admin");
        options.passwordFromStdin = isSet("password-stdin");
    }
    if (const std::optional<QString> error = ParseShellOptions(
            entry.command, positional, value, [&](const char* name) { return parser.values(QLatin1String(name)); },
            isSet, options))
        return UsageError(*error, &entry);
    // A server's URI is no path.
    if (!engine::IsServerName(options.file))
        options.file = QFileInfo(options.file).absoluteFilePath();
    AdminArguments result;
    result.outcome = AdminArguments::Outcome::Run;
    result.options = options;
    return result;
}

} // namespace

QString AdminUsage()
{
    QString text = QStringLiteral("Usage: vellacord-admin COMMAND FILE [OPTIONS]\n"
                                  "\n"
                                  "Maintenance of a Vellacord database file from the command line.\n"
                                  "\n"
                                  "Commands:\n");
    for (const CommandEntry& entry : Commands()) {
        text += QStringLiteral("  %1\n").arg(CommandSynopsis(entry).mid(qstrlen(kProgram) + 1));
        for (const QString& line : QString::fromLatin1(entry.description).split(QLatin1Char('\n')))
            text += QStringLiteral("      ") + line + QLatin1Char('\n');
    }
    text += QStringLiteral("\nOptions:\n");
    text += OptionLines(QStringLiteral("-h, --help"),
                        QStringLiteral("Prints this help; after a command, the help of that command."));
    text += OptionLines(QStringLiteral("--version"), QStringLiteral("Prints the program's version."));
    text += QStringLiteral(
                "\n"
                "Options take their value as the next argument or after '=' (--user=ann); '--' ends the options,\n"
                "so that a FILE may begin with '-'. The workflow is standard when not given; the current schema\n"
                "version is %1. Messages go to the error stream. The exit status is 0 on success, 1 on failure\n"
                "and 2 for a command line that makes no command; 'vellacord-admin COMMAND --help' prints the\n"
                "help of one command.\n")
                .arg(EXPECTED_DB_VERSION);
    return text;
}

AdminArguments ParseAdminArguments(const QStringList& arguments)
{
    if (arguments.isEmpty())
        return UsageError(QStringLiteral("no command given"), nullptr);
    const QString& first = arguments.front();
    if (first == QLatin1String("--help") || first == QLatin1String("-h"))
        return Printed(AdminArguments::Outcome::Help, AdminUsage());
    if (first == QLatin1String("--version"))
        return Printed(
            AdminArguments::Outcome::Version,
            QStringLiteral("%1 (Vellacord) %2").arg(QLatin1String(kProgram), QLatin1String(kProgramVersion)));
    if (first == QLatin1String("help")) {
        // As git does: "help COMMAND" is "COMMAND --help".
        if (arguments.size() == 1)
            return Printed(AdminArguments::Outcome::Help, AdminUsage());
        const CommandEntry* entry = FindCommand(arguments.mid(1).join(QLatin1Char(' ')));
        if (entry == nullptr)
            return UsageError(QStringLiteral("no such command '%1'").arg(arguments.mid(1).join(QLatin1Char(' '))),
                              nullptr);
        return Printed(AdminArguments::Outcome::Help, CommandHelp(*entry));
    }
    if (first.startsWith(QLatin1Char('-')))
        return UsageError(QStringLiteral("unknown option '%1'").arg(first), nullptr);

    QString name = first;
    int words = 1;
    // "user add" and "user list" are one command of two words.
    if (first == QLatin1String("user")) {
        const QString action = arguments.value(1);
        if (action != QLatin1String("add") && action != QLatin1String("list"))
            return UsageError(QStringLiteral("user takes add or list"), nullptr);
        name += QLatin1Char(' ') + action;
        words = 2;
    }
    if (const std::optional<QString> actions = ShellCommandActions(first)) {
        const QString action = arguments.value(1);
        if (!actions->split(QLatin1Char(' ')).contains(action) || action.isEmpty())
            return UsageError(QStringLiteral("%1 takes %2").arg(first, QString(*actions).replace(' ', ", ")), nullptr);
        name += QLatin1Char(' ') + action;
        words = 2;
    }
    const CommandEntry* entry = FindCommand(name);
    if (entry == nullptr)
        return UsageError(QStringLiteral("unknown command '%1'").arg(name), nullptr);
    return ParseCommand(*entry, arguments.mid(words));
}
