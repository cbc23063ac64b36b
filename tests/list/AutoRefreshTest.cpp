// A document and its list while another workstation writes: auto-close, unread news, read state, auto-refresh.

#include "document/DefectDocFixture.h"
#include "document/DefectTestDoubles.h"

#include "list/ColumnCatalogue.h"
#include "list/DefectList.h"

#include <QSignalSpy>

namespace {

constexpr std::int64_t kAnn = 12;
constexpr std::int64_t kBob = 13;
constexpr std::int64_t kOpenStatus = 1;
constexpr int kCloseMinutes = 5;
constexpr int kRefreshMinutes = 2;
constexpr int kMsPerMinute = 60000;
constexpr double kLongAgo = 45000; // an OLE date well before the manual clock's
constexpr int kClose = DocumentTimers::kAutoClose;
constexpr int kRefresh = DocumentTimers::kAutoRefresh;

class AutoRefreshTest : public DefectDocFixture {
protected:
    AutoRefreshTest()
    {
        AddStakeholder(setup_, kAnn, QStringLiteral("Ann"), QStringLiteral("ann"));
        AddStakeholder(setup_, kBob, QStringLiteral("Bob"), QStringLiteral("bob"));
        Exec(setup_,
             QStringLiteral("INSERT INTO UserSettings (UserId, LastViewId, LastFilterId, AutoRefreshList, AutoCloseDB, "
                            "NotifyOfChanges) VALUES (?, 1, 1, ?, ?, -1)"),
             {kAnn, std::int64_t{kRefreshMinutes}, std::int64_t{kCloseMinutes}});
        doc_.SetOperatingSystemUser([] { return std::nullopt; });
        doc_.SetAutoLogin(QStringLiteral("ann"));
    }

    // A defect as another workstation writes it; lastread 0 is unread.
    std::int64_t AddDefect(std::int64_t to, double modified, double lastread = 0)
    {
        Exec(setup_,
             QStringLiteral("INSERT INTO defectlist (statusid, priorityid, severityid, subject, description, comments, "
                            "history, componentid, toid, fromid, categoryid, opened, modified, closed, lastread) "
                            "VALUES (?, 1, 1, 'subject', 'described', '', 'line', 1, ?, ?, 0, ?, ?, 0, ?)"),
             {kOpenStatus, to, kBob, kLongAgo, modified, lastread});
        return setup_.LastInsertId();
    }

    void Change(std::int64_t id, const char* assignment)
    {
        Exec(setup_, QStringLiteral("UPDATE defectlist SET %1 WHERE defect_id=?").arg(QLatin1String(assignment)), {id});
    }

    double Stored(std::int64_t id, const char* column)
    {
        engine::Rowset rows;
        EXPECT_EQ(setup_.Query(QStringLiteral("SELECT %1 FROM defectlist WHERE defect_id=?").arg(QLatin1String(column)),
                               {id}, rows),
                  engine::kOk);
        return rows.MoveFirst() == engine::kOk ? rows.Real(0) : -1;
    }

    QString StoredText(std::int64_t id, const char* expression)
    {
        engine::Rowset rows;
        EXPECT_EQ(
            setup_.Query(QStringLiteral("SELECT %1 FROM defectlist WHERE defect_id=?").arg(QLatin1String(expression)),
                         {id}, rows),
            engine::kOk);
        return rows.MoveFirst() == engine::kOk ? rows.Text(0) : QString();
    }

    void SelectWithForm(std::int64_t id)
    {
        doc_.RegisterForm(&form_);
        doc_.defects().SelectDefect(static_cast<std::int32_t>(id));
    }

    CDefectList list_{doc_};
    FakeDefectForm form_{static_cast<std::int32_t>(kAnn), ui_};
    QSignalSpy news_{&doc_, &CDefectDoc::newUnreadEntries};
    QSignalSpy filled_{&list_, &CDefectList::listFilled};
};

TEST_F(AutoRefreshTest, TheAutoCloseFreesTheFileForCompactionAndTheNextOperationReconnects)
{
    ASSERT_TRUE(doc_.OnOpenDocument(path_));
    EXPECT_EQ(doc_.timers().intervalMs(kClose), kCloseMinutes * kMsPerMinute);
    {
        ConnectionUse keepOpen(doc_.connectionUse(), false, true);
        doc_.HandleTimer(kClose);
        EXPECT_TRUE(doc_.connected()) << "a keep-open count holds the connection";
    }
    doc_.HandleTimer(kClose);
    EXPECT_FALSE(doc_.connected());
    EXPECT_EQ(doc_.ConnectionStateText(), "offline");

    setup_.Close();
    CDatabaseAccess maintainer(ui_, clock_, path_);
    EXPECT_TRUE(maintainer.CompactAndRepair()) << "the offline document keeps no presence on the file";

    QSignalSpy state(&doc_, &CDefectDoc::connectionStateChanged);
    QSignalSpy reloaded(&doc_, &CDefectDoc::lookupListsReloaded);
    filled_.clear();
    list_.Refresh();
    ASSERT_EQ(state.count(), 1);
    EXPECT_TRUE(state.at(0).at(0).toBool());
    EXPECT_EQ(reloaded.count(), 1);
    EXPECT_EQ(filled_.count(), 1);
    EXPECT_TRUE(doc_.ConnectionStateText().isEmpty());
    EXPECT_EQ(doc_.timers().intervalMs(kClose), kCloseMinutes * kMsPerMinute) << "the request restarted the countdown";
}

TEST_F(AutoRefreshTest, AnotherWorkstationsEntryIsAnnouncedOnceAndOwnSavesAndOlderEntriesAreNot)
{
    // More unread entries than are compared: the first test after the login only learns them.
    const std::int64_t oldest = AddDefect(kAnn, kLongAgo);
    for (int i = 1; i < KnownUnreadSet::kCompared + 5; ++i)
        AddDefect(kAnn, kLongAgo + i);
    ASSERT_TRUE(doc_.OnOpenDocument(path_));
    EXPECT_EQ(news_.count(), 0);
    EXPECT_EQ(doc_.knownUnread().entries().size(), std::size_t{KnownUnreadSet::kCompared});

    // Behind 25 newer unread entries a change is no news.
    Change(oldest, "modified=modified+0.5");
    doc_.HandleTimer(kRefresh);
    EXPECT_EQ(filled_.count(), 2);
    EXPECT_EQ(news_.count(), 0);

    // Bob addresses a new defect to Ann; the fills after the announcing one stay silent.
    const std::int64_t fromBob = AddDefect(kAnn, clock_.OleNow());
    doc_.HandleTimer(kRefresh);
    doc_.HandleTimer(kRefresh);
    list_.Refresh();
    ASSERT_EQ(news_.count(), 1);
    EXPECT_TRUE(news_.at(0).at(0).toBool()) << "NotifyOfChanges asks";

    // Ann's own save keeps the defect unread and newest, and is no news to her.
    SelectWithForm(fromBob);
    clock_.Advance(60);
    form_.Edit([](DefectRecord& record) { record.Comments = QStringLiteral("answered"); });
    ASSERT_TRUE(doc_.SaveCurrentRecord());
    EXPECT_EQ(Stored(fromBob, "lastread"), 0);
    EXPECT_EQ(Stored(fromBob, "modified"), clock_.OleNow());
    doc_.HandleTimer(kRefresh);
    EXPECT_EQ(news_.count(), 1);
}

TEST_F(AutoRefreshTest, OnlyTheAddresseeChangesTheReadStateAndAReadDefectIsNotSavedAgain)
{
    const std::int64_t unread = AddDefect(kAnn, kLongAgo);
    const std::int64_t read = AddDefect(kAnn, kLongAgo, kLongAgo + 1);
    const std::int64_t bobs = AddDefect(kBob, kLongAgo);
    ASSERT_TRUE(doc_.OnOpenDocument(path_));
    clock_.Advance(60);

    SelectWithForm(read);
    ASSERT_TRUE(doc_.CanChangeReadState());
    doc_.MarkAsRead();
    EXPECT_EQ(Stored(read, "modified"), kLongAgo);
    EXPECT_EQ(Stored(read, "lastread"), kLongAgo + 1);

    SelectWithForm(unread);
    doc_.MarkAsRead();
    EXPECT_EQ(Stored(unread, "lastread"), clock_.OleNow());
    doc_.MarkAsUnread();
    EXPECT_EQ(Stored(unread, "lastread"), 0);
    // The auto-close leaves the defect shown; marking it reconnects.
    doc_.HandleTimer(kClose);
    EXPECT_TRUE(doc_.CanChangeReadState());
    doc_.MarkAsRead();
    EXPECT_EQ(Stored(unread, "lastread"), clock_.OleNow());

    SelectWithForm(bobs);
    EXPECT_FALSE(doc_.CanChangeReadState());
    doc_.MarkAsRead();
    doc_.MarkAsUnread();
    EXPECT_EQ(Stored(bobs, "modified"), kLongAgo);
    EXPECT_EQ(Stored(bobs, "lastread"), 0);
}

TEST_F(AutoRefreshTest, MarkingReadOrUnreadWritesOnlyLastreadAndKeepsTheFormsEdits)
{
    const std::int64_t id = AddDefect(kAnn, kLongAgo);
    ASSERT_TRUE(doc_.OnOpenDocument(path_));
    QSignalSpy saved(&doc_, &CDefectDoc::defectSaved);
    SelectWithForm(id);
    clock_.Advance(60);
    form_.Edit([](DefectRecord& record) { record.Subject = QStringLiteral("typed, not saved"); });

    doc_.MarkAsRead();
    EXPECT_EQ(Stored(id, "lastread"), clock_.OleNow());
    EXPECT_EQ(Stored(id, "modified"), kLongAgo) << "Modified stays";
    EXPECT_EQ(StoredText(id, "history || subject"), "linesubject") << "no history line, and the edit is not written";
    EXPECT_EQ(saved.count(), 0) << "no save, so no notification mail";
    EXPECT_TRUE(form_.isModified());
    EXPECT_EQ(form_.controls.Subject, "typed, not saved");
    const int row = list_.model().RowOf(static_cast<std::int32_t>(id));
    EXPECT_NE(list_.model().CellText(row, column::kLastRead), "-") << "the list shows it read";

    doc_.MarkAsUnread();
    EXPECT_EQ(Stored(id, "lastread"), 0);
    EXPECT_EQ(list_.model().CellText(row, column::kLastRead), "-");
    EXPECT_EQ(saved.count(), 0);
    doc_.HandleTimer(kRefresh);
    EXPECT_EQ(news_.count(), 0) << "one's own unread mark is no news";

    // The edits are saved later as usual, over the read state as it is now.
    ASSERT_TRUE(doc_.SaveCurrentRecord());
    EXPECT_EQ(StoredText(id, "subject"), "typed, not saved");
    EXPECT_EQ(saved.count(), 1);

    // A defect that changed since it was shown is not marked read unseen; the form shows the change.
    Change(id, "subject='changed elsewhere'");
    ui_.ExpectMessageText(QStringLiteral("was not marked as read"));
    doc_.MarkAsRead();
    EXPECT_EQ(Stored(id, "lastread"), 0);
    EXPECT_EQ(form_.controls.Subject, "changed elsewhere");
    doc_.MarkAsRead();
    EXPECT_EQ(Stored(id, "lastread"), clock_.OleNow());
    ui_.VerifyAllUsed();
}

TEST_F(AutoRefreshTest, AnUnchangedFileSkipsTheRefillButNotTheUnreadTestAndOfflineStaysOffline)
{
    const std::int64_t id = AddDefect(kAnn, kLongAgo, kLongAgo);
    ASSERT_TRUE(doc_.OnOpenDocument(path_));
    // An entry the file does not hold: only a test against the file forgets it.
    DefectRecord phantom;
    phantom.Defect_ID = static_cast<std::int32_t>(id) + 1;
    phantom.Modified = kLongAgo;
    doc_.DefectSaved(phantom);
    filled_.clear();

    doc_.HandleTimer(kRefresh);
    EXPECT_EQ(filled_.count(), 0);
    EXPECT_FALSE(doc_.knownUnread().entries().contains({phantom.Defect_ID, phantom.Modified})) << "the test ran";
    EXPECT_EQ(doc_.timers().intervalMs(kRefresh), kRefreshMinutes * kMsPerMinute);

    Change(id, "subject='changed elsewhere'");
    doc_.HandleTimer(kRefresh);
    EXPECT_EQ(filled_.count(), 1);
    EXPECT_EQ(list_.model().CellText(0, column::kSubject), "changed elsewhere");

    doc_.HandleTimer(kClose);
    Change(id, "subject='changed while offline'");
    QSignalSpy state(&doc_, &CDefectDoc::connectionStateChanged);
    doc_.HandleTimer(kRefresh);
    EXPECT_EQ(filled_.count(), 2);
    EXPECT_EQ(list_.model().CellText(0, column::kSubject), "changed while offline");
    ASSERT_EQ(state.count(), 2);
    EXPECT_TRUE(state.at(0).at(0).toBool());
    EXPECT_FALSE(state.at(1).at(0).toBool());
    EXPECT_FALSE(doc_.connected());
    EXPECT_EQ(doc_.timers().intervalMs(kRefresh), kRefreshMinutes * kMsPerMinute);
    EXPECT_EQ(doc_.timers().intervalMs(kClose), -1) << "a refresh is no activity";
}

} // namespace
