#include "DefectDocFixture.h"
#include "DefectTestDoubles.h"
#include "document/EditRecovery.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>

namespace {

class DefectDocTest : public DefectDocFixture {
protected:
    DefectDocTest()
    {
        AddStakeholder(setup_, 1, QStringLiteral("Ann"), QStringLiteral("ann"));
        doc_.SetOperatingSystemUser([] { return std::nullopt; });
        auto record = [this](const char* event) { return [this, event] { events_.push_back(QLatin1String(event)); }; };
        QObject::connect(&doc_, &CDefectDoc::connectionWaitStarted, record("pause"));
        QObject::connect(&doc_, &CDefectDoc::connectionWaitEnded, record("resume"));
        QObject::connect(&doc_, &CDefectDoc::connectionRequested, record("restart"));
        QObject::connect(&doc_, &CDefectDoc::connectionStateChanged, [this](bool connected) {
            if (!connected)
                events_.push_back(QStringLiteral("offline"));
        });
    }

    std::vector<QString> events_;
};

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

    doc_.GetDocumentConnection(RetryMode::Offline);
    EXPECT_EQ(events_, std::vector<QString>{QStringLiteral("restart")});

    {
        ConnectionUse use(doc_.connectionUse(), true, true);
        EXPECT_EQ(doc_.connectionUse().keepOpenCount, 1);
        doc_.GetDocumentConnection(RetryMode::Offline);
        EXPECT_EQ(events_.size(), 1u) << "a long operation does not restart the countdown";
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
    doc_.lookups().LoadLookups(false);
    EXPECT_TRUE(doc_.connected());
    EXPECT_EQ(doc_.CurrentUserName(), "Anna");
    ASSERT_GE(events_.size(), 4u);
    EXPECT_EQ(events_[1], "pause");
    EXPECT_EQ(events_[2], "resume");
    EXPECT_EQ(events_[3], "restart");
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
    EXPECT_EQ(events_, (std::vector<QString>{QStringLiteral("pause"), QStringLiteral("resume")}));
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
