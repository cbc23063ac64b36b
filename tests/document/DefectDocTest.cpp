// The document on a real file: open and login, the connection reopened, the file gone, close and quit.

#include "DefectDocFixture.h"
#include "DefectTestDoubles.h"
#include "document/EditRecovery.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>

namespace {

class DefectDocTest : public DefectDocFixture {
protected:
    DefectDocTest()
    {
        AddStakeholder(setup_, 1, QStringLiteral("Ann"), QStringLiteral("ann"));
        doc_.SetOperatingSystemUser([] { return std::nullopt; });
        QObject::connect(&doc_, &CDefectDoc::connectionStateChanged, [this](bool connected) {
            events_.push_back(connected ? QStringLiteral("online") : QStringLiteral("offline"));
        });
    }

    // What is left of the auto-close period: the end of a pause reckons it from the timer's last start.
    int AutoCloseLeftMs()
    {
        {
            TimerPause pause(doc_.timers());
        }
        return doc_.timers().intervalMs(DocumentTimers::kAutoClose);
    }

    // Logs Ann in again; every login offers her kept edits.
    void LogInAgain()
    {
        doc_.SetAutoLogin(QStringLiteral("ann"));
        ASSERT_TRUE(doc_.Login());
    }

    // Edits of defect 5 kept at an earlier quit: the defect as read now, and the subject `mine`.
    RecoveredEdits EditsOfDefect5(const QString& mine)
    {
        doc_.defects().SelectDefect(5);
        RecoveredEdits edits;
        edits.databasePath = path_;
        edits.userId = 1;
        edits.original = doc_.defects().Record();
        edits.edited = edits.original;
        edits.edited.Subject = mine;
        edits.keptAt = clock_.Now();
        return edits;
    }

    // A recovery file as earlier versions wrote it: nothing marks its original as read.
    QString KeepAsAnEarlierVersion(const RecoveredEdits& edits)
    {
        const QString file = NewKeptEditsFile(path_, 1);
        EXPECT_TRUE(KeepEdits(file, edits));
        QFile stored(file);
        EXPECT_TRUE(stored.open(QIODevice::ReadWrite));
        QJsonObject object = QJsonDocument::fromJson(stored.readAll()).object();
        EXPECT_TRUE(object.contains(QStringLiteral("originalAsRead")));
        object.remove(QStringLiteral("originalAsRead"));
        stored.resize(0);
        stored.write(QJsonDocument(object).toJson());
        return file;
    }

    std::int64_t Stored(const QString& condition)
    {
        return QueryNumber(setup_, QStringLiteral("SELECT %1 FROM defectlist WHERE defect_id = 5").arg(condition));
    }

    std::vector<QString> events_;
};

constexpr int kAutoCloseMs = 5 * 60 * 1000;
constexpr int kAutoRefreshMs = 5 * 60 * 1000; // a new user's refresh period

TEST_F(DefectDocTest, OpensTheNamedDatabaseAndLogsIn)
{
    doc_.SetAutoLogin(QStringLiteral("ann"));
    QSignalSpy loggedIn(&doc_, &CDefectDoc::loginCompleted);
    ASSERT_TRUE(doc_.OnOpenDocument(path_));
    EXPECT_EQ(doc_.PathName(), QDir(path_).absolutePath());
    EXPECT_TRUE(doc_.loggedIn());
    EXPECT_EQ(doc_.CurrentUserName(), "Ann");
    EXPECT_EQ(loggedIn.count(), 1);
}

TEST_F(DefectDocTest, TheConnectionReopensOnDemandAndReloadsTheLists)
{
    doc_.database().SetDatabaseFileName(path_);
    doc_.SetAutoLogin(QStringLiteral("ann"));
    ASSERT_TRUE(doc_.Login());
    ASSERT_TRUE(doc_.connected());
    events_.clear();

    // The clock moves by seconds only, so that the lists loaded at the login stay fresh.
    clock_.Advance(5);
    ASSERT_EQ(AutoCloseLeftMs(), kAutoCloseMs - 5000);
    doc_.GetDocumentConnection(RetryMode::Offline);
    EXPECT_EQ(AutoCloseLeftMs(), kAutoCloseMs) << "a request restarts the auto-close countdown";
    EXPECT_TRUE(events_.empty()) << "the connection was open";

    {
        ConnectionUse use(doc_.connectionUse(), true, true);
        EXPECT_EQ(doc_.connectionUse().keepOpenCount, 1);
        clock_.Advance(5);
        doc_.GetDocumentConnection(RetryMode::Offline);
        EXPECT_EQ(AutoCloseLeftMs(), kAutoCloseMs - 5000) << "a long operation does not restart the countdown";
    }
    EXPECT_EQ(doc_.connectionUse().useCount, 0);
    EXPECT_EQ(doc_.connectionUse().keepOpenCount, 0);

    // Offline, a load within 15 seconds still reads: the reopened connection may see new names.
    Exec(setup_, QStringLiteral("UPDATE stakeholder SET displayname='Anna' WHERE stakeholder_id=1"));
    doc_.lookups().LoadLookups(false);
    EXPECT_EQ(doc_.CurrentUserName(), "Ann");
    events_.clear();
    doc_.GoOffline();
    EXPECT_FALSE(doc_.connected());
    EXPECT_EQ(events_, std::vector<QString>{QStringLiteral("offline")});
    // The last pause left the auto-refresh with its period less the 10 seconds gone by.
    ASSERT_EQ(doc_.timers().intervalMs(DocumentTimers::kAutoRefresh), kAutoRefreshMs - 10000);
    clock_.Advance(4);
    doc_.lookups().LoadLookups(false);
    EXPECT_TRUE(doc_.connected());
    EXPECT_EQ(doc_.CurrentUserName(), "Anna");
    EXPECT_EQ(events_, (std::vector<QString>{QStringLiteral("offline"), QStringLiteral("online")}));
    // The reopening paused the timers and they went on: the auto-refresh with what was left of
    // its period, the auto-close from the start because the file was asked for.
    EXPECT_FALSE(doc_.timers().paused());
    EXPECT_EQ(doc_.timers().intervalMs(DocumentTimers::kAutoRefresh), kAutoRefreshMs - 14000);
    EXPECT_EQ(AutoCloseLeftMs(), kAutoCloseMs);
}

TEST_F(DefectDocTest, AFileThatCannotBeReachedResumesTheTimersAndPassesTheFailureOn)
{
    doc_.database().SetDatabaseFileName(path_);
    doc_.SetAutoLogin(QStringLiteral("ann"));
    ASSERT_TRUE(doc_.Login());
    doc_.GoOffline();
    doc_.database().SetDatabaseFileName(folder_.file(QStringLiteral("missing/none.defl")));
    events_.clear();
    ui_.ExpectRetry(RetryAnswer::Cancel);
    EXPECT_ANY_THROW(doc_.GetDocumentConnection(RetryMode::Offline));
    EXPECT_TRUE(events_.empty());
    EXPECT_FALSE(doc_.timers().paused());
    EXPECT_EQ(doc_.timers().intervalMs(DocumentTimers::kAutoClose), kAutoCloseMs);
    EXPECT_EQ(doc_.timers().intervalMs(DocumentTimers::kAutoRefresh), kAutoRefreshMs);
}

TEST_F(DefectDocTest, CloseAsksAboutTheViewAndHonoursEveryRefusal)
{
    doc_.database().SetDatabaseFileName(path_);
    doc_.SetAutoLogin(QStringLiteral("ann"));
    ASSERT_TRUE(doc_.Login());
    struct UnsavedView : ViewChanges {
        bool QuerySaveView() override
        {
            ++asked;
            return !std::exchange(cancel, false);
        }
        int asked = 0;
        bool cancel = true;
    } view;
    doc_.SetViewChanges(&view);
    // The current defect has edits that another workstation's change overtakes.
    InsertDefectRow(setup_, 5, 1, 1);
    FakeDefectForm form(1, ui_);
    doc_.RegisterForm(&form);
    doc_.defects().SelectDefect(5);
    form.Edit([](DefectRecord& r) { r.Subject = QStringLiteral("mine"); });
    Exec(setup_, QStringLiteral("UPDATE defectlist SET subject='theirs' WHERE defect_id=5"));

    EXPECT_FALSE(doc_.CanCloseDocument()) << "the view's question was cancelled";
    ui_.ExpectMessage(126, Answer::Cancel);
    EXPECT_FALSE(doc_.CanCloseDocument()) << "the current defect refused";
    ui_.ExpectMessage(126, Answer::Ok);
    EXPECT_TRUE(doc_.CanCloseDocument());
    EXPECT_EQ(view.asked, 3);
    doc_.RegisterForm(nullptr);

    doc_.selection() = SessionSelection{9, 2, 2, true, true};
    doc_.OnCloseDocument();
    EXPECT_FALSE(doc_.connected());
    EXPECT_FALSE(doc_.loggedIn());
    EXPECT_TRUE(doc_.loginComplete());
    EXPECT_EQ(doc_.CurrentUserName(), QString());
    EXPECT_EQ(doc_.selection().currentDefectId, 0);
    EXPECT_EQ(doc_.selection().currentFilterId, 1);
    EXPECT_FALSE(doc_.selection().myDefectsOn);
}

} // namespace

TEST_F(DefectDocTest, QuittingWhileTheFileIsGoneKeepsTheEditsAndTheNextLoginAppliesThem)
{
    doc_.database().SetDatabaseFileName(path_);
    doc_.SetAutoLogin(QStringLiteral("ann"));
    ASSERT_TRUE(doc_.Login());
    InsertDefectRow(setup_, 5, 1, 1);
    FakeDefectForm form(1, ui_);
    doc_.RegisterForm(&form);
    doc_.defects().SelectDefect(5);
    form.Edit([](DefectRecord& r) { r.Subject = QStringLiteral("mine"); });

    // The share goes away; the user gives up waiting and quits.
    doc_.GoOffline();
    setup_.Close();
    ASSERT_TRUE(QFile::rename(path_, path_ + QStringLiteral(".away")));
    ui_.ExpectRetry(RetryAnswer::Cancel);
    ui_.ExpectMessageText(QString(), Answer::Ok);
    EXPECT_TRUE(doc_.CanCloseDocument());
    ASSERT_EQ(KeptEditsFiles(path_, 1).size(), 1);
    EXPECT_TRUE(ui_.messages.back().text.contains(KeptEditsFiles(path_, 1).front()));
    doc_.OnCloseDocument();
    EXPECT_EQ(ui_.CountOf("retry"), 1) << "closing asks nothing more of the lost file";
    doc_.RegisterForm(nullptr);

    ASSERT_TRUE(QFile::rename(path_ + QStringLiteral(".away"), path_));
    CDefectDoc next(ui_, clock_, administration_);
    next.database().SetDatabaseFileName(path_);
    next.SetOperatingSystemUser([] { return std::nullopt; });
    next.SetAutoLogin(QStringLiteral("ann"));
    ui_.ExpectMessageText(QString(), Answer::Yes);
    ASSERT_TRUE(next.Login());
    ASSERT_EQ(setup_.Open(path_), engine::kOk);
    EXPECT_EQ(QueryNumber(setup_, QStringLiteral("SELECT subject = 'mine' FROM defectlist WHERE defect_id = 5")), 1);
    EXPECT_TRUE(KeptEditsFiles(path_, 1).isEmpty());
    ui_.VerifyAllUsed();
}

TEST_F(DefectDocTest, KeptEditsThatMeetAnotherUsersChangeShowBothVersionsAndTheUserChooses)
{
    doc_.database().SetDatabaseFileName(path_);
    LogInAgain();
    InsertDefectRow(setup_, 5, 1, 1);
    const QString file = NewKeptEditsFile(path_, 1);
    ASSERT_TRUE(KeepEdits(file, EditsOfDefect5(QStringLiteral("mine"))));
    Exec(setup_, QStringLiteral("UPDATE defectlist SET subject = 'theirs', cc = 'bob@x' WHERE defect_id = 5"));

    // Cancel keeps them for later; the defect stays as the other user left it.
    ui_.ExpectMessageText(QStringLiteral("Apply them now?"), Answer::Yes);
    ui_.ExpectMessage(40151, Answer::Cancel);
    LogInAgain();
    const QString question = ui_.messages.back().text;
    EXPECT_TRUE(question.contains(QStringLiteral("Subject\n    in the database: theirs\n    yours: mine\n")));
    EXPECT_FALSE(question.contains(QStringLiteral("Cc\n"))) << "a field only the other user changed is no conflict";
    EXPECT_EQ(ui_.messages.back().buttons, Buttons::YesNoCancel);
    EXPECT_TRUE(QFile::exists(file));
    EXPECT_EQ(Stored(QStringLiteral("subject = 'theirs'")), 1);

    // Yes writes the user's field over theirs and keeps the rest of theirs; the file goes.
    ui_.ExpectMessageText(QStringLiteral("Apply them now?"), Answer::Yes);
    ui_.ExpectMessage(40151, Answer::Yes);
    LogInAgain();
    EXPECT_EQ(Stored(QStringLiteral("subject = 'mine' AND cc = 'bob@x'")), 1);
    EXPECT_FALSE(QFile::exists(file));

    // No throws them away: the file goes, the defect stays.
    ASSERT_TRUE(KeepEdits(file, EditsOfDefect5(QStringLiteral("not wanted"))));
    Exec(setup_, QStringLiteral("UPDATE defectlist SET priorityid = 4 WHERE defect_id = 5"));
    ui_.ExpectMessageText(QStringLiteral("Apply them now?"), Answer::Yes);
    ui_.ExpectMessage(40151, Answer::No);
    LogInAgain();
    EXPECT_FALSE(QFile::exists(file));
    EXPECT_EQ(Stored(QStringLiteral("subject = 'mine' AND priorityid = 4")), 1);
    ui_.VerifyAllUsed();
}

TEST_F(DefectDocTest, RecoveryFilesOfEarlierVersionsApplyWithoutAFalseClaimOfAnotherUsersChange)
{
    doc_.database().SetDatabaseFileName(path_);
    LogInAgain();
    InsertDefectRow(setup_, 5, 1, 1);

    // Their original holds the edits of the save that failed: the file cannot tell whether
    // anybody changed the defect, so the user sees both versions and decides.
    RecoveredEdits tainted = EditsOfDefect5(QStringLiteral("mine"));
    tainted.original = tainted.edited;
    const QString first = KeepAsAnEarlierVersion(tainted);
    ui_.ExpectMessageText(QStringLiteral("Apply them now?"), Answer::Yes);
    ui_.ExpectMessage(40152, Answer::Yes);
    LogInAgain();
    EXPECT_FALSE(ui_.messages.back().text.contains(QStringLiteral("changed by another user")));
    EXPECT_TRUE(ui_.messages.back().text.contains(QStringLiteral("in the database: subject\n    yours: mine\n")));
    EXPECT_EQ(Stored(QStringLiteral("subject = 'mine'")), 1);
    EXPECT_FALSE(QFile::exists(first));

    // Edits that reached the file after all are not offered a second time.
    tainted = EditsOfDefect5(QStringLiteral("mine"));
    tainted.original = tainted.edited;
    const QString second = KeepAsAnEarlierVersion(tainted);
    ui_.ExpectMessageText(QStringLiteral("Apply them now?"), Answer::Yes);
    LogInAgain();
    EXPECT_FALSE(QFile::exists(second));

    // An original that is exactly the defect in the file is safe to write over.
    const QString third = KeepAsAnEarlierVersion(EditsOfDefect5(QStringLiteral("third")));
    ui_.ExpectMessageText(QStringLiteral("Apply them now?"), Answer::Yes);
    LogInAgain();
    EXPECT_EQ(Stored(QStringLiteral("subject = 'third'")), 1);
    EXPECT_FALSE(QFile::exists(third));
    ui_.VerifyAllUsed();
}
