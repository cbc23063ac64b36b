// Script statements: the "!" and "go" terminators, the ignore mark and comments, failures reported or not.

#include "store/ScriptRunner.h"
#include "base/Check.h"
#include "base/ErrorContext.h"
#include "engine/Connection.h"
#include "engine/EngineStatus.h"
#include "support/ScriptedUserInterface.h"
#include "support/TempFolder.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

using namespace engine;

namespace {

using Statements = std::vector<std::pair<std::string, bool>>; // text, ignoreErrors

Statements Scan(const std::string& script)
{
    Statements found;
    const char* pos = script.data();
    const char* end = pos + script.size();
    while (pos < end) {
        const ScriptStatement statement = NextStatement(pos, end);
        EXPECT_GT(statement.next, pos) << "no progress in: " << script;
        if (statement.next <= pos)
            break;
        pos = statement.next;
        if (!statement.text.isEmpty())
            found.emplace_back(statement.text.toStdString(), statement.ignoreErrors);
    }
    return found;
}

bool RunText(const std::string& script, Connection& connection, bool continueOnError = true)
{
    return RunStatements(script.data(), script.data() + script.size(), connection, TheUserInterface(), continueOnError);
}

struct Database {
    Database()
    {
        EXPECT_EQ(Connection::CreateFile(folder.file(QStringLiteral("script.defl"))), kOk);
        EXPECT_EQ(connection.Open(folder.file(QStringLiteral("script.defl"))), kOk);
        EXPECT_EQ(connection.Execute(QStringLiteral("create table category (category TEXT, sys_sortorder INTEGER)")),
                  kOk);
    }
    std::int64_t Count(const QString& where = QStringLiteral("1=1"))
    {
        std::int64_t count = -1;
        EXPECT_EQ(connection.QueryInt(QStringLiteral("select count(*) from category where ") + where, {}, count), kOk);
        return count;
    }
    TempFolder folder;
    Connection connection;
};

} // namespace

TEST(ScriptRunner, BangTerminatesOnlyBeforeALineBreak)
{
    EXPECT_EQ(Scan("insert into category (category, sys_sortorder) values ('bug', 0) !\r\n"),
              (Statements{{"insert into category (category, sys_sortorder) values ('bug', 0)", false}}));
    // Without a line break the last "!" is part of an unterminated statement, which is dropped.
    EXPECT_EQ(Scan("select 1 !\r\nselect 2 !"), (Statements{{"select 1", false}}));
    EXPECT_EQ(Scan("select 1!\n"), (Statements{{"select 1", false}}));
    EXPECT_EQ(Scan("select 'a!b', 'c! d' !\n"), (Statements{{"select 'a!b', 'c! d'", false}}));
    EXPECT_EQ(Scan("\v\f\t select 1 \t!\r\n\r\n  \t"), (Statements{{"select 1", false}}));
    EXPECT_EQ(Scan("select 1"), Statements{});
}

TEST(ScriptRunner, GoTerminatesWhereverAWordEndsInIt)
{
    EXPECT_EQ(Scan("create table t (\r\n  a INTEGER\r\n)\r\ngo\r\n"),
              (Statements{{"create table t (\r\n  a INTEGER\r\n)", false}}));
    EXPECT_EQ(Scan("select 1\nGO"), (Statements{{"select 1", false}}));
    EXPECT_EQ(Scan("select 1\ngo\ngo\n"), (Statements{{"select 1", false}}));
    // Letters or digits after the two letters keep them inside the statement.
    EXPECT_EQ(Scan("select gone, go2, category from t\ngo\n"),
              (Statements{{"select gone, go2, category from t", false}}));
    // A word ending in "go" followed by punctuation cuts the statement before those letters.
    EXPECT_EQ(Scan("select ergo, b from t\ngo\n"), (Statements{{"select er", false}, {", b from t", false}}));
    EXPECT_EQ(Scan("select 'Lego' from t\ngo\n"), (Statements{{"select 'Le", false}, {"' from t", false}}));
}

TEST(ScriptRunner, IgnoreMarkAndComments)
{
    EXPECT_EQ(Scan("drop view DefectListQuery -!\r\n"), (Statements{{"drop view DefectListQuery", true}}));
    EXPECT_EQ(Scan("drop procedure DefectListQuery - - -!\r\n"),
              (Statements{{"drop procedure DefectListQuery", true}}));
    EXPECT_EQ(Scan("drop view x -\r\ngo\r\n"), (Statements{{"drop view x", true}}));
    // An ignore mark standing alone runs nothing and does not carry over to the next statement.
    EXPECT_EQ(Scan("-!\nselect 1 !\n"), (Statements{{"select 1", false}}));

    EXPECT_EQ(Scan("-- a comment with go, and ! here !\r\nselect 1 !\r\n-- trailing comment"),
              (Statements{{"select 1", false}}));
    EXPECT_EQ(Scan("select 1,\r\n-- inner line\r\n2\r\ngo\r\n"),
              (Statements{{"select 1,\r\n-- inner line\r\n2", false}}));

    Database db;
    ScriptedUserInterface ui;
    EXPECT_TRUE(
        RunText("-- the comment between statements\r\n"
                "insert into category (category)\r\n-- inside, the engine sees this line\r\nvalues ('bug')\r\ngo\r\n",
                db.connection));
    EXPECT_EQ(db.Count(QStringLiteral("category='bug'")), 1);
}

TEST(ScriptRunner, RunsStatementsAndReportsFailuresUnlessMarked)
{
    Database db;
    ScriptedUserInterface ui;

    // A failure carrying the ignore mark is silent and leaves no records for a later report.
    EXPECT_TRUE(
        RunText("drop view DefectListQuery -!\r\ninsert into category (category) values ('a') !\r\n", db.connection));
    EXPECT_TRUE(db.connection.errorRecords().empty());
    EXPECT_EQ(db.Count(), 1);
    EXPECT_EQ(ui.CountOf("message"), 0);

    // Unmarked: a report with the engine's message and the statement behind "Details"; the run goes on.
    ui.ExpectMessageText(QStringLiteral("A statement of a database script failed"), Answer::Yes);
    EXPECT_TRUE(RunText("insert into missing values (1) !\r\ninsert into category (category) values ('b') !\r\n",
                        db.connection));
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_TRUE(ui.messages[0].details.contains(QStringLiteral("no such table: missing")))
        << ui.messages[0].details.toStdString();
    EXPECT_TRUE(ui.messages[0].details.contains(QStringLiteral("insert into missing values (1)")));
    EXPECT_FALSE(ui.messages[0].text.contains(QStringLiteral("insert into")));
    EXPECT_EQ(ui.messages[0].buttons, Buttons::YesNo);
    EXPECT_EQ(db.Count(), 2);

    // Without continueOnError the first unmarked failure ends the run.
    ui.ExpectMessageText(QStringLiteral("A statement of a database script failed"));
    EXPECT_FALSE(RunText("insert into missing values (2) !\r\ninsert into category (category) values ('c') !\r\n",
                         db.connection, false));
    EXPECT_TRUE(ui.messages.back().details.contains(QStringLiteral("insert into missing values (2)")));
    EXPECT_EQ(db.Count(), 2);
    ui.VerifyAllUsed();
}

TEST(ScriptRunner, LoadsCompiledScriptsAndFailsOnAMissingOne)
{
    const QByteArray schema = LoadScript(190);
    EXPECT_TRUE(schema.startsWith("--"));
    EXPECT_TRUE(schema.contains("insert into versiontable (dbversion) values (13)"));

    TheErrorContext().ContextText(true);
    try {
        LoadScript(4711);
        ADD_FAILURE() << "a missing script loaded";
    } catch (const check::assertion_failed& failure) {
        EXPECT_STREQ(failure.what(), "could not load sql commands from resource file");
    }
    EXPECT_NE(TheErrorContext().ContextText(true).find("Loading resource from .EXE"), std::string::npos);
}
