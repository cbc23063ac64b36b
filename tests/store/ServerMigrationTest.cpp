// Moving a database from a file to a server and back: every row arrives, counters continue, and a failed move leaves
// the server empty.

#include "store/ServerMigration.h"
#include "engine/Connection.h"
#include "engine/EngineStatus.h"
#include "engine/Rowset.h"
#include "store/MaintenanceLock.h"
#include "support/PgServer.h"
#include "support/TempFolder.h"
#include "support/TestDatabase.h"

#include <QFileInfo>

#include <gtest/gtest.h>

using namespace engine;

namespace {

const QStringList kTables{QStringLiteral("defectlist"),  QStringLiteral("stakeholder"), QStringLiteral("status"),
                          QStringLiteral("filter"),      QStringLiteral("viewcolumns"), QStringLiteral("views"),
                          QStringLiteral("versiontable")};

QStringList Rows(Connection& connection, const QString& table)
{
    Rowset rows;
    const QString order = table == QLatin1String("versiontable") ? QStringLiteral("1") : QStringLiteral("1, 2");
    EXPECT_EQ(connection.Query(QStringLiteral("SELECT * FROM %1 ORDER BY %2").arg(table, order), {}, rows), kOk);
    QStringList texts;
    for (long s = rows.MoveFirst(); s == kOk; s = rows.MoveNext()) {
        QStringList fields;
        for (int i = 0; i < rows.ColumnCount(); ++i) {
            if (rows.ColumnNames().at(i).compare(QLatin1String("rowid"), Qt::CaseInsensitive) != 0)
                fields << (rows.IsNull(i) ? QStringLiteral("NULL") : rows.Text(i));
        }
        texts << fields.join(QLatin1Char('|'));
    }
    return texts;
}

void AddDefects(Connection& file)
{
    ASSERT_EQ(file.WriteTransaction([&] {
        for (int i = 1; i <= 1200; ++i) {
            const long status = file.Execute(
                QStringLiteral("INSERT INTO defectlist (statusid, subject, description, toid, fromid, opened, "
                               "modified, lastread, categoryid) VALUES (1, ?, ?, 0, 0, ?, ?, 0, 0)"),
                {QStringLiteral("defect %1 «ü»").arg(i), QStringLiteral("line\nbreak '%1'").arg(i), 45000.123456 + i,
                 45000.5 + i});
            if (Failed(status))
                return status;
        }
        // A deleted defect's number is not handed out again after the move.
        return file.Execute(QStringLiteral("DELETE FROM defectlist WHERE defect_id = 1200"));
    }),
              kOk);
    // A filter with a function the server does not have.
    ASSERT_EQ(file.Execute(QStringLiteral("INSERT INTO filter (userid, filtername, filtertext) VALUES (0, 'glob', "
                                          "'subject GLOB ''defect 1*''')")),
              kOk);
}

} // namespace

TEST(ServerMigration, MovesEveryRowToTheServerAndBack)
{
    SERVER_DATABASE_OR_SKIP(uri);
    TempFolder folder;
    const QString path = CreateCurrentDatabase(folder.file(QStringLiteral("team.defl")));
    {
        Connection file;
        ASSERT_EQ(file.Open(path), kOk);
        AddDefects(file);
    }
    const MigrationOutcome there = MigrateFileToServer(path, uri);
    ASSERT_EQ(there.error, QString());
    EXPECT_GE(there.tables.size(), 14u);
    for (const MigratedTable& table : there.tables)
        EXPECT_EQ(table.sourceRows, table.targetRows) << table.name.toStdString();
    // The file is back in its place after the lock.
    EXPECT_TRUE(QFileInfo::exists(path));
    EXPECT_FALSE(CMaintenanceLock::IsLocked(path).locked);

    Connection file;
    ASSERT_EQ(file.Open(path), kOk);
    Connection server;
    ASSERT_EQ(server.Open(uri), kOk);
    for (const QString& table : kTables)
        EXPECT_EQ(Rows(file, table), Rows(server, table)) << table.toStdString();
    ASSERT_EQ(server.Execute(QStringLiteral("INSERT INTO defectlist (subject) VALUES ('after the move')")), kOk);
    EXPECT_EQ(server.LastInsertId(), 1201);
    ASSERT_EQ(server.Execute(QStringLiteral("INSERT INTO status (status) VALUES ('mine')")), kOk);
    EXPECT_EQ(server.LastInsertId(), 1000);
    // The change counter still counts after the copy, which did not ring it row by row.
    const auto before = server.ReadChangeStamp();
    ASSERT_EQ(server.Execute(QStringLiteral("UPDATE defectlist SET subject = 'x' WHERE defect_id = 1")), kOk);
    ASSERT_TRUE(before.has_value());
    EXPECT_EQ(server.ReadChangeStamp()->changeCounter, before->changeCounter + 1);

    // A second move into the same database is refused: it is no longer empty.
    EXPECT_FALSE(MigrateFileToServer(path, uri).error.isEmpty());

    const QString back = folder.file(QStringLiteral("back.defl"));
    const MigrationOutcome home = MigrateServerToFile(uri, back);
    ASSERT_EQ(home.error, QString());
    Connection returned;
    ASSERT_EQ(returned.Open(back), kOk);
    for (const QString& table : kTables)
        EXPECT_EQ(Rows(server, table), Rows(returned, table)) << table.toStdString();
    ASSERT_EQ(returned.Execute(QStringLiteral("INSERT INTO defectlist (subject) VALUES ('home again')")), kOk);
    EXPECT_EQ(returned.LastInsertId(), 1202);
    EXPECT_FALSE(MigrateServerToFile(uri, back).error.isEmpty()) << "the way back writes no existing file";
}

TEST(ServerMigration, AFailedMoveLeavesTheServerEmpty)
{
    SERVER_DATABASE_OR_SKIP(uri);
    TempFolder folder;
    const QString path = CreateCurrentDatabase(folder.file(QStringLiteral("odd.defl")));
    {
        Connection file;
        ASSERT_EQ(file.Open(path), kOk);
        AddDefects(file);
        // The file engine keeps any value in any column; the server refuses text as a number.
        ASSERT_EQ(file.Execute(QStringLiteral("UPDATE defectlist SET toid = 'somebody' WHERE defect_id = 700")), kOk);
    }
    const MigrationOutcome outcome = MigrateFileToServer(path, uri);
    EXPECT_TRUE(outcome.error.contains(QStringLiteral("defectlist"))) << outcome.error.toStdString();
    Connection server;
    ASSERT_EQ(server.Open(uri), kOk);
    EXPECT_EQ(QueryNumber(server,
                          QStringLiteral("SELECT count(*) FROM information_schema.tables WHERE table_schema = "
                                         "'vellacord'")),
              0);
    EXPECT_FALSE(CMaintenanceLock::IsLocked(path).locked);
}
