// Converting files of every older version: the current schema, every row kept, and the refused versions.

#include "base/StringTable.h"
#include "engine/Connection.h"
#include "engine/EngineStatus.h"
#include "engine/Rowset.h"
#include "store/DatabaseAdministration.h"
#include "store/DatabaseVersion.h"
#include "store/fixtures/OldVersionDatabase.h"
#include "support/ScriptedUserInterface.h"
#include "support/TempFolder.h"
#include "support/TestDatabase.h"

#include "platform/OleDate.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdint>
#include <map>
#include <vector>

#include <gtest/gtest.h>

using namespace engine;

namespace {

QStringList Texts(Connection& connection, const QString& sql, const Parameters& parameters = {})
{
    Rowset rows;
    EXPECT_EQ(connection.Query(sql, parameters, rows), kOk) << sql.toStdString();
    QStringList texts;
    for (long status = rows.MoveFirst(); status == kOk; status = rows.MoveNext()) {
        QStringList fields;
        for (int column = 0; column < rows.ColumnCount(); ++column)
            fields << (rows.IsNull(column) ? QStringLiteral("NULL") : rows.Text(column));
        texts << fields.join(QLatin1Char('|'));
    }
    return texts;
}

// Every table and view with its columns (position, name, type, not null, default, key) and indexes.
std::map<QString, QStringList> ShapeOf(Connection& connection)
{
    std::map<QString, QStringList> shape;
    const QStringList objects = Texts(connection,
                                      QStringLiteral("select name from sqlite_master where type in "
                                                     "('table', 'view') and name<>'sqlite_sequence'"));
    for (const QString& name : objects) {
        shape[name] = Texts(connection, QStringLiteral("select * from pragma_table_info(?)"), {name});
        shape[name] += Texts(
            connection, QStringLiteral("select name, \"unique\", origin, partial from pragma_index_list(?)"), {name});
    }
    return shape;
}

QString ViewDefinition(Connection& connection)
{
    return Texts(connection, QStringLiteral("select sql from sqlite_master where name='DefectListQuery'")).value(0);
}

// The conversion rewrites this column on purpose (notification starts switched off).
bool RewrittenOnPurpose(const QString& table, const QString& column)
{
    return table == QLatin1String("UserSettings") && column == QLatin1String("NotifyOfChanges");
}

// Every row of every table of the original (the backup) is still there with the values it had,
// the renamed sort-order and read-only columns compared under their new names.
void ExpectEveryRowKept(Connection& converted, const QString& original)
{
    ASSERT_EQ(converted.Execute(QStringLiteral("attach database ? as old"), {original}), kOk);
    const QStringList tables = Texts(converted,
                                     QStringLiteral("select name from old.sqlite_master where type='table' "
                                                    "and name not in ('sqlite_sequence', 'versiontable')"));
    EXPECT_FALSE(tables.isEmpty());
    for (const QString& table : tables) {
        const QStringList newColumns =
            Texts(converted, QStringLiteral("select name from pragma_table_info(?, 'main')"), {table});
        ASSERT_FALSE(newColumns.isEmpty()) << "table lost: " << table.toStdString();
        QStringList oldSide;
        QStringList newSide;
        for (const QString& column :
             Texts(converted, QStringLiteral("select name from pragma_table_info(?, 'old')"), {table})) {
            QString renamed = column;
            renamed.replace(QLatin1String("__sortorder"), QLatin1String("sys_sortorder"));
            renamed.replace(QLatin1String("__readonly"), QLatin1String("sys_readonly"));
            if (!newColumns.contains(renamed) || RewrittenOnPurpose(table, renamed))
                continue;
            oldSide << QStringLiteral("[%1]").arg(column);
            newSide << QStringLiteral("[%1]").arg(renamed);
        }
        const QString missing =
            QStringLiteral("select count(*) from (select %1 from old.[%3] except select %2 from main.[%3])")
                .arg(oldSide.join(QLatin1Char(',')), newSide.join(QLatin1Char(',')), table);
        EXPECT_EQ(QueryNumber(converted, missing), 0) << "rows lost or changed in " << table.toStdString();
    }
    converted.Execute(QStringLiteral("detach database old"));
}

std::vector<int> ScriptsFrom(int version)
{
    std::vector<int> scripts;
    for (const ConversionStep& step : DatabaseAdministration::ConversionTable()) {
        if (step.target > version && step.script != 0)
            scripts.push_back(step.script);
    }
    return scripts;
}

class ConversionTest : public ::testing::Test {
protected:
    ConversionTest() : administration(ui, SystemClockInstance())
    {
        administration.SetScriptObserver([this](int script, int) { scriptsRun.push_back(script); });
    }

    QString Old(int version)
    {
        const QString path = folder.file(QStringLiteral("v%1.defl").arg(version));
        fixtures::BuildOldVersionDatabase(path, version);
        return path;
    }

    TempFolder folder;
    ScriptedUserInterface ui;
    DatabaseAdministration administration;
    std::vector<int> scriptsRun;
};

TEST_F(ConversionTest, EveryOlderVersionReachesTheCurrentSchemaAndKeepsItsRows)
{
    Connection fresh;
    ASSERT_EQ(fresh.Open(CreateCurrentDatabase(folder.file(QStringLiteral("fresh.defl")))), kOk);
    const std::map<QString, QStringList> currentShape = ShapeOf(fresh);
    ASSERT_TRUE(currentShape.count(QStringLiteral("DefectListQuery")));

    for (int version = 1; version < EXPECTED_DB_VERSION; ++version) {
        SCOPED_TRACE(version);
        const QString path = Old(version);
        if (version < 6)
            ui.ExpectWorkflowChoice(0);
        scriptsRun.clear();
        EXPECT_TRUE(administration.ConvertDatabase(path));
        EXPECT_EQ(scriptsRun, ScriptsFrom(version));

        Connection converted;
        ASSERT_EQ(converted.Open(path), kOk);
        EXPECT_EQ(QueryNumber(converted, QStringLiteral("select dbversion from versiontable")), EXPECTED_DB_VERSION);
        const std::map<QString, QStringList> shape = ShapeOf(converted);
        for (const auto& [name, columns] : currentShape)
            EXPECT_EQ(shape.count(name) ? shape.at(name) : QStringList(), columns) << name.toStdString();
        EXPECT_EQ(shape.size(), currentShape.size());
        EXPECT_EQ(ViewDefinition(converted), ViewDefinition(fresh));
        ExpectEveryRowKept(converted, path + QStringLiteral(".bak"));
        // Every defect is still found through the list's view.
        EXPECT_EQ(QueryNumber(converted, QStringLiteral("select count(*) from DefectListQuery")), 3);
        if (version < 6) {
            EXPECT_EQ(QueryNumber(converted, QStringLiteral("select count(*) from statustransitions")), 35);
        }
    }
    EXPECT_EQ(ui.CountOf("message"), 0);
}

TEST_F(ConversionTest, VersionThreeGetsTemplatesDraftsAndStakeholdersFrom1000)
{
    const QString path = Old(3);
    ui.ExpectWorkflowChoice(1);
    ASSERT_TRUE(administration.ConvertDatabase(path));

    Connection connection;
    ASSERT_EQ(connection.Open(path), kOk);
    EXPECT_EQ(Texts(connection,
                    QStringLiteral("select status_id, status, sys_sortorder from status where status_id "
                                   "in (0, 999) order by status_id")),
              QStringList({QStringLiteral("0|template|9001"), QStringLiteral("999|draft|9000")}));
    EXPECT_EQ(Texts(connection,
                    QStringLiteral("select displayname, sys_sortorder, sys_readonly from stakeholder "
                                   "where stakeholder_id=0")),
              QStringList(QStringLiteral("- ? -|10000|-1")));
    ASSERT_EQ(connection.Execute(QStringLiteral("insert into stakeholder (email) values ('new@example.org')")), kOk);
    EXPECT_EQ(connection.LastInsertId(), 1000);
    ASSERT_EQ(connection.Execute(QStringLiteral("insert into status (status) values ('waiting')")), kOk);
    EXPECT_EQ(connection.LastInsertId(), 1000);

    EXPECT_EQ(Texts(connection,
                    QStringLiteral("select Hotkey, LastTemplateId, AutoRefreshList, AutoCloseDB, "
                                   "NotifyOfChanges from UserSettings")),
              QStringList(QStringLiteral("619|NULL|60|5|0")));
    EXPECT_GT(QueryNumber(connection, QStringLiteral("select count(*) from UserSettings where dateLastSaved > 40000")),
              0);
    EXPECT_EQ(QueryNumber(connection,
                          QStringLiteral("select count(*) from defectlist where lastread > 40000 and "
                                         "categoryid=0")),
              3);
    // The private view keeps its own columns and gets the three of version 8 after them; only
    // the default view gets the category and cc columns.
    EXPECT_EQ(Texts(connection,
                    QStringLiteral("select columnid, [name], columnorder from viewcolumns where viewid="
                                   "(select id from views where viewname='mine') order by columnorder")),
              QStringList({QStringLiteral("0|Id|0"), QStringLiteral("2|Subject|1"), QStringLiteral("1|Status|2"),
                           QStringLiteral("15|Read|3"), QStringLiteral("16|vFound|4"), QStringLiteral("17|vFixed|5")}));
    EXPECT_EQ(Texts(connection,
                    QStringLiteral("select columnid, [name], width, columnorder, sortorder, descending, "
                                   "invisible from viewcolumns where viewid=1 and columnid>=15 order by "
                                   "columnorder")),
              QStringList({QStringLiteral("15|Read|120|17|0|0|0"), QStringLiteral("16|vFound|60|18|0|0|0"),
                           QStringLiteral("17|vFixed|60|19|0|0|0"), QStringLiteral("18|Categorie|120|20|0|0|0"),
                           QStringLiteral("19|Cc|120|21|0|0|0")}));
    EXPECT_EQ(
        Texts(connection, QStringLiteral("select filtername from filter where userid=0 order by id")),
        QStringList({QStringLiteral("default"), QStringLiteral("new defects"), QStringLiteral("unfinished defects"),
                     QStringLiteral("my templates"), QStringLiteral("my drafts"), QStringLiteral("unread"),
                     QStringLiteral("unfinished features"), QStringLiteral("unfinished todo"),
                     QStringLiteral("new features"), QStringLiteral("new todo")}));
    EXPECT_EQ(QueryNumber(connection, QStringLiteral("select count(*) from statustransitions")), 30);

    Connection fresh;
    ASSERT_EQ(fresh.Open(CreateCurrentDatabase(folder.file(QStringLiteral("fresh.defl")))), kOk);
    ASSERT_EQ(fresh.Execute(QStringLiteral("insert into stakeholder (email) values ('new@example.org')")), kOk);
    EXPECT_EQ(fresh.LastInsertId(), 1);
}

TEST_F(ConversionTest, VersionFiveAsksForTheWorkflowAndImportingOwnCountsAsFailure)
{
    const QString path = Old(5);
    ui.ExpectWorkflowChoice(2);
    EXPECT_FALSE(administration.ConvertDatabase(path));
    ui.VerifyAllUsed();

    Connection connection;
    ASSERT_EQ(connection.Open(path), kOk);
    EXPECT_EQ(QueryNumber(connection, QStringLiteral("select dbversion from versiontable")), EXPECTED_DB_VERSION);
    EXPECT_EQ(QueryNumber(connection, QStringLiteral("select count(*) from statustransitions")), 0);
    // The German status names of that time get their German descriptions.
    EXPECT_EQ(
        QueryNumber(connection, QStringLiteral("select count(*) from status where statusdescription is not null")), 13);
    EXPECT_EQ(Texts(connection, QStringLiteral("select statusdescription from status where status='neu'")),
              QStringList(QStringLiteral("Dieser Fehler wurde noch nicht bewertet. Der Verantwortliche (an:) muß "
                                         "entscheiden, was damit geschehen soll.")));
    EXPECT_EQ(Texts(connection, QStringLiteral("select statusdescription from status where status='überholt'"))
                  .value(0)
                  .left(20),
              QStringLiteral("Dieser Fehler ist ni"));
}

TEST_F(ConversionTest, VersionTwelveRunsOnlyTheLastScript)
{
    const QString path = Old(12);
    EXPECT_TRUE(administration.ConvertDatabase(path));
    EXPECT_EQ(scriptsRun, std::vector<int>({270}));

    Connection connection;
    ASSERT_EQ(connection.Open(path), kOk);
    EXPECT_EQ(Texts(connection,
                    QStringLiteral("select viewid, [name], width, columnorder from viewcolumns where "
                                   "columnid=19")),
              QStringList(QStringLiteral("1|Cc|120|19")));
    EXPECT_EQ(QueryNumber(connection, QStringLiteral("select count(*) from defectlist where cc is null")), 3);
    // The original stays beside the converted file.
    EXPECT_TRUE(QFile::exists(path + QStringLiteral(".bak")));
}

TEST_F(ConversionTest, VersionZeroAndUnreadableVersionsAreRefusedWithoutChanges)
{
    // Version 0 is what an interrupted conversion leaves behind.
    const QString interrupted = Old(12);
    {
        Connection connection;
        ASSERT_EQ(connection.Open(interrupted), kOk);
        ASSERT_EQ(connection.Execute(QStringLiteral("update versiontable set dbversion=0")), kOk);
    }
    ui.ExpectMessageText(QStringLiteral("This database version cannot be converted. Export all data, create a new "
                                        "database and import the data."));
    EXPECT_FALSE(administration.ConvertDatabase(interrupted));
    EXPECT_TRUE(scriptsRun.empty());
    {
        Connection connection;
        ASSERT_EQ(connection.Open(interrupted), kOk);
        EXPECT_FALSE(Texts(connection, QStringLiteral("select name from pragma_table_info('defectlist')"))
                         .contains(QStringLiteral("cc")));
    }

    const QString noVersionTable = folder.file(QStringLiteral("empty.defl"));
    ASSERT_EQ(Connection::CreateFile(noVersionTable), kOk);
    ui.ExpectMessageText(LoadString(125));
    EXPECT_FALSE(administration.ConvertDatabase(noVersionTable));
    ui.VerifyAllUsed();
    // Message 125 with the file's name; the engine's words only behind "Details".
    EXPECT_TRUE(ui.messages.back().text.startsWith(LoadString(125))) << ui.messages.back().text.toStdString();
    EXPECT_TRUE(ui.messages.back().text.endsWith(noVersionTable));
    EXPECT_TRUE(ui.messages.back().details.contains(QStringLiteral("no such table: versiontable")));
    EXPECT_FALSE(QFileInfo::exists(noVersionTable + QStringLiteral(".bak")));
}

QByteArray Content(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The scripts run on a copy: a failing one leaves the file as it was, byte for byte, and the
// user hears that, with the backup's name.
TEST_F(ConversionTest, AFailingScriptLeavesTheOriginalUntouched)
{
    const QString path = Old(12);
    {
        Connection connection;
        ASSERT_EQ(connection.Open(path), kOk);
        // Script 270 adds this column and stops on it.
        ASSERT_EQ(connection.Execute(QStringLiteral("alter table defectlist add column cc varchar(255) NULL")), kOk);
    }
    ASSERT_TRUE(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup));
    const QByteArray original = Content(path);
    ui.ExpectMessageText(QStringLiteral("A statement of a database script failed"));
    ui.ExpectMessageText(QStringLiteral("was not converted and is unchanged"));
    EXPECT_FALSE(administration.ConvertDatabase(path));
    ui.VerifyAllUsed();
    EXPECT_TRUE(ui.messages.back().text.contains(path + QStringLiteral(".bak")))
        << ui.messages.back().text.toStdString();
    EXPECT_EQ(Content(path), original);
    EXPECT_EQ(Content(path + QStringLiteral(".bak")), original);
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList({QStringLiteral("v12.defl"), QStringLiteral("v12.defl.bak")}));

    // The backup holds the file's bytes: trying again asks nothing about it.
    ui.ExpectMessageText(QStringLiteral("A statement of a database script failed"));
    ui.ExpectMessageText(QStringLiteral("was not converted and is unchanged"));
    EXPECT_FALSE(administration.ConvertDatabase(path));
    ui.VerifyAllUsed();
    EXPECT_EQ(Content(path), original);

    // Once the cause is gone (the file changed, so its old copy is replaced only when the user
    // agrees), the converted file keeps the original's access.
    {
        Connection connection;
        ASSERT_EQ(connection.Open(path), kOk);
        ASSERT_EQ(connection.Execute(QStringLiteral("alter table defectlist drop column cc")), kOk);
    }
    ui.ExpectMessage(137, Answer::Yes);
    EXPECT_TRUE(administration.ConvertDatabase(path));
    EXPECT_EQ(QueryNumber(path, QStringLiteral("select dbversion from versiontable")), EXPECTED_DB_VERSION);
    EXPECT_EQ(QFileInfo(path).permissions() &
                  (QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ReadOther),
              QFileDevice::ReadGroup);
}

// Other workstations must not use the file while it is converted: the conversion takes the
// maintenance lock, and a file in use is not converted at all.
TEST_F(ConversionTest, AFileInUseIsNotConverted)
{
    const QString path = Old(11);
    const QByteArray original = Content(path);
    Connection otherWorkstation;
    ASSERT_EQ(otherWorkstation.Open(path), kOk);
    ui.ExpectMessage(160);
    EXPECT_FALSE(administration.ConvertDatabase(path));
    ui.VerifyAllUsed();
    EXPECT_TRUE(ui.messages.back().text.contains(LoadString(164)));
    EXPECT_TRUE(scriptsRun.empty());
    EXPECT_EQ(Content(path), original);
    EXPECT_FALSE(QFileInfo::exists(path + QStringLiteral(".bak")));
}

// An older program converted in place and left version 0 when it was stopped; its backup is the
// original of the file, so the conversion starts again from there.
TEST_F(ConversionTest, AFileAnOlderProgramLeftUnfinishedIsConvertedAgainFromItsBackup)
{
    const QString path = Old(10);
    const QString backup = path + QStringLiteral(".bak");
    ASSERT_TRUE(QFile::copy(path, backup));
    const QByteArray original = Content(path);
    {
        Connection connection;
        ASSERT_EQ(connection.Open(path), kOk);
        ASSERT_EQ(connection.Execute(QStringLiteral("update versiontable set dbversion=0")), kOk);
        ASSERT_EQ(connection.Execute(QStringLiteral("alter table stakeholder add column passwd varchar(32) NULL")),
                  kOk);
    }
    const QByteArray unfinished = Content(path);
    ui.ExpectMessageText(backup);
    EXPECT_TRUE(administration.ConvertDatabase(path));
    ui.VerifyAllUsed();
    EXPECT_EQ(scriptsRun, ScriptsFrom(10));
    EXPECT_EQ(QueryNumber(path, QStringLiteral("select dbversion from versiontable")), EXPECTED_DB_VERSION);
    EXPECT_EQ(QueryNumber(path, QStringLiteral("select count(*) from defectlist")), 3);
    EXPECT_EQ(Content(backup), original);
    EXPECT_EQ(Content(path + QStringLiteral(".interrupted")), unfinished);

    // A backup of other defects is not this file's original: nothing changes, and the text
    // names the backup and says how to go on.
    const QString other = Old(9);
    ASSERT_TRUE(QFile::copy(path + QStringLiteral(".interrupted"), other + QStringLiteral(".tmp")));
    QFile::remove(other + QStringLiteral(".bak"));
    ASSERT_TRUE(QFile::copy(other, other + QStringLiteral(".bak")));
    QFile::remove(other);
    ASSERT_TRUE(QFile::rename(other + QStringLiteral(".tmp"), other));
    {
        Connection connection;
        ASSERT_EQ(connection.Open(other + QStringLiteral(".bak")), kOk);
        ASSERT_EQ(connection.Execute(QStringLiteral("delete from defectlist where defect_id = 1")), kOk);
    }
    const QByteArray left = Content(other);
    scriptsRun.clear();
    ui.ExpectMessageText(QStringLiteral("was left unfinished by an interrupted conversion"));
    EXPECT_FALSE(administration.ConvertDatabase(other));
    ui.VerifyAllUsed();
    EXPECT_TRUE(ui.messages.back().text.contains(other + QStringLiteral(".bak")));
    EXPECT_TRUE(scriptsRun.empty());
    EXPECT_EQ(Content(other), left);
}

} // namespace
