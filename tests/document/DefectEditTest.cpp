// Changes made without a window: the document's save, workflow and concurrency rules hold for them too.

#include "DefectDocFixture.h"

#include "document/DefectEdit.h"
#include "document/ShellStringIds.h"

#include <QSignalSpy>

namespace {

constexpr std::int64_t kNew = 1, kOpen = 2, kClosed = 10;

class DefectEditTest : public DefectDocFixture {
protected:
    DefectEditTest()
    {
        AddAnnAndBobLoggingInAsAnn();
        // new -> open freely, open -> closed with three words.
        Exec(setup_,
             QStringLiteral("INSERT INTO statustransitions (fromStatus, toStatus, sys_sortorder, "
                            "commentWordsRequired) VALUES (1, 2, 1, 0), (2, 10, 2, 3)"));
        doc_.database().SetDatabaseFileName(path_);
        EXPECT_TRUE(doc_.LoginAs(1));
    }

    std::int32_t Defect(std::int64_t status, const QString& subject)
    {
        Exec(setup_,
             QStringLiteral("INSERT INTO defectlist (statusid, subject, toid, fromid, history, modified, lastread) "
                            "VALUES (?, ?, 2, 1, 'first line\n', 46000.5, 0)"),
             {status, subject});
        return static_cast<std::int32_t>(setup_.LastInsertId());
    }

    QString Text(const char* column, std::int32_t id)
    {
        engine::Rowset rows;
        EXPECT_EQ(setup_.Query(QStringLiteral("SELECT %1 FROM defectlist WHERE defect_id = ?").arg(column),
                               {std::int64_t{id}}, rows),
                  engine::kOk);
        return rows.MoveFirst() == engine::kOk ? rows.Text(0) : QString();
    }
};

TEST_F(DefectEditTest, AChangeSavedMeanwhileByAnotherUserIsRefusedAndKept)
{
    const std::int32_t id = Defect(kOpen, QStringLiteral("Crash"));
    DefectEditor editor(doc_);
    ASSERT_TRUE(editor.Load(id));
    // Bob's workstation saves the defect after the command read it.
    Exec(setup_,
         QStringLiteral("UPDATE defectlist SET subject = 'Crash on save', modified = 46001, history = history || "
                        "'9.12.26\topen (Bob)\tmine now\n' WHERE defect_id = ?"),
         {std::int64_t{id}});
    editor.AddComment(QStringLiteral("seen on the build server"));
    QSignalSpy saved(&doc_, &CDefectDoc::defectSaved);
    ui_.ExpectMessage(126, Answer::Cancel);
    const EditOutcome outcome = editor.Save();
    EXPECT_EQ(outcome.result, EditOutcome::Result::ChangedMeanwhile);
    EXPECT_TRUE(outcome.message.contains(QStringLiteral("Bob"))) << outcome.message.toStdString();
    EXPECT_EQ(saved.count(), 0);
    EXPECT_EQ(Text("subject", id), QStringLiteral("Crash on save"));
    EXPECT_FALSE(Text("history", id).contains(QStringLiteral("build server")));
}

TEST_F(DefectEditTest, TheWorkflowDecidesWhereADefectMayGoAndHowMuchMustBeSaid)
{
    const std::int32_t id = Defect(kNew, QStringLiteral("Crash"));
    {
        DefectEditor editor(doc_);
        ASSERT_TRUE(editor.Load(id));
        EXPECT_EQ(editor.ChangeStatus(kClosed, QStringLiteral("done and dusted")).result, EditOutcome::Result::Refused);
        EXPECT_EQ(editor.ChangeStatus(12345, QString()).result, EditOutcome::Result::Refused);
        EXPECT_FALSE(editor.form().isModified());
        ASSERT_TRUE(editor.ChangeStatus(kOpen, QString()).saved());
        ASSERT_TRUE(editor.Save().saved());
    }
    EXPECT_EQ(QueryNumber(setup_, QStringLiteral("SELECT statusid FROM defectlist WHERE defect_id = %1").arg(id)),
              kOpen);
    DefectEditor editor(doc_);
    ASSERT_TRUE(editor.Load(id));
    const EditOutcome tooShort = editor.ChangeStatus(kClosed, QStringLiteral("done"));
    EXPECT_EQ(tooShort.result, EditOutcome::Result::Refused);
    EXPECT_TRUE(tooShort.message.contains(QStringLiteral("3"))) << tooShort.message.toStdString();
    ASSERT_TRUE(editor.ChangeStatus(kClosed, QStringLiteral("fixed in the parser")).saved());
    ASSERT_TRUE(editor.Save().saved());
    EXPECT_EQ(QueryNumber(setup_, QStringLiteral("SELECT statusid FROM defectlist WHERE defect_id = %1").arg(id)),
              kClosed);
    EXPECT_GT(QueryNumber(setup_, QStringLiteral("SELECT closed > 0 FROM defectlist WHERE defect_id = %1").arg(id)), 0);
    const QStringList history = Text("history", id).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(history.size(), 3);
    EXPECT_TRUE(history[1].contains(QStringLiteral("open (Ann)")));
    EXPECT_TRUE(history[2].endsWith(QStringLiteral("closed (Ann)\tfixed in the parser"))) << history[2].toStdString();
    // The comment goes with the notification of the save.
    ui_.VerifyAllUsed();
}

TEST_F(DefectEditTest, ANewDefectIsSavedAsTheWindowSavesIt)
{
    QSignalSpy saved(&doc_, &CDefectDoc::defectSaved);
    DefectRecord fields;
    fields.Subject = QStringLiteral("Build fails on arm64");
    fields.Description = QStringLiteral("make: *** [all] Error 2");
    fields.ToID = 2;
    fields.StatusID = kClosed; // the workflow's first status wins over the fields
    DefectEditor editor(doc_);
    const EditOutcome outcome = editor.Add(fields);
    ASSERT_TRUE(outcome.saved()) << outcome.message.toStdString();
    const std::int32_t id = outcome.defectId;
    ASSERT_GT(id, 0);
    EXPECT_EQ(QueryNumber(setup_, QStringLiteral("SELECT statusid FROM defectlist WHERE defect_id = %1").arg(id)),
              kNew);
    EXPECT_EQ(QueryNumber(setup_, QStringLiteral("SELECT fromid FROM defectlist WHERE defect_id = %1").arg(id)), 1);
    // Unread for Bob, its addressee; one history line; one save announced (the notification's).
    EXPECT_EQ(QueryNumber(setup_, QStringLiteral("SELECT lastread FROM defectlist WHERE defect_id = %1").arg(id)), 0);
    EXPECT_EQ(Text("history", id).count('\n'), 1);
    EXPECT_TRUE(Text("history", id).contains(QStringLiteral("new (Ann)")));
    EXPECT_EQ(Text("description", id), fields.Description);
    ASSERT_EQ(saved.count(), 1);
    EXPECT_EQ(saved.at(0).at(0).toInt(), id);
}

} // namespace
