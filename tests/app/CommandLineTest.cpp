// The command line: the forms of autologin, and a plain argument or an absolute path as the database.

#include "app/CommandLine.h"

#include <gtest/gtest.h>

namespace {

std::optional<QString> OsUser()
{
    return QStringLiteral("osuser");
}

std::optional<QString> NoOsUser()
{
    return std::nullopt;
}

CDeflCommandLineInfo Parse(const QStringList& arguments, bool osUserKnown = true)
{
    return ParseCommandLine(arguments, osUserKnown ? OsUser : NoOsUser);
}

} // namespace

TEST(CommandLine, AutologinForms)
{
    EXPECT_EQ(Parse({QStringLiteral("-autologin=Bob")}).autoLogin, QStringLiteral("Bob"));
    EXPECT_EQ(Parse({QStringLiteral("/AUTOLOGIN=Bob")}).autoLogin, QStringLiteral("Bob"));
    EXPECT_EQ(Parse({QStringLiteral("-AutoLogin=a=b c")}).autoLogin, QStringLiteral("a=b c"));

    const CDeflCommandLineInfo empty = Parse({QStringLiteral("-autologin=")});
    EXPECT_TRUE(empty.autoLogin.isEmpty());

    EXPECT_EQ(Parse({QStringLiteral("-autologin")}).autoLogin, QStringLiteral("osuser"));
    EXPECT_EQ(Parse({QStringLiteral("/autologinX")}).autoLogin, QStringLiteral("osuser"));
    EXPECT_EQ(Parse({QStringLiteral("-autologin:Bob")}).autoLogin, QStringLiteral("osuser"));

    // Without the operating-system name the switch is ignored, also after an earlier one.
    EXPECT_TRUE(Parse({QStringLiteral("-autologin")}, false).autoLogin.isEmpty());
    EXPECT_EQ(Parse({QStringLiteral("-autologin=Ann"), QStringLiteral("-autologin")}, false).autoLogin,
              QStringLiteral("Ann"));

    EXPECT_EQ(Parse({QStringLiteral("--autologin=Bob")}).autoLogin, QStringLiteral("Bob"));
    EXPECT_EQ(Parse({QStringLiteral("--autologin")}).autoLogin, QStringLiteral("osuser"));
    for (const QString form : {"-autologin", "/AUTOLOGIN=Bob", "-autologin:Bob", "--autologin=x"})
        EXPECT_TRUE(Parse({form}).usageError.isEmpty()) << form.toStdString();

    // A switch that is not autologin is refused rather than ignored.
    const CDeflCommandLineInfo misspelt = Parse({QStringLiteral("-autolog=Bob")});
    EXPECT_TRUE(misspelt.autoLogin.isEmpty());
    EXPECT_TRUE(misspelt.usageError.contains(QStringLiteral("autolog"))) << misspelt.usageError.toStdString();
    EXPECT_FALSE(Parse({QStringLiteral("-x"), QStringLiteral("/p")}).usageError.isEmpty());
}

TEST(CommandLine, HelpVersionAndUsageErrors)
{
    for (const QString form : {"--help", "-help", "-h", "/?"}) {
        const CDeflCommandLineInfo help = Parse({form});
        EXPECT_TRUE(help.help && help.usageError.isEmpty()) << form.toStdString();
    }
    EXPECT_TRUE(Parse({QStringLiteral("--version")}).version);
    EXPECT_FALSE(Parse({QStringLiteral("team.defl")}).version);
    EXPECT_TRUE(CommandLineVersion().contains(QStringLiteral("1.7 build 100")));

    for (const QStringList& wrong : {QStringList{"--frobnicate"}, QStringList{"-fullscreen", "team.defl"},
                                     QStringList{"--version=2"}, QStringList{"one.defl", "two.defl"}}) {
        const CDeflCommandLineInfo info = Parse(wrong);
        EXPECT_FALSE(info.usageError.isEmpty()) << wrong.join(' ').toStdString();
        EXPECT_FALSE(info.usageError.contains(QLatin1Char('\n')));
    }
    // The toolkit's own options pass to it; after "--" a name beginning with "-" is a file.
    const CDeflCommandLineInfo toolkit =
        Parse({QStringLiteral("-platform"), QStringLiteral("offscreen"), QStringLiteral("--style=Fusion")});
    EXPECT_TRUE(toolkit.usageError.isEmpty()) << toolkit.usageError.toStdString();
    EXPECT_TRUE(toolkit.fileName.isEmpty());
    const CDeflCommandLineInfo dashed =
        Parse({QStringLiteral("-autologin=Ann"), QStringLiteral("--"), QStringLiteral("-odd.defl")});
    EXPECT_TRUE(dashed.usageError.isEmpty()) << dashed.usageError.toStdString();
    EXPECT_EQ(dashed.fileName, QStringLiteral("-odd.defl"));
    EXPECT_EQ(dashed.autoLogin, QStringLiteral("Ann"));
    EXPECT_EQ(Parse({QStringLiteral("--"), QStringLiteral("-autologin=Bob")}).autoLogin, QString());
}

TEST(CommandLine, PlainArgumentIsTheDatabaseToOpen)
{
    const CDeflCommandLineInfo none = Parse({});
    EXPECT_EQ(none.shellCommand, CDeflCommandLineInfo::ShellCommand::FileNew);
    EXPECT_TRUE(none.fileName.isEmpty());

    const CDeflCommandLineInfo open = Parse({QStringLiteral("-autologin=Bob"), QStringLiteral("team.defl")});
    EXPECT_EQ(open.shellCommand, CDeflCommandLineInfo::ShellCommand::FileOpen);
    EXPECT_EQ(open.fileName, QStringLiteral("team.defl"));
    EXPECT_EQ(open.autoLogin, QStringLiteral("Bob"));

    // Without a switch character the word is a file name.
    EXPECT_EQ(Parse({QStringLiteral("autologin=Bob")}).fileName, QStringLiteral("autologin=Bob"));
    EXPECT_TRUE(Parse({QStringLiteral("autologin=Bob")}).autoLogin.isEmpty());

    // An absolute path begins with the other switch character but stays a path.
    const CDeflCommandLineInfo absolute = Parse({QStringLiteral("/srv/share/team.defl")});
    EXPECT_EQ(absolute.fileName, QStringLiteral("/srv/share/team.defl"));
    EXPECT_EQ(Parse({QStringLiteral("/tmp")}).fileName, QStringLiteral("/tmp"));
}
