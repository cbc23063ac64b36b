// Workflows: the built-in files, the reader, replacing the stored one exactly, and a failure half-way.

#include "store/Workflow.h"
#include "base/Check.h"
#include "engine/Connection.h"
#include "engine/EngineStatus.h"
#include "engine/Rowset.h"
#include "support/ScriptedUserInterface.h"
#include "support/TempFolder.h"
#include "support/TestDatabase.h"

#include <QFile>

#include <sstream>
#include <tuple>

#include <gtest/gtest.h>

using namespace engine;

namespace {

using Triple = std::tuple<int, int, int>;

class WorkflowStore : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(connection_.Open(CreateCurrentDatabase(folder_.file(QStringLiteral("workflow.defl")))), kOk);
        ASSERT_TRUE(StoredWorkflow().empty());
    }

    // (from, to, words) by sort order, checking that the sort orders count from 0 without gaps.
    std::vector<Triple> StoredWorkflow()
    {
        Rowset rows;
        EXPECT_EQ(connection_.Query(QStringLiteral("SELECT fromStatus, toStatus, sys_sortorder, commentWordsRequired "
                                                   "FROM statustransitions ORDER BY sys_sortorder"),
                                    {}, rows),
                  kOk);
        std::vector<Triple> result;
        for (long status = rows.MoveFirst(); status == kOk; status = rows.MoveNext()) {
            EXPECT_EQ(rows.Int(2), static_cast<std::int64_t>(result.size()));
            result.emplace_back(rows.Int(0), rows.Int(1), rows.Int(3));
        }
        return result;
    }

    TempFolder folder_;
    Connection connection_;
};

QByteArray Resource(int id)
{
    QFile file(QStringLiteral(":/TXT_FILE/%1").arg(id));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    return file.readAll();
}

std::vector<StatusTransition> Load(const std::string& text)
{
    std::istringstream in(text);
    return LoadWorkflow(in);
}

} // namespace

TEST(WorkflowResources, HaveTheBuiltInTransitionsInOrder)
{
    for (const int id : {230, 233}) {
        const QByteArray text = Resource(id);
        EXPECT_TRUE(text.contains("\t")) << id;
        EXPECT_TRUE(text.contains("\r\n")) << id;
        EXPECT_FALSE(text.isEmpty() || QByteArrayLiteral(" \t\r\n").contains(text.back())) << id;
    }

    // Every transition in file order: a wrong or swapped line changes what users may choose.
    const std::vector<Triple> standard{
        {1, 2, 0},  {1, 3, 0},  {1, 7, 3},  {1, 8, 3},   {1, 9, 3},  {0, 1, 0},  {0, 2, 0},   {2, 3, 0},  {2, 4, 0},
        {2, -1, 0}, {2, 7, 3},  {2, 8, 3},  {2, 9, 3},   {2, 1, 3},  {3, 4, 0},  {3, 2, 3},   {4, 5, 0},  {4, 2, 3},
        {4, 3, 0},  {5, 6, 0},  {5, 2, 3},  {5, 4, 0},   {6, 10, 0}, {6, 11, 3}, {7, 10, 0},  {7, 11, 3}, {8, 10, 0},
        {8, 11, 3}, {9, 10, 0}, {9, 11, 3}, {10, 11, 3}, {11, 2, 0}, {11, 7, 3}, {999, 1, 0}, {999, 2, 0}};
    const std::vector<Triple> simple{{2, 4, 0},  {2, 5, 0},  {2, 6, 0},  {0, 2, 0},  {2, -1, 0},  {2, 7, 3},
                                     {2, 8, 3},  {2, 9, 3},  {4, 5, 0},  {4, 6, 0},  {4, 2, 3},   {5, 6, 0},
                                     {5, 2, 3},  {5, 4, 0},  {6, 10, 0}, {6, 11, 3}, {7, 10, 0},  {7, 11, 3},
                                     {8, 10, 0}, {8, 11, 3}, {9, 10, 0}, {9, 11, 3}, {10, 11, 3}, {11, 4, 0},
                                     {11, 5, 0}, {11, 6, 0}, {11, 7, 3}, {11, 8, 3}, {11, 9, 3},  {999, 2, 0}};
    for (const auto& [id, expected] : {std::pair{230, standard}, std::pair{233, simple}}) {
        const std::vector<StatusTransition> loaded = Load(Resource(id).toStdString());
        std::vector<Triple> triples;
        for (const StatusTransition& t : loaded) {
            EXPECT_EQ(t.sys_sortorder, static_cast<int>(triples.size())) << id;
            triples.emplace_back(t.fromStatus, t.toStatus, t.commentWordsRequired);
        }
        EXPECT_EQ(triples, expected) << id;
    }
}

TEST(WorkflowReader, AcceptsTrailingWhitespaceButNotMissingNumbers)
{
    // A file saved by an editor ends with a line break; that is no missing number.
    const auto trailing = Load("1\t2\t0\r\n2\t3\t3\r\n");
    ASSERT_EQ(trailing.size(), 2u);
    EXPECT_EQ(trailing[1].fromStatus, 2);
    EXPECT_EQ(trailing[1].toStatus, 3);
    EXPECT_EQ(trailing[1].commentWordsRequired, 3);
    EXPECT_EQ(trailing[1].sys_sortorder, 1);
    EXPECT_EQ(Load("  1 2 0 \n\n ").size(), 1u);

    for (const std::string malformed :
         {"", " \r\n", "1\t2\r\n", "1\t2\t0\r\n3\t4", "1 2 x", "1 2 0 x", "1 2 0x", "1 2 99999999999"}) {
        try {
            Load(malformed);
            ADD_FAILURE() << "accepted: " << malformed;
        } catch (const check::assertion_failed& failure) {
            EXPECT_STREQ(failure.what(), "malformed input stream");
        }
    }
}

TEST_F(WorkflowStore, ChoosingAWorkflowReplacesTheStoredOneExactly)
{
    ScriptedUserInterface ui;
    ui.ExpectWorkflowChoice(0);
    EXPECT_TRUE(ChooseAndStoreWorkflow(connection_, ui));
    auto stored = StoredWorkflow();
    ASSERT_EQ(stored.size(), 35u);
    EXPECT_EQ(stored.front(), Triple(1, 2, 0));
    EXPECT_EQ(stored[9], Triple(2, -1, 0));
    EXPECT_EQ(stored.back(), Triple(999, 2, 0));

    // Shorter over longer: the left-over rows go.
    ui.ExpectWorkflowChoice(1);
    EXPECT_TRUE(ChooseAndStoreWorkflow(connection_, ui));
    stored = StoredWorkflow();
    ASSERT_EQ(stored.size(), 30u);
    EXPECT_EQ(stored.front(), Triple(2, 4, 0));
    EXPECT_EQ(stored[4], Triple(2, -1, 0));
    EXPECT_EQ(stored.back(), Triple(999, 2, 0));

    // Longer over shorter: the missing rows are added.
    ui.ExpectWorkflowChoice(0);
    EXPECT_TRUE(ChooseAndStoreWorkflow(connection_, ui));
    EXPECT_EQ(StoredWorkflow(), [] {
        std::vector<Triple> expected;
        for (const StatusTransition& t : Load(Resource(230).toStdString()))
            expected.emplace_back(t.fromStatus, t.toStatus, t.commentWordsRequired);
        return expected;
    }());
}

TEST_F(WorkflowStore, ImportingYourOwnOrMalformedTextStoresNothing)
{
    ScriptedUserInterface ui;
    ui.ExpectWorkflowChoice(2);
    EXPECT_FALSE(ChooseAndStoreWorkflow(connection_, ui));
    EXPECT_TRUE(StoredWorkflow().empty());

    EXPECT_THROW(StoreWorkflow(Load("1 2 0 3"), connection_), check::assertion_failed);
    EXPECT_TRUE(StoredWorkflow().empty());
}

TEST_F(WorkflowStore, AFailureHalfWayKeepsThePreviousWorkflow)
{
    ASSERT_TRUE(StoreWorkflow(Load(Resource(233).toStdString()), connection_));
    const auto before = StoredWorkflow();
    // Only the standard workflow moves a draft to "new"; that row is refused after 33 were written.
    ASSERT_EQ(connection_.Execute(QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON statustransitions "
                                                 "WHEN NEW.fromStatus = 999 AND NEW.toStatus = 1 "
                                                 "BEGIN SELECT RAISE(ABORT, 'refused'); END")),
              kOk);
    EXPECT_FALSE(StoreWorkflow(Load(Resource(230).toStdString()), connection_));
    EXPECT_EQ(StoredWorkflow(), before);

    // The connection is usable afterwards and no savepoint is left open.
    ASSERT_EQ(connection_.Execute(QStringLiteral("DROP TRIGGER refuse")), kOk);
    EXPECT_TRUE(StoreWorkflow(Load("3 4 0"), connection_));
    EXPECT_EQ(StoredWorkflow(), std::vector<Triple>{Triple(3, 4, 0)});
}
