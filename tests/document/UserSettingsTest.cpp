// The user's settings row: defaults, the save at close, retries, and what the next login restores.

#include "DefectDocFixture.h"
#include "DefectTestDoubles.h"

#include <QSignalSpy>

#include "base/StringTable.h"

namespace {

class UserSettingsTest : public DefectDocFixture {
protected:
    UserSettingsTest()
    {
        AddStakeholder(setup_, 1, QStringLiteral("Ann"), QStringLiteral("ann"));
        doc_.database().SetDatabaseFileName(path_);
        doc_.SetOperatingSystemUser([] { return std::nullopt; });
    }

    void LogIn(CDefectDoc& doc)
    {
        doc.SetAutoLogin(QStringLiteral("ann"));
        ASSERT_TRUE(doc.Login());
    }

    std::int64_t SettingsValue(const QString& column)
    {
        std::int64_t value = -999;
        EXPECT_EQ(setup_.QueryInt(QStringLiteral("SELECT %1 FROM UserSettings WHERE UserId=1").arg(column), {}, value),
                  engine::kOk);
        return value;
    }
};

TEST_F(UserSettingsTest, AUserWithoutARowGetsTheDefaultsAndTheCloseInsertsIt)
{
    QSignalSpy selected(&doc_, &CDefectDoc::currentDefectChanged);
    doc_.selection().currentViewId = 7;
    ASSERT_FALSE(doc_.timers().running(DocumentTimers::kAutoClose));
    LogIn(doc_);
    // The settings' periods start the timers.
    EXPECT_EQ(doc_.timers().intervalMs(DocumentTimers::kAutoClose), 5 * 60 * 1000);
    EXPECT_EQ(doc_.timers().intervalMs(DocumentTimers::kAutoRefresh), 5 * 60 * 1000);
    EXPECT_EQ(selected.count(), 0) << "no last defect without a row";
    EXPECT_EQ(doc_.selection().currentViewId, 1);
    EXPECT_EQ(doc_.selection().currentFilterId, 1);
    EXPECT_FALSE(doc_.selection().filterOn);
    EXPECT_FALSE(doc_.selection().myDefectsOn);
    EXPECT_EQ(doc_.userSettings().AutoRefreshList, 5) << "a new user's list refreshes every five minutes";
    EXPECT_EQ(doc_.userSettings().AutoCloseDB, 5);
    EXPECT_EQ(doc_.userSettings().NotifyOfChanges, -1);
    EXPECT_EQ(doc_.userSettings().Hotkey, 619);
    EXPECT_EQ(doc_.userSettings().LastTemplateId, 0);

    doc_.selection() = SessionSelection{42, 3, 4, true, true};
    doc_.userSettings().AutoCloseDB = 0;
    ASSERT_TRUE(doc_.CanCloseDocument());
    EXPECT_EQ(ui_.waitCursorDepth, 0);
    EXPECT_GE(ui_.waitCursorUses, 1);
    EXPECT_EQ(SettingsValue(QStringLiteral("LastDefectId")), 42);
    EXPECT_EQ(SettingsValue(QStringLiteral("LastViewId")), 3);
    EXPECT_EQ(SettingsValue(QStringLiteral("LastFilterId")), 4);
    EXPECT_EQ(SettingsValue(QStringLiteral("LastFilterState")), 1);
    EXPECT_EQ(SettingsValue(QStringLiteral("LastMyDefectsState")), 1);
    EXPECT_EQ(SettingsValue(QStringLiteral("AutoCloseDB")), 0);
    EXPECT_EQ(SettingsValue(QStringLiteral("AutoRefreshList")), 5);
    EXPECT_EQ(SettingsValue(QStringLiteral("NotifyOfChanges")), -1);
    std::int64_t saved = 0;
    EXPECT_EQ(setup_.QueryInt(QStringLiteral("SELECT dateLastSaved = ? FROM UserSettings"), {clock_.OleNow()}, saved),
              engine::kOk);
    EXPECT_EQ(saved, 1);

    // A second save writes into the row instead of adding one.
    doc_.selection().myDefectsOn = false;
    ASSERT_TRUE(doc_.SaveUserSettings());
    EXPECT_EQ(SettingsValue(QStringLiteral("LastMyDefectsState")), 0);
    std::int64_t rows = 0;
    EXPECT_EQ(setup_.QueryInt(QStringLiteral("SELECT count(*) FROM UserSettings"), {}, rows), engine::kOk);
    EXPECT_EQ(rows, 1);
}

TEST_F(UserSettingsTest, TheNextLoginRestoresWhatTheCloseSaved)
{
    LogIn(doc_);
    doc_.selection() = SessionSelection{17, 2, 3, true, false};
    doc_.userSettings().AutoRefreshList = 0;
    doc_.userSettings().NotifyOfChanges = 0;
    doc_.userSettings().Hotkey = 1234;
    ASSERT_TRUE(doc_.CanCloseDocument());
    doc_.OnCloseDocument();
    EXPECT_EQ(doc_.selection().currentViewId, 1);
    EXPECT_FALSE(doc_.selection().filterOn);
    EXPECT_FALSE(doc_.connected());
    EXPECT_FALSE(doc_.loggedIn());
    EXPECT_EQ(doc_.PathName(), "default.defl");

    CDefectDoc next(ui_, clock_, administration_);
    next.database().SetDatabaseFileName(path_);
    QSignalSpy selected(&next, &CDefectDoc::currentDefectChanged);
    LogIn(next);
    ASSERT_EQ(selected.count(), 1);
    EXPECT_EQ(selected.at(0).at(0).toInt(), 17);
    EXPECT_EQ(next.selection().currentViewId, 2);
    EXPECT_EQ(next.selection().currentFilterId, 3);
    EXPECT_TRUE(next.selection().filterOn);
    EXPECT_FALSE(next.selection().myDefectsOn);
    EXPECT_EQ(next.userSettings().AutoRefreshList, 0);
    EXPECT_EQ(next.userSettings().NotifyOfChanges, 0);
    EXPECT_EQ(next.userSettings().Hotkey, 1234);
    EXPECT_EQ(next.userSettings().AutoCloseDB, 5);
}

TEST_F(UserSettingsTest, NothingIsSavedBeforeALoginCompleted)
{
    EXPECT_TRUE(doc_.CanCloseDocument());
    std::int64_t rows = -1;
    EXPECT_EQ(setup_.QueryInt(QStringLiteral("SELECT count(*) FROM UserSettings"), {}, rows), engine::kOk);
    EXPECT_EQ(rows, 0);
    EXPECT_EQ(ui_.waitCursorUses, 0);
}

TEST_F(UserSettingsTest, AFailingSaveRetriesEightTimesAtMostAndCancelRefusesTheClose)
{
    LogIn(doc_);
    Exec(setup_, QStringLiteral("DROP TABLE UserSettings"));

    for (int i = 0; i < 7; ++i)
        ui_.ExpectRetry(RetryAnswer::Retry);
    EXPECT_FALSE(doc_.SaveUserSettings());
    EXPECT_EQ(ui_.CountOf("retry"), 7);
    EXPECT_EQ(ui_.retryRequests.front().message, LoadString(152));
    EXPECT_EQ(ui_.waitCursorDepth, 0);

    ui_.ExpectRetry(RetryAnswer::Retry);
    ui_.ExpectRetry(RetryAnswer::Cancel);
    QSignalSpy defectSaved(&doc_, &CDefectDoc::defectSaved);
    EXPECT_FALSE(doc_.CanCloseDocument());
    EXPECT_EQ(ui_.CountOf("retry"), 9);
    EXPECT_EQ(defectSaved.count(), 0);
}

// Restores the table while the retry dialog is open, as a network coming back would.
class RepairingUserInterface : public ScriptedUserInterface {
public:
    std::function<void()> repair;
    RetryAnswer RunRetryDialog(const RetryDialogRequest& request) override
    {
        ScriptedUserInterface::RunRetryDialog(request);
        repair();
        return RetryAnswer::Retry;
    }
};

TEST_F(UserSettingsTest, ASaveThatSucceedsOnARetryLetsTheCloseGoOn)
{
    RepairingUserInterface ui;
    CDefectDoc doc(ui, clock_, administration_);
    doc.database().SetDatabaseFileName(path_);
    LogIn(doc);
    Exec(setup_, QStringLiteral("ALTER TABLE UserSettings RENAME TO UserSettingsAway"));
    ui.repair = [this] { Exec(setup_, QStringLiteral("ALTER TABLE UserSettingsAway RENAME TO UserSettings")); };
    ui.ExpectRetry(RetryAnswer::Retry);
    doc.selection().currentDefectId = 5;
    EXPECT_TRUE(doc.CanCloseDocument());
    EXPECT_EQ(ui.CountOf("retry"), 1);
    EXPECT_EQ(SettingsValue(QStringLiteral("LastDefectId")), 5);
}

} // namespace

TEST_F(UserSettingsTest, TheDefectSelectedLastReturnsAtTheNextLogin)
{
    LogIn(doc_);
    InsertDefectRow(setup_, 5, 1, 1);
    doc_.defects().SelectDefect(5);
    ASSERT_TRUE(doc_.CanCloseDocument());
    doc_.OnCloseDocument();
    EXPECT_EQ(SettingsValue(QStringLiteral("LastDefectId")), 5);

    CDefectDoc next(ui_, clock_, administration_);
    next.database().SetDatabaseFileName(path_);
    LogIn(next);
    EXPECT_EQ(next.defects().CurrentDefectId(), 5);
}
