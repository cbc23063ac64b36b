#pragma once
// The command-line table entries and option checks of the defect, hook and search commands, kept
// apart from the maintenance commands' table they join.

#include "AdminCommands.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// Rows of the option table: name, value name (null for a switch), description.
#define SHELL_OPTION_ENTRIES                                                                                           \
    {"json", nullptr, "Prints a JSON object (defect show) or array (search) instead of text."},                        \
        {"subject", "TEXT", "The new defect's subject."},                                                              \
        {"to", "TO",                                                                                                   \
         "defect add: the addressee's login name (without it the defect goes to nobody); defect status: the name "     \
         "of the new status."},                                                                                        \
        {"cc", "ADDR", "A further e-mail address the notification goes to; may be given several times."},              \
        {"severity", "NAME", "The new defect's severity, by name."},                                                   \
        {"priority", "NAME", "The new defect's priority, by name."},                                                   \
        {"component", "NAME", "The new defect's component, by name."},                                                 \
        {"category", "NAME", "The new defect's category, by name."},                                                   \
        {"description-file", "F", "Reads the description from file F; - reads the standard input."},                   \
        {"text", "TEXT", "The comment."},                                                                              \
        {"text-file", "F", "Reads the comment from file F; - reads the standard input."},                              \
        {"comment", "TEXT", "The comment of the status change, as the status dialog takes it."},                       \
        {"expect-modified", "TIME",                                                                                    \
         "Refuses the change unless the defect was last modified at TIME, its \"modified\" as defect show --json "     \
         "printed it: nobody changed it since the script read it."},                                                   \
        {"database", "FILE", "The database the commits' defects are in."},                                             \
        {"fixes-status", "NAME",                                                                                       \
         "Stores in the database the status that \"fixes #N\" and \"closes #N\" move a defect to (fixed when "         \
         "none is stored)."},                                                                                          \
    {                                                                                                                  \
        "git-dir", "DIR", "The repository's git folder (as git rev-parse --git-dir prints it)."                        \
    }

// Rows of the command table: name, command, arguments, options, description.
#define SHELL_COMMAND_ENTRIES                                                                                          \
    {"defect show",                                                                                                    \
     Command::DefectShow,                                                                                              \
     "FILE ID",                                                                                                        \
     {"user", "json"},                                                                                                 \
     "Prints every field of defect ID, its history and its attachments' names. Another user's drafts and\n"            \
     "templates are not shown, as in the list; --user says whose (the operating-system user by default)."},            \
        {"defect add",                                                                                                 \
         Command::DefectAdd,                                                                                           \
         "FILE",                                                                                                       \
         {"user", "subject", "to", "cc", "severity", "priority", "component", "category", "description-file",          \
          "password-stdin"},                                                                                           \
         "Files a new defect as LOGIN and prints its id. It gets the workflow's first status, its first\n"             \
         "history line, is unread for its addressee and the notification goes out, as when it is saved in\n"           \
         "the program. A user with a password gives it with --password-stdin unless the tool runs as the\n"            \
         "operating-system user of that login."},                                                                      \
        {"defect comment",                                                                                             \
         Command::DefectComment,                                                                                       \
         "FILE ID",                                                                                                    \
         {"user", "text", "text-file", "expect-modified", "password-stdin"},                                           \
         "Adds a history line with the comment under the defect's current status, and sends the\n"                     \
         "notification with the comment."},                                                                            \
        {"defect status",                                                                                              \
         Command::DefectStatus,                                                                                        \
         "FILE ID",                                                                                                    \
         {"user", "to", "comment", "expect-modified", "password-stdin"},                                               \
         "Moves the defect to the status named by --to, where the workflow leads from its status, with\n"              \
         "the comment the workflow asks for. A change another user saved meanwhile is never overwritten:\n"            \
         "the command fails and says so."},                                                                            \
        {"hook install",                                                                                               \
         Command::HookInstall,                                                                                         \
         "REPO",                                                                                                       \
         {"database", "user", "fixes-status"},                                                                         \
         "Installs a git post-commit hook in the repository REPO: each #123 or \"refs #123\" in a commit\n"            \
         "message adds a history line with the commit's short id, author and subject to defect 123;\n"                 \
         "\"fixes #123\" and \"closes #123\" also move it to the fixing status where the workflow allows it.\n"        \
         "A database that cannot be reached leaves the commit queued for the next run; the commit is never\n"          \
         "held up."},                                                                                                  \
        {"hook run",                                                                                                   \
         Command::HookRun,                                                                                             \
         "REVISION",                                                                                                   \
         {"database", "user", "git-dir"},                                                                              \
         "What the installed hook runs: delivers the commits queued earlier and then REVISION. Prints a\n"             \
         "warning for each defect it could not change and always exits with 0."},                                      \
    {                                                                                                                  \
        "search", Command::Search, "FILE WORDS...", {"user", "json"},                                                  \
            "Finds the defects whose subject, description, details, history or attachment names hold all\n"            \
            "the WORDS (each also as the beginning of a longer word), best matches first, with an excerpt.\n"          \
            "Words in double quotes are a phrase; OR, NOT and parentheses combine them. The user's view\n"             \
            "rules apply: other users' drafts and templates are not found."                                            \
    }

// Whether the option is required by the command; it shows without brackets in the usage.
bool IsRequiredOption(AdminOptions::Command command, const char* option);

// "show add comment status" for "defect", "install run" for "hook"; none for other words.
std::optional<QString> ShellCommandActions(const QString& word);

// Takes the shell commands' positional arguments and options into `options`; the usage error otherwise.
std::optional<QString> ParseShellOptions(AdminOptions::Command command, const QStringList& positional,
                                         const std::function<QString(const char*)>& value,
                                         const std::function<QStringList(const char*)>& values,
                                         const std::function<bool(const char*)>& isSet, AdminOptions& options);
