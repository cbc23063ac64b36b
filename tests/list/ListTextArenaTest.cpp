// The list's texts in packed blocks: what goes in comes out, through the cache, after refreshes
// that share them, a failed refresh, and an arena or a list dropped while its blocks are packed.

#include "document/DefectDocFixture.h"

#include "list/ColumnCatalogue.h"
#include "list/DefectListModel.h"
#include "list/ListRow.h"

#include <QDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <random>

namespace {

constexpr std::size_t kSmallBlocks = 16 * 1024;

// Texts of row `n`: words that repeat as real texts do, some in other scripts, some empty, and
// every so often a text longer than a block.
std::array<QByteArray, ListRow::kTextCount> TextsOf(int n)
{
    static const std::array<QByteArray, 6> words{"crash", "when saving", "Größe", "ошибка", "表示されない", "⚠"};
    std::array<QByteArray, ListRow::kTextCount> texts;
    for (int i = 0; i < n % 40; ++i)
        texts[ListRow::kSubject] += words[static_cast<std::size_t>((n + i) % 6)] + ' ';
    texts[ListRow::kSubject] += QByteArray::number(n);
    for (int i = 0; i < (n * 7) % 90; ++i)
        texts[ListRow::kDescription] += words[static_cast<std::size_t>((n * i) % 6)] + QByteArray::number(i % 13) + ' ';
    if (n % 3 == 0)
        texts[ListRow::kComments] = "see defect " + QByteArray::number(n / 3);
    if (n % 5 != 0)
        texts[ListRow::kFoundVersion] = "1." + QByteArray::number(n % 7);
    if (n % 97 == 0)
        texts[ListRow::kCc] = QByteArray(static_cast<qsizetype>(kSmallBlocks) + n, 'c');
    return texts;
}

ListRow::Texts ViewsOf(const std::array<QByteArray, ListRow::kTextCount>& texts)
{
    ListRow::Texts views;
    for (std::size_t i = 0; i < texts.size(); ++i)
        views[i] = texts[i];
    return views;
}

std::array<QByteArray, ListRow::kTextCount> Read(const ListRow& row)
{
    std::array<QByteArray, ListRow::kTextCount> texts;
    for (std::size_t i = 0; i < texts.size(); ++i)
        texts[i] = row.text(static_cast<ListRow::Text>(i)).toByteArray();
    return texts;
}

std::vector<ListRow> Rows(ListTextArena& arena, int count)
{
    std::vector<ListRow> rows(static_cast<std::size_t>(count));
    for (int n = 0; n < count; ++n) {
        rows[static_cast<std::size_t>(n)].defectId = n;
        rows[static_cast<std::size_t>(n)].SetTexts(ViewsOf(TextsOf(n)), arena);
    }
    return rows;
}

int ThreadCount()
{
    return static_cast<int>(
        QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size());
}

} // namespace

TEST(ListTextArena, TextsComeBackAsTheyWentInFromPackedBlocksInAnyOrder)
{
    ListTextArena arena(kSmallBlocks);
    std::vector<ListRow> rows = Rows(arena, 3000);
    arena.Seal();
    arena.WaitForPacking();
    ASSERT_GT(arena.blockCount(), 3 * ListTextArena::kCachedBlocks);
    EXPECT_GE(arena.packedBlockCount(), arena.blockCount() - 1)
        << "texts like these shrink; the last block may be too short";
    EXPECT_LT(arena.heldBytes(), arena.capacity() / 2);

    // Forwards and backwards, as a search walks, and at random, as a view scrolls: every read
    // that misses the cache evicts a block some row read before needs again.
    std::vector<int> order(rows.size());
    std::iota(order.begin(), order.end(), 0);
    std::vector<int> backwards(order.rbegin(), order.rend());
    std::vector<int> shuffled = order;
    std::shuffle(shuffled.begin(), shuffled.end(), std::mt19937(7));
    for (const std::vector<int>* walk : {&order, &backwards, &shuffled}) {
        int wrong = 0;
        for (const int n : *walk) {
            if (Read(rows[static_cast<std::size_t>(n)]) != TextsOf(n))
                ++wrong;
        }
        EXPECT_EQ(wrong, 0);
    }
    EXPECT_EQ(rows[1].text(ListRow::kCc).size(), 0);
    EXPECT_EQ(rows[97].text(ListRow::kCc).size(), static_cast<qsizetype>(kSmallBlocks) + 97);
}

TEST(ListTextArena, TheTextsOfOneRowStayReadableTogetherAndCompareByContent)
{
    ListTextArena arena(kSmallBlocks);
    std::vector<ListRow> rows = Rows(arena, 500);
    arena.Seal();
    arena.WaitForPacking();
    ASSERT_GT(arena.packedBlockCount(), 0U);
    for (const int n : {3, 250, 3, 499, 0}) {
        const ListRow& row = rows[static_cast<std::size_t>(n)];
        const auto texts = TextsOf(n);
        // Two texts of one row read one after the other: the first view still holds.
        const QByteArrayView subject = row.text(ListRow::kSubject);
        const QByteArrayView description = row.text(ListRow::kDescription);
        EXPECT_EQ(subject, texts[ListRow::kSubject]);
        EXPECT_EQ(description, texts[ListRow::kDescription]);
        EXPECT_TRUE(row.HasTexts(ViewsOf(texts)));
        auto changed = texts;
        changed[ListRow::kFoundVersion] = "9.9";
        EXPECT_FALSE(row.HasTexts(ViewsOf(changed)));
        changed = texts;
        changed[ListRow::kSubject][0] = '#';
        EXPECT_FALSE(row.HasTexts(ViewsOf(changed))) << "same lengths, other bytes";
    }
    ListRow empty;
    empty.SetTexts({}, arena);
    EXPECT_TRUE(empty.HasTexts({}));
    EXPECT_TRUE(empty.text(ListRow::kSubject).isEmpty());
    EXPECT_TRUE(empty.TextsAtHand());
}

TEST(ListTextArena, BlocksThatDoNotShrinkStayAsTheyAre)
{
    ListTextArena arena(kSmallBlocks);
    std::mt19937 random(3);
    std::vector<QByteArray> noise;
    std::vector<ListRow> rows(40);
    for (ListRow& row : rows) {
        QByteArray bytes(1000, '\0');
        for (char& byte : bytes)
            byte = static_cast<char>(random());
        noise.push_back(bytes);
        row.SetTexts({bytes, {}, {}, {}, {}, {}}, arena);
    }
    arena.Seal();
    arena.WaitForPacking();
    EXPECT_EQ(arena.packedBlockCount(), 0U);
    EXPECT_GE(arena.heldBytes(), arena.capacity());
    for (std::size_t i = 0; i < rows.size(); ++i)
        EXPECT_EQ(rows[i].text(ListRow::kSubject), noise[i]);
}

TEST(ListTextArena, DroppedKeptAndCompactedBlocksLeaveEveryRowItsTexts)
{
    ListTextArena arena(kSmallBlocks);
    std::vector<ListRow> rows = Rows(arena, 1000);
    const std::size_t mark = arena.Seal();
    // Texts of a fill that fails: dropped, maybe while they are packed.
    std::vector<ListRow> failed = Rows(arena, 1000);
    arena.DropBlocksFrom(mark);
    EXPECT_EQ(arena.blockCount(), mark);
    arena.WaitForPacking();
    // Half the rows change; the blocks that only the other half used go.
    std::vector<ListRow> kept;
    for (std::size_t n = 0; n < rows.size(); n += 2)
        kept.push_back(rows[n]);
    arena.KeepOnlyBlocksOf(kept);
    EXPECT_LT(arena.blockCount(), mark) << "the rows with long Cc texts had blocks of their own";
    for (std::size_t i = 0; i < kept.size(); ++i)
        EXPECT_EQ(Read(kept[i]), TextsOf(static_cast<int>(2 * i)));
    // Few rows left in many blocks: copied into fresh ones, unpacked on the way.
    std::vector<ListRow> few;
    for (std::size_t i = 1; i < kept.size(); i += 25)
        few.push_back(kept[i]);
    arena.KeepOnlyBlocksOf(few);
    const std::size_t before = arena.capacity();
    arena.CompactFor(few);
    EXPECT_LT(arena.capacity(), before);
    for (std::size_t i = 0; i < few.size(); ++i)
        EXPECT_EQ(Read(few[i]), TextsOf(static_cast<int>(2 * (1 + 25 * i))));
}

TEST(ListTextArena, TextsOfAnyLengthComeBackAndCompareByContentOnBothSidesOf64KB)
{
    ListTextArena arena(kSmallBlocks);
    // Texts that add up to just under, at and past 64 KB, and past a block, between short ones.
    std::vector<std::array<QByteArray, ListRow::kTextCount>> longTexts;
    std::vector<ListRow> rows;
    for (const int total : {65534, 65535, 65536, 70000, 200000}) {
        std::array<QByteArray, ListRow::kTextCount> texts;
        texts[ListRow::kDescription] = "short " + QByteArray::number(total);
        texts[ListRow::kFoundVersion] = "2.0";
        texts[ListRow::kSubject] =
            QByteArray(total - texts[ListRow::kDescription].size() - texts[ListRow::kFoundVersion].size(), 'x');
        texts[ListRow::kSubject][7] = static_cast<char>('a' + longTexts.size());
        ListRow row;
        row.SetTexts(ViewsOf(texts), arena);
        rows.push_back(row);
        longTexts.push_back(texts);
        ListRow between;
        between.SetTexts(ViewsOf(TextsOf(static_cast<int>(rows.size()))), arena);
        rows.push_back(between);
    }
    const auto check = [&](const char* when) {
        for (std::size_t i = 0; i < longTexts.size(); ++i) {
            EXPECT_EQ(Read(rows[2 * i]), longTexts[i]) << when << ", texts of " << i;
            EXPECT_EQ(Read(rows[2 * i + 1]), TextsOf(static_cast<int>(2 * i + 1))) << when;
            EXPECT_TRUE(rows[2 * i].HasTexts(ViewsOf(longTexts[i]))) << when;
            // The same total, split otherwise; one byte other.
            auto moved = longTexts[i];
            moved[ListRow::kSubject].chop(1);
            moved[ListRow::kDescription] += 'x';
            EXPECT_FALSE(rows[2 * i].HasTexts(ViewsOf(moved))) << when;
            auto other = longTexts[i];
            other[ListRow::kSubject][100] = 'y';
            EXPECT_FALSE(rows[2 * i].HasTexts(ViewsOf(other))) << when;
            ListRow sharing;
            sharing.ShareTexts(rows[2 * i]);
            EXPECT_EQ(Read(sharing), longTexts[i]) << when;
        }
    };
    check("as written");
    arena.WaitForPacking();
    check("packed");
    // Rows whose blocks hold mostly texts no row shows: the arena copies the texts into fresh
    // blocks, long ones with their ends.
    for (int n = 0; n < 100; ++n) {
        Rows(arena, 40);
        ListRow sparse;
        sparse.SetTexts(ViewsOf(TextsOf(1000 + n)), arena);
        rows.push_back(sparse);
    }
    arena.KeepOnlyBlocksOf(rows);
    const std::size_t before = arena.capacity();
    arena.CompactFor(rows);
    EXPECT_LT(arena.capacity(), before / 2);
    for (int n = 0; n < 100; ++n)
        EXPECT_EQ(Read(rows[rows.size() - 100 + static_cast<std::size_t>(n)]), TextsOf(1000 + n));
    check("compacted");
}

TEST(ListTextArena, AnArenaDroppedWhileItsBlocksArePackedStopsItsThread)
{
    const int threads = ThreadCount();
    for (int round = 0; round < 3; ++round) {
        auto arena = std::make_unique<ListTextArena>();
        std::vector<ListRow> rows = Rows(*arena, 20000);
        arena->Seal();
        EXPECT_GT(ThreadCount(), threads) << "a thread packs the blocks";
        arena.reset();
    }
    EXPECT_EQ(ThreadCount(), threads);
    // A moved arena takes its blocks and its thread along.
    ListTextArena first(kSmallBlocks);
    std::vector<ListRow> rows = Rows(first, 2000);
    ListTextArena second = std::move(first);
    second.WaitForPacking();
    EXPECT_GT(second.packedBlockCount(), 0U);
    EXPECT_EQ(Read(rows[1999]), TextsOf(1999));
    EXPECT_EQ(first.capacity(), 0U);
}

// The list itself: a refresh that reads the same texts shares the packed ones, one that reads
// them in another order still shows each row its own, and a failed one keeps the earlier rows.
class ListTextArenaModelTest : public DefectDocFixture {
protected:
    void Fill(const std::vector<int>& numbers, bool succeeds, int changed = -1)
    {
        model_->BeginFill();
        for (const int n : numbers) {
            ListRow row;
            row.defectId = n;
            auto texts = TextsOf(n);
            if (n == changed)
                texts[ListRow::kSubject] = "changed";
            model_->Append(row, ViewsOf(texts));
        }
        model_->EndFill(succeeds);
    }

    int WrongRows(int changed = -1)
    {
        int wrong = 0;
        for (int row = 0; row < model_->rowCount(); ++row) {
            const int n = model_->DefectIdAt(row);
            const auto texts = TextsOf(n);
            const QString subject =
                n == changed ? QStringLiteral("changed") : QString::fromUtf8(texts[ListRow::kSubject]);
            if (model_->CellText(row, column::kSubject) != subject ||
                model_->CellText(row, column::kDescription) != QString::fromUtf8(texts[ListRow::kDescription]) ||
                model_->CellText(row, column::kCc) != QString::fromUtf8(texts[ListRow::kCc]))
                ++wrong;
        }
        return wrong;
    }

    std::unique_ptr<DefectListModel> model_ = std::make_unique<DefectListModel>(doc_.lookups());
};

TEST_F(ListTextArenaModelTest, RefreshesSharePackedTextsAndAFailedOneKeepsTheEarlierRows)
{
    std::vector<int> numbers(20000);
    std::iota(numbers.begin(), numbers.end(), 1);
    Fill(numbers, true);
    model_->textArena().WaitForPacking();
    const std::size_t blocks = model_->textArena().blockCount();
    ASSERT_GT(model_->textArena().packedBlockCount(), blocks / 2);
    EXPECT_EQ(WrongRows(), 0);

    Fill(numbers, true, 500);
    EXPECT_EQ(WrongRows(500), 0);
    EXPECT_LE(model_->textArena().blockCount(), blocks + 1) << "only the changed row's texts are new";

    std::vector<int> fewer(numbers.begin(), numbers.begin() + 3000);
    Fill(fewer, false, 7);
    EXPECT_EQ(model_->rowCount(), 20000);
    EXPECT_EQ(WrongRows(500), 0);

    // Another order: the rows' blocks are not read in turn, yet each row shows its own texts.
    std::vector<int> shuffled = numbers;
    std::shuffle(shuffled.begin(), shuffled.end(), std::mt19937(11));
    Fill(shuffled, true);
    EXPECT_EQ(WrongRows(), 0);
    std::reverse(shuffled.begin(), shuffled.end());
    Fill(shuffled, true, 9);
    EXPECT_EQ(WrongRows(9), 0);
    EXPECT_LT(model_->textArena().capacity(), 4 * blocks * ListTextArena::kBlockBytes);
}

TEST_F(ListTextArenaModelTest, AListDroppedWhileItsTextsArePackedLeavesNoThreadBehind)
{
    const int threads = ThreadCount();
    std::vector<int> numbers(30000);
    std::iota(numbers.begin(), numbers.end(), 1);
    Fill(numbers, true);
    Fill(numbers, true, 3);
    model_->Clear();
    Fill(numbers, true);
    model_.reset();
    EXPECT_EQ(ThreadCount(), threads);
}
