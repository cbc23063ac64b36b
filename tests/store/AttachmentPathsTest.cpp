// Attachment paths and directories: the extension cut, made only on demand, a failed creation reported.

#include "store/AttachmentPaths.h"
#include "base/ErrorContext.h"
#include "base/Result.h"
#include "store/AttachmentDirectory.h"
#include "support/TempFolder.h"

#include <QDir>
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

    EXPECT_TRUE(DeleteAttachmentDirectory(path).removed);
    EXPECT_FALSE(QFileInfo::exists(path));
    EXPECT_TRUE(QFileInfo(folder.file(QStringLiteral("Team.attach"))).isDir());
    EXPECT_TRUE(DeleteAttachmentDirectory(path).removed) << "nothing to delete is no failure";
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

namespace {

// A folder outside the attachment tree with three files, as anyone who can write to the share
// could point a link at.
QStringList MakeOutsideFiles(const QString& folder)
{
    QStringList files;
    EXPECT_TRUE(QDir().mkpath(folder));
    for (const char* name : {"a.txt", "b.txt", "c.txt"}) {
        QFile file(folder + QLatin1Char('/') + QLatin1String(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(name);
        files << file.fileName();
    }
    return files;
}

void ExpectUntouched(const QStringList& files)
{
    for (const QString& file : files) {
        QFile read(file);
        ASSERT_TRUE(read.open(QIODevice::ReadOnly)) << file.toStdString();
        EXPECT_EQ(read.readAll(), QFileInfo(file).fileName().toUtf8()) << file.toStdString();
    }
}

} // namespace

TEST(AttachmentDirectory, ADefectFolderThatIsALinkIsNeitherUsedNorFollowedWhenRemoved)
{
    TempFolder folder;
    const QString database = folder.file(QStringLiteral("team.defl"));
    const QStringList outside = MakeOutsideFiles(folder.file(QStringLiteral("elsewhere")));
    ASSERT_TRUE(QDir().mkpath(folder.file(QStringLiteral("team.attach"))));
    const QString linked = DefectAttachmentPath(database, 9);
    ASSERT_TRUE(QFile::link(folder.file(QStringLiteral("elsewhere")), linked));

    EXPECT_EQ(AttachmentDirectory(database, 9, false), QString());
    EXPECT_EQ(AttachmentDirectory(database, 9, true), QString()) << "nothing is made through the link";
    const QString refusal = AttachmentDirectoryRefusal(database, 9);
    EXPECT_TRUE(refusal.contains(linked) && refusal.contains(folder.file(QStringLiteral("elsewhere"))))
        << refusal.toStdString();
    EXPECT_EQ(AttachmentDirectoryRefusal(database, 10), QString());

    const AttachmentRemoval removal = DeleteAttachmentDirectory(linked);
    EXPECT_TRUE(removal.removed);
    EXPECT_EQ(removal.notFollowed,
              QStringList{QStringLiteral("%1 -> %2").arg(linked, folder.file(QStringLiteral("elsewhere")))});
    EXPECT_FALSE(QFileInfo(linked).isSymLink()) << "the link itself is gone";
    ExpectUntouched(outside);
}

TEST(AttachmentDirectory, RemovalTakesWhatLiesInTheTreeAndNothingBehindItsLinks)
{
    TempFolder folder;
    const QString database = folder.file(QStringLiteral("team.defl"));
    const QStringList outside = MakeOutsideFiles(folder.file(QStringLiteral("elsewhere")));
    const QString directory = AttachmentDirectory(database, 4, true);
    ASSERT_TRUE(QDir().mkpath(directory + QStringLiteral("/nested/deeper")));
    QFile own(directory + QStringLiteral("/nested/deeper/own.txt"));
    ASSERT_TRUE(own.open(QIODevice::WriteOnly));
    own.close();
    ASSERT_TRUE(QFile::link(outside[0], directory + QStringLiteral("/file-link.txt")));
    ASSERT_TRUE(QFile::link(folder.file(QStringLiteral("elsewhere")), directory + QStringLiteral("/nested/dir-link")));

    // Opening: only what lies in the folder, and never through a link.
    EXPECT_EQ(AttachmentFileRefusal(directory, own.fileName()), QString());
    EXPECT_TRUE(AttachmentFileRefusal(directory, directory + QStringLiteral("/file-link.txt")).contains(outside[0]));
    EXPECT_FALSE(AttachmentFileRefusal(directory, directory + QStringLiteral("/nested/dir-link/a.txt")).isEmpty());
    EXPECT_FALSE(AttachmentFileRefusal(directory, directory + QStringLiteral("/../../elsewhere/a.txt")).isEmpty());

    const AttachmentRemoval removal = DeleteAttachmentDirectory(directory);
    EXPECT_TRUE(removal.removed);
    EXPECT_EQ(removal.notFollowed.size(), 2);
    EXPECT_FALSE(QFileInfo::exists(directory));
    ExpectUntouched(outside);
    EXPECT_EQ(QDir(folder.file(QStringLiteral("elsewhere"))).entryList(QDir::Files).size(), 3);
}
