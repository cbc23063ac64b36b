// The server's schema and seed against the file's: the same tables, columns and rows, counters that continue alike, a
// change counter.

#include "engine/Connection.h"
#include "engine/EngineStatus.h"
#include "engine/Rowset.h"
#include "platform/OleDate.h"
#include "store/DatabaseVersion.h"
#include "support/PgServer.h"
#include "support/TempFolder.h"
#include "support/TestDatabase.h"

#include <QMap>

#include <cmath>

#include <gtest/gtest.h>

using namespace engine;

namespace {

// Table or view name -> its column names, all in lower case (the server folds unquoted names).
using Columns = QMap<QString, QStringList>;

Columns FileColumns(Connection& connection)
{
    Columns columns;
    Rowset tables;
    EXPECT_EQ(connection.Query(QStringLiteral("SELECT name FROM sqlite_master WHERE type IN ('table', 'view') AND "
                                              "name NOT LIKE 'sqlite%'"),
                               {}, tables),
              kOk);
    for (long s = tables.MoveFirst(); s == kOk; s = tables.MoveNext()) {
        Rowset info;
        EXPECT_EQ(connection.Query(QStringLiteral("PRAGMA table_info(\"%1\")").arg(tables.Text(0)), {}, info), kOk);
        QStringList names;
        for (long t = info.MoveFirst(); t == kOk; t = info.MoveNext())
            names << info.Text(1).toLower();
        columns[tables.Text(0).toLower()] = names;
    }
    return columns;
}

Columns ServerColumns(Connection& connection)
{
    Columns columns;
    Rowset info;
    // The file numbers rows by itself (rowid); the server's tables without a key carry the number
    // as a column. The change counter and the named settings are the server's own.
    EXPECT_EQ(connection.Query(QStringLiteral("SELECT table_name, column_name FROM information_schema.columns WHERE "
                                              "table_schema = 'vellacord' AND table_name NOT IN ('changestamp', "
                                              "'commithooksettings') AND "
                                              "column_name <> 'rowid' ORDER BY table_name, ordinal_position"),
                               {}, info),
              kOk);
    for (long s = info.MoveFirst(); s == kOk; s = info.MoveNext())
        columns[info.Text(0).toLower()] << info.Text(1).toLower();
    return columns;
}

QStringList Rows(Connection& connection, const QString& sql)
{
    Rowset rows;
    EXPECT_EQ(connection.Query(sql, {}, rows), kOk) << sql.toStdString();
    QStringList texts;
    for (long s = rows.MoveFirst(); s == kOk; s = rows.MoveNext()) {
        QStringList fields;
        for (int i = 0; i < rows.ColumnCount(); ++i)
            fields << (rows.IsNull(i) ? QStringLiteral("NULL") : rows.Text(i));
        texts << fields.join(QLatin1Char('|'));
    }
    return texts;
}

} // namespace

TEST(ServerSchema, HasTheFilesTablesColumnsAndSeedRows)
{
    SERVER_DATABASE_OR_SKIP(uri);
    TempFolder folder;
    Connection file;
    ASSERT_EQ(file.Open(CreateCurrentDatabase(folder.file(QStringLiteral("new.defl")))), kOk);
    Connection server;
    ASSERT_EQ(server.Open(CreateCurrentDatabase(uri)), kOk);

    const Columns fileColumns = FileColumns(file);
    const Columns serverColumns = ServerColumns(server);
    EXPECT_EQ(fileColumns.keys(), serverColumns.keys());
    for (auto it = fileColumns.begin(); it != fileColumns.end(); ++it)
        EXPECT_EQ(it.value(), serverColumns.value(it.key())) << it.key().toStdString();
    EXPECT_GE(fileColumns.size(), 14);

    for (auto it = fileColumns.begin(); it != fileColumns.end(); ++it) {
        // Every column in its order, so that both engines sort alike.
        QStringList order;
        for (int i = 1; i <= it.value().size(); ++i)
            order << QString::number(i);
        // The view's qualified names keep their case; the tables are named without the server's rowid.
        const QString columns =
            it.key() == QLatin1String("defectlistquery") ? QStringLiteral("*") : it.value().join(QLatin1Char(','));
        const QString sql =
            QStringLiteral("SELECT %1 FROM %2 ORDER BY %3").arg(columns, it.key(), order.join(QLatin1Char(',')));
        EXPECT_EQ(Rows(file, sql), Rows(server, sql)) << it.key().toStdString();
    }
    EXPECT_EQ(QueryNumber(server, QStringLiteral("SELECT dbversion FROM versiontable")), EXPECTED_DB_VERSION);
}

TEST(ServerSchema, CountersContinueAfterTheSeedAndNowIsAnOleDate)
{
    SERVER_DATABASE_OR_SKIP(uri);
    TempFolder folder;
    Connection file;
    ASSERT_EQ(file.Open(CreateCurrentDatabase(folder.file(QStringLiteral("new.defl")))), kOk);
    Connection server;
    ASSERT_EQ(server.Open(CreateCurrentDatabase(uri)), kOk);
    for (Connection* connection : {&file, &server}) {
        ASSERT_EQ(connection->Execute(QStringLiteral("INSERT INTO status (status, sys_sortorder) VALUES ('mine', 1)")),
                  kOk);
        EXPECT_EQ(connection->LastInsertId(), 1000);
        ASSERT_EQ(connection->Execute(QStringLiteral("INSERT INTO priority (priority, sys_sortorder) VALUES ('x', 5)")),
                  kOk);
        EXPECT_EQ(connection->LastInsertId(), 5);
        ASSERT_EQ(connection->Execute(QStringLiteral("INSERT INTO stakeholder (email) VALUES ('a@b')")), kOk);
        EXPECT_EQ(connection->LastInsertId(), 1);
        ASSERT_EQ(connection->Execute(QStringLiteral("INSERT INTO defectlist (subject, opened) VALUES ('s', now())")),
                  kOk);
        EXPECT_EQ(connection->LastInsertId(), 1);
        Rowset opened;
        ASSERT_EQ(connection->Query(QStringLiteral("SELECT opened FROM defectlist"), {}, opened), kOk);
        ASSERT_EQ(opened.MoveFirst(), kOk);
        // The program's now(), in the workstation's time zone, within a few seconds.
        EXPECT_LT(std::abs(opened.Real(0) - OleDateNow()) * 86400.0, 5.0);
    }
}

TEST(ServerSchema, EveryCommitBumpsTheChangeCounterAndARollbackDoesNot)
{
    SERVER_DATABASE_OR_SKIP(uri);
    Connection server;
    ASSERT_EQ(server.Open(CreateCurrentDatabase(uri)), kOk);
    const auto before = server.ReadChangeStamp();
    ASSERT_TRUE(before.has_value());
    EXPECT_EQ(server.ReadChangeStamp(), before);
    ASSERT_EQ(server.WriteTransaction([&] {
        server.Execute(QStringLiteral("INSERT INTO component (component) VALUES ('a')"));
        return server.Execute(QStringLiteral("INSERT INTO component (component) VALUES ('b')"));
    }),
              kOk);
    const auto after = server.ReadChangeStamp();
    ASSERT_TRUE(after.has_value());
    EXPECT_EQ(after->changeCounter, before->changeCounter + 2);
    EXPECT_EQ(server.WriteTransaction([&] {
        server.Execute(QStringLiteral("INSERT INTO component (component) VALUES ('c')"));
        return kFailure;
    }),
              kFailure);
    EXPECT_EQ(server.ReadChangeStamp(), after);
    EXPECT_EQ(QueryNumber(server, QStringLiteral("SELECT count(*) FROM component")), 3);
}
