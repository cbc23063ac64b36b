#include "app/CommandLine.h"

#include "platform/Profile.h"

#include <QFileInfo>

namespace {

const QString kAutoLogin = QStringLiteral("autologin");

// "/" introduces a switch as well as "-", but it also begins every absolute path: an argument
// that names an existing file or holds a further "/" is a path.
bool IsSwitch(const QString& argument)
{
    if (argument.size() < 2)
        return false;
    if (argument.front() == QLatin1Char('-'))
        return true;
    if (argument.front() != QLatin1Char('/'))
        return false;
    return argument.indexOf(QLatin1Char('/'), 1) < 0 && !QFileInfo::exists(argument);
}

} // namespace

void CDeflCommandLineInfo::ParseParam(const QString& param, bool isSwitch)
{
    if (!isSwitch) {
        if (fileName.isEmpty()) {
            fileName = param;
            shellCommand = ShellCommand::FileOpen;
        }
        return;
    }
    if (param.left(kAutoLogin.size()).compare(kAutoLogin, Qt::CaseInsensitive) != 0)
        return;
    if (param.size() > kAutoLogin.size() && param.at(kAutoLogin.size()) == QLatin1Char('=')) {
        autoLogin = param.mid(kAutoLogin.size() + 1);
        return;
    }
    if (const std::optional<QString> user = operatingSystemUser ? operatingSystemUser() : std::nullopt)
        autoLogin = *user;
}

CDeflCommandLineInfo ParseCommandLine(const QStringList& arguments,
                                      std::function<std::optional<QString>()> operatingSystemUser)
{
    CDeflCommandLineInfo info;
    info.operatingSystemUser = std::move(operatingSystemUser);
    for (const QString& argument : arguments) {
        const bool isSwitch = IsSwitch(argument);
        info.ParseParam(isSwitch ? argument.mid(1) : argument, isSwitch);
    }
    return info;
}

bool AsksForHelp(const QStringList& arguments)
{
    for (const QString& argument : arguments) {
        if (argument == QLatin1String("--help") || argument == QLatin1String("-help") ||
            argument == QLatin1String("-h") || argument == QLatin1String("/?"))
            return true;
    }
    return false;
}

QString CommandLineUsage()
{
    return QStringLiteral("Usage: vellacord [DATABASE] [-autologin[=LOGIN]]\n"
                          "\n"
                          "  DATABASE           the database file (*.defl) to open; without it the database\n"
                          "                     opened last on this workstation (File > Recent databases),\n"
                          "                     or default.defl in the current folder the first time. When\n"
                          "                     the file cannot be opened, the administration dialog offers\n"
                          "                     to create or choose one.\n"
                          "  -autologin         log in as the user whose login name is your system user name,\n"
                          "                     without the login dialog.\n"
                          "  -autologin=LOGIN   log in as LOGIN without the login dialog.\n"
                          "  --help             print this text.\n"
                          "\n"
                          "The workstation's settings (the last database, windows, mail) live in\n"
                          "  %1\n"
                          "A database is prepared from a shell with vellacord-admin (vellacord-admin --help).\n")
        .arg(ProfilePath());
}
