// A server database's attachment folder: stored in the database, refused when missing, set by the move
// from a file, and the link rules of the attachment tree under it.

#include "engine/Connection.h"
#include "engine/EngineStatus.h"
#include "engine/SqlDialect.h"
#include "store/AttachmentDirectory.h"
#include "store/AttachmentPaths.h"
#include "store/AttachmentRootSetting.h"
#include "store/DatabaseAccess.h"
#include "store/ServerMigration.h"
#include "support/PgServer.h"
#include "support/ScriptedUserInterface.h"
#include "support/TempFolder.h"
#include "support/TestDatabase.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

using namespace engine;

namespace {

// Restores the working folder a test moved into.
struct WorkingFolder {
    QString before = QDir::currentPath();
    explicit WorkingFolder(const QString& path) { QDir::setCurrent(path); }
    ~WorkingFolder() { QDir::setCurrent(before); }
};

} // namespace

TEST(ServerAttachmentRoot, WithoutItsFolderAServerStoresNoAttachmentAnywhere)
{
    SERVER_DATABASE_OR_SKIP(uri);
    TempFolder folder;
    const QString working = folder.file(QStringLiteral("work"));
    ASSERT_TRUE(QDir().mkpath(working));
    Connection server;
    ASSERT_EQ(server.Open(uri), kOk);
    EXPECT_EQ(ReadServerAttachmentRoot(server), QString()) << "an empty database names no folder";

    RememberServerAttachmentRoot(uri, QString());
    const WorkingFolder inside(working);
    EXPECT_EQ(AttachmentRootFor(uri), QString());
    EXPECT_EQ(DefectAttachmentPath(uri, 7), QString());
    EXPECT_EQ(AttachmentDirectory(uri, 7, true), QString());
    const QString refusal = AttachmentDirectoryRefusal(uri, 7);
    EXPECT_TRUE(refusal.contains(QStringLiteral("attachments-root"))) << refusal.toStdString();
    EXPECT_TRUE(refusal.contains(engine::DisplayNameOfServer(uri))) << refusal.toStdString();
    EXPECT_FALSE(refusal.contains(QStringLiteral("user="))) << "no login in the text";
    EXPECT_TRUE(QDir(working).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).isEmpty())
        << "nothing is made in the working folder";
    EXPECT_TRUE(DeleteAttachmentDirectory(DefectAttachmentPath(uri, 7)).removed) << "nothing to remove is no failure";
}

TEST(ServerAttachmentRoot, TheStoredFolderHoldsTheDefectsFoldersUnderTheSameLinkRules)
{
    SERVER_DATABASE_OR_SKIP(uri);
    TempFolder folder;
    const QString root = folder.file(QStringLiteral("share/attachments"));
    const QString moved = folder.file(QStringLiteral("share/moved"));
    ASSERT_TRUE(QDir().mkpath(root));
    ASSERT_EQ(MigrateFileToServer(CreateCurrentDatabase(folder.file(QStringLiteral("team.defl"))), uri).error,
              QString());
    Connection server;
    ASSERT_EQ(server.Open(uri), kOk);
    ASSERT_EQ(WriteServerAttachmentRoot(server, QStringLiteral("share/relative")), kOk);
    EXPECT_EQ(ReadServerAttachmentRoot(server), QString()) << "a relative folder is none";
    ASSERT_EQ(WriteServerAttachmentRoot(server, moved), kOk);
    ASSERT_EQ(WriteServerAttachmentRoot(server, root), kOk) << "a second setting replaces the first";
    EXPECT_EQ(ReadServerAttachmentRoot(server), root);
    std::int64_t rows = 0;
    ASSERT_EQ(server.QueryInt(QStringLiteral("SELECT count(*) FROM commithooksettings"), {}, rows), kOk);
    EXPECT_EQ(rows, 1);

    RememberServerAttachmentRoot(uri, ReadServerAttachmentRoot(server));
    EXPECT_EQ(AttachmentDirectory(uri, 7, false), QString()) << "looking makes nothing";
    const QString defect = AttachmentDirectory(uri, 7, true);
    EXPECT_EQ(defect, root + QStringLiteral("/0000000007"));
    EXPECT_TRUE(QFileInfo(defect).isDir());
    EXPECT_EQ(AttachmentDirectoryRefusal(uri, 7), QString());

    // A link planted in a defect's place is neither used nor followed.
    const QString elsewhere = folder.file(QStringLiteral("elsewhere"));
    ASSERT_TRUE(QDir().mkpath(elsewhere));
    ASSERT_TRUE(QFile::link(elsewhere, root + QStringLiteral("/0000000009")));
    EXPECT_EQ(AttachmentDirectory(uri, 9, true), QString());
    EXPECT_TRUE(AttachmentDirectoryRefusal(uri, 9).contains(elsewhere));
    ASSERT_TRUE(QFile::link(elsewhere, defect + QStringLiteral("/secret")));
    EXPECT_FALSE(AttachmentFileRefusal(defect, defect + QStringLiteral("/secret")).isEmpty());
    const AttachmentRemoval removal = DeleteAttachmentDirectory(DefectAttachmentPath(uri, 9));
    EXPECT_TRUE(removal.removed);
    EXPECT_TRUE(QFileInfo(elsewhere).isDir()) << "the link's target stays";
}

TEST(ServerAttachmentRoot, AMovedFileKeepsItsAttachmentsWhereTheyAreAndWorkstationsFindThem)
{
    SERVER_DATABASE_OR_SKIP(uri);
    TempFolder folder;
    const QString path = CreateCurrentDatabase(folder.file(QStringLiteral("team.defl")));
    const QString existing = AttachmentDirectory(path, 3, true);
    ASSERT_FALSE(existing.isEmpty());
    const MigrationOutcome there = MigrateFileToServer(path, uri);
    ASSERT_EQ(there.error, QString());

    // A workstation that connects learns the folder from the database.
    RememberServerAttachmentRoot(uri, QString());
    ScriptedUserInterface ui;
    CDatabaseAccess access(ui, SystemClockInstance(), uri);
    Connection& connection = access.GetDataConnection(RetryMode::None);
    EXPECT_EQ(ReadServerAttachmentRoot(connection), QFileInfo(AttachmentRootFor(path)).absoluteFilePath());
    EXPECT_EQ(AttachmentDirectory(uri, 3, false), existing);
}
