// A new database: the seed rows, counters after them, and DefectListQuery showing every defect once.

#include "engine/Connection.h"
#include "engine/EngineStatus.h"
#include "engine/Rowset.h"
#include "store/DatabaseVersion.h"
#include "support/ScriptedUserInterface.h"
#include "support/TempFolder.h"
#include "support/TestDatabase.h"

#include <cstdint>

#include <gtest/gtest.h>

using namespace engine;

namespace {

struct NewDatabase {
    NewDatabase()
    {
        CreateCurrentDatabase(folder.file(QStringLiteral("new.defl")));
        EXPECT_EQ(connection.Open(folder.file(QStringLiteral("new.defl"))), kOk);
    }
    std::int64_t Int(const QString& sql, const Parameters& parameters = {})
    {
        std::int64_t value = -1;
        EXPECT_EQ(connection.QueryInt(sql, parameters, value), kOk) << sql.toStdString();
        return value;
    }
    Rowset Rows(const QString& sql)
    {
        Rowset rows;
        EXPECT_EQ(connection.Query(sql, {}, rows), kOk) << sql.toStdString();
        return rows;
    }
    TempFolder folder;
    ScriptedUserInterface ui; // fails the test on any error report
    Connection connection;
};

QString Texts(Rowset rows)
{
    QStringList texts;
    for (long status = rows.MoveFirst(); status == kOk; status = rows.MoveNext()) {
        QStringList fields;
        for (int i = 0; i < rows.ColumnCount(); ++i)
            fields << rows.Text(i);
        texts << fields.join(QLatin1Char('|'));
    }
    return texts.join(QLatin1Char('\n'));
}

} // namespace

TEST(Schema, NewDatabaseHoldsTheSeedRows)
{
    NewDatabase db;
    EXPECT_EQ(db.Int(QStringLiteral("select dbversion from versiontable")), EXPECTED_DB_VERSION);
    EXPECT_EQ(db.Int(QStringLiteral("select count(*) from versiontable")), 1);

    EXPECT_EQ(Texts(db.Rows(QStringLiteral("select status_id, status, sys_sortorder from status order by status_id"))),
              QStringLiteral("0|template|9000\n1|new|1\n2|open|2\n3|in progress|3\n4|fixed|4\n5|tested|5\n"
                             "6|released|6\n7|rejected|7\n8|obsolete|8\n9|merged|9\n10|closed|10\n11|reopened|11\n"
                             "999|draft|9000"));
    EXPECT_EQ(Texts(db.Rows(QStringLiteral("select statusdescription from status where status_id in (0, 9, 999) "
                                           "order by status_id"))),
              QStringLiteral("Defecttemplates speed up your data entry.\n"
                             "This defect entry describes a case that is covered in another defect report, which has "
                             "already been entered into the database. This defect entry will no longer be handled "
                             "individually.\n"
                             "This defect is a draft. It is not yet valid."));
    EXPECT_EQ(
        db.Int(QStringLiteral("select count(*) from status where statusdescription is null or statusdescription=''")),
        0);

    EXPECT_EQ(Texts(db.Rows(QStringLiteral("select stakeholder_id, email, displayname, loginname, sys_sortorder, "
                                           "sys_readonly, passwd is null from stakeholder"))),
              QStringLiteral("0||- ? -|none|10000|-1|1"));
    EXPECT_EQ(Texts(db.Rows(QStringLiteral("select component_id, component, sys_sortorder from component"))),
              QStringLiteral("1|<none>|0"));
    EXPECT_EQ(Texts(db.Rows(QStringLiteral("select priority_id, priority from priority order by priority_id"))),
              QStringLiteral("0|<unevaluated>\n1|low\n2|medium\n3|high\n4|critical"));
    EXPECT_EQ(Texts(db.Rows(QStringLiteral("select severity_id || severity || sys_sortorder from severity "
                                           "order by severity_id"))),
              QStringLiteral("0<unevaluated>0\n1low1\n2medium2\n3high3\n4critical4"));
    EXPECT_EQ(Texts(db.Rows(
                  QStringLiteral("select category_id, category, sys_sortorder from category order by category_id"))),
              QStringLiteral("0|bug|0\n1|feature|1\n2|todo|2"));

    EXPECT_EQ(Texts(db.Rows(QStringLiteral("select id, userid, viewname from views"))), QStringLiteral("1|0|default"));
    EXPECT_EQ(db.Int(QStringLiteral("select count(*) from viewcolumns where viewid=1")), 20);
    EXPECT_EQ(
        Texts(db.Rows(QStringLiteral("select columnid, name, width, columnorder, sortorder, descending, invisible "
                                     "from viewcolumns where columnid in (0, 3, 14, 16, 19) order by columnorder"))),
        QStringLiteral("0|Id|60|0|1|0|0\n3|To|100|3|6|0|0\n14|Details|400|12|0|0|-1\n19|Cc|120|14|0|0|0\n"
                       "16|Found in|60|15|0|0|0"));
    EXPECT_EQ(db.Int(QStringLiteral(
                  "select count(distinct columnorder) from viewcolumns where columnorder between 0 and 19")),
              20);

    const QString unfinished = QStringLiteral("status<>'closed' AND status<>'merged' AND status<>'rejected' AND "
                                              "status<>'obsolete' AND statusid<>0 and categoryid=");
    const QStringList filters{
        QStringLiteral("1|0|default|statusid<>0 AND (statusid<>999 or fromid=@loggedInId)"),
        QStringLiteral("2|0|unread|lastread=0"),
        QStringLiteral("3|0|new defects|status='new' and categoryid=0"),
        QStringLiteral("4|0|unfinished defects|") + unfinished + QStringLiteral("0"),
        QStringLiteral("5|0|unfinished features|") + unfinished + QStringLiteral("1"),
        QStringLiteral("6|0|unfinished todo|") + unfinished + QStringLiteral("2"),
        QStringLiteral("7|0|new features|status='new' and categoryid=1"),
        QStringLiteral("8|0|new todo|status='new' and categoryid=2"),
        QStringLiteral("9|0|my templates|statusid=0 and (fromid=0 or fromid=@loggedInId)"),
        QStringLiteral("10|0|my drafts|statusid=999 and fromid=@loggedInId"),
    };
    EXPECT_EQ(Texts(db.Rows(QStringLiteral("select id, userid, filtername, filtertext from filter order by id"))),
              filters.join(QLatin1Char('\n')));

    EXPECT_EQ(db.Int(QStringLiteral("select count(*) from UserSettings")), 0);
    EXPECT_EQ(db.Int(QStringLiteral("select count(*) from SystemSettings")), 0);
    EXPECT_EQ(db.Int(QStringLiteral("select count(*) from statustransitions")), 0);
}

TEST(Schema, CountersContinueAfterTheSeed)
{
    NewDatabase db;
    ASSERT_EQ(
        db.connection.Execute(QStringLiteral("insert into status (status, sys_sortorder) values ('waiting', 12)")),
        kOk);
    EXPECT_EQ(db.connection.LastInsertId(), 1000);
    ASSERT_EQ(
        db.connection.Execute(QStringLiteral("insert into stakeholder (email, displayname) values ('a@b.c', 'A')")),
        kOk);
    EXPECT_EQ(db.connection.LastInsertId(), 1);
    ASSERT_EQ(db.connection.Execute(QStringLiteral("insert into component (component) values ('core')")), kOk);
    EXPECT_EQ(db.connection.LastInsertId(), 2);
    ASSERT_EQ(db.connection.Execute(QStringLiteral("insert into category (category) values ('question')")), kOk);
    EXPECT_EQ(db.connection.LastInsertId(), 3);
    ASSERT_EQ(db.connection.Execute(QStringLiteral("insert into defectlist (subject) values ('first')")), kOk);
    EXPECT_EQ(db.connection.LastInsertId(), 1);
    ASSERT_EQ(db.connection.Execute(QStringLiteral("insert into filter (userid, filtername) values (1, 'mine')")), kOk);
    EXPECT_EQ(db.connection.LastInsertId(), 11);

    // Keys stay unique; a pair of view and column exists once.
    EXPECT_EQ(db.connection.Execute(QStringLiteral("insert into status (status_id, status) values (999, 'twice')")),
              kIntegrityViolation);
    EXPECT_EQ(
        db.connection.Execute(QStringLiteral("insert into viewcolumns (viewid, columnid, name, width, columnorder, "
                                             "sortorder) values (1, 5, 'again', 1, 1, 1)")),
        kIntegrityViolation);
    EXPECT_EQ(db.connection.Execute(QStringLiteral("insert into UserSettings (UserId) values (null)")),
              kIntegrityViolation);
    db.connection.TakeErrorRecords();
}

TEST(Schema, DefectListQueryShowsEveryDefectOnceWithQualifiedColumns)
{
    NewDatabase db;
    ASSERT_EQ(
        db.connection.Execute(QStringLiteral("insert into stakeholder (email, displayname, loginname, sys_sortorder) "
                                             "values ('ann@example.org', 'Ann', 'ann', 3)")),
        kOk);
    // One defect whose references all resolve, one whose references resolve nowhere.
    ASSERT_EQ(
        db.connection.Execute(QStringLiteral(
            "insert into defectlist (statusid, priorityid, severityid, componentid, toid, fromid, categoryid, subject) "
            "values (2, 3, 4, 1, 1, 0, 1, 'resolved'), (555, 77, 88, 99, 66, 44, 33, 'dangling')")),
        kOk);

    Rowset rows = db.Rows(QStringLiteral("select * from DefectListQuery order by defect_id"));
    ASSERT_EQ(rows.size(), 2u);
    const QStringList expectedNames{"defect_id",
                                    "statusid",
                                    "priorityid",
                                    "severityid",
                                    "subject",
                                    "description",
                                    "componentid",
                                    "toid",
                                    "fromid",
                                    "foundbuild",
                                    "fixedbuild",
                                    "comments",
                                    "history",
                                    "opened",
                                    "modified",
                                    "closed",
                                    "lastread",
                                    "foundversion",
                                    "fixedversion",
                                    "categoryid",
                                    "cc",
                                    "category_id",
                                    "category",
                                    "category.sys_sortorder",
                                    "categorydescription",
                                    "component_id",
                                    "component",
                                    "Component.sys_sortorder",
                                    "priority_id",
                                    "priority",
                                    "Priority.sys_sortorder",
                                    "severity_id",
                                    "severity",
                                    "Severity.sys_sortorder",
                                    "status_id",
                                    "status",
                                    "Status.sys_sortorder",
                                    "statusdescription",
                                    "To.stakeholder_id",
                                    "To.email",
                                    "To.displayname",
                                    "To.loginname",
                                    "To.sys_sortorder",
                                    "To.sys_readonly",
                                    "To.passwd",
                                    "To.userflags",
                                    "From.stakeholder_id",
                                    "From.email",
                                    "From.displayname",
                                    "From.loginname",
                                    "From.sys_sortorder",
                                    "From.sys_readonly",
                                    "From.passwd",
                                    "From.userflags"};
    EXPECT_EQ(rows.ColumnNames(), expectedNames);

    ASSERT_EQ(rows.MoveFirst(), kOk);
    auto text = [&rows](const char* column) { return rows.Text(rows.ColumnIndex(QString::fromLatin1(column))); };
    EXPECT_EQ(text("subject"), QStringLiteral("resolved"));
    EXPECT_EQ(text("status"), QStringLiteral("open"));
    EXPECT_EQ(text("Status.sys_sortorder"), QStringLiteral("2"));
    EXPECT_EQ(text("priority"), QStringLiteral("high"));
    EXPECT_EQ(text("Severity.sys_sortorder"), QStringLiteral("4"));
    EXPECT_EQ(text("component"), QStringLiteral("<none>"));
    EXPECT_EQ(text("category"), QStringLiteral("feature"));
    EXPECT_EQ(text("To.displayname"), QStringLiteral("Ann"));
    EXPECT_EQ(text("To.email"), QStringLiteral("ann@example.org"));
    EXPECT_EQ(text("From.displayname"), QStringLiteral("- ? -"));
    EXPECT_EQ(text("From.sys_readonly"), QStringLiteral("-1"));

    ASSERT_EQ(rows.MoveNext(), kOk);
    EXPECT_EQ(text("subject"), QStringLiteral("dangling"));
    for (const char* lookup : {"status_id", "priority_id", "severity_id", "component_id", "category_id",
                               "To.stakeholder_id", "From.stakeholder_id"})
        EXPECT_TRUE(rows.IsNull(rows.ColumnIndex(QString::fromLatin1(lookup)))) << lookup;

    // The program orders and filters by the qualified names in brackets.
    EXPECT_EQ(Texts(db.Rows(QStringLiteral("select subject from DefectListQuery where [To.displayname] is null or "
                                           "[Status.sys_sortorder] > 0 order by [Status.sys_sortorder] desc"))),
              QStringLiteral("resolved\ndangling"));

    // The form reads one defect at a time; that must not build the whole joined list.
    Rowset plan;
    ASSERT_EQ(db.connection.Query(QStringLiteral("explain query plan select * from DefectListQuery where defect_id=?"),
                                  {1}, plan),
              kOk);
    QStringList steps;
    for (long status = plan.MoveFirst(); status == kOk; status = plan.MoveNext())
        steps << plan.Text(plan.ColumnCount() - 1);
    EXPECT_TRUE(steps.value(0).startsWith(QStringLiteral("SEARCH DefectList USING INTEGER PRIMARY KEY")))
        << steps.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(steps.filter(QStringLiteral("SCAN")).isEmpty()) << steps.join(QLatin1Char('\n')).toStdString();
}
