// The defect list on a real file: who sees which defects, filters good and bad, counts, views,
// navigation, search and what a deletion leaves.

#include "document/DefectDocFixture.h"

#include "base/CommandIds.h"
#include "engine/ReadOnlyFence.h"
#include "list/ColumnCatalogue.h"
#include "list/DefectList.h"

#include <QSignalSpy>

#include <algorithm>
#include <chrono>

namespace {

constexpr int kReallyDelete = 107;
constexpr int kInvalidFilter = 112;
constexpr int kSaveViewQuestion = 136;
constexpr int kSaveViewAsOwnQuestion = 1041;
constexpr std::int64_t kAnn = 12;
constexpr std::int64_t kBob = 13;

class DefectListTest : public DefectDocFixture {
protected:
    DefectListTest()
    {
        AddStakeholder(setup_, kAnn, QStringLiteral("Ann"), QStringLiteral("ann"));
        AddStakeholder(setup_, kBob, QStringLiteral("Bob"), QStringLiteral("bob"));
    }

    std::int64_t AddDefect(std::int64_t status, std::int64_t from, std::int64_t to, const QString& subject)
    {
        Exec(setup_,
             QStringLiteral(
                 "INSERT INTO defectlist (statusid, priorityid, severityid, subject, description, componentid, "
                 "toid, fromid, categoryid, opened, modified, closed, lastread) VALUES (?, 1, 1, ?, ?, 1, ?, ?, 0, "
                 "46000, 46000, 0, 0)"),
             {status, subject, subject + QStringLiteral(" described"), to, from});
        return setup_.LastInsertId();
    }

    std::int64_t AddFilter(const QString& text, std::int64_t user = 0)
    {
        Exec(setup_, QStringLiteral("INSERT INTO filter (userid, filtername, filtertext) VALUES (?, 'test', ?)"),
             {user, text});
        return setup_.LastInsertId();
    }

    void LogIn()
    {
        // The login fills the list.
        doc_.SetOperatingSystemUser([] { return std::nullopt; });
        doc_.SetAutoLogin(QStringLiteral("ann"));
        ASSERT_TRUE(doc_.OnOpenDocument(path_));
    }

    QStringList Subjects()
    {
        QStringList subjects;
        for (int row = 0; row < list_.model().rowCount(); ++row)
            subjects << list_.model().CellText(row, column::kSubject);
        return subjects;
    }

    CDefectList list_{doc_};
};

TEST_F(DefectListTest, DraftsAndTemplatesShowOnlyToTheirAuthorsAndTheCountsSaySo)
{
    AddDefect(1, kBob, kAnn, QStringLiteral("open for Ann"));
    AddDefect(999, kAnn, kBob, QStringLiteral("Ann's draft"));
    AddDefect(999, kBob, kAnn, QStringLiteral("Bob's draft"));
    AddDefect(0, 0, 0, QStringLiteral("everybody's template"));
    AddDefect(0, kBob, 0, QStringLiteral("Bob's template"));
    for (int i = 0; i < 33; ++i)
        AddDefect(1, kAnn, kBob, QStringLiteral("for Bob %1").arg(i));
    AddDefect(1, kBob, kAnn, QStringLiteral("second for Ann"));
    AddDefect(2, kBob, kAnn, QStringLiteral("third for Ann"));
    LogIn();

    const QStringList subjects = Subjects();
    EXPECT_TRUE(subjects.contains("Ann's draft"));
    EXPECT_TRUE(subjects.contains("everybody's template"));
    EXPECT_FALSE(subjects.contains("Bob's draft"));
    EXPECT_FALSE(subjects.contains("Bob's template"));
    EXPECT_EQ(list_.statusText(), QStringLiteral("%1 entries").arg(subjects.size()));
    EXPECT_EQ(subjects.first(), "open for Ann") << "view 1 sorts by id";

    QSignalSpy filled(&list_, &CDefectList::listFilled);
    list_.SetMyDefects(true);
    EXPECT_EQ(list_.statusText(), "3 of 40 entries (filtered)");
    EXPECT_EQ(filled.count(), 1);
    EXPECT_EQ(doc_.defects().CurrentDefectId(), list_.model().DefectIdAt(0)) << "the first row becomes current";
}

TEST_F(DefectListTest, CellTextsMadeForManyRowsAreTheTextsOfSingleCellsAlsoInUtf8)
{
    AddDefect(1, kBob, kAnn, QStringLiteral("Größe → naïve\r\nsecond line\tafter a tab"));
    const std::int64_t closed = AddDefect(10, kAnn, kBob, QStringLiteral("closed and read"));
    Exec(setup_,
         QStringLiteral("UPDATE defectlist SET closed=45000.75, lastread=45001.5 + 7.0/86400, componentid=77, "
                        "severityid=-3, priorityid=70000, foundbuild=-12, cc='qa@example.org', "
                        "fixedversion=CAST(X'41FF42' AS TEXT) WHERE defect_id=?"),
         {closed});
    LogIn();
    ASSERT_EQ(list_.model().rowCount(), 2);

    CellTexts texts(doc_.lookups());
    // Twice: the second time the lookup names come from what the first made, for the usual ids and
    // for those below zero or far above (-3, 70000) alike.
    for (int pass = 0; pass < 2; ++pass) {
        for (int row = 0; row < list_.model().rowCount(); ++row) {
            const ListRow& shown = list_.model().row(row);
            for (int columnId = 0; columnId <= column::kCount; ++columnId) {
                const QString single = CellText(shown, columnId, doc_.lookups());
                EXPECT_EQ(texts.Text(shown, columnId), single) << row << " " << columnId;
                QByteArray utf8("before|");
                texts.AppendUtf8(utf8, shown, columnId);
                EXPECT_EQ(QString::fromUtf8(utf8), QStringLiteral("before|") + single) << row << " " << columnId;
            }
        }
    }
    const int closedRow = list_.model().RowOf(static_cast<std::int32_t>(closed));
    EXPECT_EQ(texts.Text(list_.model().row(closedRow), column::kComponent), "-- 77 --");
    QByteArray names;
    texts.AppendUtf8(names, list_.model().row(closedRow), column::kSeverity);
    texts.AppendUtf8(names, list_.model().row(closedRow), column::kPriority);
    EXPECT_EQ(names, "-- -3 ---- 70000 --");
    EXPECT_EQ(texts.Text(list_.model().row(1 - closedRow), column::kClosed), "-");
    EXPECT_EQ(texts.Text(list_.model().row(closedRow), column::kLastRead),
              QLocale().toString(WallClockFromOleDate(45001.5 + 7.0 / 86400), QLocale::ShortFormat));
}

TEST_F(DefectListTest, ANewFilesDefaultViewReadsInAUsersOrderAndOneRowIsOneEntry)
{
    AddDefect(1, kBob, kAnn, QStringLiteral("only one"));
    LogIn();
    EXPECT_EQ(list_.statusText(), QStringLiteral("1 entry"));

    const ListColumns& columns = list_.model().columns();
    QStringList shown;
    for (const int column : DisplayOrder(columns))
        if (columns.columns[static_cast<std::size_t>(column)].width > 0)
            shown << columns.columns[static_cast<std::size_t>(column)].caption;
    EXPECT_EQ(shown,
              QStringList({"Id", "Status", "Subject", "To", "From", "Priority", "Severity", "Component", "Category",
                           "Found in", "Found build", "Fixed in", "Fixed build", "Opened", "Modified", "Closed", "Read",
                           "Cc", "Description"}));
}

TEST_F(DefectListTest, AFilterThatFailsOrTriesToWriteShowsTheWholeListAndChangesNothing)
{
    AddDefect(999, kAnn, kBob, QStringLiteral("Ann's draft"));
    AddDefect(1, kBob, kAnn, QStringLiteral("open"));
    LogIn();
    const std::int64_t drafts = AddFilter(QStringLiteral("statusid=999 and fromid=@loggedInId"));
    doc_.selection().currentFilterId = static_cast<std::int32_t>(drafts);
    list_.SetFilterOn(true);
    EXPECT_EQ(Subjects(), QStringList{"Ann's draft"});
    EXPECT_EQ(list_.statusText(), "1 of 2 entries (filtered)");

    const QStringList faulty{
        QStringLiteral("fromid=@LoggedInId"),
        QStringLiteral("1=1; delete from defectlist"),
        QStringLiteral("1=1; delete from defectlist --"),
        QStringLiteral("(select count(*) from (select 1 from defectlist where 0 = (delete from defectlist))) = 0"),
        QStringLiteral("1 in (select 1 from pragma_writable_schema(1))"),
        QStringLiteral("1=1) ; ATTACH DATABASE 'x.defl' AS x; SELECT (1"),
        QStringLiteral("load_extension('libc.so.6') is null"),
        // Fails only at its second row, after the first was read.
        QStringLiteral("abs(case when defect_id > 1 then -9223372036854775807 - 1 else 1 end) > 0"),
        // Would swallow what follows it.
        QStringLiteral("statusid=1 /*"),
    };
    for (const QString& text : faulty) {
        const std::int64_t id = AddFilter(text);
        ui_.ExpectMessage(kInvalidFilter);
        list_.ChangeFilter(static_cast<std::int32_t>(id));
        EXPECT_EQ(Subjects().size(), 2) << text.toStdString();
        EXPECT_EQ(list_.statusText(), "2 entries") << text.toStdString();
        EXPECT_TRUE(doc_.selection().filterOn) << "the filter stays on; the next fill tries it again";
    }
    ui_.VerifyAllUsed();
    EXPECT_EQ(QueryNumber(setup_, QStringLiteral("SELECT count(*) FROM defectlist")), 2);
    EXPECT_FALSE(QFile::exists(folder_.file(QStringLiteral("x.defl"))));

    // A checked "On" with an empty filter text counts as off and is stored so.
    const std::int64_t empty = AddFilter(QString());
    doc_.selection().currentFilterId = static_cast<std::int32_t>(empty);
    list_.SetFilterOn(true);
    EXPECT_FALSE(doc_.selection().filterOn);
    EXPECT_EQ(list_.statusText(), "2 entries");

    // Choosing a filter while "On" is unchecked does not fill the list.
    QSignalSpy filled(&list_, &CDefectList::listFilled);
    list_.ChangeFilter(static_cast<std::int32_t>(drafts));
    EXPECT_EQ(filled.count(), 0);
}

TEST_F(DefectListTest, NoFilterShowsAnotherUsersDraftOrTemplateWhetherItWorksOrFails)
{
    AddDefect(1, kBob, kAnn, QStringLiteral("open for Ann"));
    AddDefect(999, kAnn, kBob, QStringLiteral("Ann's draft"));
    AddDefect(999, kBob, kAnn, QStringLiteral("Bob's draft"));
    AddDefect(0, 0, 0, QStringLiteral("everybody's template"));
    AddDefect(0, kBob, 0, QStringLiteral("Bob's template"));
    LogIn();
    const auto showsNothingOfBobs = [&](const QString& filter) {
        const QStringList subjects = Subjects();
        EXPECT_FALSE(subjects.contains("Bob's draft")) << filter.toStdString();
        EXPECT_FALSE(subjects.contains("Bob's template")) << filter.toStdString();
        return subjects;
    };

    // Filters that work: an OR stays inside the filter, and a closing comment stays a comment.
    const std::vector<std::pair<QString, QStringList>> working{
        {QStringLiteral("statusid=999 OR statusid=0"), {"Ann's draft", "everybody's template"}},
        {QStringLiteral("statusid=999 or 1=1"), {"open for Ann", "Ann's draft", "everybody's template"}},
        {QStringLiteral("fromid=@loggedInId OR fromid<>@loggedInId -- everyone's"),
         {"open for Ann", "Ann's draft", "everybody's template"}},
        {QStringLiteral("statusid=1 /* ) OR (1=1 */ OR subject=')OR(1=1'"), {"open for Ann"}},
    };
    for (const auto& [filter, expected] : working) {
        const std::int64_t id = AddFilter(filter);
        doc_.selection().currentFilterId = static_cast<std::int32_t>(id);
        list_.SetFilterOn(true);
        EXPECT_EQ(showsNothingOfBobs(filter), expected) << filter.toStdString();
        EXPECT_TRUE(list_.statusText().endsWith(QStringLiteral("(filtered)"))) << filter.toStdString();
    }

    // Filters that fail, or try to reach past the parentheses they are put in: the list falls back
    // to everything the user may see, and no more.
    engine::ReadOnlyFence::SetLongestRun(std::chrono::milliseconds(500));
    const QStringList failing{
        QStringLiteral("nosuchcolumn=1"),
        QStringLiteral("1=1) OR (1=1"),
        QStringLiteral("statusid=1) OR 1=1 --"),
        QStringLiteral("(statusid=1"),
        QStringLiteral("1 in (select 1 from pragma_database_list)"),
        QStringLiteral("(WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c) SELECT count(*) FROM c) > 0"),
    };
    for (const QString& filter : failing) {
        const std::int64_t id = AddFilter(filter);
        ui_.ExpectMessage(kInvalidFilter);
        list_.ChangeFilter(static_cast<std::int32_t>(id));
        EXPECT_EQ(showsNothingOfBobs(filter), (QStringList{"open for Ann", "Ann's draft", "everybody's template"}));
        EXPECT_EQ(list_.statusText(), "3 entries") << filter.toStdString();
    }
    engine::ReadOnlyFence::SetLongestRun(engine::ReadOnlyFence::kLongestRun);
    ui_.VerifyAllUsed();
}

TEST_F(DefectListTest, ViewsAreSavedLoadedAndChangedOnlyWhenTheUserAgrees)
{
    AddDefect(1, kBob, kAnn, QStringLiteral("b"));
    AddDefect(1, kBob, kAnn, QStringLiteral("a"));
    Exec(setup_, QStringLiteral("INSERT INTO views (id, userid, viewname) VALUES (2, 0, 'shared'), (3, ?, 'Bob''s')"),
         {kBob});
    Exec(setup_,
         QStringLiteral("INSERT INTO viewcolumns SELECT 2, columnid, [name], width, columnorder, 0, 0, 0 "
                        "FROM viewcolumns WHERE viewid = 1"));
    LogIn();
    const BoxChoices views = list_.ViewChoices();
    ASSERT_EQ(views.items.size(), 2u) << "another user's private view is not offered";
    EXPECT_EQ(views.items[1].text, "::shared");
    EXPECT_EQ(views.selected, 0);

    // A shared view that anybody may change takes the change itself.
    list_.ChangeView(2);
    list_.SortByClickedColumn(column::kSubject);
    EXPECT_EQ(Subjects(), (QStringList{"a", "b"}));

    // Cancel keeps the view and its change; the boxes are told to reselect the old view.
    ui_.ExpectMessage(kSaveViewQuestion, Answer::Cancel);
    QSignalSpy boxes(&list_, &CDefectList::viewChoicesChanged);
    list_.ChangeView(1);
    EXPECT_EQ(doc_.selection().currentViewId, 2);
    EXPECT_EQ(boxes.count(), 1);

    ui_.ExpectMessage(kSaveViewQuestion, Answer::Yes);
    list_.ChangeView(1);
    EXPECT_EQ(doc_.selection().currentViewId, 1);
    EXPECT_EQ(list_.view().viewId, 1);
    EXPECT_EQ(Subjects(), (QStringList{"b", "a"})) << "view 1 sorts by id";
    EXPECT_EQ(
        QueryNumber(setup_, QStringLiteral("SELECT sortorder FROM viewcolumns WHERE viewid = 2 AND columnid = 2")), 1);

    // The saved change of view 2 comes back when it is chosen again.
    list_.ChangeView(2);
    EXPECT_EQ(Subjects(), (QStringList{"a", "b"}));

    // A view that is gone falls back to view 1.
    doc_.selection().currentViewId = 9;
    list_.ChangeView(8);
    EXPECT_EQ(doc_.selection().currentViewId, 1);
    ui_.VerifyAllUsed();
}

TEST_F(DefectListTest, AChangedDefaultViewIsKeptAsTheUsersOwnCopyAndDefaultStaysAsItIsForEveryone)
{
    AddDefect(1, kBob, kAnn, QStringLiteral("b"));
    AddDefect(1, kBob, kAnn, QStringLiteral("a"));
    const auto stored = [this](const QString& sql) { return QueryNumber(setup_, sql); };
    const std::int64_t seededSort =
        stored(QStringLiteral("SELECT sortorder FROM viewcolumns WHERE viewid = 1 AND columnid = 2"));
    LogIn();
    ASSERT_EQ(doc_.selection().currentViewId, 1);

    list_.SortByClickedColumn(column::kSubject);
    ui_.ExpectMessage(kSaveViewAsOwnQuestion, Answer::Yes);
    QSignalSpy boxes(&list_, &CDefectList::viewChoicesChanged);
    EXPECT_TRUE(list_.QuerySaveView());
    EXPECT_TRUE(ui_.messages.back().text.contains(QStringLiteral("\"default\"")));
    EXPECT_TRUE(ui_.messages.back().text.contains(QStringLiteral("your own view \"*default\"")));

    EXPECT_EQ(stored(QStringLiteral("SELECT sortorder FROM viewcolumns WHERE viewid = 1 AND columnid = 2")), seededSort)
        << "default is unchanged for everybody";
    const std::int64_t copy =
        stored(QStringLiteral("SELECT id FROM views WHERE viewname = '*default' AND userid = 12"));
    ASSERT_GT(copy, 1);
    EXPECT_EQ(stored(QStringLiteral("SELECT count(*) FROM viewcolumns WHERE viewid = 1")),
              stored(QStringLiteral("SELECT count(*) FROM viewcolumns WHERE viewid = %1").arg(copy)));
    EXPECT_EQ(doc_.selection().currentViewId, copy) << "Ann goes on with her copy";
    EXPECT_EQ(boxes.count(), 1);
    const BoxChoices views = list_.ViewChoices();
    ASSERT_EQ(views.items.size(), 2u);
    EXPECT_EQ(views.items[1].text, "*default");
    EXPECT_EQ(views.selected, 1);

    list_.ChangeView(1);
    EXPECT_EQ(Subjects(), (QStringList{"b", "a"}));
    list_.ChangeView(static_cast<std::int32_t>(copy));
    EXPECT_EQ(Subjects(), (QStringList{"a", "b"}));

    // A second change of default, kept when the program closes, goes to the same copy.
    list_.ChangeView(1);
    list_.SortByClickedColumn(column::kStatus);
    ui_.ExpectMessage(kSaveViewAsOwnQuestion, Answer::Yes);
    ASSERT_TRUE(doc_.CanCloseDocument());
    EXPECT_EQ(stored(QStringLiteral("SELECT count(*) FROM views WHERE viewname = '*default'")), 1);
    EXPECT_EQ(stored(QStringLiteral("SELECT sortorder FROM viewcolumns WHERE viewid = %1 AND columnid = 1").arg(copy)),
              1);
    EXPECT_EQ(stored(QStringLiteral("SELECT LastViewId FROM UserSettings WHERE UserId = 12")), copy)
        << "and opens next time";
    ui_.VerifyAllUsed();
}

TEST_F(DefectListTest, NavigationAndSearchMoveTheCurrentDefect)
{
    AddDefect(1, kBob, kAnn, QStringLiteral("xabc"));
    AddDefect(1, kBob, kAnn, QStringLiteral("Abc"));
    AddDefect(1, kBob, kAnn, QStringLiteral("abcd"));
    AddDefect(1, kBob, kAnn, QStringLiteral("^abc too"));
    LogIn();
    DefectListModel& model = list_.model();
    ASSERT_EQ(model.rowCount(), 4);

    list_.RowFocused(0);
    EXPECT_FALSE(list_.CanNavigate(command::kPreviousRecord));
    list_.Navigate(command::kLastRecord);
    EXPECT_EQ(model.focusedRow(), 3);
    EXPECT_EQ(doc_.defects().CurrentDefectId(), model.DefectIdAt(3));
    EXPECT_FALSE(list_.CanNavigate(command::kNextRecord));
    list_.Navigate(command::kNextRecord);
    EXPECT_EQ(model.focusedRow(), 3);
    list_.Navigate(command::kFirstRecord);
    EXPECT_EQ(model.focusedRow(), 0);

    EXPECT_TRUE(list_.FindNext(QStringLiteral("^abc")));
    EXPECT_EQ(model.focusedRow(), 1) << "^ anchors at the start in any letter case";
    EXPECT_EQ(list_.statusText(), "Found in column: Subject    value: ...Abc...");
    EXPECT_TRUE(list_.FindNext(QStringLiteral("^abc")));
    EXPECT_EQ(model.focusedRow(), 2) << "Find Next continues after the found row";
    EXPECT_TRUE(list_.FindNext(QStringLiteral("=Abc")));
    EXPECT_EQ(model.focusedRow(), 1) << "a new text starts again from the top";
    EXPECT_TRUE(list_.FindNext(QStringLiteral("\\^abc")));
    EXPECT_EQ(model.focusedRow(), 3);
    EXPECT_EQ(doc_.defects().CurrentDefectId(), model.DefectIdAt(3));

    QSignalSpy beep(&list_, &CDefectList::notFoundBeep);
    EXPECT_FALSE(list_.FindNext(QStringLiteral("nowhere")));
    EXPECT_EQ(list_.statusText(), "Not found.");
    EXPECT_EQ(beep.count(), 1);
    EXPECT_EQ(model.SelectedRows(), std::vector<int>{3}) << "finding nothing keeps the selection";
    EXPECT_EQ(model.focusedRow(), 3);
}

TEST_F(DefectListTest, TheSearchFindsTextsOfHiddenMemoColumnsWhichTheListDoesNotHold)
{
    const QStringList details{QStringLiteral("the word zebra hides here"), QStringLiteral("nothing"),
                              QStringLiteral("ZEBRA again"), QStringLiteral("ÄRGER mit 100% Sicherheit"),
                              QStringLiteral("a_b")};
    for (const QString& text : details) {
        const std::int64_t id = AddDefect(1, kBob, kAnn, QStringLiteral("subject"));
        Exec(setup_, QStringLiteral("UPDATE defectlist SET comments = ? WHERE defect_id = ?"), {text, id});
    }
    LogIn();
    DefectListModel& model = list_.model();
    ASSERT_EQ(model.columns().columns[column::kComments].width, 0) << "the default view hides Details";
    EXPECT_TRUE(model.CellText(0, column::kComments).isEmpty()) << "and the list does not hold them";

    EXPECT_TRUE(list_.FindNext(QStringLiteral("zebra")));
    EXPECT_EQ(model.SelectedRows(), std::vector<int>{0});
    EXPECT_EQ(list_.statusText(), "Found in column: Details    value: ...word zebra hide...");
    EXPECT_TRUE(list_.FindNext(QStringLiteral("zebra")));
    EXPECT_EQ(model.SelectedRows(), std::vector<int>{2}) << "in any letter case";
    EXPECT_FALSE(list_.FindNext(QStringLiteral("zebra")));
    EXPECT_EQ(model.SelectedRows(), std::vector<int>{2});

    EXPECT_TRUE(list_.FindNext(QStringLiteral("=ZEBRA")));
    EXPECT_EQ(model.focusedRow(), 2) << "case-sensitive";
    EXPECT_TRUE(list_.FindNext(QStringLiteral("^the word")));
    EXPECT_EQ(model.focusedRow(), 0);
    EXPECT_FALSE(list_.FindNext(QStringLiteral("^word")));
    EXPECT_TRUE(list_.FindNext(QStringLiteral("ärger")));
    EXPECT_EQ(model.focusedRow(), 3) << "letters beyond ASCII in any case";
    EXPECT_FALSE(list_.FindNext(QStringLiteral("=ärger")));
    EXPECT_TRUE(list_.FindNext(QStringLiteral("0% s")));
    EXPECT_EQ(model.focusedRow(), 3);
    EXPECT_FALSE(list_.FindNext(QStringLiteral("0%%"))) << "% and _ are no wildcards";
    EXPECT_TRUE(list_.FindNext(QStringLiteral("_")));
    EXPECT_EQ(model.focusedRow(), 4);
    EXPECT_EQ(doc_.defects().CurrentDefectId(), model.DefectIdAt(4));
}

TEST_F(DefectListTest, FindNextMovesTheSelectionToEachMatchInsteadOfAddingIt)
{
    for (int i = 0; i < 5; ++i)
        AddDefect(1, kBob, kAnn, i % 2 == 0 ? QStringLiteral("crash %1").arg(i) : QStringLiteral("other %1").arg(i));
    LogIn();
    DefectListModel& model = list_.model();
    list_.RowFocused(1);
    model.SetSelected(1, true);
    model.SetSelected(3, true); // the user's own multi-row selection

    for (const int expected : {0, 2, 4}) {
        ASSERT_TRUE(list_.FindNext(QStringLiteral("crash")));
        EXPECT_EQ(model.SelectedRows(), std::vector<int>{expected});
        EXPECT_EQ(model.focusedRow(), expected);
        EXPECT_EQ(doc_.defects().CurrentDefectId(), model.DefectIdAt(expected));
    }
    // What Delete and Send email act on is the one row found last.
    std::vector<std::int32_t> selected;
    for (const DefectListSeam::Row& row : list_.Rows())
        if (row.selected)
            selected.push_back(row.defectId);
    EXPECT_EQ(selected, std::vector<std::int32_t>{model.DefectIdAt(4)});

    ASSERT_TRUE(list_.FindPrevious(QStringLiteral("crash")));
    EXPECT_EQ(model.SelectedRows(), std::vector<int>{2});
}

TEST_F(DefectListTest, ADeletionMakesTheNextRowCurrentAndDropsTheOneRowOrReadsTheListAgain)
{
    std::vector<qint32> ids;
    for (int i = 1; i <= 5; ++i)
        ids.push_back(static_cast<qint32>(AddDefect(1, kAnn, kBob, QStringLiteral("d%1").arg(i))));
    LogIn();
    DefectListModel& model = list_.model();
    ASSERT_EQ(Subjects(), (QStringList{"d1", "d2", "d3", "d4", "d5"}));
    const auto select = [&model](std::initializer_list<int> rows) {
        model.ClearSelection();
        for (const int row : rows)
            model.SetSelected(row, true);
    };
    QSignalSpy deleted(&doc_, &CDefectDoc::defectsDeleted);
    QSignalSpy filled(&list_, &CDefectList::listFilled);
    // Another workstation adds a defect: only a list read again shows it.
    AddDefect(1, kBob, kAnn, QStringLiteral("theirs"));

    // The last row alone: the row before it becomes current and only the deleted row goes.
    select({4});
    ui_.ExpectMessage(kReallyDelete, Answer::Yes);
    doc_.DeleteSelectedRecords(&list_);
    ASSERT_EQ(deleted.count(), 1);
    EXPECT_EQ(deleted[0][0].value<QList<qint32>>(), QList<qint32>{ids[4]});
    EXPECT_EQ(deleted[0][1].value<qint32>(), ids[3]);
    EXPECT_EQ(filled.count(), 0);
    EXPECT_EQ(Subjects(), (QStringList{"d1", "d2", "d3", "d4"}));
    EXPECT_EQ(model.SelectedRows(), std::vector<int>{3});
    EXPECT_EQ(model.focusedRow(), 3);
    EXPECT_EQ(doc_.defects().CurrentDefectId(), ids[3]);
    EXPECT_EQ(list_.statusText(), "4 entries");

    // Several rows: the row after the last selected one becomes current and the list is read again.
    select({0, 1});
    ui_.ExpectMessage(kReallyDelete, Answer::Yes);
    doc_.DeleteSelectedRecords(&list_);
    ASSERT_EQ(deleted.count(), 2);
    EXPECT_EQ(deleted[1][0].value<QList<qint32>>(), (QList<qint32>{ids[0], ids[1]}));
    EXPECT_EQ(deleted[1][1].value<qint32>(), ids[2]);
    EXPECT_EQ(filled.count(), 1);
    EXPECT_EQ(Subjects(), (QStringList{"d3", "d4", "theirs"}));
    EXPECT_EQ(model.SelectedRows(), std::vector<int>{0});
    EXPECT_EQ(model.focusedRow(), 0);
    EXPECT_EQ(doc_.defects().CurrentDefectId(), ids[2]);
    EXPECT_EQ(list_.statusText(), "3 entries");
    EXPECT_EQ(QueryNumber(setup_, QStringLiteral("SELECT count(*) FROM defectlist")), 3);
    ui_.VerifyAllUsed();
}

} // namespace

// A refill shares the texts of rows that did not change with the rows it replaces; what each row
// shows must still be its own text, after a failed refill too, and the texts no row shows any
// more must not pile up over many refreshes.
TEST_F(DefectListTest, RefillsShowEachRowsOwnTextsAndDoNotPileUpOldOnes)
{
    DefectListModel& model = list_.model();
    const auto fill = [&](const std::vector<std::pair<std::int32_t, QByteArray>>& rows, bool succeeds) {
        model.BeginFill();
        for (const auto& [id, subject] : rows) {
            ListRow row;
            row.defectId = id;
            model.Append(row, {subject, "described " + subject, {}, "1.0", {}, {}});
        }
        model.EndFill(succeeds);
    };
    const auto shown = [&] {
        QStringList texts;
        for (int row = 0; row < model.rowCount(); ++row)
            texts << QStringLiteral("%1:%2/%3")
                         .arg(model.DefectIdAt(row))
                         .arg(model.CellText(row, column::kSubject), model.CellText(row, column::kDescription));
        return texts.join(QLatin1Char(' '));
    };
    fill({{1, "one"}, {2, "two"}, {3, "three"}}, true);
    fill({{3, "three"}, {4, "four"}, {2, "TWO"}, {1, "one"}}, true);
    EXPECT_EQ(shown(), "3:three/described three 4:four/described four 2:TWO/described TWO 1:one/described one");
    fill({{1, "changed"}, {2, "TWO"}}, false);
    EXPECT_EQ(shown(), "3:three/described three 4:four/described four 2:TWO/described TWO 1:one/described one");

    for (int refresh = 0; refresh < 40; ++refresh) {
        const QByteArray big(60 * 1024, static_cast<char>('a' + refresh % 26));
        fill({{1, "one"}, {2, big + QByteArray::number(refresh)}, {3, "three"}}, true);
    }
    EXPECT_EQ(model.CellText(1, column::kSubject).size(), 60 * 1024 + 2);
    EXPECT_EQ(model.CellText(2, column::kDescription), "described three");
    EXPECT_LE(model.textArena().capacity(), 4 * ListTextArena::kBlockBytes);
}

// What vellacord-admin list prints comes from the rows read one at a time: they must be the rows,
// cell texts and count the fill shows, for awkward texts, each kind of selection, and a filter
// that fails after its first row (the read starts again without it); the list itself stays as it is.
TEST_F(DefectListTest, RowsReadOneAtATimeAreTheRowsTextsAndCountOfTheFill)
{
    const QString longMemo = QString(480, QLatin1Char('x')) + QStringLiteral("äöü€ \r\n\t") + QString(600, u'ß');
    AddDefect(1, kBob, kAnn, QStringLiteral("Größe → naïve\r\nsecond line\tafter a tab"));
    const std::int64_t odd = AddDefect(10, kAnn, kBob, QStringLiteral("closed, odd values"));
    Exec(setup_,
         QStringLiteral("UPDATE defectlist SET closed=45000.75, lastread=45001.5, componentid=77, statusid=66, "
                        "foundbuild=-12, cc='qa@example.org', description=?, "
                        "fixedversion=CAST(X'41FF42' AS TEXT) WHERE defect_id=?"),
         {longMemo, odd});
    for (int i = 0; i < 30; ++i)
        AddDefect(1 + i % 2, i % 3 == 0 ? kAnn : kBob, i % 2 == 0 ? kAnn : kBob,
                  QStringLiteral("row %1 \"quoted\" <tag> &").arg(i));
    AddDefect(999, kAnn, kBob, QStringLiteral("Ann's draft"));
    LogIn();

    // Every column's text, row by row.
    const auto filled = [&] {
        QStringList rows;
        for (int row = 0; row < list_.model().rowCount(); ++row) {
            QStringList cells;
            for (int columnId = 0; columnId < column::kCount; ++columnId)
                cells << list_.model().CellText(row, columnId);
            rows << cells.join(QLatin1Char('|'));
        }
        return rows;
    };
    const auto read = [&](int& begins) {
        QStringList rows;
        CellTexts texts(doc_.lookups());
        const std::optional<QString> count = list_.ReadListRows(
            [&] {
                ++begins;
                rows.clear();
            },
            [&](const ListRow& row) {
                QStringList cells;
                for (int columnId = 0; columnId < column::kCount; ++columnId)
                    cells << texts.Text(row, columnId);
                rows << cells.join(QLatin1Char('|'));
            });
        return std::make_pair(count, rows);
    };
    const auto compare = [&](const char* selection, int expectedBegins) {
        const QStringList shown = filled();
        const QString status = list_.statusText();
        const int focused = list_.model().focusedRow();
        int begins = 0;
        const auto [count, rows] = read(begins);
        ASSERT_TRUE(count.has_value()) << selection;
        EXPECT_EQ(*count, status) << selection;
        EXPECT_EQ(rows, shown) << selection;
        EXPECT_EQ(begins, expectedBegins) << selection;
        EXPECT_EQ(filled(), shown) << selection << ": the rows held stay";
        EXPECT_EQ(list_.model().focusedRow(), focused) << selection;
    };

    compare("the whole list", 1);
    ASSERT_EQ(list_.model().rowCount(), 33);
    EXPECT_TRUE(filled().join('\n').contains(QStringLiteral("-- 77 --"))) << "an unknown id has its text";

    list_.SetMyDefects(true);
    compare("my defects", 1);
    EXPECT_TRUE(list_.statusText().endsWith(QStringLiteral("(filtered)")));
    list_.SetMyDefects(false);

    const std::int64_t open = AddFilter(QStringLiteral("statusid=2"));
    doc_.selection().currentFilterId = static_cast<std::int32_t>(open);
    list_.SetFilterOn(true);
    compare("a filter", 1);
    EXPECT_EQ(list_.model().rowCount(), 15);

    // Fails only at its second row, after the first was read: both warn, and both show everything.
    const std::int64_t failing =
        AddFilter(QStringLiteral("abs(case when defect_id > 1 then -9223372036854775807 - 1 else 1 end) > 0"));
    ui_.ExpectMessage(kInvalidFilter);
    list_.ChangeFilter(static_cast<std::int32_t>(failing));
    ui_.ExpectMessage(kInvalidFilter);
    compare("a filter that fails at its second row", 2);
    EXPECT_EQ(list_.statusText(), QStringLiteral("33 entries"));
    ui_.VerifyAllUsed();
}

// A reader that keeps one row at a time drops the arena's blocks before each row: each row's texts
// are its own, and the arena holds no more than its block or that row, however many rows pass.
TEST(ListTextArena, EmptiedForEachRowItKeepsEachRowsTextsAndNoMoreThanThatRow)
{
    ListTextArena arena(1024);
    std::size_t longest = 0;
    for (int i = 0; i < 2000; ++i) {
        const QByteArray subject(i % 97 * 40, static_cast<char>('a' + i % 26));
        const QByteArray cc = QByteArray::number(i);
        arena.DropBlocksFrom(0);
        ListRow row;
        row.SetTexts({subject, {}, {}, "1.0", {}, cc}, arena);
        const std::size_t bytes = static_cast<std::size_t>(subject.size() + cc.size() + 3);
        longest = std::max(longest, bytes);
        ASSERT_LE(arena.capacity(), std::max<std::size_t>(1024, bytes)) << i;
        ASSERT_EQ(row.text(ListRow::kSubject), subject) << i;
        ASSERT_EQ(row.text(ListRow::kCc), cc) << i;
    }
    EXPECT_GT(longest, 1024U);
}
