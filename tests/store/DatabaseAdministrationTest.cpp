// Creating and converting files: the old file discarded, refusals while in use, the existing backup.

#include "store/DatabaseAdministration.h"
#include "base/StringTable.h"
#include "engine/Connection.h"
#include "engine/EngineStatus.h"
#include "store/AttachmentPaths.h"
#include "store/DatabaseVersion.h"
#include "store/MaintenanceLock.h"
#include "store/fixtures/OldVersionDatabase.h"
#include "support/ScriptedUserInterface.h"
#include "support/TempFolder.h"
#include "support/TestDatabase.h"

#include "platform/OleDate.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdint>

#include <gtest/gtest.h>

using namespace engine;

namespace {

QByteArray Content(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void Write(const QString& path, const QByteArray& content)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(content);
}

// Moves what is discarded into a folder of the test, so that the test can look at it.
struct TestTrash {
    explicit TestTrash(const QString& folder) : folder(folder) { QDir().mkpath(folder); }

    bool operator()(const QString& path)
    {
        discarded << path;
        return QDir().rename(path, folder + QLatin1Char('/') + QFileInfo(path).fileName());
    }

    QString folder;
    QStringList discarded;
};

TEST(DatabaseAdministrationTest, CreatingOverAFileDiscardsItWithItsAttachmentsAndStartsAFreshOne)
{
    TempFolder folder;
    const QString path = folder.file(QStringLiteral("team.DEFL"));
    CreateCurrentDatabase(path);
    {
        Connection connection;
        ASSERT_EQ(connection.Open(path), kOk);
        ASSERT_EQ(connection.Execute(QStringLiteral("insert into defectlist (subject) values ('old defect')")), kOk);
    }
    const QString attachments = AttachmentRootFor(path);
    ASSERT_EQ(attachments, folder.file(QStringLiteral("team.attach")));
    ASSERT_TRUE(QDir().mkpath(attachments + QStringLiteral("/0000000001")));
    Write(attachments + QStringLiteral("/0000000001/log.txt"), "attached");

    ScriptedUserInterface ui;
    TestTrash trash(folder.file(QStringLiteral("trash")));
    DatabaseAdministration administration(ui, SystemClockInstance(), std::ref(trash));
    ui.ExpectWorkflowChoice(1);
    EXPECT_TRUE(administration.CreateDatabase(path));
    ui.VerifyAllUsed();

    // The old file went out of the way from where the lock had put it, with its attachments.
    EXPECT_EQ(trash.discarded, QStringList({MaintenanceName(path), attachments}));
    EXPECT_EQ(
        QueryNumber(trash.folder + QStringLiteral("/#team.DEFL.mt"), QStringLiteral("select count(*) from defectlist")),
        1);
    EXPECT_EQ(Content(trash.folder + QStringLiteral("/team.attach/0000000001/log.txt")), QByteArray("attached"));
    EXPECT_FALSE(QFileInfo::exists(attachments));
    EXPECT_FALSE(QFileInfo::exists(MaintenanceName(path)));
    EXPECT_FALSE(QFileInfo::exists(RescueFileName(path)));

    EXPECT_EQ(QueryNumber(path, QStringLiteral("select dbversion from versiontable")), EXPECTED_DB_VERSION);
    EXPECT_EQ(QueryNumber(path, QStringLiteral("select count(*) from defectlist")), 0);
    EXPECT_EQ(QueryNumber(path, QStringLiteral("select count(*) from viewcolumns where viewid=1")), 20);
    EXPECT_EQ(QueryNumber(path, QStringLiteral("select count(*) from statustransitions")), 30);
    // The test for a user's new unread entries finds them through the index, without reading every defect.
    EXPECT_EQ(QueryNumber(path, QStringLiteral("select count(*) from pragma_index_info('defectlist_unread')")), 3);

    // Cancel in the workflow chooser creates nothing: the file and its attachments stay as they are.
    {
        Connection connection;
        ASSERT_EQ(connection.Open(path), kOk);
        ASSERT_EQ(connection.Execute(QStringLiteral("insert into defectlist (subject) values ('keep me')")), kOk);
    }
    ASSERT_TRUE(QDir().mkpath(attachments + QStringLiteral("/0000000001")));
    ui.ExpectWorkflowChoice(std::nullopt);
    EXPECT_FALSE(administration.CreateDatabase(path));
    ui.ExpectWorkflowChoice(std::nullopt);
    EXPECT_FALSE(administration.CreateDatabase(folder.file(QStringLiteral("never.defl"))));
    EXPECT_EQ(trash.discarded.size(), 2);
    EXPECT_EQ(QueryNumber(path, QStringLiteral("select count(*) from defectlist")), 1);
    EXPECT_TRUE(QFileInfo::exists(attachments));
    EXPECT_FALSE(QFileInfo::exists(folder.file(QStringLiteral("never.defl"))));
    EXPECT_FALSE(QFileInfo::exists(RescueFileName(path)));
    EXPECT_TRUE(ui.messages.empty());

    // A new path needs nothing discarded, and "import your own workflow" still creates the file.
    const QString second = folder.file(QStringLiteral("second.defl"));
    ui.ExpectWorkflowChoice(2);
    EXPECT_TRUE(administration.CreateDatabase(second));
    EXPECT_EQ(trash.discarded.size(), 2);
    EXPECT_EQ(QueryNumber(second, QStringLiteral("select count(*) from statustransitions")), 0);
}

TEST(DatabaseAdministrationTest, CreatingIsRefusedWhileTheFileIsInUseOrLockedOrReappears)
{
    TempFolder folder;
    const QString path = CreateCurrentDatabase(folder.file(QStringLiteral("shared.defl")));
    ScriptedUserInterface ui;
    TestTrash trash(folder.file(QStringLiteral("trash")));
    DatabaseAdministration administration(ui, SystemClockInstance(), std::ref(trash));

    {
        Connection otherWorkstation;
        ASSERT_EQ(otherWorkstation.Open(path), kOk);
        ui.ExpectWorkflowChoice(0);
        ui.ExpectMessage(160);
        EXPECT_FALSE(administration.CreateDatabase(path));
        EXPECT_TRUE(ui.messages.back().text.contains(LoadString(164)));
    }
    {
        CMaintenanceLock compaction(path, QStringLiteral("compacting and repairing database"), true);
        ASSERT_TRUE(compaction.held());
        ui.ExpectWorkflowChoice(0);
        ui.ExpectMessage(160);
        EXPECT_FALSE(administration.CreateDatabase(path));
        EXPECT_TRUE(ui.messages.back().text.contains(QStringLiteral("compacting and repairing database")));
    }
    EXPECT_TRUE(trash.discarded.isEmpty());
    EXPECT_EQ(QueryNumber(path, QStringLiteral("select dbversion from versiontable")), EXPECTED_DB_VERSION);

    // A file that appears at the path after the old one went away is not overwritten.
    DatabaseAdministration racing(ui, SystemClockInstance(), [&](const QString& discarded) {
        const bool moved = trash(discarded);
        Write(path, "written by someone else");
        return moved;
    });
    ui.ExpectWorkflowChoice(0);
    ui.ExpectMessage(122);
    EXPECT_FALSE(racing.CreateDatabase(path));
    ui.VerifyAllUsed();
    EXPECT_EQ(Content(path), QByteArray("written by someone else"));
    EXPECT_FALSE(QFileInfo::exists(RescueFileName(path)));
}

TEST(DatabaseAdministrationTest, AnExistingBackupIsOverwrittenOnlyWhenTheUserAgrees)
{
    TempFolder folder;
    const QString path = folder.file(QStringLiteral("old.defl"));
    fixtures::BuildOldVersionDatabase(path, 12);
    const QString backup = path + QStringLiteral(".bak");
    Write(backup, "an older backup");
    const QByteArray original = Content(path);

    ScriptedUserInterface ui;
    DatabaseAdministration administration(ui, SystemClockInstance());
    ui.ExpectMessage(137, Answer::No);
    EXPECT_FALSE(administration.ConvertDatabase(path));
    ui.VerifyAllUsed();
    EXPECT_EQ(Content(path), original);
    EXPECT_EQ(Content(backup), QByteArray("an older backup"));

    ui.ExpectMessage(137, Answer::Yes);
    EXPECT_TRUE(administration.ConvertDatabase(path));
    EXPECT_EQ(Content(backup), original);
    EXPECT_EQ(QueryNumber(path, QStringLiteral("select dbversion from versiontable")), EXPECTED_DB_VERSION);
    EXPECT_EQ(QueryNumber(backup, QStringLiteral("select dbversion from versiontable")), 12);
}

} // namespace
