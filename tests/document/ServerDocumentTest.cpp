// The document on a server database: opened by its URI through the open procedure, and told at once of another
// workstation's commit.

#include "DocumentTestSupport.h"

#include "document/AttachmentCopy.h"
#include "document/DefectDoc.h"
#include "platform/OleDate.h"
#include "store/AttachmentRootSetting.h"
#include "support/PgServer.h"
#include "support/ScriptedUserInterface.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>

#include <gtest/gtest.h>

TEST(ServerDocument, OpensByItsUriAndHearsOtherWorkstationsCommitsAtOnce)
{
    SERVER_DATABASE_OR_SKIP(uri);
    CreateCurrentDatabase(uri);
    engine::Connection other;
    ASSERT_EQ(other.Open(uri), engine::kOk);
    AddStakeholder(other, 1, QStringLiteral("Ann"), QStringLiteral("ann"));

    ScriptedUserInterface ui;
    ManualClock clock;
    NoAdministration administration;
    CDefectDoc doc{ui, clock, administration};
    doc.SetOperatingSystemUser([] { return std::nullopt; });
    doc.SetAutoLogin(QStringLiteral("ann"));
    ASSERT_TRUE(doc.OnOpenDocument(uri));
    EXPECT_EQ(doc.DatabasePath(), uri) << "a URI is no path to make absolute";
    ASSERT_TRUE(doc.loggedIn());
    ASSERT_NE(doc.userSettings().AutoRefreshList, 0) << "a new user's list refreshes";

    QSignalSpy refresh(&doc, &CDefectDoc::autoRefreshDue);
    // Long before the refresh period: the server's announcement makes it due.
    ASSERT_EQ(other.Execute(QStringLiteral("INSERT INTO defectlist (subject, statusid, toid, fromid) VALUES ('new', "
                                           "1, 1, 1)")),
              engine::kOk);
    EXPECT_TRUE(refresh.wait(5000));
    const int afterCommit = refresh.count();
    // A transaction that was rolled back announces nothing.
    EXPECT_EQ(other.WriteTransaction([&] {
        other.Execute(QStringLiteral("INSERT INTO defectlist (subject) VALUES ('never')"));
        return engine::kFailure;
    }),
              engine::kFailure);
    EXPECT_FALSE(refresh.wait(500));
    EXPECT_EQ(refresh.count(), afterCommit);
    // The document's own commit is no news to it.
    ASSERT_EQ(doc.GetDocumentConnection(RetryMode::Prompt)
                  .Execute(QStringLiteral("UPDATE defectlist SET subject = 'mine' WHERE subject = 'new'")),
              engine::kOk);
    EXPECT_FALSE(refresh.wait(500));
    EXPECT_EQ(refresh.count(), afterCommit);
    ui.VerifyAllUsed();
}

TEST(ServerDocument, AddsAttachmentsOnlyUnderTheFolderTheDatabaseNames)
{
    SERVER_DATABASE_OR_SKIP(uri);
    CreateCurrentDatabase(uri);
    TempFolder folder;
    const QString source = folder.file(QStringLiteral("notes.txt"));
    {
        QFile file(source);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("mine");
    }
    engine::Connection other;
    ASSERT_EQ(other.Open(uri), engine::kOk);
    AddStakeholder(other, 1, QStringLiteral("Ann"), QStringLiteral("ann"));

    ScriptedUserInterface ui;
    ManualClock clock;
    NoAdministration administration;
    CDefectDoc doc{ui, clock, administration};
    doc.SetOperatingSystemUser([] { return std::nullopt; });
    doc.SetAutoLogin(QStringLiteral("ann"));
    ASSERT_TRUE(doc.OnOpenDocument(uri));

    // Without the folder the user hears what the administrator must set, and nothing is written.
    const QString working = QDir::currentPath();
    const QStringList before = QDir(working).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    ui.ExpectMessageText(QStringLiteral("vellacord-admin attachments-root"));
    EXPECT_FALSE(AddAttachment(ui, doc.DatabasePath(), 4, source));
    EXPECT_EQ(QDir(working).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), before);

    // Set while the document is open: the next connection learns it.
    const QString share = folder.file(QStringLiteral("share"));
    ASSERT_TRUE(QDir().mkpath(share));
    ASSERT_EQ(WriteServerAttachmentRoot(other, share), engine::kOk);
    doc.database().CloseDataConnection();
    doc.GetDocumentConnection(RetryMode::Prompt);
    EXPECT_TRUE(AddAttachment(ui, doc.DatabasePath(), 4, source));
    EXPECT_TRUE(QFile::exists(share + QStringLiteral("/0000000004/notes.txt")));
    ui.VerifyAllUsed();
}
