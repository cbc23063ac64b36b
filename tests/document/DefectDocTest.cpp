#include "DefectDocFixture.h"

#include <QDir>

namespace {

class DefectDocTest : public DefectDocFixture {
protected:
    DefectDocTest()
    {
        AddStakeholder(setup_, 1, QStringLiteral("Ann"), QStringLiteral("ann"));
        doc_.SetOperatingSystemUser([] { return std::nullopt; });
        DocumentSeams& seams = doc_.seams();
        seams.pauseTimers = [this] { events_.push_back(QStringLiteral("pause")); };
        seams.resumeTimers = [this] { events_.push_back(QStringLiteral("resume")); };
        seams.restartAutoClose = [this] { events_.push_back(QStringLiteral("restart")); };
        seams.releaseRecord = [this] { events_.push_back(QStringLiteral("release")); };
    }

    std::vector<QString> events_;
};

TEST_F(DefectDocTest, OpensTheNamedDatabaseAndLogsIn)
{
    doc_.SetAutoLogin(QStringLiteral("ann"));
    ASSERT_TRUE(doc_.OnOpenDocument(path_));
    EXPECT_EQ(doc_.PathName(), QDir(path_).absolutePath());
    EXPECT_TRUE(doc_.loggedIn());
    EXPECT_EQ(doc_.CurrentUserName(), "Ann");
    EXPECT_EQ(ui_.stateChanges.back(), "login");
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
    EXPECT_EQ(events_, std::vector<QString>{QStringLiteral("release")});
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
    int viewSaves = 0;
    bool defectSaves = false;
    doc_.seams().viewHasUnsavedChanges = [] { return true; };
    doc_.seams().saveView = [&] { ++viewSaves; };
    doc_.seams().saveCurrentDefect = [&] { return defectSaves; };

    ui_.ExpectMessage(136, Answer::Cancel);
    EXPECT_FALSE(doc_.CanCloseDocument());
    ui_.ExpectMessage(136, Answer::No);
    EXPECT_FALSE(doc_.CanCloseDocument()) << "the current defect refused";
    EXPECT_EQ(viewSaves, 0);
    defectSaves = true;
    ui_.ExpectMessage(136, Answer::Yes);
    EXPECT_TRUE(doc_.CanCloseDocument());
    EXPECT_EQ(viewSaves, 1);

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
