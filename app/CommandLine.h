#pragma once
// The program's command line: a database file to open and the switch autologin.

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

    // One parameter; `isSwitch` when it began with a switch character, which is stripped.
    void ParseParam(const QString& param, bool isSwitch);

    // The login name of the process's user; none when it cannot be found out.
    std::function<std::optional<QString>()> operatingSystemUser;
};

// Parses the arguments after the program name.
CDeflCommandLineInfo
ParseCommandLine(const QStringList& arguments,
                 std::function<std::optional<QString>()> operatingSystemUser = OperatingSystemUserName);

// True when the arguments ask for the usage (--help, -help, -h, /?).
bool AsksForHelp(const QStringList& arguments);
// The usage: the database argument, the autologin switch and where the settings live.
QString CommandLineUsage();
