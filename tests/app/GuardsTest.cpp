// The guards on scripted failures: close after the first, quit after the second, each kind reported.

#include "AppTestSupport.h"

#include "base/Check.h"
#include "base/DatabaseUnavailable.h"
#include "base/ErrorContext.h"
#include "base/ErrorReport.h"
#include "base/Guards.h"
#include "base/Result.h"
#include "base/StringTable.h"
#include "engine/EngineStatus.h"
#include "support/ScriptedUserInterface.h"

#include <QFile>

#include <gtest/gtest.h>

#include <cerrno>
#include <optional>
#include <stdexcept>

namespace {

constexpr long kEFail = static_cast<long>(static_cast<int>(0x80004005u));

void FailingBoolCall(const char* operation)
{
    ErrorContext context(operation);
    CBResult result(0);
    result.check();
}

void FailingStatusCall(const char* operation, long status, engine::ErrorRecords records = {})
{
    ErrorContext context(operation);
    CHResult result(status, std::move(records));
    result.check();
}

class GuardTest : public testing::Test {
protected:
    void SetUp() override { TheErrorContext().ContextText(true); }

    QString DumpErrorLine() const
    {
        QFile dump(ErrorDumpPath());
        if (!dump.open(QIODevice::ReadOnly))
            return QString();
        for (const QString& line : QString::fromUtf8(dump.readAll()).split(QLatin1Char('\n')))
            if (line.startsWith(QStringLiteral("Error: ")))
                return line;
        return QString();
    }

    TemporaryFolderOverride temp_;
};

// A message loop that fails as scripted and then returns what was posted.
struct FakeLoop {
    std::vector<std::function<void()>> failures;
    std::size_t runs = 0;
    bool mainWindow = true;
    int destroyed = 0;
    std::optional<int> posted;
    std::function<void()> whenWaitingStops;

    RunGuard::Loop Hooks()
    {
        return {[this] {
                    const std::size_t run = runs++;
                    if (run < failures.size())
                        failures[run]();
                    return posted.value_or(0);
                },
                [this] { return mainWindow; },
                [this] {
                    ++destroyed;
                    mainWindow = false;
                },
                [this](int code) { posted = code; },
                [this] {
                    if (whenWaitingStops)
                        whenWaitingStops();
                }};
    }
};

} // namespace

TEST_F(GuardTest, RunGuardClosesAfterTheFirstFailureAndQuitsWithOneAfterTheSecond)
{
    ScriptedUserInterface ui;
    FakeLoop loop;
    loop.failures = {[] { throw std::runtime_error("no main window set!"); },
                     [] { FailingBoolCall("starting timer"); }};
    ui.ExpectMessageText(QStringLiteral("no main window set!"));
    ui.ExpectMessage(153);
    ui.ExpectMessageText(QStringLiteral("Exception caught: CBResult error code: 00000000"));

    RunGuard guard(loop.Hooks());
    EXPECT_EQ(guard.Run(), 1);
    EXPECT_EQ(guard.state(), RunGuard::State::Done);
    EXPECT_EQ(loop.destroyed, 1);
    ASSERT_EQ(ui.messages.size(), 3u);
    EXPECT_EQ(ui.messages[0].text, QStringLiteral("Operation failed - \nthe error is \"no main window set!\"\n"));
    EXPECT_EQ(ui.messages[1].text, LoadString(153));
    EXPECT_TRUE(ui.messages[1].foreground);
    EXPECT_EQ(ui.messages[2].text,
              QStringLiteral("Operation failed - \nthe error is \"Exception caught: CBResult error "
                             "code: 00000000\"\nstarting timer\n "));
    EXPECT_EQ(DumpErrorLine(), QStringLiteral("Error: Exception caught: CBResult error code: 00000000"));
    EXPECT_EQ(ui.openedWithDesktop.size(), 2u);
}

TEST_F(GuardTest, RunGuardStopsAllWaitingForTheFileBeforeItReportsTheFailureThatClosesTheProgram)
{
    ScriptedUserInterface ui;
    FakeLoop loop;
    std::vector<int> messagesBeforeStop;
    loop.whenWaitingStops = [&] { messagesBeforeStop.push_back(ui.CountOf("message")); };
    loop.failures = {[] { throw database_unavailable(static_cast<std::int32_t>(engine::kFailure)); },
                     [] { throw std::logic_error("while closing"); }};
    ui.ExpectMessageText(QStringLiteral("database unavailable"));
    ui.ExpectMessage(153);
    ui.ExpectMessageText(QStringLiteral("while closing"));

    RunGuard guard(loop.Hooks());
    EXPECT_EQ(guard.Run(), 1);
    EXPECT_EQ(messagesBeforeStop, std::vector<int>{0}) << "once, before anything is shown";
    EXPECT_EQ(loop.destroyed, 1);
}

TEST_F(GuardTest, RunGuardReportsStatusCodesAsEightDigitsAndGoesOnAfterQuitting)
{
    ScriptedUserInterface ui;
    FakeLoop loop;
    loop.mainWindow = false;
    loop.failures = {[] { FailingStatusCall("Saving record", kEFail); }, [] { throw std::logic_error("second"); },
                     [] { throw std::logic_error("third"); }};
    ui.ExpectMessageText(QStringLiteral("Exception caught: CHResult error code: 80004005"));
    ui.ExpectMessage(153);
    ui.ExpectMessageText(QStringLiteral("second"));
    ui.ExpectMessageText(QStringLiteral("third"));

    RunGuard guard(loop.Hooks());
    EXPECT_EQ(guard.Run(), 1);
    EXPECT_EQ(loop.destroyed, 0) << "no main window to destroy";
    EXPECT_EQ(ui.CountOf("message"), 4) << "153 only once";
    EXPECT_EQ(DumpErrorLine(), QStringLiteral("Error: third"));
}

TEST_F(GuardTest, RunGuardPassesOnAnUnknownExceptionAfterACrashDump)
{
    ScriptedUserInterface ui;
    FakeLoop loop;
    loop.failures = {[] { throw 42; }};
    ui.ExpectMessageText(QStringLiteral("the error is \"unspecified exception\""));
    RunGuard guard(loop.Hooks());
    EXPECT_THROW(guard.Run(), int);
    QFile dump(ErrorDumpPath());
    ASSERT_TRUE(dump.open(QIODevice::ReadOnly));
    EXPECT_TRUE(dump.readAll().contains("DRWTSN32"));
}

TEST_F(GuardTest, RunGuardWithoutFailureReturnsTheLoopsCode)
{
    ScriptedUserInterface ui;
    FakeLoop loop;
    loop.posted = 7;
    bool stopped = false;
    loop.whenWaitingStops = [&] { stopped = true; };
    RunGuard guard(loop.Hooks());
    EXPECT_EQ(guard.Run(), 7);
    EXPECT_EQ(ui.CountOf("message"), 0);
    EXPECT_FALSE(stopped) << "a program that ends normally waits for its file as ever";
}

TEST_F(GuardTest, StartupGuardReportsEachKindAndFails)
{
    ScriptedUserInterface ui;
    EXPECT_TRUE(RunStartupGuard([] { return true; }));
    EXPECT_FALSE(RunStartupGuard([] { return false; }));
    EXPECT_EQ(ui.CountOf("message"), 0);

    ui.ExpectMessageText(QStringLiteral("Operation failed - "));
    EXPECT_FALSE(RunStartupGuard([] {
        FailingBoolCall("loading settings from registry");
        return true;
    }));
    EXPECT_EQ(ui.messages.back().text, QStringLiteral("Operation failed - loading settings from registry\n "));
    EXPECT_EQ(ui.messages.back().buttons, Buttons::Ok);

    ui.ExpectMessageText(QStringLiteral("operation could not be completed"));
    EXPECT_FALSE(RunStartupGuard([] {
        FailingStatusCall("setting database filename", kEFail, {{QStringLiteral("disk I/O error"), 10, QString()}});
        return true;
    }));
    EXPECT_TRUE(ui.messages.back().text.endsWith(QStringLiteral("\n\noperation could not be completed. exiting now.")));
    // The engine's words are behind "Details", not in the text.
    EXPECT_FALSE(ui.messages.back().text.contains(QStringLiteral("disk I/O error")));
    EXPECT_TRUE(ui.messages.back().details.contains(QStringLiteral("Description: \"disk I/O error\"")));
    EXPECT_EQ(ui.messages.back().buttons, Buttons::YesNo);
    TheErrorContext().ContextText(true);

    ui.ExpectMessageText(QStringLiteral("the registry settings are damaged"));
    EXPECT_FALSE(RunStartupGuard([]() -> bool { throw check::assertion_failed("the registry settings are damaged"); }));
    EXPECT_EQ(ui.messages.back().icon, Icon::Error);

    ui.ExpectMessageText(QStringLiteral("unspecified exception caught in CDeflApp::InitInstance"));
    EXPECT_FALSE(RunStartupGuard([]() -> bool { throw 3.5; }));
}

TEST_F(GuardTest, HandlerGuardShowsItsThreeTexts)
{
    ScriptedUserInterface ui;
    EXPECT_TRUE(RunGuardedHandler([] {}));

    ui.ExpectMessageText(QStringLiteral("GetLastError returned"));
    EXPECT_FALSE(RunGuardedHandler([] {
        errno = 2;
        FailingBoolCall("Removing old database");
    }));
    EXPECT_EQ(ui.messages.back().text, QStringLiteral("GetLastError returned 00000002\r\nRemoving old database\n "));

    ui.ExpectMessageText(QStringLiteral("exception raised:\r\ninitializing database\n "));
    EXPECT_FALSE(RunGuardedHandler([] { FailingStatusCall("initializing database", engine::kIntegrityViolation); }));
    EXPECT_TRUE(
        ui.messages.back().details.startsWith(QStringLiteral("OLE DB Error Record dump for hr = 0x80040e2f\n")));
    EXPECT_FALSE(ui.messages.back().text.contains(QStringLiteral("0x")));

    ui.ExpectMessageText(QStringLiteral("exception raised"));
    EXPECT_FALSE(RunGuardedHandler([] {
        ErrorContext context("converting old database to current format");
        throw database_unavailable(5);
    }));
    EXPECT_EQ(ui.messages.back().text,
              QStringLiteral("exception raised:\r\nthe error is \"database unavailable\"\n"
                             "converting old database to current format\n "));
}
