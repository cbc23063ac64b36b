// Hostile filters against a prepared server database: each is refused within the limit, the data stays, and other
// sessions of the same login are untouched.

#include "engine/Connection.h"
#include "engine/EngineStatus.h"
#include "engine/ReadOnlyFence.h"
#include "engine/Statement.h"
#include "store/ServerSetup.h"
#include "support/ChildProcess.h"
#include "support/PgServer.h"
#include "support/TestDatabase.h"

#include <QProcess>
#include <QThread>

#include <chrono>
#include <thread>

#include <gtest/gtest.h>

using namespace engine;

namespace {

QString AsUser(QString uri, const QString& login)
{
    return uri.replace(QStringLiteral("user=postgres"), QStringLiteral("user=") + login);
}

} // namespace

TEST(ServerFence, HostileFiltersChangeNothingAndReachNoOtherSession)
{
    SERVER_DATABASE_OR_SKIP(uri);
    ASSERT_EQ(PrepareServerDatabase(uri), QString());
    // Run twice, the setup finds its roles and schema and changes nothing.
    ASSERT_EQ(PrepareServerDatabase(uri), QString());
    CreateCurrentDatabase(OwnerUriOf(uri));
    {
        Connection admin;
        ASSERT_EQ(admin.Open(uri), kOk);
        // Roles belong to the whole server, which other tests of this program share.
        admin.Execute(QStringLiteral("DO $$ BEGIN IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = 'anna') THEN "
                                     "CREATE ROLE anna LOGIN IN ROLE vellacord_users; END IF; END $$"));
    }
    const QString anna = AsUser(uri, QStringLiteral("anna"));
    Connection user;
    ASSERT_EQ(user.Open(anna), kOk);
    ASSERT_EQ(user.Execute(QStringLiteral("INSERT INTO defectlist (subject, statusid) VALUES ('kept', 1)")), kOk)
        << user.TakeErrorMessage().toStdString();
    Connection victim;
    ASSERT_EQ(victim.Open(anna), kOk);
    std::int64_t victimPid = 0;
    ASSERT_EQ(victim.QueryInt(QStringLiteral("SELECT pg_backend_pid()"), {}, victimPid), kOk);
    const QString pid = QString::number(victimPid);

    ReadOnlyFence::SetLongestRun(std::chrono::milliseconds(1500));
    const QStringList hostile{
        QStringLiteral("pg_cancel_backend(%1)").arg(pid),
        QStringLiteral("pg_terminate_backend(%1)").arg(pid),
        QStringLiteral("pg_notify('vellacord_changes', 'x') IS NOT NULL"),
        QStringLiteral("pg_advisory_lock(1986356332) IS NOT NULL"),
        QStringLiteral("pg_try_advisory_lock(1986356332)"),
        QStringLiteral("set_config('role', 'vellacord_owner', false) IS NOT NULL"),
        QStringLiteral("set_config('statement_timeout', '0', true) IS NOT NULL"),
        QStringLiteral("pg_sleep(60) IS NOT NULL"),
        QStringLiteral("(SELECT count(*) FROM generate_series(1, 2000000000)) > 0"),
        QStringLiteral("(WITH gone AS (DELETE FROM defectlist RETURNING 1) SELECT count(*) FROM gone) >= 0"),
        QStringLiteral("nextval(pg_get_serial_sequence('defectlist', 'defect_id')) > 0"),
        QStringLiteral("1=1); DELETE FROM defectlist; SELECT (1"),
        QStringLiteral("length(repeat('x', 2000000000)) > 0"),
    };
    for (const QString& filter : hostile) {
        const auto began = std::chrono::steady_clock::now();
        const long status = user.ReadRows(
            QStringLiteral("SELECT defect_id FROM defectlist WHERE (\n%1\n)").arg(filter), {}, Access::ReadOnly, [] {},
            [](const Statement&) {});
        EXPECT_EQ(status, kFaultyCommand) << filter.toStdString();
        EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::milliseconds(4000)) << filter.toStdString();
        EXPECT_FALSE(user.lost()) << filter.toStdString();
        // The other session of the same login goes on as before.
        std::int64_t one = 0;
        EXPECT_EQ(victim.QueryInt(QStringLiteral("SELECT 1"), {}, one), kOk) << filter.toStdString();
        EXPECT_FALSE(victim.lost()) << filter.toStdString();
    }
    // These run, but leave nothing behind: the program's maintenance function refuses a read-only
    // caller, and a large object made in the fence goes with its rollback.
    for (const QString& harmless : {QStringLiteral("vellacord.take_maintenance()"), QStringLiteral("lo_create(0) > 0")})
        user.ReadRows(
            QStringLiteral("SELECT defect_id FROM defectlist WHERE (\n%1\n)").arg(harmless), {}, Access::ReadOnly,
            [] {}, [](const Statement&) {});
    ReadOnlyFence::SetLongestRun(ReadOnlyFence::kLongestRun);

    EXPECT_EQ(QueryNumber(user, QStringLiteral("SELECT count(*) FROM defectlist WHERE subject = 'kept'")), 1);
    Connection admin;
    ASSERT_EQ(admin.Open(uri), kOk);
    EXPECT_EQ(QueryNumber(admin,
                          QStringLiteral("SELECT count(*) FROM pg_locks WHERE locktype = 'advisory' AND mode = "
                                         "'ExclusiveLock'")),
              0);
    EXPECT_EQ(QueryNumber(admin, QStringLiteral("SELECT count(*) FROM pg_stat_activity WHERE pid = ?"), {victimPid}),
              1);
    // An honest filter still reads.
    int rows = 0;
    EXPECT_EQ(user.ReadRows(
                  QStringLiteral("SELECT defect_id FROM defectlist WHERE (\nsubject LIKE 'KEPT'\n)"), {},
                  Access::ReadOnly, [] {}, [&](const Statement&) { ++rows; }),
              kOk);
    EXPECT_EQ(rows, 1);
}

TEST(ServerFence, PresenceKeepsMaintenanceOutAndMaintenanceKeepsEveryoneOut)
{
    SERVER_DATABASE_OR_SKIP(uri);
    CreateCurrentDatabase(uri);
    Connection first;
    ASSERT_EQ(first.Open(uri), kOk);
    {
        Connection maintainer;
        ASSERT_EQ(maintainer.Open(uri), kOk);
        EXPECT_FALSE(maintainer.TakeServerMaintenance()) << "another workstation is connected";
    }
    first.Close();
    Connection maintainer;
    ASSERT_EQ(maintainer.Open(uri), kOk);
    EXPECT_TRUE(maintainer.TakeServerMaintenance());
    Connection refused;
    EXPECT_EQ(refused.Open(uri), kFailure);
    ASSERT_FALSE(refused.errorRecords().empty());
    EXPECT_EQ(refused.errorRecords().front().kind, FailureKind::Maintenance);
    EXPECT_FALSE(refused.errorRecords().front().message.contains(QStringLiteral("user=")));
    maintainer.Close();
    // The server ends the lock with the session, also when a client dies; the session ends a
    // moment after the client said goodbye, so a workstation's next try gets in.
    long reopened = kFailure;
    for (int attempt = 0; attempt < 50 && reopened != kOk; ++attempt) {
        if (attempt > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        refused.Close();
        reopened = refused.Open(uri);
    }
    EXPECT_EQ(reopened, kOk);
}

namespace {

// Connects, takes the server database for maintenance and waits to be killed.
int HoldServerMaintenance(const QStringList& arguments)
{
    Connection connection;
    if (connection.Open(arguments.value(0)) != kOk || !connection.TakeServerMaintenance())
        return 2;
    SignalReadyAndWaitForStop();
    return 0;
}
REGISTER_CHILD_ACTION("hold-server-maintenance", HoldServerMaintenance);

} // namespace

TEST(ServerFence, AKilledMaintainersLockEndsWithItsSession)
{
    SERVER_DATABASE_OR_SKIP(uri);
    CreateCurrentDatabase(uri);
    QProcess maintainer;
    StartChild(maintainer, QStringLiteral("hold-server-maintenance"), {uri});
    ASSERT_TRUE(maintainer.waitForReadyRead(20000));
    ASSERT_TRUE(maintainer.readLine().startsWith("ready"));
    Connection refused;
    EXPECT_EQ(refused.Open(uri), kFailure) << "the maintainer holds the database";
    maintainer.kill(); // no goodbye: the server notices the dead client by itself
    ASSERT_TRUE(maintainer.waitForFinished(10000));
    bool opened = false;
    for (int attempt = 0; attempt < 50 && !opened; ++attempt) {
        opened = refused.Open(uri) == kOk;
        if (!opened)
            QThread::msleep(100);
    }
    EXPECT_TRUE(opened);
}
