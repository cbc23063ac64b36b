#pragma once
// The program's command line: a database file to open, the switch autologin, and the usual
// --help and --version; anything else is refused before a window opens.

#include "platform/UserName.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class CDeflCommandLineInfo {
public:
    enum class ShellCommand { FileNew, FileOpen };

    ShellCommand shellCommand = ShellCommand::FileNew;
    QString fileName;  // the database to open; empty for the store's own choice
    QString autoLogin; // the stakeholder to log in with; empty to ask
    bool help = false;
    bool version = false;
    QString usageError; // one line saying what is wrong with the command line; empty when nothing is

    // One autologin switch without its switch characters (autologin, autologin=NAME, ...).
    void ParseAutoLogin(const QString& param);

    // The login name of the process's user; none when it cannot be found out.
    std::function<std::optional<QString>()> operatingSystemUser;
};

// Parses the arguments after the program name.
CDeflCommandLineInfo
ParseCommandLine(const QStringList& arguments,
                 std::function<std::optional<QString>()> operatingSystemUser = OperatingSystemUserName);

// The usage: the database argument, the switches and where the settings live.
QString CommandLineUsage();
// The line --version prints.
QString CommandLineVersion();
// Where a usage error sends the user.
QString CommandLineHint();
