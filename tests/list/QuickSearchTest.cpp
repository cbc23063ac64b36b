// The quick search on a real file and on a server: ranking, the list's visibility rule, the index
// following every change, attachment names, faulty words, and the list showing the hits until the
// search is cleared.

#include "document/DefectDocFixture.h"

#include "document/AttachmentCopy.h"
#include "engine/SqlDialect.h"
#include "list/ColumnCatalogue.h"
#include "list/DefectList.h"
#include "list/QuickSearch.h"
#include "store/AttachmentDirectory.h"
#include "store/SearchIndex.h"
#include "support/PgServer.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>

#include <algorithm>
#include <functional>
#include <iostream>
#include <optional>

namespace {

constexpr std::int64_t kAnn = 12;
constexpr std::int64_t kBob = 13;
constexpr std::int64_t kOpen = 2, kDraft = 999;

std::int64_t AddDefectTo(engine::Connection& connection, std::int64_t status, std::int64_t from, const QString& subject,
                         const QString& description)
{
    Exec(connection,
         QStringLiteral("INSERT INTO defectlist (statusid, priorityid, severityid, subject, description, "
                        "componentid, toid, fromid, categoryid, opened, modified, closed, lastread) VALUES (?, 1, "
                        "1, ?, ?, 1, ?, ?, 0, 46000, 46000, 0, 0)"),
         {status, subject, description, kAnn, from});
    return connection.LastInsertId();
}

std::vector<std::int32_t> SearchIn(engine::Connection& connection, const QString& words, std::int64_t user = kAnn)
{
    const QuickSearchResult result =
        RunQuickSearch(connection, static_cast<std::int32_t>(user), words.split(' '), 100, 100);
    EXPECT_TRUE(result.error.isEmpty()) << words.toStdString() << ": " << result.error.toStdString() << "\n"
                                        << result.details.toStdString();
    std::vector<std::int32_t> ids;
    for (const QuickSearchHit& hit : result.hits)
        ids.push_back(hit.defectId);
    return ids;
}

class QuickSearchTest : public DefectDocFixture {
protected:
    QuickSearchTest()
    {
        AddStakeholder(setup_, kAnn, QStringLiteral("Ann"), QStringLiteral("ann"));
        AddStakeholder(setup_, kBob, QStringLiteral("Bob"), QStringLiteral("bob"));
    }

    std::int64_t AddDefect(std::int64_t status, std::int64_t from, const QString& subject, const QString& description)
    {
        return AddDefectTo(setup_, status, from, subject, description);
    }

    std::vector<std::int32_t> Search(const QString& words, std::int64_t user = kAnn)
    {
        return SearchIn(setup_, words, user);
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

// The same search on a database on the test server, whose index the first search adds.
class QuickSearchServerTest : public testing::Test {
protected:
    void SetUp() override
    {
        const std::optional<QString> uri = NewServerDatabase();
        if (!uri)
            GTEST_SKIP() << ServerUnavailableReason().toStdString();
        CreateCurrentDatabase(*uri);
        uri_ = *uri;
        ASSERT_EQ(db_.Open(uri_), engine::kOk);
        AddStakeholder(db_, kAnn, QStringLiteral("Ann"), QStringLiteral("ann"));
        AddStakeholder(db_, kBob, QStringLiteral("Bob"), QStringLiteral("bob"));
    }

    std::int64_t AddDefect(std::int64_t status, std::int64_t from, const QString& subject, const QString& description)
    {
        return AddDefectTo(db_, status, from, subject, description);
    }

    Ids Search(const QString& words, std::int64_t user = kAnn) { return SearchIn(db_, words, user); }

    QString uri_;
    engine::Connection db_;
};

TEST_F(QuickSearchServerTest, HitsAreRankedSeenAsTheListSeesThemAndFollowEveryChange)
{
    const auto inDescription =
        AddDefect(kOpen, kBob, QStringLiteral("Paper tray"), QStringLiteral("the printer stops after ten pages"));
    const auto inSubject = AddDefect(kOpen, kBob, QStringLiteral("Printer jams on duplex"), QString());
    const auto bobsDraft = AddDefect(kDraft, kBob, QStringLiteral("Printer draft"), QString());
    const auto annsDraft = AddDefect(kDraft, kAnn, QStringLiteral("Notes"), QStringLiteral("printer notes"));
    const auto german = AddDefect(kOpen, kBob, QStringLiteral("Scanner"), QStringLiteral("falsche Größe, don't scan"));

    EXPECT_FALSE(HasSearchIndex(db_)) << "a database made by an older build has no index";
    const QuickSearchResult result = RunQuickSearch(db_, kAnn, {QStringLiteral("printer")}, 100, 1);
    ASSERT_TRUE(result.error.isEmpty()) << result.error.toStdString() << result.details.toStdString();
    EXPECT_TRUE(HasSearchIndex(db_));
    ASSERT_EQ(result.hits.size(), 3U);
    EXPECT_EQ(result.hits[0].defectId, inSubject) << "a word in the subject weighs most";
    EXPECT_LT(result.hits[0].score, result.hits[1].score);
    EXPECT_TRUE(result.hits[0].excerpt.contains(QStringLiteral("[Printer]"))) << result.hits[0].excerpt.toStdString();
    EXPECT_TRUE(result.hits[1].excerpt.isEmpty()) << "excerpts only for the hits asked for";
    const Ids hits = Search(QStringLiteral("printer"));
    EXPECT_EQ(std::count(hits.begin(), hits.end(), bobsDraft), 0) << "another user's draft stays hidden";
    EXPECT_EQ(std::count(hits.begin(), hits.end(), annsDraft), 1);
    Ids bobs = Search(QStringLiteral("printer"), kBob);
    EXPECT_EQ(std::count(bobs.begin(), bobs.end(), bobsDraft), 1) << "Bob sees his draft";
    EXPECT_EQ(std::count(bobs.begin(), bobs.end(), annsDraft), 0) << "and not Ann's";
    // Word beginnings, all words together, words split by the parser, and letters beyond ASCII as typed.
    EXPECT_EQ(Search(QStringLiteral("print pages")), Ids{static_cast<std::int32_t>(inDescription)});
    EXPECT_EQ(Search(QStringLiteral("PRINT Pag")), Ids{static_cast<std::int32_t>(inDescription)});
    EXPECT_EQ(Search(QStringLiteral("größe don't")), Ids{static_cast<std::int32_t>(german)});
    EXPECT_TRUE(Search(QStringLiteral("printer größe")).empty());

    // Written after the index exists, by any connection: an update, a history line, a deletion.
    engine::Connection other;
    ASSERT_EQ(other.Open(uri_), engine::kOk);
    Exec(other, QStringLiteral("UPDATE defectlist SET subject = 'Toner empty' WHERE defect_id = ?"), {inSubject});
    EXPECT_TRUE(Search(QStringLiteral("duplex")).empty());
    EXPECT_EQ(Search(QStringLiteral("toner")), Ids{static_cast<std::int32_t>(inSubject)});
    Exec(other, QStringLiteral("UPDATE defectlist SET history = 'commit 1a2b3c4 (Dana): refill' WHERE defect_id = ?"),
         {inSubject});
    EXPECT_EQ(Search(QStringLiteral("1a2b3c4")), Ids{static_cast<std::int32_t>(inSubject)});
    const auto added = AddDefectTo(other, kOpen, kBob, QStringLiteral("Fuser overheats"), QString());
    EXPECT_EQ(Search(QStringLiteral("fuser")), Ids{static_cast<std::int32_t>(added)});
    Exec(other, QStringLiteral("DELETE FROM defectlist WHERE defect_id = ?"), {inDescription});
    EXPECT_TRUE(Search(QStringLiteral("pages")).empty());
    // A session whose search path does not name the program's schema writes and is indexed all the same.
    engine::Connection administrator; // as in a session of its own outside the program
    ASSERT_EQ(administrator.Open(uri_), engine::kOk);
    Exec(administrator, QStringLiteral("SET search_path = public"));
    Exec(administrator,
         QStringLiteral("UPDATE vellacord.defectlist SET description = 'staple jam' WHERE defect_id = ?"), {added});
    EXPECT_EQ(Search(QStringLiteral("staple")), Ids{static_cast<std::int32_t>(added)});

    // Attachment names, after every text match and with their own excerpt; replaced, then gone.
    ASSERT_EQ(IndexAttachmentNames(db_, static_cast<std::int32_t>(annsDraft),
                                   {QStringLiteral("core-dump-0815.txt"), QStringLiteral("printer.log")}),
              engine::kOk);
    EXPECT_EQ(Search(QStringLiteral("core-dump")), Ids{static_cast<std::int32_t>(annsDraft)});
    EXPECT_EQ(Search(QStringLiteral("0815")), Ids{static_cast<std::int32_t>(annsDraft)});
    const QuickSearchResult named = RunQuickSearch(db_, kAnn, {QStringLiteral("core")}, 10, 10);
    ASSERT_EQ(named.hits.size(), 1U);
    EXPECT_TRUE(named.hits[0].excerpt.contains(QLatin1Char('['))) << named.hits[0].excerpt.toStdString();
    ASSERT_EQ(IndexAttachmentNames(db_, static_cast<std::int32_t>(annsDraft), {QStringLiteral("trace.txt")}),
              engine::kOk);
    EXPECT_TRUE(Search(QStringLiteral("core-dump")).empty());
    EXPECT_EQ(Search(QStringLiteral("trace")), Ids{static_cast<std::int32_t>(annsDraft)});
    Exec(other, QStringLiteral("DELETE FROM defectlist WHERE defect_id = ?"), {annsDraft});
    EXPECT_TRUE(Search(QStringLiteral("trace")).empty());
}

TEST_F(QuickSearchServerTest, AnotherWorkstationUsesTheIndexBuiltOnceAndFaultyWordsAreToldInWords)
{
    const auto printer = AddDefect(kOpen, kBob, QStringLiteral("Printer"), QString());
    const auto scanner = AddDefect(kOpen, kBob, QStringLiteral("Scanner"), QString());
    ASSERT_TRUE(EnsureSearchIndex(db_));
    engine::Connection other;
    ASSERT_EQ(other.Open(uri_), engine::kOk);
    EXPECT_TRUE(HasSearchIndex(other));
    // Building again, as a workstation that looked before the other finished would, adds nothing twice.
    bool complete = false;
    ASSERT_EQ(BuildSearchIndexStep(other, 2, complete), engine::kOk) << other.TakeErrorMessage().toStdString();
    EXPECT_TRUE(complete);
    EXPECT_EQ(SearchIn(other, QStringLiteral("printer")), Ids{static_cast<std::int32_t>(printer)});

    for (const char* words : {"printer &", "(printer", "printer <->", "& |"}) {
        const QuickSearchResult result = RunQuickSearch(db_, kAnn, {QString::fromUtf8(words)}, 10, 10);
        EXPECT_TRUE(result.hits.empty()) << words;
        EXPECT_TRUE(result.error.contains(QStringLiteral("not understood"))) << words << result.error.toStdString();
        EXPECT_FALSE(result.details.isEmpty()) << words;
    }
    // The connection goes on working after a faulty query, and whole operators are the query syntax.
    Ids either = Search(QStringLiteral("printer | scan:*"));
    std::sort(either.begin(), either.end());
    EXPECT_EQ(either, (Ids{static_cast<std::int32_t>(printer), static_cast<std::int32_t>(scanner)}));
    EXPECT_EQ(Search(QStringLiteral("!printer")), Ids{static_cast<std::int32_t>(scanner)});
    // Punctuation that is no operator is no fault, and words that are not there find nothing.
    EXPECT_EQ(Search(QStringLiteral("\"printer")), Ids{static_cast<std::int32_t>(printer)});
    EXPECT_TRUE(Search(QStringLiteral("'; DROP TABLE defectlist; --")).empty());
    EXPECT_EQ(Search(QStringLiteral("scanner")), Ids{static_cast<std::int32_t>(scanner)});
}

TEST_F(QuickSearchServerTest, AUserWithoutTheRightToBuildTheIndexSavesAndSearchesOnceItIsThere)
{
    const auto printer = AddDefect(kOpen, kBob, QStringLiteral("Printer"), QString());
    // A login in the users' role of a server set up for the program: no right to create in the schema.
    const QString role = QStringLiteral("clerk_") + engine::ServerDatabaseName(uri_);
    Exec(db_,
         QStringLiteral("DO $$BEGIN IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = 'vellacord_users') THEN "
                        "CREATE ROLE vellacord_users NOLOGIN; END IF; END$$"));
    Exec(db_, QStringLiteral("CREATE ROLE %1 LOGIN IN ROLE vellacord_users").arg(role));
    Exec(db_, QStringLiteral("GRANT USAGE ON SCHEMA vellacord TO vellacord_users"));
    Exec(db_,
         QStringLiteral("GRANT SELECT, INSERT, UPDATE, DELETE ON ALL TABLES IN SCHEMA vellacord TO vellacord_users"));
    Exec(db_, QStringLiteral("GRANT USAGE ON ALL SEQUENCES IN SCHEMA vellacord TO vellacord_users"));
    Exec(db_, QStringLiteral("CREATE ROLE %1_out LOGIN").arg(role));
    Exec(db_, QStringLiteral("GRANT USAGE ON SCHEMA vellacord TO %1_out").arg(role));
    Exec(db_,
         QStringLiteral("GRANT SELECT, INSERT, UPDATE, DELETE ON ALL TABLES IN SCHEMA vellacord TO %1_out").arg(role));
    engine::Connection outsider;
    ASSERT_EQ(
        outsider.Open(QString(uri_).replace(QStringLiteral("user=postgres"), QStringLiteral("user=%1_out").arg(role))),
        engine::kOk);
    engine::Connection clerk;
    ASSERT_EQ(clerk.Open(QString(uri_).replace(QStringLiteral("user=postgres"), QStringLiteral("user=") + role)),
              engine::kOk);

    const QuickSearchResult refused = RunQuickSearch(clerk, kAnn, {QStringLiteral("printer")}, 10, 10);
    EXPECT_TRUE(refused.hits.empty());
    EXPECT_FALSE(refused.error.isEmpty()) << "the search says it is not available";
    EXPECT_FALSE(HasSearchIndex(clerk));
    Exec(clerk, QStringLiteral("UPDATE defectlist SET subject = 'Printer jams' WHERE defect_id = ?"), {printer});

    ASSERT_TRUE(EnsureSearchIndex(db_));
    // The clerk's saves go on, and reach the index made by another; so do those of a login given
    // rights table by table before the index was there, outside the users' role.
    Exec(clerk, QStringLiteral("UPDATE defectlist SET subject = 'Toner low' WHERE defect_id = ?"), {printer});
    Exec(outsider, QStringLiteral("UPDATE defectlist SET description = 'drum worn' WHERE defect_id = ?"), {printer});
    EXPECT_EQ(SearchIn(clerk, QStringLiteral("drum")), Ids{static_cast<std::int32_t>(printer)});
    const auto added = AddDefectTo(clerk, kOpen, kBob, QStringLiteral("Fuser hot"), QString());
    EXPECT_EQ(SearchIn(clerk, QStringLiteral("toner")), Ids{static_cast<std::int32_t>(printer)});
    EXPECT_EQ(SearchIn(clerk, QStringLiteral("fuser")), Ids{static_cast<std::int32_t>(added)});
    EXPECT_EQ(IndexAttachmentNames(clerk, static_cast<std::int32_t>(added), {QStringLiteral("fuser.jpg")}),
              engine::kOk);
    Exec(clerk, QStringLiteral("DELETE FROM defectlist WHERE defect_id = ?"), {added});
    EXPECT_TRUE(SearchIn(clerk, QStringLiteral("fuser")).empty());
}

TEST_F(QuickSearchServerTest, WordsInMostDefectsBringTheNewestVisibleOnes)
{
    Exec(db_,
         QStringLiteral("INSERT INTO defectlist (statusid, priorityid, severityid, subject, description, "
                        "componentid, toid, fromid, categoryid, opened, modified, closed, lastread) SELECT ?, 1, 1, "
                        "'window ' || g, 'the window ' || g || ' does not close', 1, ?, ?, 0, 46000, 46000, 0, 0 "
                        "FROM generate_series(1, 10050) g"),
         {kOpen, kAnn, kBob});
    const auto rare = AddDefect(kOpen, kBob, QStringLiteral("window rare"), QStringLiteral("a rare crash"));
    QElapsedTimer timer;
    timer.start();
    ASSERT_TRUE(EnsureSearchIndex(db_));
    const qint64 built = timer.restart();
    const auto bobsDraft = AddDefect(kDraft, kBob, QStringLiteral("window draft"), QString());
    const auto newest = AddDefect(kOpen, kBob, QStringLiteral("window newest"), QString());
    const QuickSearchResult result = RunQuickSearch(db_, kAnn, {QStringLiteral("window")}, 20, 3);
    const qint64 searched = timer.restart();
    ASSERT_TRUE(result.error.isEmpty()) << result.error.toStdString() << result.details.toStdString();
    ASSERT_EQ(result.hits.size(), 20U);
    EXPECT_EQ(result.hits[0].defectId, newest);
    EXPECT_EQ(result.hits[1].defectId, bobsDraft - 1);
    EXPECT_TRUE(
        std::is_sorted(result.hits.begin(), result.hits.end(),
                       [](const QuickSearchHit& a, const QuickSearchHit& b) { return a.defectId > b.defectId; }));
    EXPECT_TRUE(result.hits[2].excerpt.contains(QStringLiteral("[window]"))) << result.hits[2].excerpt.toStdString();
    EXPECT_TRUE(result.hits[3].excerpt.isEmpty());
    // Under the threshold the hits are ranked again.
    EXPECT_EQ(Search(QStringLiteral("rare crash")), Ids{static_cast<std::int32_t>(rare)});
    std::cout << "[ info ] index of 10052 defects built in " << built << " ms, searched in " << searched << " ms, "
              << "ranked search in " << timer.elapsed() << " ms\n";
}

} // namespace
