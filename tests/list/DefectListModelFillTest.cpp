// The list model's fill, which writes its rows over the earlier ones: a failed fill shows the
// earlier rows exactly, whatever it wrote over, and a fill that succeeds shows only its own rows.

#include "document/DefectDocFixture.h"

#include "list/ColumnCatalogue.h"
#include "list/DefectListModel.h"
#include "list/ListRow.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <vector>

namespace {

// A row of defect `n` in version `version` of the list: some values and texts differ by version.
struct Version {
    int closedEvery = 0; // rows n % closedEvery == 0 are closed; 0: none
    int subjectChangedEvery = 0;
    int version = 0;
};

// The texts of the row, which its views point into.
struct TextsOfRow {
    QByteArray subject;
    QByteArray description;
    ListRow::Texts Views() const { return {subject, description, {}, "1.0", {}, {}}; }
};

ListRow RowOf(int n, const Version& version, TextsOfRow& texts)
{
    ListRow row;
    row.defectId = n;
    row.statusId = n % 4;
    row.opened = 40000 + n;
    row.closed = version.closedEvery > 0 && n % version.closedEvery == 0 ? 45000.5 + n : 0;
    texts.subject = "defect " + QByteArray::number(n);
    if (version.subjectChangedEvery > 0 && n % version.subjectChangedEvery == 0)
        texts.subject += " as of version " + QByteArray::number(version.version);
    texts.description = "description of " + texts.subject;
    return row;
}

class DefectListModelFillTest : public DefectDocFixture {
protected:
    void Append(int n, const Version& version)
    {
        TextsOfRow texts;
        const ListRow row = RowOf(n, version, texts);
        model_.Append(row, texts.Views());
    }

    void Fill(const std::vector<int>& numbers, const Version& version, bool succeeds)
    {
        model_.BeginFill();
        for (const int n : numbers)
            Append(n, version);
        model_.EndFill(succeeds);
    }

    // What the view shows: every row's cells, the selection and the focus.
    struct Shown {
        std::vector<std::vector<QString>> cells;
        std::vector<int> selected;
        int focused = -1;
        bool operator==(const Shown&) const = default;
    };

    static Shown Show(const DefectListModel& model)
    {
        Shown shown;
        for (int row = 0; row < model.rowCount(); ++row) {
            std::vector<QString> cells;
            for (const int column : {column::kDefectId, column::kStatus, column::kSubject, column::kDescription,
                                     column::kOpened, column::kClosed, column::kFoundVersion})
                cells.push_back(model.CellText(row, column));
            shown.cells.push_back(std::move(cells));
        }
        shown.selected = model.SelectedRows();
        shown.focused = model.focusedRow();
        return shown;
    }

    Shown Show() const { return Show(model_); }

    // The rows of `numbers` in `version`, as a fill of them alone shows them.
    Shown ShowAlone(const std::vector<int>& numbers, const Version& version)
    {
        DefectListModel alone(doc_.lookups());
        alone.BeginFill();
        for (const int n : numbers) {
            TextsOfRow texts;
            const ListRow row = RowOf(n, version, texts);
            alone.Append(row, texts.Views());
        }
        alone.EndFill(true);
        return Show(alone);
    }

    static std::vector<int> Numbers(int from, int count)
    {
        std::vector<int> numbers(static_cast<std::size_t>(count));
        std::iota(numbers.begin(), numbers.end(), from);
        return numbers;
    }

    DefectListModel model_{doc_.lookups()};
};

} // namespace

TEST_F(DefectListModelFillTest, AFailedFillShowsTheEarlierRowsExactlyWhateverItWroteOver)
{
    const std::vector<int> numbers = Numbers(1, 3000);
    const Version earlier{7, 11, 1};
    Fill(numbers, earlier, true);
    model_.SetSelected(5, true);
    model_.SetSelected(2999, true);
    model_.SetFocusedRow(5);
    const Shown before = Show();
    ASSERT_EQ(before.cells.size(), numbers.size());

    // Other dates and subjects in many rows, and more rows than before.
    Fill(Numbers(1, 5000), {3, 5, 2}, false);
    EXPECT_EQ(Show(), before) << "a longer fill with changed rows";

    // Every place written over with another defect.
    std::vector<int> reversed = numbers;
    std::reverse(reversed.begin(), reversed.end());
    Fill(reversed, earlier, false);
    EXPECT_EQ(Show(), before) << "another order";

    // Fewer rows, the same values: nothing to keep, and still all of them come back.
    Fill(Numbers(1, 1000), earlier, false);
    EXPECT_EQ(Show(), before) << "a shorter fill";

    // A fill that starts again after a partial attempt, both writing over rows.
    model_.BeginFill();
    for (int n = 3000; n > 1500; --n)
        Append(n, {2, 2, 3});
    model_.BeginFill();
    for (int n = 1; n <= 2000; ++n)
        Append(n, {4, 3, 4});
    model_.EndFill(false);
    EXPECT_EQ(Show(), before) << "a fill started again";

    // Rows changed and added while the fill runs (a save) belong to the fill, not to the rows before.
    model_.BeginFill();
    for (int n = 1; n <= 300; ++n)
        Append(n, earlier);
    TextsOfRow texts;
    ListRow saved = RowOf(10, {1, 1, 9}, texts);
    saved.SetTexts(texts.Views(), model_.textArena());
    model_.ReplaceRow(9, saved);
    model_.InsertRowAtEnd(saved);
    EXPECT_EQ(model_.rowCount(), 301);
    EXPECT_EQ(model_.DefectIdAt(300), 10);
    for (int n = 301; n <= 400; ++n)
        Append(n, earlier);
    model_.EndFill(false);
    EXPECT_EQ(Show(), before) << "a row saved during the fill";
}

TEST_F(DefectListModelFillTest, AFillThatSucceedsShowsOnlyItsOwnRowsAndAnnouncesEachOnce)
{
    Fill(Numbers(1, 3000), {7, 11, 1}, true);
    QSignalSpy inserted(&model_, &QAbstractItemModel::rowsInserted);
    int announced = 0;
    QObject::connect(&model_, &QAbstractItemModel::rowsInserted, [&](const QModelIndex&, int first, int last) {
        EXPECT_EQ(first, announced) << "rows are announced in order, after those shown";
        announced = last + 1;
    });
    QObject::connect(&model_, &QAbstractItemModel::modelReset, [&] { announced = 0; });

    const std::vector<int> fewer = Numbers(500, 1200);
    Fill(fewer, {3, 5, 2}, true);
    EXPECT_EQ(announced, 1200);
    EXPECT_EQ(Show().cells, ShowAlone(fewer, {3, 5, 2}).cells) << "the earlier rows after the fill's are gone";

    const std::vector<int> more = Numbers(1, 4500);
    Fill(more, {3, 5, 2}, true);
    EXPECT_EQ(announced, 4500);
    EXPECT_EQ(Show().cells, ShowAlone(more, {3, 5, 2}).cells);

    std::vector<int> reversed = more;
    std::reverse(reversed.begin(), reversed.end());
    Fill(reversed, {2, 9, 3}, true);
    EXPECT_EQ(Show().cells, ShowAlone(reversed, {2, 9, 3}).cells);
    EXPECT_GT(inserted.count(), 0);

    // A row saved after the fill, then a refresh that reads it as saved.
    TextsOfRow texts;
    ListRow saved = RowOf(4500, {1, 1, 3}, texts);
    saved.SetTexts(texts.Views(), model_.textArena());
    model_.ReplaceRow(0, saved);
    Fill(reversed, {2, 9, 3}, true);
    EXPECT_EQ(Show().cells, ShowAlone(reversed, {2, 9, 3}).cells);
    model_.RemoveRowAt(0);
    EXPECT_EQ(model_.rowCount(), 4499);
    EXPECT_EQ(model_.DefectIdAt(0), 4499);
}
