// The program's life on a fake framework: settings written at the end, a hidden window, a failed open or load.

#include "AppTestSupport.h"

#include "app/DeflApp.h"
#include "base/DatabaseUnavailable.h"
#include "engine/EngineStatus.h"
#include "platform/LocalSettings.h"
#include "platform/Profile.h"
#include "support/ScriptedUserInterface.h"

#include <QFile>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace {

struct FakeFramework : ApplicationFramework {
    bool opens = true;
    std::optional<CDeflCommandLineInfo> processed;
    std::optional<bool> shownVisible;
    int loopExitCode = 0;
    bool loopFailsOnce = false; // the first loop ends with the file out of reach
    std::vector<std::string> closing;

    bool ProcessShellCommand(const CDeflCommandLineInfo& commandLine) override
    {
        processed = commandLine;
        return opens;
    }
    void ShowMainWindow(bool visible) override { shownVisible = visible; }
    bool HasMainWindow() override { return true; }
    void DestroyMainWindow() override { closing.push_back("destroy"); }
    void StopWaitingForFile() override { closing.push_back("stop waiting"); }
    int RunMessageLoop() override
    {
        if (std::exchange(loopFailsOnce, false))
            throw database_unavailable(static_cast<std::int32_t>(engine::kFailure));
        return loopExitCode;
    }
    void PostQuit(int code) override { closing.push_back("quit " + std::to_string(code)); }
};

class DeflAppTest : public testing::Test {
protected:
    void SetUp() override { ForgetLocalSettingsAndContext(); }
    void TearDown() override { ForgetLocalSettingsAndContext(); }
    static bool Stored(const QString& key) { return OpenProfile()->contains(key); }
};

} // namespace

TEST_F(DeflAppTest, StartRunAndEndWriteTheSettings)
{
    ScriptedUserInterface ui;
    FakeFramework framework;
    framework.loopExitCode = 3;
    LocalSettings settings;
    CDeflApp app(framework, settings);
    EXPECT_EQ(app.Main({QStringLiteral("/autologin=Bob"), QStringLiteral("team.defl")}), 3);
    ASSERT_TRUE(framework.processed.has_value());
    EXPECT_EQ(framework.processed->fileName, QStringLiteral("team.defl"));
    EXPECT_EQ(framework.processed->autoLogin, QStringLiteral("Bob"));
    EXPECT_EQ(framework.shownVisible, true);
    EXPECT_TRUE(settings.memoSortable);
    EXPECT_TRUE(Stored(QStringLiteral("Settings/mainWindowPosition")));
    EXPECT_TRUE(Stored(QStringLiteral("SendMailDialogHistory/sendMethod")));
}

TEST_F(DeflAppTest, WindowLeftInTheBackgroundStaysHidden)
{
    ScriptedUserInterface ui;
    LocalSettings saved;
    saved.mainWindowIsVisible = false;
    saved.Save();

    FakeFramework framework;
    LocalSettings settings;
    CDeflApp app(framework, settings);
    EXPECT_TRUE(app.InitInstance({}));
    EXPECT_EQ(framework.shownVisible, false);
    EXPECT_EQ(framework.processed->shellCommand, CDeflCommandLineInfo::ShellCommand::FileNew);
}

TEST_F(DeflAppTest, DatabaseThatDoesNotOpenEndsWithoutWritingSettings)
{
    ScriptedUserInterface ui;
    FakeFramework framework;
    framework.opens = false;
    LocalSettings settings;
    CDeflApp app(framework, settings);
    EXPECT_EQ(app.Main({}), 1);
    EXPECT_TRUE(settings.dontSaveSettings);
    EXPECT_FALSE(framework.shownVisible.has_value());
    EXPECT_FALSE(QFile::exists(ProfilePath()));
}

TEST_F(DeflAppTest, DamagedSettingsEndTheStartAndAreRepairedAtExit)
{
    {
        const auto profile = OpenProfile();
        profile->setValue(QStringLiteral("Settings/mainWindowPosition"), QByteArray(10, '\x05'));
    }
    ScriptedUserInterface ui;
    ui.ExpectMessageText(
        QStringLiteral("the error is \"the registry settings are damaged\"\nloading settings from registry\n "));
    FakeFramework framework;
    LocalSettings settings;
    CDeflApp app(framework, settings);
    EXPECT_EQ(app.Main({}), 1);
    EXPECT_FALSE(framework.processed.has_value());
    EXPECT_EQ(OpenProfile()->value(QStringLiteral("Settings/mainWindowPosition")).toByteArray(), QByteArray(44, '\0'));
}

TEST_F(DeflAppTest, TheFailureThatClosesTheProgramStopsTheDocumentWaitingForItsFileFirst)
{
    ScriptedUserInterface ui;
    ui.ExpectMessageText(QStringLiteral("database unavailable"));
    ui.ExpectMessage(153);
    FakeFramework framework;
    framework.loopFailsOnce = true;
    LocalSettings settings;
    CDeflApp app(framework, settings);
    EXPECT_EQ(app.Main({}), 0);
    EXPECT_EQ(framework.closing, (std::vector<std::string>{"stop waiting", "destroy"}));
    ui.VerifyAllUsed();
}
