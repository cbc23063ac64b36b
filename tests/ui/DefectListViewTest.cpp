// The list view over a real document: the keys move the current defect, a selection that
// leaves the focused row where it is does not, Ctrl+A selects every row, and the search bar
// moves the selection from match to match.

#include "document/DefectDocFixture.h"

#include "list/ColumnCatalogue.h"
#include "list/DefectList.h"
#include "ui/DefectListView.h"
#include "ui/QuickSearchBox.h"
#include "ui/ViewFilterBar.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

namespace {

class DefectListViewTest : public DefectDocFixture {
protected:
    DefectListViewTest()
    {
        AddStakeholder(setup_, 12, QStringLiteral("Ann"), QStringLiteral("ann"));
        for (int i = 0; i < 5; ++i) {
            Exec(setup_,
                 QStringLiteral("INSERT INTO defectlist (statusid, priorityid, severityid, subject, componentid, toid, "
                                "fromid, categoryid, opened, modified, closed, lastread) "
                                "VALUES (1, 1, 1, ?, 1, 12, 12, 0, 46000, 46000, 0, 46000)"),
                 {QStringLiteral("defect %1").arg(i)});
            ids_.push_back(static_cast<std::int32_t>(setup_.LastInsertId()));
        }
        doc_.SetOperatingSystemUser([] { return std::nullopt; });
        doc_.SetAutoLogin(QStringLiteral("ann"));
        EXPECT_TRUE(doc_.OnOpenDocument(path_));
        view_.SetList(&list_);
        view_.show();
        view_.setFocus();
    }

    std::int32_t Current() { return doc_.defects().CurrentDefectId(); }
    QModelIndex Index(int row) { return list_.model().index(row, 0); }

    std::vector<std::int32_t> ids_;
    CDefectList list_{doc_};
    CDefectListView view_;
};

} // namespace

TEST_F(DefectListViewTest, TheSortedColumnShowsItsArrowAndUnreadRowsAreBold)
{
    QHeaderView* header = view_.horizontalHeader();
    EXPECT_EQ(header->sortIndicatorSection(), column::kDefectId) << "the default view sorts by id first";
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::AscendingOrder);
    header->sectionClicked(column::kSubject);
    EXPECT_EQ(header->sortIndicatorSection(), column::kSubject);
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::AscendingOrder);
    header->sectionClicked(column::kSubject);
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::DescendingOrder);
    EXPECT_EQ(list_.model().CellText(0, column::kSubject), QStringLiteral("defect 4"));

    // Defect 4 goes unread: only its row is bold once the list is read again.
    Exec(setup_, QStringLiteral("UPDATE defectlist SET lastread = 0 WHERE defect_id = ?"), {std::int64_t{ids_[4]}});
    list_.Refresh();
    const auto bold = [&](int row) {
        QStyleOptionViewItem option;
        static_cast<UnreadBoldDelegate*>(view_.itemDelegate())->initStyleOption(&option, Index(row));
        return option.font.bold();
    };
    const int unreadRow = list_.model().RowOf(ids_[4]);
    EXPECT_TRUE(bold(unreadRow));
    EXPECT_FALSE(bold(unreadRow == 0 ? 1 : 0));
}

TEST_F(DefectListViewTest, TheFocusedRowIsTheCurrentDefectWhateverElseIsSelected)
{
    view_.setCurrentIndex(Index(0));
    ASSERT_EQ(Current(), ids_[0]);
    QTest::keyClick(&view_, Qt::Key_Down);
    EXPECT_EQ(Current(), ids_[1]);
    QTest::keyClick(&view_, Qt::Key_Down);
    EXPECT_EQ(Current(), ids_[2]);
    QTest::keyClick(&view_, Qt::Key_Up);
    EXPECT_EQ(Current(), ids_[1]);

    // Ctrl+Space and a range added to the selection leave the focus, and the defect, where they are.
    QTest::keyClick(&view_, Qt::Key_Space, Qt::ControlModifier);
    view_.selectionModel()->select(QItemSelection(Index(3), Index(4)),
                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
    EXPECT_EQ(Current(), ids_[1]);
    EXPECT_TRUE(list_.model().IsSelected(4)) << "the list knows the view's selection";

    QTest::keyClick(&view_, Qt::Key_A, Qt::ControlModifier);
    for (int row = 0; row < list_.model().rowCount(); ++row)
        EXPECT_TRUE(list_.model().IsSelected(row)) << row;
    EXPECT_EQ(Current(), ids_[1]);
}

TEST_F(DefectListViewTest, TheSearchBarMovesTheViewsSelectionFromMatchToMatchAndEscapeClosesIt)
{
    CSearchBar bar(list_);
    QSignalSpy dismissed(&bar, &CSearchBar::dismissed);
    list_.Find();
    ASSERT_TRUE(bar.isVisible());
    auto* text = bar.findChild<QLineEdit*>(QStringLiteral("searchText"));
    ASSERT_NE(text, nullptr);
    QTest::keyClicks(text, QStringLiteral("defect"));
    for (int match = 0; match < 3; ++match) {
        QTest::keyClick(text, Qt::Key_Return);
        const QModelIndexList selected = view_.selectionModel()->selectedRows();
        ASSERT_EQ(selected.size(), 1) << "match " << match;
        EXPECT_EQ(selected.front().row(), match);
        EXPECT_EQ(Current(), ids_[static_cast<std::size_t>(match)]);
    }
    QTest::keyClick(text, Qt::Key_Escape);
    EXPECT_FALSE(bar.isVisible());
    EXPECT_EQ(dismissed.count(), 1);
}

TEST_F(DefectListViewTest, TheQuickSearchBoxShowsItsHitsAsTheListUntilItsChipIsClicked)
{
    Exec(setup_, QStringLiteral("UPDATE defectlist SET description = 'the printer jams' WHERE defect_id = ?"),
         {std::int64_t{ids_[3]}});
    CQuickSearchBox box(list_);
    box.show();
    auto* edit = box.findChild<QLineEdit*>(QStringLiteral("quickSearchText"));
    auto* chip = box.findChild<QToolButton*>(QStringLiteral("quickSearchChip"));
    ASSERT_NE(edit, nullptr);
    ASSERT_NE(chip, nullptr);
    EXPECT_FALSE(chip->isVisible());

    QTest::keyClicks(edit, QStringLiteral("print"));
    QTest::keyClick(edit, Qt::Key_Return);
    ASSERT_EQ(list_.model().rowCount(), 1);
    EXPECT_EQ(list_.model().DefectIdAt(0), ids_[3]);
    EXPECT_TRUE(chip->isVisible());
    EXPECT_TRUE(chip->text().startsWith(QStringLiteral("search: print"))) << chip->text().toStdString();

    QTest::mouseClick(chip, Qt::LeftButton);
    EXPECT_EQ(list_.model().rowCount(), 5);
    EXPECT_FALSE(chip->isVisible());
    EXPECT_TRUE(edit->text().isEmpty());
}
