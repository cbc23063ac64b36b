// Reading the program's command line with QCommandLineParser, after the autologin switches that
// desktop files and scripts already use (-autologin, /autologin=LOGIN, any letter case) are taken out.

#include "app/CommandLine.h"

#include "base/ProductInfo.h"

#include <QCommandLineParser>
#include <QRegularExpression>

namespace {

const QString kAutoLogin = QStringLiteral("autologin");

// -autologin, --autologin and /autologin with anything after them, in any letter case; the
// capture is the switch without its switch characters.
const QRegularExpression& AutoLoginSwitch()
{
    static const QRegularExpression expression(QStringLiteral("^(?:--?|/)(autologin.*)$"),
                                               QRegularExpression::CaseInsensitiveOption |
                                                   QRegularExpression::DotMatchesEverythingOption);
    return expression;
}

// The old ways of asking for the usage.
bool IsHelpSwitch(const QString& argument)
{
    return argument == QLatin1String("/?") || argument == QLatin1String("/h") || argument == QLatin1String("/help");
}

// Options Qt's GUI classes read from the command line; they pass through to the application.
void AddToolkitOptions(QCommandLineParser& parser)
{
    const auto add = [&](const char* name, bool takesValue) {
        QCommandLineOption option{QLatin1String(name)};
        if (takesValue)
            option.setValueName(QStringLiteral("value"));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    };
    for (const char* name :
         {"platform", "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry", "qwindowicon", "qwindowtitle",
          "display", "geometry", "title", "style", "stylesheet", "session", "qmljsdebugger"})
        add(name, true);
    for (const char* name : {"reverse", "widgetcount", "nograb", "dograb", "sync"})
        add(name, false);
}

} // namespace

void CDeflCommandLineInfo::ParseAutoLogin(const QString& param)
{
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
    // The switches of earlier versions go first, in their order; after "--" every word is a file.
    QStringList rest;
    bool optionsEnded = false;
    for (const QString& argument : arguments) {
        if (!optionsEnded && argument == QLatin1String("--"))
            optionsEnded = true;
        const QRegularExpressionMatch autoLogin = AutoLoginSwitch().match(argument);
        if (!optionsEnded && autoLogin.hasMatch())
            info.ParseAutoLogin(autoLogin.captured(1));
        else if (!optionsEnded && IsHelpSwitch(argument))
            rest << QStringLiteral("--help");
        else
            rest << argument;
    }

    QCommandLineParser parser;
    // -help and -version read as --help and --version, as -autologin always did.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringLiteral("version"));
    parser.addOption(help);
    parser.addOption(version);
    AddToolkitOptions(parser);
    if (!parser.parse(QStringList(QStringLiteral("vellacord")) + rest)) {
        info.usageError = parser.errorText();
        return info;
    }
    info.help = parser.isSet(help);
    info.version = parser.isSet(version);
    const QStringList files = parser.positionalArguments();
    if (!files.isEmpty()) {
        info.fileName = files.front();
        info.shellCommand = CDeflCommandLineInfo::ShellCommand::FileOpen;
    }
    if (files.size() > 1)
        info.usageError = QStringLiteral("one database at a time: unexpected argument '%1'").arg(files.at(1));
    return info;
}

QString CommandLineUsage()
{
    return QStringLiteral("Usage: vellacord [OPTIONS] [DATABASE]\n"
                          "\n"
                          "Vellacord is a defect database for small teams sharing one file.\n"
                          "\n"
                          "Arguments:\n"
                          "  DATABASE           the database file (*.defl) to open; without it the database\n"
                          "                     opened last on this workstation (File > Recent databases),\n"
                          "                     or default.defl in the current folder the first time. When\n"
                          "                     the file cannot be opened, the administration dialog offers\n"
                          "                     to create or choose one.\n"
                          "\n"
                          "Options:\n"
                          "  -autologin         log in as the user whose login name is your system user name,\n"
                          "                     without the login dialog.\n"
                          "  -autologin=LOGIN   log in as LOGIN without the login dialog (also --autologin=LOGIN\n"
                          "                     or /autologin=LOGIN).\n"
                          "  -h, --help         print this text.\n"
                          "  --version          print the program's version.\n"
                          "  --                 end of the options: a DATABASE after it may begin with '-'.\n"
                          "\n"
                          "Any other option is refused with exit status 2. The workstation's settings (the\n"
                          "last database, windows, mail) live in\n"
                          "  $XDG_CONFIG_HOME/VellacordTeam/Vellacord.conf, usually\n"
                          "  ~/.config/VellacordTeam/Vellacord.conf\n"
                          "A database is prepared from a shell with vellacord-admin (vellacord-admin --help).\n");
}

QString CommandLineVersion()
{
    return QStringLiteral("vellacord (Vellacord) %1").arg(QLatin1String(kProgramVersion));
}

QString CommandLineHint()
{
    return QStringLiteral("Try 'vellacord --help' for more information.");
}
