// New defects from templates: the blank entry, the chosen template, key collisions, a failed insert.

#include "DefectTestDoubles.h"

#include "document/DefectTemplates.h"
#include "support/ScriptedUserInterface.h"
#include "support/TempFolder.h"
#include "support/TestDatabase.h"

#include <gtest/gtest.h>

namespace {

// Another workstation ends the key collisions while the user is asked whether to go on.
class CollisionEndingUserInterface : public ScriptedUserInterface {
public:
    Answer ShowMessage(const MessageRequest& request) override
    {
        if (request.text.startsWith(QStringLiteral("Tried 500 inserts")) && other != nullptr) {
            EXPECT_EQ(other->Execute(QStringLiteral("DROP TRIGGER collide")), engine::kOk);
            other = nullptr;
        }
        return ScriptedUserInterface::ShowMessage(request);
    }
    engine::Connection* other = nullptr;
};

class DefectTemplatesTest : public testing::Test {
protected:
    DefectTemplatesTest() : path(CreateCurrentDatabase(folder.file(QStringLiteral("team.defl")))) { }

    TempFolder folder;
    CollisionEndingUserInterface ui;
    QString path;
};

} // namespace

TEST_F(DefectTemplatesTest, WithoutTemplatesTheBlankEntryIsUsedAtOnce)
{
    Workstation a(path, ui, 1);
    InsertDefectRow(a.context.connection, 9, 0, 2, 2, QStringLiteral("template of somebody else"));
    a.context.lastTemplateId = 9;

    NewDefectFromTemplate(a.context, a.persistence);
    EXPECT_EQ(ui.CountOf("template"), 0);
    ASSERT_EQ(a.list.added.size(), 1u);
    const std::int32_t id = a.list.added[0];
    EXPECT_GT(id, 9);
    EXPECT_EQ(a.persistence.CurrentDefectId(), id);
    ASSERT_FALSE(a.list.selectedDefects.empty());
    EXPECT_EQ(a.list.selectedDefects.back(), id);
    EXPECT_EQ(a.context.lastTemplateId, 0);
    EXPECT_EQ(a.context.broughtToFront, 1);

    const DefectRecord& created = a.form.controls;
    const double now = a.context.clock.OleNow();
    EXPECT_EQ(created.Defect_ID, id);
    EXPECT_EQ(created.Subject, QStringLiteral("<new defect>"));
    EXPECT_EQ(created.StatusID, 5) << "the first transition's from-status";
    EXPECT_EQ(created.FromID, 1);
    EXPECT_DOUBLE_EQ(created.Opened, now);
    EXPECT_DOUBLE_EQ(created.Modified, now);
    EXPECT_DOUBLE_EQ(created.lastread, now);
    EXPECT_TRUE(created.History.isEmpty());
    EXPECT_FALSE(a.form.isModified());
    EXPECT_TRUE(a.context.notified.empty()) << "inserting is no save";

    // Without transitions a new defect is "new".
    a.context.transitions.clear();
    NewDefectFromTemplate(a.context, a.persistence);
    EXPECT_EQ(a.form.controls.StatusID, 1);
    EXPECT_EQ(CountDefects(a.context.connection), 3);
    ui.VerifyAllUsed();
}

TEST_F(DefectTemplatesTest, TheChosenTemplateShapesTheNewDefect)
{
    Workstation a(path, ui, 1);
    InsertDefectRow(a.context.connection, 20, 0, 2, 1, QStringLiteral("own template"));
    InsertDefectRow(a.context.connection, 21, 0, 3, 0, QStringLiteral("everybody's template"));
    InsertDefectRow(a.context.connection, 22, 0, 2, 2, QStringLiteral("somebody else's template"));
    InsertDefectRow(a.context.connection, 23, 1, 2, 1, QStringLiteral("an ordinary defect"));
    ASSERT_EQ(a.context.connection.Execute(QStringLiteral("UPDATE defectlist SET history = 'old', closed = 46100, "
                                                          "fixedbuild = 7, fixedversion = '2.0' WHERE defect_id = 21")),
              engine::kOk);
    a.context.lastTemplateId = 21;

    const std::vector<DefectRecord> templates = LoadTemplates(a.context);
    ASSERT_EQ(templates.size(), 3u);
    EXPECT_EQ(templates[0].Subject, QStringLiteral("own template"));
    EXPECT_EQ(templates[1].Subject, QStringLiteral("everybody's template"));
    EXPECT_EQ(templates[2].Subject, QStringLiteral("<new defect>"));
    EXPECT_EQ(templates[2].Defect_ID, 0);

    // Cancel adds nothing.
    ui.ExpectTemplateChoice(std::nullopt);
    NewDefectFromTemplate(a.context, a.persistence);
    EXPECT_EQ(CountDefects(a.context.connection), 4);
    EXPECT_EQ(a.context.lastTemplateId, 21);

    TemplateChoiceRequest seen;
    ui.ExpectTemplateScript([&](const TemplateChoiceRequest& request) {
        seen = request;
        return std::optional<int>(1);
    });
    a.context.clock.Advance(86400);
    NewDefectFromTemplate(a.context, a.persistence);
    EXPECT_EQ(seen.subjects,
              (QStringList{QStringLiteral("own template"), QStringLiteral("everybody's template"),
                           QStringLiteral("<new defect>")}));
    EXPECT_EQ(seen.preselectedRow, 1);
    EXPECT_EQ(a.context.lastTemplateId, 21);

    const DefectRecord source = templates[1];
    const DefectRecord& created = a.form.controls;
    EXPECT_EQ(created.Subject, source.Subject);
    EXPECT_EQ(created.Description, source.Description);
    EXPECT_EQ(created.Comments, source.Comments);
    EXPECT_EQ(created.ToID, 3);
    EXPECT_EQ(created.Cc, source.Cc);
    EXPECT_EQ(created.ComponentID, source.ComponentID);
    EXPECT_EQ(created.categoryid, source.categoryid);
    EXPECT_EQ(created.PriorityID, source.PriorityID);
    EXPECT_EQ(created.SeverityID, source.SeverityID);
    EXPECT_EQ(created.foundversion, source.foundversion);
    EXPECT_EQ(created.fixedversion, QStringLiteral("2.0"));
    EXPECT_EQ(created.FoundBuild, source.FoundBuild);
    EXPECT_EQ(created.FixedBuild, 7);
    // The reset ones.
    EXPECT_NE(created.Defect_ID, 21);
    EXPECT_EQ(created.StatusID, 5);
    EXPECT_EQ(created.FromID, 1);
    EXPECT_EQ(created.Closed, 0.0);
    EXPECT_TRUE(created.History.isEmpty());
    EXPECT_DOUBLE_EQ(created.Opened, a.context.clock.OleNow());
    EXPECT_EQ(CountDefects(a.context.connection), 5);

    // A later choice of the first row is remembered as that template's id.
    ui.ExpectTemplateChoice(0);
    NewDefectFromTemplate(a.context, a.persistence);
    EXPECT_EQ(a.context.lastTemplateId, 20);
    ui.VerifyAllUsed();
}

TEST_F(DefectTemplatesTest, KeyCollisionsAreRetriedWithAQuestionEvery500Tries)
{
    Workstation a(path, ui, 1);
    engine::Connection other;
    ASSERT_EQ(other.Open(path), engine::kOk);
    const QString collide = QStringLiteral("CREATE TRIGGER collide BEFORE INSERT ON defectlist "
                                           "BEGIN SELECT RAISE(ABORT, 'key collision'); END");
    ASSERT_EQ(other.Execute(collide), engine::kOk);

    // The user gives up after the first 1000 collisions.
    ui.ExpectMessageText(QStringLiteral("Tried 500 inserts but all failed. Do you want to keep on trying?"),
                         Answer::Yes);
    ui.ExpectMessageText(QStringLiteral("Tried 500 inserts but all failed. Do you want to keep on trying?"),
                         Answer::No);
    ui.ExpectMessageText(QStringLiteral("Insert failed."));
    NewDefectFromTemplate(a.context, a.persistence);
    EXPECT_EQ(CountDefects(a.context.connection), 0);
    EXPECT_TRUE(a.list.added.empty());
    ui.VerifyAllUsed();

    // The collisions end while the user is asked: the next try succeeds and the id is read back.
    ui.other = &other;
    ui.ExpectMessageText(QStringLiteral("Tried 500 inserts"), Answer::Yes);
    NewDefectFromTemplate(a.context, a.persistence);
    ASSERT_EQ(CountDefects(a.context.connection), 1);
    std::int64_t stored = 0;
    ASSERT_EQ(a.context.connection.QueryInt(QStringLiteral("SELECT defect_id FROM defectlist"), {}, stored),
              engine::kOk);
    ASSERT_EQ(a.list.added.size(), 1u);
    EXPECT_EQ(a.list.added[0], stored);
    EXPECT_EQ(a.persistence.CurrentDefectId(), stored);
    EXPECT_TRUE(a.persistence.RecordLoaded());
    ui.VerifyAllUsed();
}

TEST_F(DefectTemplatesTest, AFailedInsertLeavesTheCurrentDefectAsStored)
{
    Workstation a(path, ui, 1);
    InsertDefectRow(a.context.connection, 7, 1, 2, 1, QStringLiteral("current"));
    a.list.SelectDefect(7);
    engine::Connection other;
    ASSERT_EQ(other.Open(path), engine::kOk);
    ASSERT_EQ(other.Execute(QStringLiteral("CREATE TRIGGER collide BEFORE INSERT ON defectlist "
                                           "BEGIN SELECT RAISE(ABORT, 'key collision'); END")),
              engine::kOk);

    ui.ExpectMessageText(QStringLiteral("Tried 500 inserts"), Answer::No);
    ui.ExpectMessageText(QStringLiteral("Insert failed."));
    NewDefectFromTemplate(a.context, a.persistence);
    EXPECT_EQ(CountDefects(a.context.connection), 1);

    // The form must not go on showing the defect that was never stored: its save would land
    // in the current defect's row.
    EXPECT_EQ(a.form.controls.Defect_ID, 7);
    EXPECT_EQ(a.form.controls.Subject, QStringLiteral("current"));
    EXPECT_TRUE(a.persistence.RecordLoaded());
    a.form.Edit([](DefectRecord& r) { r.Cc = QStringLiteral("edited@x"); });
    ASSERT_TRUE(a.persistence.SaveRecord(true));
    engine::Rowset rows;
    ASSERT_EQ(a.context.connection.Query(QStringLiteral("SELECT subject, description, cc FROM defectlist "
                                                        "WHERE defect_id = 7"),
                                         {}, rows),
              engine::kOk);
    ASSERT_EQ(rows.MoveFirst(), engine::kOk);
    EXPECT_EQ(rows.Text(0), QStringLiteral("current"));
    EXPECT_EQ(rows.Text(1), QStringLiteral("description"));
    EXPECT_EQ(rows.Text(2), QStringLiteral("edited@x"));
    ui.VerifyAllUsed();
}

TEST(InsertRetryTest, AsksAfterEvery500CollisionsAndStopsOnNo)
{
    int tries = 0;
    int questions = 0;
    const auto collideUntil = [&](int successfulTry) {
        return [&, successfulTry] {
            ++tries;
            return tries == successfulTry ? engine::kOk : engine::kIntegrityViolation;
        };
    };

    EXPECT_EQ(InsertRetryingKeyCollisions(collideUntil(1200), [&] { return ++questions, true; }), engine::kOk);
    EXPECT_EQ(tries, 1200);
    EXPECT_EQ(questions, 2) << "after the 500th and the 1000th collision";

    tries = questions = 0;
    EXPECT_EQ(InsertRetryingKeyCollisions(collideUntil(-1), [&] { return ++questions, false; }),
              engine::kIntegrityViolation);
    EXPECT_EQ(tries, 500);
    EXPECT_EQ(questions, 1);

    // Any other failure ends at once.
    tries = 0;
    EXPECT_EQ(InsertRetryingKeyCollisions([&] { return ++tries, engine::kFailure; }, [] { return true; }),
              engine::kFailure);
    EXPECT_EQ(tries, 1);
}
