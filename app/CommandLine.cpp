#include "app/CommandLine.h"

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
