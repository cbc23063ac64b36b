// The document on a server database: opened by its URI through the open procedure, and told at once of another
// workstation's commit.

#include "DocumentTestSupport.h"

#include "document/DefectDoc.h"
#include "platform/OleDate.h"
#include "support/PgServer.h"
#include "support/ScriptedUserInterface.h"

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
