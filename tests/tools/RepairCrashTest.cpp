// Kills vellacord-admin repair at every file-system operation it makes, and checks that every kill
// leaves the database whole with all its defects, the original kept at the name or as a backup.

#include "engine/Connection.h"
#include "engine/EngineStatus.h"
#include "store/Compaction.h"
#include "store/MaintenanceLock.h"
#include "support/AdminTool.h"
#include "support/TempFolder.h"
#include "support/TestDatabase.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>

#include <cstdint>
#include <iostream>
#include <map>
#include <string>

#include <gtest/gtest.h>

namespace {

constexpr int kDefects = 3000;
constexpr int kBackupsToKeep = 2;

QByteArray Bytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A file of many defects with every third deleted, so that compacting it changes its bytes.
class RepairCrashTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QFileInfo(AdminToolPath()).isExecutable()) << AdminToolPath().toStdString();
        CreateCurrentDatabase(pristine);
        engine::Connection connection;
        ASSERT_EQ(connection.Open(pristine), engine::kOk);
        ASSERT_EQ(connection.Execute(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
                                                    "WHERE i < %1) INSERT INTO defectlist (subject, description) "
                                                    "SELECT 'defect ' || i, printf('%.300c', 'd') FROM n")
                                         .arg(kDefects)),
                  engine::kOk);
        ASSERT_EQ(connection.Execute(QStringLiteral("DELETE FROM defectlist WHERE defect_id % 3 = 0")), engine::kOk);
        ASSERT_EQ(connection.Execute(QStringLiteral("INSERT INTO SystemSettings (BackupsToKeep, SizeAfterLastCompress, "
                                                    "DateOfLastCompress, CompressEveryNDays, CompressGrowthFactor) "
                                                    "VALUES (%1, 0, 0, 0, 0)")
                                         .arg(kBackupsToKeep)),
                  engine::kOk);
        defects = QueryNumber(connection, QStringLiteral("select count(*) from defectlist"));
        connection.Close();
        original = Bytes(pristine);
        ASSERT_FALSE(original.isEmpty());
    }

    // The file as the users left it, with a backup of an earlier repair beside it.
    void RestorePristine()
    {
        const QDir dir(folder.path());
        for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden)) {
            if (dir.filePath(name) != pristine)
                QFile::remove(dir.filePath(name));
        }
        ASSERT_TRUE(QFile::copy(pristine, path));
        QFile older(path + QStringLiteral(".1"));
        ASSERT_TRUE(older.open(QIODevice::WriteOnly));
        older.write("older backup");
    }

    // After a kill the next client finds the database whole, with every defect and no leftovers,
    // and the original bytes at the name or in a backup; the next repair then succeeds. False
    // when the kill stranded or lost something.
    bool CheckAfterKill()
    {
        const LockState state = CMaintenanceLock::IsLocked(path);
        EXPECT_FALSE(state.locked) << state.message.toStdString();
        const std::int64_t count = QueryNumber(path, QStringLiteral("select count(*) from defectlist"));
        const std::int64_t problems =
            QueryNumber(path, QStringLiteral("select count(*) from pragma_quick_check where quick_check <> 'ok'"));
        EXPECT_EQ(count, defects);
        EXPECT_EQ(problems, 0);
        const bool atName = Bytes(path) == original;
        const bool kept = atName || Bytes(path + QStringLiteral(".1")) == original ||
            Bytes(path + QStringLiteral(".interrupted")) == original;
        EXPECT_TRUE(kept) << "the original is neither at the name nor in a backup";
        const bool olderKept = Bytes(path + QStringLiteral(".1")) == "older backup" ||
            Bytes(path + QStringLiteral(".2")) == "older backup";
        EXPECT_TRUE(olderKept) << "the earlier backup is lost";
        leftOriginal += atName;
        const bool clean = !QFileInfo::exists(RescueFileName(path)) && !QFileInfo::exists(MaintenanceName(path)) &&
            CompactionLeftovers(path).isEmpty();
        EXPECT_TRUE(clean);

        const AdminRun again = RunAdminTool({QStringLiteral("repair"), path});
        EXPECT_EQ(again.exitCode, 0) << again.err.toStdString();
        const bool repaired =
            again.exitCode == 0 && QueryNumber(path, QStringLiteral("select count(*) from defectlist")) == defects;
        EXPECT_TRUE(repaired);
        return !state.locked && count == defects && problems == 0 && kept && olderKept && clean && repaired;
    }

    TempFolder folder;
    const QString pristine = folder.file(QStringLiteral("pristine.defl"));
    const QString path = folder.file(QStringLiteral("team.defl"));
    QByteArray original;
    std::int64_t defects = 0;
    int leftOriginal = 0;
};

// The preloaded library kills the tool just before, and just after, each of its file-system
// operations in turn, the sync of the compacted copy among them.
TEST_F(RepairCrashTest, KilledAtEveryFileOperationTheDatabaseOrItsBackupIsWhole)
{
    const QString shim = QStringLiteral(KILL_SHIM_PATH);
    ASSERT_TRUE(QFileInfo::exists(shim)) << shim.toStdString();
    const QProcessEnvironment environment = KillShimEnvironment(shim);

    // A run without a kill counts the operations.
    RestorePristine();
    QProcessEnvironment tracing = environment;
    tracing.insert(QStringLiteral("KILL_SHIM_TRACE"), QStringLiteral("1"));
    const AdminRun traced = RunAdminTool({QStringLiteral("repair"), path}, tracing);
    ASSERT_EQ(traced.exitCode, 0) << traced.err.toStdString();
    const QStringList operations = traced.err.split(QLatin1Char('\n')).filter(QStringLiteral("kill-shim: "));
    ASSERT_GT(operations.size(), 5) << traced.err.toStdString();
    EXPECT_NE(Bytes(path), original) << "the repair did not compact the file";
    EXPECT_EQ(Bytes(path + QStringLiteral(".1")), original);
    EXPECT_EQ(Bytes(path + QStringLiteral(".2")), "older backup");

    int kills = 0;
    int stranded = 0;
    std::map<std::string, int> killedAt;
    for (int after = 0; after <= 1; ++after) {
        for (int n = 1; n <= operations.size(); ++n) {
            SCOPED_TRACE(QStringLiteral("operation %1 (%2), after: %3")
                             .arg(n)
                             .arg(operations.at(n - 1))
                             .arg(after)
                             .toStdString());
            RestorePristine();
            const QProcessEnvironment killing = KillingAt(environment, n, after == 1);
            if (RunAdminTool({QStringLiteral("repair"), path}, killing).exitCode != -1)
                continue; // this run made fewer operations
            ++kills;
            ++killedAt[operations.at(n - 1).section(QLatin1Char(' '), 2).toStdString()];
            stranded += !CheckAfterKill();
        }
    }
    std::cout << operations.size() << " file operations in a repair of " << defects << " defects; " << kills
              << " kills (";
    for (const auto& [name, count] : killedAt)
        std::cout << name << " " << count << ", ";
    std::cout << leftOriginal << " left the original at the name), " << stranded << " stranded" << std::endl;
    EXPECT_GE(kills, operations.size());
    EXPECT_GT(killedAt["fsync"], 0);
    EXPECT_GT(leftOriginal, 0);
    EXPECT_LT(leftOriginal, kills) << "no kill came after the compacted copy took the name";
    EXPECT_EQ(stranded, 0);
}

} // namespace
