// Saving and loading the current defect while another workstation writes the same one.

#include "DefectTestDoubles.h"

#include "support/ScriptedUserInterface.h"
#include "support/TempFolder.h"
#include "support/TestDatabase.h"

#include <gtest/gtest.h>

namespace {

QString StoredText(engine::Connection& connection, const QString& column, int id)
{
    engine::Rowset rows;
    EXPECT_EQ(connection.Query(QStringLiteral("SELECT %1 FROM defectlist WHERE defect_id = ?").arg(column),
                               {std::int64_t{id}}, rows),
              engine::kOk);
    return rows.MoveFirst() == engine::kOk ? rows.Text(0) : QString();
}

double StoredReal(engine::Connection& connection, const QString& column, int id)
{
    engine::Rowset rows;
    EXPECT_EQ(connection.Query(QStringLiteral("SELECT %1 FROM defectlist WHERE defect_id = ?").arg(column),
                               {std::int64_t{id}}, rows),
              engine::kOk);
    return rows.MoveFirst() == engine::kOk ? rows.Real(0) : -1;
}

class DefectPersistenceTest : public testing::Test {
protected:
    DefectPersistenceTest() : path(CreateCurrentDatabase(folder.file(QStringLiteral("team.defl")))) { }

    TempFolder folder;
    ScriptedUserInterface ui;
    QString path;
};

} // namespace

TEST_F(DefectPersistenceTest, TheMidAirQuestionNamesWhoChangedTheDefectWhenTheHistoryTellsIt)
{
    Workstation a(path, ui, 1);
    Workstation b(path, ui, 2);
    b.context.displayName = QStringLiteral("Bob");
    InsertDefectRow(a.context.connection, 7, 1, 2);
    a.persistence.SelectDefect(7);
    b.persistence.SelectDefect(7);

    // Bob's status change adds his history line: A's question names him and the time.
    b.form.Edit([&](DefectRecord& r) { b.context.AddHistoryEntry(r, 4, QStringLiteral("done")); });
    ASSERT_TRUE(b.persistence.SaveRecord(true));
    a.form.Edit([](DefectRecord& r) { r.Subject = QStringLiteral("A subject"); });
    ui.ExpectMessage(126, Answer::Ok);
    EXPECT_TRUE(a.persistence.SaveRecord(true));
    const QString named = ui.messages.back().text;
    EXPECT_TRUE(named.startsWith(QStringLiteral("Bob changed this entry in the database at "))) << named.toStdString();
    EXPECT_TRUE(named.contains(QStringLiteral(" while you were editing it.")));

    // A plain edit leaves no trace of its author.
    b.form.Edit([](DefectRecord& r) { r.Comments = QStringLiteral("B comments"); });
    ASSERT_TRUE(b.persistence.SaveRecord(true));
    a.form.Edit([](DefectRecord& r) { r.Subject = QStringLiteral("A again"); });
    ui.ExpectMessage(126, Answer::Cancel);
    EXPECT_FALSE(a.persistence.SaveRecord(true));
    EXPECT_TRUE(ui.messages.back().text.startsWith(QStringLiteral("Another user changed this entry")));
    ui.VerifyAllUsed();
}

TEST_F(DefectPersistenceTest, TwoWorkstationsSavingTheSameDefect)
{
    Workstation a(path, ui, 1);
    Workstation b(path, ui, 2);
    InsertDefectRow(a.context.connection, 7, 1, 2);
    a.persistence.SelectDefect(7);
    b.persistence.SelectDefect(7);
    ASSERT_TRUE(a.persistence.RecordLoaded());
    EXPECT_TRUE(a.form.enabled);

    // B saves first; A's save meets the change and the user chooses OK: B's values come back.
    b.form.Edit([](DefectRecord& r) { r.Subject = QStringLiteral("B subject"); });
    ASSERT_TRUE(b.persistence.SaveRecord(true));
    a.form.Edit([](DefectRecord& r) { r.Description = QStringLiteral("A description"); });
    ui.ExpectMessage(126, Answer::Ok);
    EXPECT_TRUE(a.persistence.SaveRecord(true));
    ASSERT_FALSE(ui.messages.empty());
    EXPECT_EQ(ui.messages.back().buttons, Buttons::OkCancel);
    EXPECT_FALSE(a.form.isModified());
    EXPECT_EQ(a.form.controls.Subject, QStringLiteral("B subject"));
    EXPECT_EQ(a.form.controls.Description, QStringLiteral("description"));
    EXPECT_EQ(StoredText(a.context.connection, QStringLiteral("subject"), 7), QStringLiteral("B subject"));
    EXPECT_EQ(StoredText(a.context.connection, QStringLiteral("description"), 7), QStringLiteral("description"));
    EXPECT_TRUE(a.context.knownUnread.empty());
    EXPECT_TRUE(a.context.notified.empty());

    // B saves again; this time A cancels: A keeps the edits, the caller stops, B's data stays.
    b.form.Edit([](DefectRecord& r) { r.Comments = QStringLiteral("B comments"); });
    ASSERT_TRUE(b.persistence.SaveRecord(true));
    a.form.Edit([](DefectRecord& r) { r.Subject = QStringLiteral("A subject"); });
    ui.ExpectMessage(126, Answer::Cancel);
    EXPECT_FALSE(a.persistence.SaveRecord(true));
    EXPECT_TRUE(a.form.isModified());
    EXPECT_EQ(a.form.controls.Subject, QStringLiteral("A subject"));
    EXPECT_EQ(StoredText(a.context.connection, QStringLiteral("subject"), 7), QStringLiteral("B subject"));
    EXPECT_EQ(StoredText(a.context.connection, QStringLiteral("comments"), 7), QStringLiteral("B comments"));

    // Not interactive: no question, the stored values win.
    EXPECT_TRUE(a.persistence.SaveRecord(false));
    EXPECT_EQ(a.form.controls.Comments, QStringLiteral("B comments"));
    EXPECT_FALSE(a.form.isModified());
    EXPECT_EQ(ui.CountOf("message"), 2);
    ui.VerifyAllUsed();
}

TEST_F(DefectPersistenceTest, LoadingUnderModifiedFormKeepsEditsUnlessTheDefectChanged)
{
    Workstation a(path, ui, 1);
    Workstation b(path, ui, 2);
    InsertDefectRow(a.context.connection, 7, 1, 2);
    InsertDefectRow(a.context.connection, 8, 1, 2);
    a.persistence.SelectDefect(7);
    b.persistence.SelectDefect(7);

    a.form.Edit([](DefectRecord& r) { r.Subject = QStringLiteral("A edit"); });
    a.persistence.ReloadCurrentDefect();
    EXPECT_TRUE(a.form.isModified());
    EXPECT_EQ(a.form.controls.Subject, QStringLiteral("A edit"));

    // Going offline and saving reloads first; nothing changed meanwhile, so the edit is written.
    a.persistence.CloseRowset();
    EXPECT_FALSE(a.persistence.RecordLoaded());
    EXPECT_TRUE(a.persistence.SaveRecord(true));
    EXPECT_EQ(StoredText(a.context.connection, QStringLiteral("subject"), 7), QStringLiteral("A edit"));

    // Offline edits meet another workstation's change at the reload: OK only, the edits go.
    a.persistence.CloseRowset();
    a.form.Edit([](DefectRecord& r) { r.Subject = QStringLiteral("offline edit"); });
    b.persistence.LoadDefect(7, false);
    b.form.Edit([](DefectRecord& r) { r.Cc = QStringLiteral("b@x"); });
    ASSERT_TRUE(b.persistence.SaveRecord(true));
    ui.ExpectMessage(126, Answer::Ok);
    EXPECT_TRUE(a.persistence.SaveRecord(true));
    ASSERT_FALSE(ui.messages.empty());
    EXPECT_EQ(ui.messages.back().buttons, Buttons::Ok);
    EXPECT_EQ(a.form.controls.Cc, QStringLiteral("b@x"));
    EXPECT_EQ(StoredText(a.context.connection, QStringLiteral("subject"), 7), QStringLiteral("A edit"));

    // Forced loads never ask; a missing defect leaves the form disabled.
    a.form.Edit([](DefectRecord& r) { r.Subject = QStringLiteral("thrown away"); });
    a.persistence.LoadDefect(8, true);
    EXPECT_EQ(a.form.controls.Defect_ID, 8);
    EXPECT_TRUE(a.form.enabled);
    a.persistence.SelectDefect(4711);
    EXPECT_FALSE(a.persistence.RecordLoaded());
    EXPECT_FALSE(a.form.enabled);
    EXPECT_TRUE(a.persistence.SaveRecord(true)) << "nothing loaded means nothing to save";
    ui.VerifyAllUsed();
}

TEST_F(DefectPersistenceTest, SaveStampsTheRecordMarksItUnreadAndNotifiesOnlyRealDefects)
{
    Workstation a(path, ui, 1);
    InsertDefectRow(a.context.connection, 7, 1, 1);    // addressed to the saving user
    InsertDefectRow(a.context.connection, 8, 1, 2);    // addressed to somebody else
    InsertDefectRow(a.context.connection, 9, 0, 2);    // a template
    InsertDefectRow(a.context.connection, 10, 999, 2); // a draft

    EXPECT_TRUE(a.persistence.SaveRecord(true)) << "no record and no edits: nothing to do";
    EXPECT_EQ(a.context.historyCalls, 0);

    a.persistence.SelectDefect(7);
    EXPECT_TRUE(a.persistence.SaveRecord(true)) << "an unmodified form is not saved";
    EXPECT_EQ(a.context.historyCalls, 0);

    a.context.clock.Advance(3600);
    a.form.Edit([](DefectRecord& r) { r.Subject = QStringLiteral("own"); });
    ASSERT_TRUE(a.persistence.SaveRecord(true));
    const double firstSave = a.context.clock.OleNow();
    EXPECT_DOUBLE_EQ(StoredReal(a.context.connection, QStringLiteral("lastread"), 7), 46001.25);
    EXPECT_DOUBLE_EQ(StoredReal(a.context.connection, QStringLiteral("modified"), 7), firstSave);
    const QString history = StoredText(a.context.connection, QStringLiteral("history"), 7);
    EXPECT_EQ(history, QStringLiteral("line status 1 (Ann)\t\n"));
    ASSERT_EQ(a.context.knownUnread.size(), 1u);
    EXPECT_EQ(a.context.knownUnread[0].first, 7);
    EXPECT_DOUBLE_EQ(a.context.knownUnread[0].second, firstSave);
    EXPECT_EQ(a.context.notified, std::vector<std::int32_t>{7});
    EXPECT_EQ(a.list.updated, std::vector<std::int32_t>{7});
    EXPECT_EQ(ui.waitCursorUses, 1);
    EXPECT_EQ(ui.waitCursorDepth, 0);

    // The second save keeps the one history line.
    a.form.Edit([](DefectRecord& r) { r.Subject = QStringLiteral("own again"); });
    ASSERT_TRUE(a.persistence.SaveRecord(true));
    EXPECT_EQ(StoredText(a.context.connection, QStringLiteral("history"), 7), history);
    EXPECT_EQ(a.context.historyCalls, 1);

    a.list.SelectDefect(8);
    a.form.Edit([](DefectRecord& r) { r.Subject = QStringLiteral("someone else's"); });
    ASSERT_TRUE(a.persistence.SaveRecord(true));
    EXPECT_EQ(StoredReal(a.context.connection, QStringLiteral("lastread"), 8), 0.0);

    for (const int id : {9, 10}) {
        a.list.SelectDefect(id);
        a.form.Edit([](DefectRecord& r) { r.Subject = QStringLiteral("kind of its own"); });
        ASSERT_TRUE(a.persistence.SaveRecord(true));
        EXPECT_EQ(StoredText(a.context.connection, QStringLiteral("subject"), id), QStringLiteral("kind of its own"));
    }
    EXPECT_EQ(a.context.notified, (std::vector<std::int32_t>{7, 7, 8}));
    EXPECT_EQ(a.list.updated, (std::vector<std::int32_t>{7, 7, 8, 9, 10}));
    ui.VerifyAllUsed();
}

TEST_F(DefectPersistenceTest, TemplateOfSomebodyElseAsksForTheOwner)
{
    Workstation a(path, ui, 1);
    InsertDefectRow(a.context.connection, 9, 0, 2, 2, QStringLiteral("template of 2"));
    a.persistence.SelectDefect(9);

    ui.ExpectMessage(139, Answer::Yes);
    a.form.Edit([](DefectRecord& r) { r.Subject = QStringLiteral("taken over"); });
    ASSERT_TRUE(a.persistence.SaveRecord(true));
    EXPECT_EQ(StoredText(a.context.connection, QStringLiteral("fromid"), 9), QStringLiteral("1"));
    EXPECT_EQ(StoredText(a.context.connection, QStringLiteral("subject"), 9), QStringLiteral("taken over"));

    // No: the edits are refused and the stored values are what gets written.
    InsertDefectRow(a.context.connection, 11, 0, 2, 3, QStringLiteral("template of 3"));
    a.list.SelectDefect(11);
    ui.ExpectMessage(139, Answer::No);
    a.form.Edit([](DefectRecord& r) { r.Subject = QStringLiteral("refused"); });
    EXPECT_TRUE(a.persistence.SaveRecord(true));
    EXPECT_EQ(StoredText(a.context.connection, QStringLiteral("fromid"), 11), QStringLiteral("3"));
    EXPECT_EQ(StoredText(a.context.connection, QStringLiteral("subject"), 11), QStringLiteral("template of 3"));
    EXPECT_EQ(a.form.controls.Subject, QStringLiteral("template of 3"));

    // Templates of nobody and one's own never ask.
    DefectRecord own;
    own.StatusID = 0;
    own.FromID = 1;
    EXPECT_TRUE(ApplyTemplateOwnerRule(own, 1, ui));
    own.FromID = 0;
    EXPECT_TRUE(ApplyTemplateOwnerRule(own, 1, ui));
    EXPECT_EQ(own.FromID, 0);
    EXPECT_TRUE(a.context.notified.empty());
    ui.VerifyAllUsed();
}

TEST_F(DefectPersistenceTest, AFailedWriteCountsAsDoneOnlyWhenTheReportIsAnsweredYes)
{
    Workstation a(path, ui, 1);
    Workstation b(path, ui, 2);
    InsertDefectRow(a.context.connection, 7, 1, 1);
    a.persistence.SelectDefect(7);
    ASSERT_EQ(b.context.connection.Execute(QStringLiteral("DELETE FROM defectlist WHERE defect_id = 7")), engine::kOk);

    a.form.Edit([](DefectRecord& r) { r.Subject = QStringLiteral("into the void"); });
    ui.ExpectMessageText(QString(), Answer::No);
    EXPECT_FALSE(a.persistence.SaveRecord(true));
    ASSERT_FALSE(ui.messages.empty());
    EXPECT_EQ(ui.messages.back().buttons, Buttons::YesNo);
    ui.ExpectMessageText(QString(), Answer::Yes);
    EXPECT_TRUE(a.persistence.SaveRecord(true));
    EXPECT_TRUE(a.context.knownUnread.empty());
    EXPECT_TRUE(a.list.updated.empty());
    ui.VerifyAllUsed();
}

TEST_F(DefectPersistenceTest, AFailedLoadKeepsTheEditsAndNoSaveClaimsToHaveWrittenThem)
{
    Workstation a(path, ui, 1);
    engine::Connection other;
    ASSERT_EQ(other.Open(path), engine::kOk);
    InsertDefectRow(other, 7, 1, 1);
    InsertDefectRow(other, 8, 1, 1);
    a.persistence.SelectDefect(7);
    a.form.Edit([](DefectRecord& r) { r.Subject = QStringLiteral("mine"); });

    // The defects cannot be read or written for a moment: selecting another one changes nothing.
    engine::Rowset view;
    ASSERT_EQ(other.Query(QStringLiteral("SELECT sql FROM sqlite_master WHERE name = 'DefectListQuery'"), {}, view),
              engine::kOk);
    ASSERT_EQ(view.MoveFirst(), engine::kOk);
    const QString viewSql = view.Text(0);
    ASSERT_EQ(other.Execute(QStringLiteral("DROP VIEW DefectListQuery")), engine::kOk);
    ASSERT_EQ(other.Execute(QStringLiteral("ALTER TABLE defectlist RENAME TO away")), engine::kOk);
    a.persistence.SelectDefect(8);
    EXPECT_EQ(a.persistence.CurrentDefectId(), 7);
    EXPECT_TRUE(a.persistence.RecordLoaded());
    EXPECT_TRUE(a.form.isModified());
    EXPECT_FALSE(a.persistence.SaveRecord(false)) << "a failed write without a question is no success";

    // Offline, the reload before the save fails as well: still no success, still the edits.
    a.persistence.CloseRowset();
    EXPECT_FALSE(a.persistence.SaveRecord(false));
    EXPECT_EQ(a.form.controls.Subject, QStringLiteral("mine"));

    ASSERT_EQ(other.Execute(QStringLiteral("ALTER TABLE away RENAME TO defectlist")), engine::kOk);
    ASSERT_EQ(other.Execute(viewSql), engine::kOk);
    EXPECT_TRUE(a.persistence.SaveRecord(false));
    EXPECT_EQ(StoredText(other, QStringLiteral("subject"), 7), QStringLiteral("mine"));
}

TEST_F(DefectPersistenceTest, AReloadAfterAFailedSaveKeepsTheEditsAndAsksWhenAnotherUserChangedTheDefect)
{
    Workstation a(path, ui, 1);
    engine::Connection other;
    ASSERT_EQ(other.Open(path), engine::kOk);
    InsertDefectRow(other, 7, 1, 1);
    a.persistence.SelectDefect(7);
    const auto refuseWrites = [&](bool refuse) {
        ASSERT_EQ(other.Execute(refuse ? QStringLiteral("CREATE TRIGGER full BEFORE UPDATE ON defectlist "
                                                        "BEGIN SELECT RAISE(ABORT, 'database or disk is full'); END")
                                       : QStringLiteral("DROP TRIGGER full")),
                  engine::kOk);
    };

    // The file refuses the save; the user stays in the record, and the reload that follows
    // (a refresh, say) finds the defect as it was read: the edits stay, nothing is asked.
    a.form.Edit([](DefectRecord& r) { r.Subject = QStringLiteral("mine"); });
    refuseWrites(true);
    ui.ExpectMessageText(QString(), Answer::No);
    EXPECT_FALSE(a.persistence.SaveRecord(true));
    EXPECT_EQ(a.persistence.Record().Subject, QStringLiteral("subject")) << "the record as read stays";
    EXPECT_EQ(a.form.asLoaded().Subject, QStringLiteral("subject"));
    refuseWrites(false);
    a.persistence.ReloadCurrentDefect();
    EXPECT_TRUE(a.form.isModified());
    EXPECT_EQ(a.form.controls.Subject, QStringLiteral("mine"));

    // Another user changes the defect meanwhile: the reload asks, showing both versions; keeping
    // the edits keeps the other user's change to a field the user left alone too.
    ASSERT_EQ(other.Execute(QStringLiteral("UPDATE defectlist SET subject = 'theirs', cc = 'b@x' WHERE defect_id = 7")),
              engine::kOk);
    ui.ExpectMessage(40150, Answer::Yes);
    a.persistence.ReloadCurrentDefect();
    ASSERT_FALSE(ui.messages.empty());
    EXPECT_EQ(ui.messages.back().buttons, Buttons::YesNo);
    EXPECT_TRUE(
        ui.messages.back().text.contains(QStringLiteral("Subject\n    in the database: theirs\n    yours: mine\n")));
    EXPECT_FALSE(ui.messages.back().text.contains(QStringLiteral("Cc\n"))) << "keeping the edits keeps their Cc";
    EXPECT_TRUE(a.form.isModified());
    EXPECT_EQ(a.form.controls.Subject, QStringLiteral("mine"));
    EXPECT_EQ(a.form.controls.Cc, QStringLiteral("b@x"));
    ASSERT_TRUE(a.persistence.SaveRecord(true)) << "the edits now stand on the defect as the file holds it";
    EXPECT_EQ(StoredText(other, QStringLiteral("subject"), 7), QStringLiteral("mine"));
    EXPECT_EQ(StoredText(other, QStringLiteral("cc"), 7), QStringLiteral("b@x"));

    // Taking the stored defect instead throws the edits away.
    a.form.Edit([](DefectRecord& r) { r.Subject = QStringLiteral("second try"); });
    refuseWrites(true);
    ui.ExpectMessageText(QString(), Answer::No);
    EXPECT_FALSE(a.persistence.SaveRecord(true));
    refuseWrites(false);
    ASSERT_EQ(other.Execute(QStringLiteral("UPDATE defectlist SET subject = 'theirs again' WHERE defect_id = 7")),
              engine::kOk);
    ui.ExpectMessage(40150, Answer::No);
    a.persistence.ReloadCurrentDefect();
    EXPECT_FALSE(a.form.isModified());
    EXPECT_EQ(a.form.controls.Subject, QStringLiteral("theirs again"));

    // A save cancelled at another user's change keeps the edits the same way.
    a.form.Edit([](DefectRecord& r) { r.Description = QStringLiteral("kept"); });
    ASSERT_EQ(other.Execute(QStringLiteral("UPDATE defectlist SET comments = 'c2' WHERE defect_id = 7")), engine::kOk);
    ui.ExpectMessage(126, Answer::Cancel);
    EXPECT_FALSE(a.persistence.SaveRecord(true));
    ASSERT_EQ(other.Execute(QStringLiteral("UPDATE defectlist SET comments = 'c3' WHERE defect_id = 7")), engine::kOk);
    ui.ExpectMessage(40150, Answer::Yes);
    a.persistence.ReloadCurrentDefect();
    EXPECT_EQ(a.form.controls.Description, QStringLiteral("kept"));
    EXPECT_EQ(a.form.controls.Comments, QStringLiteral("c3"));
    ui.VerifyAllUsed();
}
