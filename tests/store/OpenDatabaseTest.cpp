// The open procedure: the default file and the dialog, other versions, unreachable files, compaction offered.

#include "store/OpenDatabase.h"
#include "base/AdministrationActions.h"
#include "base/Result.h"
#include "base/StringTable.h"
#include "engine/Connection.h"
#include "engine/EngineStatus.h"
#include "store/DatabaseAccess.h"
#include "support/ScriptedUserInterface.h"
#include "support/TempFolder.h"
#include "support/TestDatabase.h"

#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace {

class RecordingAdministration : public AdministrationActions {
public:
    bool CreateDatabase(const QString&) override { return false; }
    bool CompactAndRepair(const QString&) override { return false; }
    bool ConvertDatabase(const QString& path) override
    {
        converted.push_back(path);
        if (failConversionWithPlatformError)
            CheckedCall(false);
        return false;
    }
    std::vector<QString> converted;
    bool failConversionWithPlatformError = false;
};

class OpenDatabaseTest : public testing::Test {
protected:
    OpenDatabaseTest() : previousDirectory_(QDir::currentPath()) { QDir::setCurrent(folder.path()); }
    ~OpenDatabaseTest() override { QDir::setCurrent(previousDirectory_); }

    QString DatabaseWithVersion(const QString& name, int version)
    {
        const QString path = CreateCurrentDatabase(folder.file(name));
        engine::Connection connection;
        EXPECT_EQ(engine::kOk, connection.Open(path));
        EXPECT_EQ(engine::kOk,
                  connection.Execute(QStringLiteral("UPDATE versiontable SET dbversion = ?"), {std::int64_t{version}}));
        return path;
    }

    void ExpectDialogAnswering(std::optional<QString> path)
    {
        ui.ExpectAdministration([path](AdministrationActions&) { return path; });
    }

    TempFolder folder;
    ScriptedUserInterface ui;
    ManualClock clock;
    CDatabaseAccess access{ui, clock};
    RecordingAdministration actions;
    OpenState state;

private:
    QString previousDirectory_;
};

} // namespace

TEST_F(OpenDatabaseTest, MissingDefaultShowsTheDialogSilentlyAndAChosenFileOpens)
{
    ExpectDialogAnswering(std::nullopt);
    EXPECT_FALSE(OpenDatabase(access, std::nullopt, actions, state));
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(ui.interactions().back().text, QFileInfo(QStringLiteral("default.defl")).absoluteFilePath())
        << "the dialog says where no database was found";
    EXPECT_TRUE(state.openAttempted);
    EXPECT_FALSE(access.connected());

    // A second open in this run always starts with the dialog.
    const QString path = CreateCurrentDatabase(folder.file(QStringLiteral("default.defl")));
    ExpectDialogAnswering(QStringLiteral("default.defl"));
    EXPECT_TRUE(OpenDatabase(access, std::nullopt, actions, state));
    EXPECT_TRUE(access.connected());
    EXPECT_EQ(QFileInfo(path).absoluteFilePath(), access.DatabaseFileName());
    EXPECT_TRUE(QFileInfo(access.DatabaseFileName()).isAbsolute());
    ui.VerifyAllUsed();
}

TEST_F(OpenDatabaseTest, DefaultFileOpensWithoutDialogUnlessShiftIsHeld)
{
    CreateCurrentDatabase(folder.file(QStringLiteral("default.defl")));
    EXPECT_TRUE(OpenDatabase(access, std::nullopt, actions, state));
    EXPECT_EQ(folder.file(QStringLiteral("default.defl")), access.DatabaseFileName());
    access.CloseDataConnection();

    OpenState fresh;
    ui.shiftHeld = true;
    ExpectDialogAnswering(std::nullopt);
    EXPECT_FALSE(OpenDatabase(access, folder.file(QStringLiteral("default.defl")), actions, fresh));
    EXPECT_FALSE(access.connected());
}

TEST_F(OpenDatabaseTest, VersionsOtherThanTheCurrentOneAreNotOpened)
{
    const QString old = DatabaseWithVersion(QStringLiteral("old.defl"), 12);
    ui.ExpectMessage(124, Answer::Yes);
    ExpectDialogAnswering(std::nullopt);
    EXPECT_FALSE(OpenDatabase(access, old, actions, state));
    ASSERT_EQ(1u, actions.converted.size());
    EXPECT_EQ(old, actions.converted[0]);

    OpenState fresh;
    ui.ExpectMessage(124, Answer::No);
    ExpectDialogAnswering(std::nullopt);
    EXPECT_FALSE(OpenDatabase(access, old, actions, fresh));
    EXPECT_EQ(1u, actions.converted.size());

    const QString newer = DatabaseWithVersion(QStringLiteral("newer.defl"), 14);
    OpenState third;
    ui.ExpectMessage(155);
    ExpectDialogAnswering(std::nullopt);
    EXPECT_FALSE(OpenDatabase(access, newer, actions, third));

    const QString plain = folder.file(QStringLiteral("plain.defl"));
    ASSERT_EQ(engine::kOk, engine::Connection::CreateFile(plain));
    OpenState fourth;
    ui.ExpectMessage(125);
    // The dialog offers the current file next.
    const QString current = DatabaseWithVersion(QStringLiteral("current.defl"), 13);
    ExpectDialogAnswering(current);
    EXPECT_TRUE(OpenDatabase(access, plain, actions, fourth));
    EXPECT_TRUE(ui.messages.back().text.endsWith(QDir::toNativeSeparators(plain)));
    EXPECT_EQ(current, access.DatabaseFileName());
    EXPECT_TRUE(access.connected());
    ui.VerifyAllUsed();
}

TEST_F(OpenDatabaseTest, UnreachableNamedFileReportsWithItsStatus)
{
    const QString path = folder.file(QStringLiteral("unreachable.defl"));
    ui.ExpectRetry(RetryAnswer::Cancel);
    ui.ExpectMessage(129);
    ExpectDialogAnswering(std::nullopt);
    EXPECT_FALSE(OpenDatabase(access, path, actions, state));
    ASSERT_EQ(1u, ui.retryRequests.size());
    EXPECT_EQ(LoadString(152), ui.retryRequests[0].message);
    EXPECT_EQ(20, ui.retryRequests[0].flashCount);
    ASSERT_EQ(1u, ui.messages.size());
    EXPECT_EQ(QStringLiteral("Could not open database at location '%1'.\n(0x80004005)").arg(path), ui.messages[0].text);

    // A file chosen in the dialog is not waited for.
    OpenState fresh;
    ui.shiftHeld = true;
    ExpectDialogAnswering(path);
    ui.ExpectMessage(129);
    ExpectDialogAnswering(std::nullopt);
    EXPECT_FALSE(OpenDatabase(access, std::nullopt, actions, fresh));
    EXPECT_EQ(1u, ui.retryRequests.size());
    ui.VerifyAllUsed();
}

TEST_F(OpenDatabaseTest, OldCompactionIsOfferedAndItsAnswersAreFollowed)
{
    const QString path = CreateCurrentDatabase(folder.file(QStringLiteral("aged.defl")));
    const auto makeOld = [&] {
        CDatabaseAccess setup(ui, clock, path);
        ASSERT_EQ(engine::kOk, setup.LoadSystemSettings());
        setup.settings().DateOfLastCompress = clock.OleNow() - 8;
        ASSERT_EQ(engine::kOk, setup.SaveSystemSettings());
    };

    makeOld();
    ui.ExpectMessage(163, Answer::No);
    EXPECT_TRUE(OpenDatabase(access, path, actions, state));
    EXPECT_TRUE(access.connected());
    EXPECT_FALSE(QFileInfo::exists(path + QStringLiteral(".1")));
    access.CloseDataConnection();

    OpenState second;
    ui.ExpectMessage(163, Answer::Cancel);
    ExpectDialogAnswering(std::nullopt);
    EXPECT_FALSE(OpenDatabase(access, path, actions, second));
    EXPECT_FALSE(access.connected());

    OpenState third;
    ui.ExpectMessage(163, Answer::Yes);
    EXPECT_TRUE(OpenDatabase(access, path, actions, third));
    EXPECT_TRUE(access.connected());
    EXPECT_TRUE(QFileInfo::exists(path + QStringLiteral(".1")));
    EXPECT_DOUBLE_EQ(clock.OleNow(), access.settings().DateOfLastCompress);
    ui.VerifyAllUsed();
}

TEST_F(OpenDatabaseTest, AFailedPlatformCallIsReportedAndTheDialogComesBack)
{
    const QString old = DatabaseWithVersion(QStringLiteral("old.defl"), 12);
    actions.failConversionWithPlatformError = true;
    ui.ExpectMessage(124, Answer::Yes);
    ui.ExpectMessageText(QStringLiteral("CBResult error code: 00000000"));
    ExpectDialogAnswering(std::nullopt);
    EXPECT_FALSE(OpenDatabase(access, old, actions, state));
    EXPECT_FALSE(access.connected());
    ui.VerifyAllUsed();
}
