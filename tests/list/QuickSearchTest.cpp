// The quick search on a real file: ranking, the list's visibility rule, the index following every
// change, attachment names, faulty words, and the list showing the hits until the search is cleared.

#include "document/DefectDocFixture.h"

#include "document/AttachmentCopy.h"
#include "list/ColumnCatalogue.h"
#include "list/DefectList.h"
#include "list/QuickSearch.h"
#include "store/AttachmentDirectory.h"
#include "store/SearchIndex.h"

#include <QFile>
#include <QSignalSpy>

#include <algorithm>
#include <functional>

namespace {

constexpr std::int64_t kAnn = 12;
constexpr std::int64_t kBob = 13;
constexpr std::int64_t kOpen = 2, kDraft = 999;

class QuickSearchTest : public DefectDocFixture {
protected:
    QuickSearchTest()
    {
        AddStakeholder(setup_, kAnn, QStringLiteral("Ann"), QStringLiteral("ann"));
        AddStakeholder(setup_, kBob, QStringLiteral("Bob"), QStringLiteral("bob"));
    }

    std::int64_t AddDefect(std::int64_t status, std::int64_t from, const QString& subject, const QString& description)
    {
        Exec(setup_,
             QStringLiteral("INSERT INTO defectlist (statusid, priorityid, severityid, subject, description, "
                            "componentid, toid, fromid, categoryid, opened, modified, closed, lastread) VALUES (?, 1, "
                            "1, ?, ?, 1, ?, ?, 0, 46000, 46000, 0, 0)"),
             {status, subject, description, kAnn, from});
        return setup_.LastInsertId();
    }

    std::vector<std::int32_t> Search(const QString& words, std::int64_t user = kAnn)
    {
        const QuickSearchResult result =
            RunQuickSearch(setup_, static_cast<std::int32_t>(user), words.split(' '), 100, 100);
        EXPECT_TRUE(result.error.isEmpty()) << result.error.toStdString();
        std::vector<std::int32_t> ids;
        for (const QuickSearchHit& hit : result.hits)
            ids.push_back(hit.defectId);
        return ids;
    }

    void LogIn()
    {
        doc_.SetOperatingSystemUser([] { return std::nullopt; });
        doc_.SetAutoLogin(QStringLiteral("ann"));
        ASSERT_TRUE(doc_.OnOpenDocument(path_));
    }
};

using Ids = std::vector<std::int32_t>;

TEST_F(QuickSearchTest, HitsAreRankedSeenAsTheListSeesThemAndFollowEveryChange)
{
    const auto inDescription =
        AddDefect(kOpen, kBob, QStringLiteral("Paper tray"), QStringLiteral("the printer stops after ten pages"));
    const auto inSubject = AddDefect(kOpen, kBob, QStringLiteral("Printer jams on duplex"), QString());
    const auto bobsDraft = AddDefect(kDraft, kBob, QStringLiteral("Printer draft"), QString());
    const auto annsDraft = AddDefect(kDraft, kAnn, QStringLiteral("Notes"), QStringLiteral("printer notes"));
    AddDefect(kOpen, kBob, QStringLiteral("Scanner"), QStringLiteral("nothing to do with it"));

    // The index does not exist before the first search, which builds it from what is there.
    EXPECT_FALSE(HasSearchIndex(setup_));
    const Ids hits = Search(QStringLiteral("printer"));
    EXPECT_TRUE(HasSearchIndex(setup_));
    ASSERT_EQ(hits.size(), 3U);
    EXPECT_EQ(hits.front(), inSubject) << "a word in the subject weighs most";
    EXPECT_EQ(std::count(hits.begin(), hits.end(), bobsDraft), 0) << "another user's draft stays hidden";
    EXPECT_EQ(std::count(hits.begin(), hits.end(), annsDraft), 1);
    EXPECT_EQ(Search(QStringLiteral("printer"), kBob).size(), 3U) << "Bob sees his draft, not Ann's";
    // Word beginnings, accents and all words together.
    EXPECT_EQ(Search(QStringLiteral("print pages")), Ids{static_cast<std::int32_t>(inDescription)});
    EXPECT_EQ(Search(QStringLiteral("DÚPLEX")), Ids{static_cast<std::int32_t>(inSubject)});

    // Written by anybody, through the triggers: an update, a history line, a deletion.
    Exec(setup_, QStringLiteral("UPDATE defectlist SET subject = 'Toner empty' WHERE defect_id = ?"), {inSubject});
    const Ids afterUpdate = Search(QStringLiteral("duplex"));
    EXPECT_EQ(std::count(afterUpdate.begin(), afterUpdate.end(), inSubject), 0);
    Exec(setup_, QStringLiteral("UPDATE defectlist SET history = 'commit 1a2b3c4 (Dana): refill' WHERE defect_id = ?"),
         {inSubject});
    EXPECT_EQ(Search(QStringLiteral("1a2b3c4")), Ids{static_cast<std::int32_t>(inSubject)});
    Exec(setup_, QStringLiteral("DELETE FROM defectlist WHERE defect_id = ?"), {inDescription});
    EXPECT_TRUE(Search(QStringLiteral("pages")).empty());

    // Attachment names, once the program tells the index about them.
    doc_.database().SetDatabaseFileName(path_);
    const QString folder = AttachmentDirectory(path_, static_cast<int>(annsDraft), true);
    QFile dump(folder + QStringLiteral("/core-dump-0815.txt"));
    ASSERT_TRUE(dump.open(QIODevice::WriteOnly));
    dump.close();
    IndexAttachments(doc_, path_, static_cast<int>(annsDraft));
    EXPECT_EQ(Search(QStringLiteral("core-dump")), Ids{static_cast<std::int32_t>(annsDraft)});
    ASSERT_TRUE(QFile::remove(dump.fileName()));
    IndexAttachments(doc_, path_, static_cast<int>(annsDraft));
    EXPECT_TRUE(Search(QStringLiteral("core-dump")).empty());
}

TEST_F(QuickSearchTest, AnIndexBuiltInStepsMissesNoChangeMadeBetweenThem)
{
    std::vector<std::int64_t> ids;
    for (int i = 0; i < 6; ++i)
        ids.push_back(AddDefect(kOpen, kBob, QStringLiteral("alpha %1").arg(i), QString()));
    bool complete = true;
    ASSERT_EQ(BuildSearchIndexStep(setup_, 2, complete), engine::kOk);
    EXPECT_FALSE(complete);
    EXPECT_FALSE(HasSearchIndex(setup_));
    // Other workstations write meanwhile: to indexed defects and to those not indexed yet.
    Exec(setup_, QStringLiteral("UPDATE defectlist SET subject = 'beta indexed' WHERE defect_id = ?"), {ids[0]});
    Exec(setup_, QStringLiteral("UPDATE defectlist SET subject = 'beta waiting' WHERE defect_id = ?"), {ids[4]});
    Exec(setup_, QStringLiteral("DELETE FROM defectlist WHERE defect_id IN (?, ?)"), {ids[1], ids[5]});
    const auto added = AddDefect(kOpen, kBob, QStringLiteral("beta new"), QString());
    ASSERT_EQ(BuildSearchIndexStep(setup_, 2, complete), engine::kOk);
    EXPECT_FALSE(complete);

    Ids expected{static_cast<std::int32_t>(added), static_cast<std::int32_t>(ids[4]),
                 static_cast<std::int32_t>(ids[0])};
    Ids found = Search(QStringLiteral("beta"));
    std::sort(found.begin(), found.end(), std::greater<>());
    EXPECT_EQ(found, expected);
    EXPECT_TRUE(HasSearchIndex(setup_));
    EXPECT_EQ(Search(QStringLiteral("alpha")).size(), 2U);
    // The index agrees with the table it reads, row for row.
    EXPECT_EQ(setup_.Execute(QStringLiteral("INSERT INTO defect_search (defect_search, rank) VALUES "
                                            "('integrity-check', 1)")),
              engine::kOk)
        << setup_.TakeErrorMessage().toStdString();
}

TEST_F(QuickSearchTest, WordsInMostDefectsBringTheNewestVisibleOnes)
{
    // More defects hold the word than are worth ranking: the newest come first, under the same
    // rule of what Ann may see.
    ASSERT_EQ(setup_.WriteTransaction([&] {
        for (int i = 0; i < 10050; ++i)
            AddDefect(kOpen, kBob, QStringLiteral("window %1").arg(i), QString());
        return engine::kOk;
    }),
              engine::kOk);
    const auto bobsDraft = AddDefect(kDraft, kBob, QStringLiteral("window draft"), QString());
    const auto newest = AddDefect(kOpen, kBob, QStringLiteral("window newest"), QString());
    const QuickSearchResult result = RunQuickSearch(setup_, kAnn, {QStringLiteral("window")}, 20, 3);
    ASSERT_TRUE(result.error.isEmpty()) << result.error.toStdString();
    ASSERT_EQ(result.hits.size(), 20U);
    EXPECT_EQ(result.hits[0].defectId, newest);
    EXPECT_EQ(result.hits[1].defectId, bobsDraft - 1);
    EXPECT_TRUE(
        std::is_sorted(result.hits.begin(), result.hits.end(),
                       [](const QuickSearchHit& a, const QuickSearchHit& b) { return a.defectId > b.defectId; }));
    EXPECT_EQ(result.hits[2].excerpt.contains(QStringLiteral("[window]")), true);
    EXPECT_TRUE(result.hits[3].excerpt.isEmpty()) << "excerpts only for the hits asked for";
}

TEST_F(QuickSearchTest, FaultyWordsAreToldInWordsAndChangeNothing)
{
    AddDefect(kOpen, kBob, QStringLiteral("Printer"), QString());
    for (const char* words : {"\"unclosed", "printer AND", "(printer", "nosuchcolumn:printer"}) {
        const QuickSearchResult result = RunQuickSearch(setup_, kAnn, {QString::fromUtf8(words)}, 10, 10);
        EXPECT_TRUE(result.hits.empty()) << words;
        EXPECT_TRUE(result.error.contains(QStringLiteral("not understood"))) << words;
        EXPECT_FALSE(result.details.isEmpty()) << words;
    }
    // Quotes and operators that are whole are the query syntax.
    EXPECT_EQ(Search(QStringLiteral("\"printer\" OR scanner")).size(), 1U);
}

TEST_F(QuickSearchTest, TheListShowsTheHitsBestFirstUntilTheChipIsRemoved)
{
    const auto second = AddDefect(kOpen, kBob, QStringLiteral("Paper tray"), QStringLiteral("printer stops"));
    const auto first = AddDefect(kOpen, kBob, QStringLiteral("Printer jams"), QString());
    AddDefect(kOpen, kBob, QStringLiteral("Scanner"), QString());
    CDefectList list(doc_);
    LogIn();
    ASSERT_EQ(list.model().rowCount(), 3);

    QSignalSpy chip(&list, &CDefectList::quickSearchChanged);
    ASSERT_TRUE(list.ApplyQuickSearch(QStringLiteral("  printer ")));
    ASSERT_EQ(list.model().rowCount(), 2);
    EXPECT_EQ(list.model().DefectIdAt(0), first);
    EXPECT_EQ(list.model().DefectIdAt(1), second);
    ASSERT_EQ(chip.count(), 1);
    EXPECT_EQ(chip.at(0).at(0).toString(), QStringLiteral("printer"));
    EXPECT_TRUE(list.statusText().startsWith(QStringLiteral("2 defects found"))) << list.statusText().toStdString();
    EXPECT_TRUE(list.statusText().contains(QStringLiteral("[Printer]")));
    // A refill (the auto-refresh's, say) keeps the search.
    list.FillList();
    EXPECT_EQ(list.model().rowCount(), 2);

    ui_.ExpectMessageText(QStringLiteral("not understood"));
    EXPECT_FALSE(list.ApplyQuickSearch(QStringLiteral("\"open")));
    EXPECT_EQ(list.model().rowCount(), 2) << "a faulty search leaves the list as it was";

    list.ClearQuickSearch();
    EXPECT_EQ(list.model().rowCount(), 3);
    ASSERT_EQ(chip.count(), 2);
    EXPECT_TRUE(chip.at(1).at(0).toString().isEmpty());
    ui_.VerifyAllUsed();
}

} // namespace
