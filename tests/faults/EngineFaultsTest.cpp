// The engine's connection and rowsets after a failed commit, and the file calls of reads made together.
#include "engine/Connection.h"
#include "engine/EngineStatus.h"
#include "engine/Rowset.h"
#include "engine/UpdatableRowset.h"
#include "support/FaultSweep.h"
#include "support/TestDatabase.h"

#include <QScopeGuard>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

using namespace fault;

class EngineFaults : public ::testing::Test {
protected:
    EngineFaults() : folder_(ScratchRoot() + QStringLiteral("/vellacord-faults-XXXXXX"))
    {
        Install();
        path_ = CreateCurrentDatabase(folder_.filePath(QStringLiteral("team.defl")));
        EXPECT_EQ(connection_.Open(path_), engine::kOk);
        EXPECT_EQ(connection_.Execute(QStringLiteral("INSERT INTO component (component, sys_sortorder) VALUES "
                                                     "('Import', 1)")),
                  engine::kOk);
    }

    long OpenComponent(engine::UpdatableRowset& rowset)
    {
        const long status = rowset.Open(
            connection_, QStringLiteral("SELECT component_id, component FROM component WHERE component = 'Import'"), {},
            QStringLiteral("component"), QStringLiteral("component_id"));
        return status == engine::kOk ? rowset.MoveFirst() : status;
    }

    QTemporaryDir folder_;
    QString path_;
    engine::Connection connection_;
};

// Each lock call is a round trip on a file share: reads made together lock the file once, and
// neither a failed read among them nor a body that throws leaves the lock behind.
TEST_F(EngineFaults, ReadsMadeTogetherLockTheFileOnceAndLeaveNoLock)
{
    const Plan never{Call::Read, Kind::IoError, 1 << 30};
    const auto threeReads = [&] {
        std::int64_t value = 0;
        for (const char* table : {"component", "status", "priority"})
            EXPECT_EQ(connection_.QueryInt(QStringLiteral("SELECT count(*) FROM ") + QLatin1String(table), {}, value),
                      engine::kOk);
        return engine::kOk;
    };
    int apart = 0;
    int together = 0;
    {
        const Armed counting(never);
        threeReads();
        apart = Calls(Call::Lock);
    }
    {
        const Armed counting(never);
        EXPECT_EQ(connection_.ReadTogether(threeReads), engine::kOk);
        together = Calls(Call::Lock);
    }
    EXPECT_GT(together, 0);
    EXPECT_GT(apart, 2 * together) << apart << " lock calls apart, " << together << " together";

    const auto previous = engine::Connection::BusyLimit();
    engine::Connection::SetBusyLimit(std::chrono::milliseconds(300));
    const auto limit = qScopeGuard([previous] { engine::Connection::SetBusyLimit(previous); });
    engine::Connection elsewhere;
    ASSERT_EQ(elsewhere.Open(path_), engine::kOk);
    const auto otherWrites = [&] {
        return elsewhere.Execute(QStringLiteral("UPDATE component SET sys_sortorder = sys_sortorder + 1"));
    };
    const long failed = connection_.ReadTogether([&] {
        threeReads();
        engine::Rowset rows;
        return connection_.Query(QStringLiteral("SELECT * FROM no_such_table"), {}, rows);
    });
    EXPECT_TRUE(engine::Failed(failed));
    EXPECT_EQ(otherWrites(), engine::kOk) << "the failed reads left their lock";
    EXPECT_THROW(connection_.ReadTogether([&]() -> long {
        threeReads();
        throw std::runtime_error("stopped");
    }),
                 std::runtime_error);
    EXPECT_EQ(otherWrites(), engine::kOk) << "the reads that threw left their lock";
}

TEST_F(EngineFaults, AWriteWhoseCommitFailedIsNotTakenForTheRowsNewState)
{
    engine::UpdatableRowset rowset;
    ASSERT_EQ(OpenComponent(rowset), engine::kOk);
    // Every sync fails: the change never reaches the file.
    {
        const Armed armed({Call::Sync, Kind::IoError, 1, true});
        EXPECT_TRUE(engine::Failed(rowset.SetData({std::nullopt, QStringLiteral("Export")})));
        EXPECT_TRUE(Fired());
    }
    EXPECT_EQ(rowset.Text(1), "Import") << "the rowset still names what the file holds";
    // Once the disk is back the same write succeeds, instead of finding "another user's" change.
    connection_.Close();
    ASSERT_EQ(connection_.Open(path_), engine::kOk);
    EXPECT_EQ(rowset.SetData({std::nullopt, QStringLiteral("Export")}), engine::kOk);
    EXPECT_EQ(QueryNumber(path_, QStringLiteral("SELECT count(*) FROM component WHERE component = 'Export'")), 1);
    EXPECT_EQ(rowset.Text(1), "Export");
}

TEST_F(EngineFaults, AfterACommitThatMayHaveFailedTheNextWriteRunsOnce)
{
    int reopened = 0;
    connection_.SetLossHandler([&](long) {
        ++reopened;
        connection_.Close();
        connection_.Open(path_);
    });
    const QString insert = QStringLiteral("INSERT INTO component (component, sys_sortorder) VALUES (?, 2)");
    {
        // The journal cannot be deleted: whether the commit holds is unknown, so it is not run again.
        const Armed armed({Call::Delete, Kind::IoError, 1, false});
        EXPECT_TRUE(engine::Failed(connection_.Execute(insert, {QStringLiteral("first")})));
        EXPECT_TRUE(Fired());
    }
    EXPECT_EQ(reopened, 0);
    EXPECT_EQ(connection_.Execute(insert, {QStringLiteral("second")}), engine::kOk);
    EXPECT_EQ(QueryNumber(path_, QStringLiteral("SELECT count(*) FROM component WHERE component = 'second'")), 1);
    EXPECT_FALSE(connection_.lost()) << "the connection that just wrote reaches its file";
}

TEST_F(EngineFaults, AWriteThatReachedTheFileDespiteAFailedCommitIsNoConflictWhenRepeated)
{
    // Somewhere among the lock calls of a write is the release after the commit: failing it
    // reports a failure although the row holds the new values.
    int landedDespiteFailure = 0;
    for (int n = 1; n < 20; ++n) {
        ASSERT_EQ(connection_.Execute(QStringLiteral("UPDATE component SET component = 'Import' WHERE component = "
                                                     "'Export'")),
                  engine::kOk);
        engine::UpdatableRowset rowset;
        ASSERT_EQ(OpenComponent(rowset), engine::kOk);
        long status = engine::kOk;
        {
            const Armed armed({Call::Lock, Kind::IoError, n, false});
            status = rowset.SetData({std::nullopt, QStringLiteral("Export")});
            if (!Fired())
                break;
        }
        connection_.Close();
        ASSERT_EQ(connection_.Open(path_), engine::kOk);
        const bool landed =
            QueryNumber(path_, QStringLiteral("SELECT count(*) FROM component WHERE component = 'Export'")) == 1;
        if (!engine::Failed(status) || !landed)
            continue;
        ++landedDespiteFailure;
        EXPECT_EQ(rowset.SetData({std::nullopt, QStringLiteral("Export")}), engine::kOk) << "lock call " << n;
        EXPECT_EQ(rowset.Text(1), "Export");
    }
    EXPECT_GT(landedDespiteFailure, 0);
}

TEST_F(EngineFaults, ARowChangedByAnotherConnectionIsStillAConflict)
{
    engine::UpdatableRowset rowset;
    ASSERT_EQ(OpenComponent(rowset), engine::kOk);
    engine::Connection other;
    ASSERT_EQ(other.Open(path_), engine::kOk);
    ASSERT_EQ(other.Execute(QStringLiteral("UPDATE component SET component = 'Billing' WHERE component = 'Import'")),
              engine::kOk);
    EXPECT_EQ(rowset.SetData({std::nullopt, QStringLiteral("Export")}), engine::kConcurrencyViolation);
    // Another user who wrote the very values this write brings leaves nothing to decide.
    ASSERT_EQ(other.Execute(QStringLiteral("UPDATE component SET component = 'Export' WHERE component = 'Billing'")),
              engine::kOk);
    EXPECT_EQ(rowset.SetData({std::nullopt, QStringLiteral("Export")}), engine::kOk);
}

} // namespace
