// The list statement as text: keywords, conditions and the views' sort keys.

#include "list/ListQuery.h"
#include "list/ColumnCatalogue.h"
#include "list/FilterDefinition.h"
#include "list/ListRow.h"
#include "list/ListSearch.h"
#include "list/ViewDefinition.h"

#include "base/CommandIds.h"
#include "engine/Statement.h"
#include "platform/OleDate.h"

#include <gtest/gtest.h>

#include <ctime>

namespace {

ViewDefinition SeededDefaultView()
{
    // (columnid, sortorder) of view 1 as the seed script stores it.
    const std::vector<std::pair<int, int>> seed{{0, 1},  {1, 2},  {2, 4},  {3, 6},  {4, 5},  {5, 0},  {6, 0},
                                                {7, 3},  {8, 0},  {9, 0},  {10, 0}, {11, 0}, {12, 0}, {13, 0},
                                                {14, 0}, {15, 0}, {16, 0}, {17, 0}, {18, 0}, {19, 0}};
    ViewDefinition view;
    view.BeginLoad(1);
    for (const auto& [id, sortOrder] : seed) {
        ViewColumn column;
        column.ColumnId = id;
        column.SortOrder = static_cast<std::uint8_t>(sortOrder);
        column.Width = 60;
        column.ColumnOrder = id;
        view.AddLoadedColumn(column);
    }
    return view;
}

TEST(ListQuery, KeywordsAreReplacedExactlyAndTheConditionIsBuiltInOrder)
{
    EXPECT_EQ(SubstituteKeywords(QStringLiteral("statusid=999 and fromid=@loggedInId"), 12),
              "statusid=999 and fromid=12");
    EXPECT_EQ(SubstituteKeywords(QStringLiteral("toid=@loggedInId or fromid=@loggedInId"), 7), "toid=7 or fromid=7");
    EXPECT_EQ(SubstituteKeywords(QStringLiteral("fromid=@LoggedInId"), 7), "fromid=@LoggedInId");
    EXPECT_EQ(SubstituteKeywords(QStringLiteral("component=\"Tutorial\" or component=\"Tutorial\""), 7),
              "component='Tutorial' or component='Tutorial'");
    // A replacement that contains the keyword is not replaced again.
    EXPECT_EQ(SubstituteKeywords(QStringLiteral("@loggedInId@loggedInId"), 1), "11");

    ListSettings settings;
    settings.loggedInId = 12;
    settings.filterActive = true;
    settings.filterText = QStringLiteral("statusid=999 and fromid=@loggedInId");
    settings.myDefects = true;
    settings.orderBy = QStringLiteral(" ORDER BY Defect_ID");
    const ListCondition condition = BuildListCondition(settings, true);
    EXPECT_EQ(condition.text,
              " WHERE ( (statusid<>0 and statusid<>999) or (fromid=0 or fromid=12) ) "
              " AND (\nstatusid=999 and fromid=12\n) AND ToID=12 ORDER BY Defect_ID");
    EXPECT_TRUE(condition.filtered);
    EXPECT_TRUE(condition.carriesFilter);

    // Without the filter the base condition stays: other users' drafts and templates stay hidden.
    const ListCondition plain = BuildListCondition(settings, false);
    EXPECT_EQ(plain.text, " WHERE ( (statusid<>0 and statusid<>999) or (fromid=0 or fromid=12) )  ORDER BY Defect_ID");
    EXPECT_FALSE(plain.filtered);
    EXPECT_FALSE(plain.carriesFilter);
    EXPECT_TRUE(ListStatement(plain, {}).startsWith(ListSelectPart({})));

    settings.filterActive = false;
    const ListCondition mine = BuildListCondition(settings, true);
    EXPECT_TRUE(mine.filtered) << "My defects alone narrows the list";
    EXPECT_FALSE(mine.carriesFilter);
}

TEST(ListQuery, OnlyAFilterThatStaysInsideItsParenthesesIsComplete)
{
    for (const char* complete : {"statusid=1 OR 1=1", "(a=1) OR (b=2)", "subject = ')' OR subject = '('",
                                 "subject = 'it''s (' -- a comment with )", "[odd (name] = 1 /* ) */", "\"a)b\" = 1",
                                 "x IN (SELECT (1) FROM t WHERE (y))"})
        EXPECT_TRUE(engine::IsCompleteFragment(QString::fromUtf8(complete))) << complete;
    for (const char* incomplete : {"1=1) OR (1=1", "statusid=1) OR 1=1 --", "(statusid=1", ")(", "a=1 /*",
                                   "subject = 'open", "[name = 1", "1) OR (1 -- (", "x = ')' OR ((y)"})
        EXPECT_FALSE(engine::IsCompleteFragment(QString::fromUtf8(incomplete))) << incomplete;
}

TEST(ListQuery, SortKeysFollowTheViewAndHeaderClicks)
{
    ViewDefinition view = SeededDefaultView();
    EXPECT_EQ(view.BuildOrderBy(), " ORDER BY Defect_ID, [Status.sys_sortorder], [Component.sys_sortorder]");

    view.SortByClickedColumn(column::kSubject);
    EXPECT_EQ(view.BuildOrderBy(), " ORDER BY Subject, Defect_ID, [Status.sys_sortorder]");
    view.SortByClickedColumn(column::kSubject);
    EXPECT_EQ(view.BuildOrderBy(), " ORDER BY Subject DESC, Defect_ID, [Status.sys_sortorder]");
    view.SortByClickedColumn(column::kSubject);
    EXPECT_EQ(view.BuildOrderBy(), " ORDER BY Subject, Defect_ID, [Status.sys_sortorder]");
    EXPECT_TRUE(view.modified);

    view.SortByClickedColumn(column::kDescription);
    EXPECT_EQ(view.BuildOrderBy(), " ORDER BY Description, Subject, Defect_ID");

    // The keys are written into the columns for the save: first key Description, ascending.
    view.PrepareForSave();
    EXPECT_EQ(view.columns[column::kDescription].SortOrder, 1);
    EXPECT_EQ(view.columns[column::kSubject].SortOrder, 2);
    EXPECT_EQ(view.columns[column::kSubject].Descending, 0);
}

TEST(ListQuery, ReadingBackAndTogglingColumns)
{
    ViewDefinition view = SeededDefaultView();
    ListColumns list = view.ToListColumns();
    ASSERT_EQ(list.columns.size(), 20u);
    EXPECT_FALSE(view.ReadBack(list)) << "the list as applied holds no change";
    EXPECT_FALSE(view.modified);

    list.columns[column::kCc].width = 0;
    std::swap(list.order[0], list.order[1]);
    EXPECT_TRUE(view.ReadBack(list));
    EXPECT_TRUE(view.modified);
    EXPECT_EQ(view.columns[column::kCc].Invisible, 1);
    EXPECT_EQ(view.columns[column::kCc].Width, 60) << "a hidden column keeps its last width";
    EXPECT_EQ(view.columns[0].ColumnOrder, 1);

    view.columns[column::kCc].Width = 0;
    const std::vector<ColumnMenuItem> menu = view.ColumnMenu();
    ASSERT_EQ(menu.size(), 20u);
    EXPECT_EQ(menu[column::kCc].commandId, command::kFirstColumn + column::kCc);
    EXPECT_FALSE(menu[column::kCc].checked);
    EXPECT_TRUE(view.ToggleColumn(command::kFirstColumn + column::kCc));
    EXPECT_EQ(view.columns[column::kCc].Width, ViewDefinition::kShownWidth);
    EXPECT_FALSE(view.ToggleColumn(command::kFirstColumn + 20));

    // Stored ids with gaps are filled so that a column's position is its id; an id beyond the
    // menu's range is ignored rather than allocated for.
    ViewDefinition gapped;
    gapped.BeginLoad(5);
    for (const int id : {0, 2, 7, 2147483647}) {
        ViewColumn column;
        column.ColumnId = id;
        column.Width = 50;
        column.Name = QString::number(id);
        column.ColumnOrder = id == 7 ? 0 : id;
        column.SortOrder = id == 2 ? 1 : 0;
        gapped.AddLoadedColumn(column);
    }
    ASSERT_EQ(gapped.columns.size(), 8u);
    EXPECT_EQ(gapped.columns[2].Name, "2");
    EXPECT_EQ(gapped.BuildOrderBy(), " ORDER BY Subject");
    const ListColumns gappedList = gapped.ToListColumns();
    EXPECT_EQ(gappedList.columns[1].width, 0);
    EXPECT_FALSE(gapped.ReadBack(gappedList)) << "a loaded view holds no change";
    EXPECT_EQ(DisplayOrder(gappedList), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7}));

    // A view without columns shows the fallback columns, captioned by what their cells hold.
    const ListColumns fallback = ViewDefinition{}.ToListColumns();
    ASSERT_EQ(fallback.columns.size(), 12u);
    EXPECT_EQ(fallback.columns[column::kDescription].caption, "Description");
    EXPECT_EQ(fallback.columns[column::kOpened].caption, "Opened");
}

TEST(ListQuery, CellMatchMarks)
{
    const QString cell = QStringLiteral("Abc and ^abc");
    EXPECT_EQ(CellMatch(QStringLiteral("^abc"), cell), 0);
    EXPECT_EQ(CellMatch(QStringLiteral("^and"), cell), std::nullopt);
    EXPECT_EQ(CellMatch(QStringLiteral("=Abc"), cell), 0);
    EXPECT_EQ(CellMatch(QStringLiteral("=aBC"), cell), std::nullopt);
    EXPECT_EQ(CellMatch(QStringLiteral("=^Abc"), cell), CellMatch(QStringLiteral("^=Abc"), cell));
    EXPECT_EQ(CellMatch(QStringLiteral("\\^abc"), cell), 8);
    EXPECT_EQ(CellMatch(QStringLiteral("and"), cell), 4);
    EXPECT_EQ(CellMatch(QString(), cell), std::nullopt);
}

// The cut of a memo cell, eight bytes at a time, against one character at a time, with characters
// of two to four bytes on every position around the word boundaries and the limit.
TEST(ListQuery, CellCutsEndOnTheSameCharacterAsACountOneByOne)
{
    const auto slow = [](const QByteArray& text, int characters) {
        const QList<uint> codePoints = QString::fromUtf8(text).toUcs4().mid(0, characters);
        return static_cast<int>(
            QString::fromUcs4(reinterpret_cast<const char32_t*>(codePoints.constData()), codePoints.size())
                .toUtf8()
                .size());
    };
    for (const char* wide : {"\xC3\xA4", "\xE2\x82\xAC", "\xF0\x9F\x98\x80"}) {
        for (int at = 0; at < 20; ++at) {
            QByteArray text(at, 'a');
            for (int i = 0; i < 6; ++i)
                text += QByteArray(wide) + QByteArray(i, 'b');
            text += QByteArray(30, 'c');
            for (const int characters : {0, 1, 7, 8, 9, 15, 16, 17, 23, 40})
                EXPECT_EQ(Utf8PrefixBytes(text.constData(), static_cast<int>(text.size()), characters),
                          slow(text, characters))
                    << wide << " " << at << " " << characters;
        }
    }
}

} // namespace

TEST(ListQuery, DatesShowTheStoredTimeOnTheDayTheClocksChange)
{
    const QByteArray zone = qgetenv("TZ");
    qputenv("TZ", "Europe/Berlin");
    ::tzset();
    // Summer time began at 02:00 that day; 10:00 stays 10:00, and rounding up to midnight is the next day.
    const double tenOClock = OleDateFromDateTime(QDateTime(QDate(2026, 3, 29), QTime(10, 0)));
    EXPECT_EQ(DateTimeFromOleDate(tenOClock).time(), QTime(10, 0));
    EXPECT_TRUE(ListDateText(tenOClock).contains(QLocale().toString(QTime(10, 0), QLocale::ShortFormat)));
    EXPECT_EQ(DateTimeFromOleDate(46000.9999999999), QDateTime(QDate(2025, 12, 10), QTime(0, 0)));
    zone.isNull() ? qunsetenv("TZ") : qputenv("TZ", zone);
    ::tzset();
}
