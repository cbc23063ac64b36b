// Kills vellacord-admin convert at moments spread over its run and at every file-system operation
// it makes, and checks that every kill leaves the old file or the converted one, and that the
// next convert finishes by itself.

#include "engine/Connection.h"
#include "engine/EngineStatus.h"
#include "store/Compaction.h"
#include "store/DatabaseVersion.h"
#include "store/MaintenanceLock.h"
#include "store/fixtures/OldVersionDatabase.h"
#include "support/AdminTool.h"
#include "support/TempFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QThread>

#include <algorithm>
#include <cstdint>
#include <iostream>
#include <limits>
#include <map>
#include <string>

#include <gtest/gtest.h>

namespace {

constexpr int kSampleDefects = 3; // the fixture's own
constexpr int kOldVersion = 4;

std::int64_t Number(const QString& path, const QString& sql)
{
    engine::Connection connection;
    if (engine::Failed(connection.Open(path)))
        return -1;
    std::int64_t value = -1;
    return connection.QueryInt(sql, {}, value) == engine::kOk ? value : -1;
}

QByteArray Bytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Everything a conversion of `path` may leave beside it.
QStringList Traces(const QString& path)
{
    QStringList traces;
    for (const QString& name :
         {RescueFileName(path), MaintenanceName(path), path + QStringLiteral(".bak"),
          path + QStringLiteral(".bak.partial"), JournalOf(path), path + QStringLiteral(".interrupted")}) {
        if (QFileInfo::exists(name))
            traces << name;
    }
    const QDir folder = QFileInfo(path).dir();
    for (const QString& name : folder.entryList({QLatin1Char('.') + QFileInfo(path).fileName() + QLatin1Char('*')},
                                                QDir::Files | QDir::Hidden))
        traces << folder.filePath(name);
    return traces;
}

// A version-4 file with many defects, copied into place before every kill.
class ConvertCrashTest : public ::testing::Test {
protected:
    void Build(int defects)
    {
        ASSERT_TRUE(QFileInfo(AdminToolPath()).isExecutable()) << AdminToolPath().toStdString();
        fixtures::BuildOldVersionDatabase(pristine, kOldVersion);
        engine::Connection connection;
        ASSERT_EQ(connection.Open(pristine), engine::kOk);
        ASSERT_EQ(connection.Execute(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
                                                    "WHERE i < %1) INSERT INTO defectlist (statusid, subject, "
                                                    "description, toid, fromid) SELECT 1, 'defect ' || i, "
                                                    "printf('%.300c', 'd'), 1, 2 FROM n")
                                         .arg(defects)),
                  engine::kOk);
        connection.Close();
        original = Bytes(pristine);
        this->defects = defects + kSampleDefects;
    }

    void RestorePristine()
    {
        for (const QString& trace : Traces(path))
            QFile::remove(trace);
        QFile::remove(path);
        ASSERT_TRUE(QFile::copy(pristine, path));
    }

    bool Touched() const { return !Traces(path).isEmpty() || Bytes(path) != original; }

    // After a kill: the next client finds the old file (byte for byte) or the converted one, with
    // every defect; the next convert finishes without an option and keeps the original. False
    // when the kill stranded the file.
    bool CheckAfterKill()
    {
        const AdminRun version = RunAdminTool({QStringLiteral("version"), path});
        const bool isOld = version.out == QStringLiteral("%1\n").arg(kOldVersion);
        const bool isNew = version.out == QStringLiteral("%1\n").arg(EXPECTED_DB_VERSION);
        const bool sound = version.exitCode == 0 && (isOld ? Bytes(path) == original : isNew) &&
            Number(path, QStringLiteral("select count(*) from defectlist")) == defects &&
            Number(path, QStringLiteral("select count(*) from pragma_quick_check where quick_check <> 'ok'")) == 0;
        EXPECT_TRUE(sound) << version.out.toStdString() << version.err.toStdString();
        leftOld += isOld;
        leftNew += isNew;
        // An interrupted conversion is told with the backup's name.
        if (QFileInfo::exists(path + QStringLiteral(".bak")) && version.err.contains(QStringLiteral("interrupted"))) {
            EXPECT_TRUE(version.err.contains(path + QStringLiteral(".bak"))) << version.err.toStdString();
        }

        const AdminRun again = RunAdminTool({QStringLiteral("convert"), path});
        EXPECT_EQ(again.exitCode, 0) << again.err.toStdString();
        const bool finished = again.exitCode == 0 &&
            Number(path, QStringLiteral("select dbversion from versiontable")) == EXPECTED_DB_VERSION &&
            Number(path, QStringLiteral("select count(*) from defectlist")) == defects &&
            Bytes(path + QStringLiteral(".bak")) == original;
        EXPECT_TRUE(finished) << again.err.toStdString();
        const QStringList left = Traces(path).filter(QRegularExpression(QStringLiteral("(RESCUE|\\.mt|\\.tmp|"
                                                                                       "partial|interrupted)")));
        EXPECT_TRUE(left.isEmpty()) << left.join(QLatin1Char(' ')).toStdString();
        return sound && finished && left.isEmpty();
    }

    TempFolder folder;
    const QString pristine = folder.file(QStringLiteral("pristine.defl"));
    const QString path = folder.file(QStringLiteral("team.defl"));
    QByteArray original;
    std::int64_t defects = 0;
    int leftOld = 0;
    int leftNew = 0;
};

TEST_F(ConvertCrashTest, KilledAtMomentsSpreadOverItsRunTheFileIsTheOldOrTheNewOne)
{
    Build(20000);
    // The kills are spread over the quickest of two whole runs.
    qint64 wholeRunUs = std::numeric_limits<qint64>::max();
    for (int attempt = 0; attempt < 2; ++attempt) {
        RestorePristine();
        QElapsedTimer timer;
        timer.start();
        const AdminRun converted = RunAdminTool({QStringLiteral("convert"), path});
        ASSERT_EQ(converted.exitCode, 0) << converted.err.toStdString();
        wholeRunUs = std::min(wholeRunUs, timer.nsecsElapsed() / 1000);
    }

    constexpr int kWantedInside = 24;
    constexpr int kMostRounds = 120;
    int kills = 0;
    int inside = 0;
    int stranded = 0;
    for (int round = 0; round < kMostRounds && inside < kWantedInside; ++round) {
        SCOPED_TRACE(round);
        RestorePristine();
        QProcess convert;
        convert.start(AdminToolPath(), {QStringLiteral("convert"), path});
        ASSERT_TRUE(convert.waitForStarted());
        // A sweep over the run, shifted each pass so that later passes hit other moments.
        const int slot = round % kWantedInside;
        const int pass = round / kWantedInside;
        QThread::usleep(static_cast<unsigned long>(wholeRunUs * (slot * 4 + pass % 4) / (kWantedInside * 4)));
        const bool stillRunning = convert.state() == QProcess::Running;
        convert.kill();
        ASSERT_TRUE(convert.waitForFinished());
        ++kills;
        if (!stillRunning || !Touched())
            continue; // ended before the kill, or killed before it started working
        ++inside;
        stranded += !CheckAfterKill();
    }
    std::cout << "convert of " << defects << " defects from version " << kOldVersion << ", whole run "
              << wholeRunUs / 1000 << " ms: " << kills << " kills, " << inside << " inside the work (" << leftOld
              << " left the old file, " << leftNew << " the new one), " << stranded << " stranded" << std::endl;
    EXPECT_GE(inside, 20);
    EXPECT_EQ(stranded, 0);
}

// The preloaded library kills the tool just before, and just after, each of its file-system
// operations in turn: every moment at which a crash can leave something different behind.
TEST_F(ConvertCrashTest, KilledAtEveryFileOperationTheNextConvertFinishes)
{
    Build(2000);
    const QString shim = QStringLiteral(KILL_SHIM_PATH);
    ASSERT_TRUE(QFileInfo::exists(shim)) << shim.toStdString();
    const QProcessEnvironment environment = KillShimEnvironment(shim);

    // A run without a kill counts the operations.
    RestorePristine();
    QProcessEnvironment tracing = environment;
    tracing.insert(QStringLiteral("KILL_SHIM_TRACE"), QStringLiteral("1"));
    const AdminRun traced = RunAdminTool({QStringLiteral("convert"), path}, tracing);
    ASSERT_EQ(traced.exitCode, 0) << traced.err.toStdString();
    const QStringList operations = traced.err.split(QLatin1Char('\n')).filter(QStringLiteral("kill-shim: "));
    ASSERT_GT(operations.size(), 5) << traced.err.toStdString();

    int kills = 0;
    int inside = 0;
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
            const AdminRun killed = RunAdminTool({QStringLiteral("convert"), path}, killing);
            if (killed.exitCode != -1)
                continue; // this run made fewer operations
            ++kills;
            if (!Touched())
                continue;
            ++inside;
            ++killedAt[operations.at(n - 1).section(QLatin1Char(' '), 2).toStdString()];
            stranded += !CheckAfterKill();
        }
    }
    std::cout << operations.size() << " file operations in a convert of " << defects << " defects; " << kills
              << " kills before or after one, " << inside << " inside the work (";
    for (const auto& [name, count] : killedAt)
        std::cout << name << " " << count << ", ";
    std::cout << leftOld << " left the old file, " << leftNew << " the new one), " << stranded << " stranded"
              << std::endl;
    QStringList sequence;
    for (const QString& operation : operations)
        sequence << operation.section(QLatin1Char(' '), 2);
    std::cout << "operations in order: " << sequence.join(QLatin1Char(' ')).toStdString() << std::endl;
    EXPECT_GE(inside, 20);
    EXPECT_GT(leftNew, 0);
    EXPECT_EQ(stranded, 0);
}

} // namespace
