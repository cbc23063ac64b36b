// Statements with a user's condition: however much work one condition asks for, it ends within the
// time limit, makes nothing bigger than the fence allows, and leaves the connection as it was.

#include "engine/ReadOnlyFence.h"
#include "engine/Connection.h"
#include "engine/EngineStatus.h"
#include "engine/Rowset.h"
#include "engine/Statement.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <chrono>

using namespace engine;

namespace {

constexpr std::chrono::milliseconds kTestLimit{1500};
constexpr std::chrono::milliseconds kGrace{2000};

class ReadOnlyFenceTest : public testing::Test {
protected:
    ReadOnlyFenceTest()
    {
        ReadOnlyFence::SetLongestRun(kTestLimit);
        EXPECT_EQ(Connection::CreateFile(path_), kOk);
        EXPECT_EQ(connection_.Open(path_), kOk);
        // Rows as the program writes them: texts of a few kilobytes.
        EXPECT_EQ(connection_.Execute(
                      QStringLiteral("CREATE TABLE item (item_id INTEGER PRIMARY KEY, name TEXT, description TEXT)")),
                  kOk);
        EXPECT_EQ(connection_.Execute(QStringLiteral(
                      "INSERT INTO item (name, description) SELECT 'item ' || x, printf('%.*c', 24000, 'd') FROM "
                      "(WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n WHERE x < 2000) SELECT x "
                      "FROM n)")),
                  kOk);
    }
    ~ReadOnlyFenceTest() override
    {
        ReadOnlyFence::SetLongestRun(ReadOnlyFence::kLongestRun);
        ReadOnlyFence::SetHeapAllowance(ReadOnlyFence::kHeapAllowance);
    }

    struct Run {
        long status = kOk;
        int rows = 0;
        std::chrono::milliseconds took{0};
    };

    // The list's statement with `condition` as the filter, read to its end behind the fence.
    Run RunFiltered(const QString& condition, Access access = Access::ReadOnly)
    {
        Run run;
        const auto start = std::chrono::steady_clock::now();
        run.status = connection_.ReadRows(
            QStringLiteral("SELECT item_id, name, description FROM item WHERE (\n%1\n) ORDER BY name").arg(condition),
            {}, access, [] {}, [&](const Statement&) { ++run.rows; });
        run.took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
        return run;
    }

    TempFolder folder_;
    const QString path_ = folder_.file(QStringLiteral("fence.defl"));
    Connection connection_;
};

} // namespace

TEST_F(ReadOnlyFenceTest, AConditionOfAnyCostEndsWithinTheLimit)
{
    // n copies of the first letter of the row's name: made anew for every row.
    const auto letters = [](int n) {
        return QStringLiteral("replace(hex(zeroblob(%1)), '0', substr(name, 1, 1))").arg(n / 2);
    };
    const QStringList costly{
        // Much work in one step per row: stepping counts would let this run for minutes.
        QStringLiteral("length(randomblob(1e8)) > 0"),
        // The inner query names the outer row, so it runs again for every row: run once, it would
        // end within the limit on a fast machine.
        QStringLiteral("length(randomblob(200000)) > 0 AND (SELECT count(*) FROM item AS b WHERE "
                       "b.item_id <> item.item_id AND length(randomblob(200000)) > 0) > 0"),
        // Never ends by itself.
        QStringLiteral("(WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c) SELECT count(*) FROM c) > 0"),
        // Huge values made in one call.
        QStringLiteral("length(zeroblob(2000000000)) > 0"),
        QStringLiteral("length(printf('%.*c', 2000000000, 'x')) > 0"),
        QStringLiteral("length(format('%.*c', 2000000000, name)) > 0"),
        QStringLiteral("length(replace(hex(zeroblob(100000)), '0', hex(zeroblob(100000)))) > 0"),
        // Calls that compare two long texts pairwise.
        QStringLiteral("instr(%1, %2 || 'b') >= 0").arg(letters(250000), letters(125000)),
        QStringLiteral("length(trim(%1, replace(hex(zeroblob(10000)), '0', 'b') || substr(name, 1, 1))) >= 0")
            .arg(letters(200000)),
        QStringLiteral("%1 LIKE '%' || %2 || 'b'").arg(letters(200000), letters(40000)),
    };
    for (const QString& condition : costly) {
        const Run run = RunFiltered(condition);
        EXPECT_EQ(run.status, kFaultyCommand) << condition.toStdString();
        EXPECT_LT(run.took, kTestLimit + kGrace) << condition.toStdString();
        EXPECT_FALSE(connection_.lost()) << "the file is fine; only the condition was at fault";
    }

    // The user is told why: a condition stopped by the clock says so.
    EXPECT_EQ(RunFiltered(costly[2]).status, kFaultyCommand);
    ASSERT_FALSE(connection_.errorRecords().empty());
    EXPECT_TRUE(connection_.errorRecords().front().message.contains(QStringLiteral("ran longer than 1.5 seconds")))
        << connection_.errorRecords().front().message.toStdString();
}

TEST_F(ReadOnlyFenceTest, HonestConditionsReadEveryRowAndTheConnectionIsAsBefore)
{
    // Rows of the size the program writes pass the length limit, sorted and read whole.
    const Run all = RunFiltered(QStringLiteral("name LIKE 'item%' AND trim(name, 'mi') <> '' AND "
                                               "instr(description, 'dd') = 1"));
    EXPECT_EQ(all.status, kOk);
    EXPECT_EQ(all.rows, 2000);
    EXPECT_EQ(RunFiltered(QStringLiteral("trim(name, 'item ') = '7'")).rows, 1);

    // Interrupted once, the connection runs the next statement, fenced or not, without a trace
    // of the interruption; the limits of the fence are gone with it.
    EXPECT_EQ(RunFiltered(QStringLiteral("(WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c) SELECT "
                                         "count(*) FROM c) > 0"))
                  .status,
              kFaultyCommand);
    std::int64_t length = 0;
    EXPECT_EQ(connection_.QueryInt(QStringLiteral("SELECT length(randomblob(3000000))"), {}, length), kOk);
    EXPECT_EQ(length, 3000000);
    EXPECT_EQ(RunFiltered(QStringLiteral("item_id = 5")).rows, 1);
    EXPECT_EQ(RunFiltered(QStringLiteral("length(printf('%.*c', 400000, 'x')) > 0"), Access::Any).rows, 2000);

    // A trim with a set of characters beyond what any text needs is refused everywhere; within
    // it, trim behaves as it always did, multi-byte characters included.
    EXPECT_EQ(connection_.QueryInt(
                  QStringLiteral("SELECT length(trim(printf('%.*c', 20, 'a'), printf('%.*c', 300, 'b')))"), {}, length),
              kFailure);
    Rowset rows;
    ASSERT_EQ(connection_.Query(QStringLiteral("SELECT trim('äxäyä', 'ä'), ltrim('xxay', 'x'), rtrim('ayy', 'y'), "
                                               "trim(NULL, 'a'), trim('abc', NULL), trim('abc', '')"),
                                {}, rows),
              kOk);
    ASSERT_EQ(rows.MoveFirst(), kOk);
    EXPECT_EQ(rows.Text(0), QStringLiteral("xäy"));
    EXPECT_EQ(rows.Text(1), QStringLiteral("ay"));
    EXPECT_EQ(rows.Text(2), QStringLiteral("a"));
    EXPECT_TRUE(rows.IsNull(3));
    EXPECT_TRUE(rows.IsNull(4));
    EXPECT_EQ(rows.Text(5), QStringLiteral("abc"));
}

TEST_F(ReadOnlyFenceTest, AConditionMayNotTakeMoreMemoryThanItsAllowance)
{
    // Six values of 200 kB at once: each is short enough, together they are more than allowed.
    const QString hungry = QStringLiteral(
        "item_id = 1 AND (SELECT length(a) + length(b) + length(c) + length(d) + length(e) + length(f) FROM "
        "(SELECT randomblob(200000) a, randomblob(200000) b, randomblob(200000) c, randomblob(200000) d, "
        "randomblob(200000) e, randomblob(200000) f)) > 0");
    EXPECT_EQ(RunFiltered(hungry).rows, 1) << "the allowance of the program is ample";
    ReadOnlyFence::SetHeapAllowance(512 * 1024);
    EXPECT_EQ(RunFiltered(hungry).status, kFaultyCommand);
    EXPECT_FALSE(connection_.lost());
    EXPECT_EQ(RunFiltered(hungry, Access::Any).rows, 1) << "the allowance ends with the fence";
}
