// Attachment paths and directories: the extension cut, made only on demand, a failed creation reported.

#include "store/AttachmentPaths.h"
#include "base/ErrorContext.h"
#include "base/Result.h"
#include "store/AttachmentDirectory.h"
#include "support/TempFolder.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>

#include <gtest/gtest.h>

TEST(AttachmentPaths, CutsTheDatabaseExtensionInAnyCase)
{
    EXPECT_EQ(AttachmentRootFor(QStringLiteral("/data/team.defl")), QStringLiteral("/data/team.attach"));
    EXPECT_EQ(AttachmentRootFor(QStringLiteral("/data/Team.DEFL")), QStringLiteral("/data/Team.attach"));
    EXPECT_EQ(AttachmentRootFor(QStringLiteral("/data/tracker.mdb")), QStringLiteral("/data/tracker.mdb.attach"));
    EXPECT_EQ(AttachmentRootFor(QStringLiteral("defl")), QStringLiteral("defl.attach"));
    EXPECT_EQ(DefectAttachmentPath(QStringLiteral("/data/Team.DEFL"), 7),
              QStringLiteral("/data/Team.attach/0000000007"));
    EXPECT_EQ(DefectAttachmentPath(QStringLiteral("/d/x.defl"), 1234567890), QStringLiteral("/d/x.attach/1234567890"));
}

TEST(AttachmentDirectory, IsMadeOnlyWhenAskedForAndGoesWithItsFiles)
{
    TempFolder folder;
    const QString database = folder.file(QStringLiteral("Team.DEFL"));
    EXPECT_EQ(AttachmentDirectory(database, 7, false), QString());
    EXPECT_FALSE(QFileInfo::exists(folder.file(QStringLiteral("Team.attach"))));

    const QString path = AttachmentDirectory(database, 7, true);
    EXPECT_EQ(path, folder.file(QStringLiteral("Team.attach/0000000007")));
    EXPECT_TRUE(QFileInfo(path).isDir());
    EXPECT_EQ(AttachmentDirectory(database, 7, false), path);
    QFile file(path + QStringLiteral("/log.txt"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();

    EXPECT_TRUE(DeleteAttachmentDirectory(path));
    EXPECT_FALSE(QFileInfo::exists(path));
    EXPECT_TRUE(QFileInfo(folder.file(QStringLiteral("Team.attach"))).isDir());
    EXPECT_TRUE(DeleteAttachmentDirectory(path)) << "nothing to delete is no failure";
}

TEST(AttachmentDirectory, AFailedCreationRaisesTheSystemErrorUnderItsLabel)
{
    TempFolder folder;
    TheErrorContext().ContextText(true);
    try {
        AttachmentDirectory(folder.file(QStringLiteral("gone/team.defl")), 1, true);
        ADD_FAILURE() << "no exception";
    } catch (const CBResult& result) {
        EXPECT_EQ(result.lastError, ENOENT);
    }
    EXPECT_EQ(TheErrorContext().ContextText(true), "creating root attachment directory\n ");
}
