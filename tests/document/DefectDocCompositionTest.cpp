// The document composes the defect record's operations: the last defect of the session comes
// back at login, the close saves pending edits with a real history line, and a new defect
// belongs to the logged-in user.

#include "DefectDocFixture.h"
#include "DefectTestDoubles.h"

namespace {

class DefectDocCompositionTest : public DefectDocFixture {
protected:
    DefectDocCompositionTest()
    {
        AddAnnAndBobLoggingInAsAnn();
        Exec(setup_,
             QStringLiteral("INSERT INTO defectlist (defect_id, statusid, subject, toid, fromid, history, lastread) "
                            "VALUES (7, 1, 'crash on start', 2, 1, '', 0)"));
    }

    QString StoredText(const QString& column)
    {
        engine::Rowset rows;
        EXPECT_EQ(setup_.Query(QStringLiteral("SELECT %1 FROM defectlist WHERE defect_id = 7").arg(column), {}, rows),
                  engine::kOk);
        return rows.MoveFirst() == engine::kOk ? rows.Text(0) : QString();
    }
};

TEST_F(DefectDocCompositionTest, TheLastDefectReturnsAndTheCloseSavesItsEdits)
{
    Exec(setup_,
         QStringLiteral(
             "INSERT INTO UserSettings (UserId, LastDefectId, LastViewId, LastFilterId) VALUES (1, 7, 1, 1)"));
    FakeDefectForm form(1, ui_);
    doc_.defects().SetForm(&form);

    ASSERT_TRUE(doc_.OnOpenDocument(path_));
    EXPECT_EQ(doc_.defects().CurrentDefectId(), 7);
    EXPECT_TRUE(doc_.defects().RecordLoaded());
    EXPECT_EQ(form.controls.Subject, QStringLiteral("crash on start"));
    EXPECT_TRUE(form.enabled);

    form.Edit([](DefectRecord& record) { record.Subject = QStringLiteral("crash on start with empty settings"); });
    ASSERT_TRUE(doc_.CanCloseDocument());
    EXPECT_EQ(StoredText(QStringLiteral("subject")), QStringLiteral("crash on start with empty settings"));
    const QString history = StoredText(QStringLiteral("history"));
    EXPECT_EQ(history.count(QLatin1Char('\n')), 1);
    EXPECT_TRUE(history.contains(QStringLiteral("\tnew (Ann)\t\n"))) << history.toStdString();
    EXPECT_EQ(StoredText(QStringLiteral("lastread")), QStringLiteral("0")) << "addressed to Bob: unread for him";

    doc_.OnCloseDocument();
    EXPECT_EQ(doc_.defects().CurrentDefectId(), 0);
    EXPECT_FALSE(doc_.defects().RecordLoaded());
}

TEST_F(DefectDocCompositionTest, AFormRegisteredLaterIsShownTheCurrentDefect)
{
    Exec(setup_,
         QStringLiteral(
             "INSERT INTO UserSettings (UserId, LastDefectId, LastViewId, LastFilterId) VALUES (1, 7, 1, 1)"));
    ASSERT_TRUE(doc_.OnOpenDocument(path_));
    FakeDefectForm form(1, ui_);
    doc_.RegisterForm(&form);
    EXPECT_EQ(form.controls.Subject, QStringLiteral("crash on start"));
    EXPECT_TRUE(form.enabled);
    doc_.RegisterForm(nullptr);
    EXPECT_EQ(doc_.defects().Form(), nullptr);
}

TEST_F(DefectDocCompositionTest, ANewDefectWithoutTemplatesBelongsToTheLoggedInUser)
{
    ASSERT_TRUE(doc_.OnOpenDocument(path_));
    doc_.InsertNewDefect();
    const std::int32_t id = doc_.defects().CurrentDefectId();
    EXPECT_GT(id, 7);
    engine::Rowset rows;
    ASSERT_EQ(setup_.Query(QStringLiteral("SELECT subject, fromid, statusid FROM defectlist WHERE defect_id = ?"),
                           {std::int64_t{id}}, rows),
              engine::kOk);
    ASSERT_EQ(rows.MoveFirst(), engine::kOk);
    EXPECT_EQ(rows.Text(0), QStringLiteral("<new defect>"));
    EXPECT_EQ(rows.Int(1), 1);
    EXPECT_EQ(rows.Int(2), 1) << "no workflow stored: the new status";
}

} // namespace
