// A server database in maintenance: the reason refused workstations read, and what a repair finds and mends.

#include "base/DatabaseUnavailable.h"
#include "base/StringTable.h"
#include "engine/Connection.h"
#include "engine/EngineStatus.h"
#include "store/DatabaseAccess.h"
#include "store/DatabaseAdministration.h"
#include "store/MaintenanceLock.h"
#include "store/ServerMaintenanceLock.h"
#include "store/ServerRepair.h"
#include "support/PgServer.h"
#include "support/ScriptedUserInterface.h"
#include "support/TestDatabase.h"

#include <gtest/gtest.h>

using namespace engine;

namespace {

// The first failure record of an open that must be refused.
ErrorRecord RefusedOpen(const QString& uri)
{
    Connection workstation;
    EXPECT_NE(workstation.Open(uri), kOk);
    const ErrorRecords records = workstation.TakeErrorRecords();
    return records.empty() ? ErrorRecord() : records.front();
}

} // namespace

TEST(ServerMaintenance, AWorkstationRefusedDuringMaintenanceReadsTheMaintainersReasonAndNoStaleOne)
{
    SERVER_DATABASE_OR_SKIP(uri);
    CreateCurrentDatabase(uri);
    {
        Connection maintainer;
        ASSERT_EQ(maintainer.Open(uri), kOk);
        ServerMaintenanceLock lock(maintainer, QStringLiteral("moving the team"));
        ASSERT_TRUE(lock.held());

        const ErrorRecord refused = RefusedOpen(uri);
        EXPECT_EQ(refused.kind, FailureKind::Maintenance);
        EXPECT_TRUE(refused.message.contains(QStringLiteral("\"moving the team\""))) << refused.message.toStdString();
        EXPECT_FALSE(refused.message.contains(QLatin1String("\r\n")));

        // The program's retry path shows it as a file's lock: string 160 with the reason.
        ScriptedUserInterface ui;
        ui.ExpectRetry(RetryAnswer::Cancel);
        CDatabaseAccess access(ui, SystemClockInstance(), uri);
        EXPECT_THROW(access.GetDataConnection(RetryMode::Prompt), database_unavailable);
        ASSERT_EQ(ui.retryRequests.size(), 1u);
        EXPECT_EQ(ui.retryRequests.front().message, LockRefusalText(refused.message.chopped(1)));
        EXPECT_EQ(access.UnavailableText(database_unavailable::kMaintenanceLockStatus),
                  QStringLiteral("It is locked for maintenance."));
    }
    // Released with its session, and the row with it: the next open passes.
    Connection after;
    ASSERT_EQ(after.Open(uri), kOk);
    EXPECT_EQ(QueryNumber(after, QStringLiteral("SELECT count(*) FROM maintenancereason")), 0);

    // A row whose session does not hold the lock (a maintainer that died) says nothing about
    // who holds it now.
    ASSERT_EQ(after.Execute(QStringLiteral("INSERT INTO maintenancereason (holder, reason) VALUES (1, 'stale')")), kOk);
    ASSERT_TRUE(after.TakeServerMaintenance());
    const ErrorRecord refused = RefusedOpen(uri);
    EXPECT_EQ(refused.kind, FailureKind::Maintenance);
    EXPECT_FALSE(refused.message.contains(QStringLiteral("stale"))) << refused.message.toStdString();
}

TEST(ServerMaintenance, TheLockIsRefusedWithMessage164WhileAWorkstationIsConnected)
{
    SERVER_DATABASE_OR_SKIP(uri);
    CreateCurrentDatabase(uri);
    Connection workstation;
    ASSERT_EQ(workstation.Open(uri), kOk);
    Connection maintainer;
    ASSERT_EQ(maintainer.Open(uri), kOk);
    ServerMaintenanceLock lock(maintainer, QStringLiteral("repairing"));
    EXPECT_FALSE(lock.held());
    EXPECT_EQ(lock.message(), LoadString(164));
}

TEST(ServerRepair, MendsCountersTriggersAndTheChangeStampAndNamesWhatIsMissing)
{
    SERVER_DATABASE_OR_SKIP(uri);
    CreateCurrentDatabase(uri);
    {
        Connection import;
        ASSERT_EQ(import.Open(uri), kOk);
        // A careless import: rows with their ids, a trigger switched off, the stamp row gone, one trigger dropped.
        ASSERT_EQ(
            import.Execute(QStringLiteral("INSERT INTO defectlist (defect_id, statusid, subject, toid, fromid, "
                                          "opened, modified, lastread, categoryid) VALUES (500, 1, 'imported', 0, "
                                          "0, 45000, 45000, 0, 0)")),
            kOk);
        ASSERT_EQ(import.Execute(QStringLiteral("ALTER TABLE defectlist DISABLE TRIGGER defectlist_changed")), kOk);
        ASSERT_EQ(import.Execute(QStringLiteral("DELETE FROM changestamp")), kOk);
        ASSERT_EQ(import.Execute(QStringLiteral("DROP TRIGGER views_changed ON views")), kOk);
        ASSERT_EQ(import.Execute(QStringLiteral("ALTER TABLE views DROP CONSTRAINT views_pkey")), kOk);
        ASSERT_EQ(import.Execute(QStringLiteral("DROP INDEX defectlist_unread")), kOk);

        // Nothing is done while the import's session is still connected.
        const ServerRepairOutcome refused = RepairServerDatabase(uri);
        EXPECT_EQ(refused.error, LockRefusalText(LoadString(164).chopped(1)));
        EXPECT_TRUE(refused.repaired.isEmpty());
    }
    const ServerRepairOutcome outcome = RepairServerDatabase(uri);
    EXPECT_EQ(outcome.error, QString());
    // A key is a constraint: it is named, not made again behind the data's back.
    EXPECT_EQ(outcome.missing, QStringList{QStringLiteral("constraint views_pkey")});
    EXPECT_EQ(outcome.repaired.size(), 5) << outcome.repaired.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(outcome.repaired.join(QLatin1Char('\n')).contains(QStringLiteral("defectlist.defect_id")));

    Connection after;
    ASSERT_EQ(after.Open(uri), kOk);
    ASSERT_EQ(after.Execute(QStringLiteral("INSERT INTO defectlist (statusid, subject, toid, fromid, opened, modified, "
                                           "lastread, categoryid) VALUES (1, 'new', 0, 0, 45001, 45001, 0, 0)")),
              kOk)
        << "the next id no longer collides";
    EXPECT_EQ(after.LastInsertId(), 501);
    EXPECT_EQ(QueryNumber(after, QStringLiteral("SELECT counter FROM changestamp")), 1)
        << "the stamp row is back and the trigger bumps it again";
    ASSERT_EQ(after.Execute(QStringLiteral("INSERT INTO views (userid, viewname) VALUES (0, 'mine')")), kOk);
    EXPECT_EQ(QueryNumber(after, QStringLiteral("SELECT counter FROM changestamp")), 2)
        << "the remade trigger bumps it";

    // A second repair finds nothing more to mend; the missing trigger still fails it.
    const ServerRepairOutcome again = RepairServerDatabase(uri);
    EXPECT_FALSE(again.error.isEmpty()) << "the open session keeps maintenance out";
    after.Close();
    const ServerRepairOutcome clean = RepairServerDatabase(uri);
    EXPECT_TRUE(clean.repaired.isEmpty()) << clean.repaired.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(clean.missing.size(), 1);
}

TEST(ServerRepair, TheAdministrationRoutesAUriToTheServersRepairAndVersionCheck)
{
    SERVER_DATABASE_OR_SKIP(uri);
    CreateCurrentDatabase(uri);
    ScriptedUserInterface ui;
    DatabaseAdministration administration(ui, SystemClockInstance());
    ui.ExpectMessageText(QStringLiteral("is repaired"));
    EXPECT_TRUE(administration.CompactAndRepair(uri));
    EXPECT_TRUE(administration.ConvertDatabase(uri)) << "the current version needs nothing";
    {
        Connection older;
        ASSERT_EQ(older.Open(uri), kOk);
        ASSERT_EQ(older.Execute(QStringLiteral("UPDATE versiontable SET dbversion = 12")), kOk);
    }
    ui.ExpectMessageText(QStringLiteral("was not converted"));
    EXPECT_FALSE(administration.ConvertDatabase(uri));
    ui.ExpectMessageText(QStringLiteral("was not converted"));
    EXPECT_FALSE(administration.CompactAndRepair(uri)) << "only the current version is repaired";
    ui.VerifyAllUsed();
}
