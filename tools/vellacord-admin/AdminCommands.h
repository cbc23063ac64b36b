#pragma once
// The commands of vellacord-admin and their options.

#include "ShellOptions.h"

#include <QString>
#include <QStringList>

#include <optional>

struct AdminOptions {
    enum class Command {
        Create,
        Convert,
        Repair,
        Unlock,
        Version,
        List,
        UserAdd,
        UserList,
        DefectShow,
        DefectAdd,
        DefectComment,
        DefectStatus,
        HookInstall,
        HookRun,
        Search,
        ServerSetup,
        Migrate,
        Backup,
        AttachmentsRoot
    };
    Command command = Command::Version;
    QString file;
    int workflow = 0; // the workflow chooser's index: 0 standard, 1 simple, 2 none
    bool replace = false;
    bool overwriteBackup = false;
    // list: whose list, and what replaces the view, filter and "My defects" of the user's settings.
    QString user;
    std::optional<int> viewId;
    std::optional<int> filterId;
    bool myDefects = false;
    // list --format/--output: the list goes into an export file instead of the output stream.
    QString format;           // text, csv, xml or xlsx; empty: by the output file's extension
    QString output;           // "-" for the standard output
    bool rawFormulas = false; // CSV and text cells that begin like a formula are written as they are
    // migrate: where the database goes (a file when `file` is a server's URI, and the other way);
    // backup: the folder the dump goes into; attachments-root: the folder to set (empty: show it).
    QString target;
    // user add: the new stakeholder.
    QString login;
    QString displayName;
    QString email;
    bool administrator = false;
    bool passwordFromStdin = false;
    // defect, hook and search.
    ShellOptions shell;
};

// Runs the command; the exit status (0 success, 1 failure).
int RunAdminCommand(const AdminOptions& options);
