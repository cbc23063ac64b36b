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

    EXPECT_TRUE(Parse({QStringLiteral("-autolog=Bob")}).autoLogin.isEmpty());
    EXPECT_TRUE(Parse({QStringLiteral("-x"), QStringLiteral("/p")}).autoLogin.isEmpty());
}

TEST(CommandLine, PlainArgumentIsTheDatabaseToOpen)
{
    const CDeflCommandLineInfo none = Parse({});
    EXPECT_EQ(none.shellCommand, CDeflCommandLineInfo::ShellCommand::FileNew);
    EXPECT_TRUE(none.fileName.isEmpty());

    const CDeflCommandLineInfo open =
        Parse({QStringLiteral("-autologin=Bob"), QStringLiteral("team.defl"), QStringLiteral("other.defl")});
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
