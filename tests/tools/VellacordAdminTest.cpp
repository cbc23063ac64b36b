// vellacord-admin run as a process: create, convert, repair (also killed), list, user add and usage errors.

#include "base/StringTable.h"
#include "document/DefectDoc.h"
#include "document/DocumentTestSupport.h"
#include "engine/Connection.h"
#include "engine/EngineStatus.h"
#include "engine/SqlDialect.h"
#include "export/SpreadsheetQuery.h"
#include "list/DefectList.h"
#include "platform/OleDate.h"
#include "store/Compaction.h"
#include "store/DatabaseVersion.h"
#include "store/MaintenanceLock.h"
#include "store/fixtures/OldVersionDatabase.h"
#include "support/AdminTool.h"
#include "support/PgServer.h"
#include "support/ScriptedUserInterface.h"
#include "support/TempFolder.h"
#include "support/TestDatabase.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QThread>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <random>

#include <gtest/gtest.h>

namespace {

using ToolRun = AdminRun;

// Ids of the small team's file.
constexpr std::int64_t kAlice = 1, kBob = 2, kCarol = 3;
constexpr std::int64_t kNew = 1, kOpen = 2, kClosed = 10, kTemplate = 0, kDraft = 999;
constexpr std::int64_t kAlicesView = 2, kFaultyFilter = 11, kWritingFilter = 12, kOpenFilter = 13;

// Three users; three defects Alice sees, Bob's draft and Carol's template she does not; her own
// view as her last one; a faulty filter, one that tries to write and one that works.
void FillSmallTeamFile(const QString& path)
{
    engine::Connection db;
    ASSERT_EQ(db.Open(path), engine::kOk);
    const auto run = [&](const char* sql, const engine::Parameters& values) {
        EXPECT_EQ(db.Execute(QString::fromUtf8(sql), values), engine::kOk) << sql;
    };
    const auto user = [&](std::int64_t id, const char* name, const char* login) {
        run("insert into stakeholder (stakeholder_id, email, displayname, loginname) values (?, '', ?, ?)",
            {id, QString::fromUtf8(name), QString::fromUtf8(login)});
    };
    const auto defect = [&](std::int64_t status, const char* subject, std::int64_t to, std::int64_t from) {
        run("insert into defectlist (statusid, subject, toid, fromid, categoryid) values (?, ?, ?, ?, 0)",
            {status, QString::fromUtf8(subject), to, from});
    };
    const auto column = [&](std::int64_t id, const char* name, std::int64_t order, std::int64_t sortOrder,
                            std::int64_t invisible) {
        run("insert into viewcolumns (viewid, columnid, [name], width, columnorder, sortorder, descending, invisible) "
            "values (?, ?, ?, 100, ?, ?, 0, ?)",
            {kAlicesView, id, QString::fromUtf8(name), order, sortOrder, invisible});
    };
    const auto filter = [&](std::int64_t id, std::int64_t owner, const char* text) {
        run("insert into filter (id, userid, filtername, filtertext) values (?, ?, 'f', ?)",
            {id, owner, QString::fromUtf8(text)});
    };
    user(kAlice, "Alice Ärger", "alice");
    user(kBob, "Bob", "Bob");
    user(kCarol, "Carol", "carol");
    defect(kNew, "Crash on save,\r\nthen\tfreeze", kAlice, kBob);
    defect(kOpen, "Preis in € falsch", kBob, kAlice);
    defect(kClosed, "Größe", kCarol, kBob);
    defect(kDraft, "Bob's draft", kAlice, kBob);
    defect(kTemplate, "Carol's template", kAlice, kCarol);
    run("insert into views (id, userid, viewname) values (?, ?, 'mine')", {kAlicesView, kAlice});
    // Shown as What, the hidden Status, Nr, Author, Addressee (the order swaps pairs, so it reads the
    // same as positions and as columns); sorted by subject.
    column(0, "Nr", 2, 0, 0);
    column(1, "Status", 1, 0, -1);
    column(2, "What", 0, 1, 0);
    column(3, "Addressee", 4, 0, 0);
    column(4, "Author", 3, 0, 0);
    run("insert into usersettings (userid, lastdefectid, lastviewid, lastfilterid, lastfilterstate, "
        "lastmydefectsstate) "
        "values (?, 0, ?, 1, 0, 0)",
        {kAlice, kAlicesView});
    filter(kFaultyFilter, kAlice, "no_such_column = 1");
    filter(kWritingFilter, kAlice, "1=1; delete from defectlist");
    filter(kOpenFilter, 0, "statusid=2");
}

QByteArray Bytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class VellacordAdminTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QFileInfo(AdminToolPath()).isExecutable())
            << "build vellacord-admin first: " << AdminToolPath().toStdString();
        ASSERT_TRUE(QDir().mkpath(home()));
    }

    // The tool's trash lies in a home of the test's own.
    QString home() const { return folder.file(QStringLiteral("home")); }
    QString trash() const { return home() + QStringLiteral("/.local/share/Trash/files"); }

    ToolRun Admin(const QStringList& arguments, const QByteArray& input = {})
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HOME"), home());
        environment.remove(QStringLiteral("XDG_DATA_HOME"));
        return RunAdminTool(arguments, environment, input);
    }

    // vellacord-admin list FILE with the blank-separated options.
    ToolRun List(const QString& path, const QString& options)
    {
        return Admin(QStringList{QStringLiteral("list"), path} + options.split(QLatin1Char(' ')));
    }

    static std::int64_t Int(const QString& path, const QString& sql)
    {
        engine::Connection connection;
        EXPECT_EQ(connection.Open(path), engine::kOk);
        std::int64_t value = -1;
        EXPECT_EQ(connection.QueryInt(sql, {}, value), engine::kOk) << sql.toStdString();
        return value;
    }

    static void Write(const QString& path, const QByteArray& content)
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(content);
    }

    TempFolder folder;
};

TEST_F(VellacordAdminTest, CreateAndVersion)
{
    const QString path = folder.file(QStringLiteral("team.defl"));
    ToolRun run = Admin({QStringLiteral("create"), path, QStringLiteral("--workflow"), QStringLiteral("simple")});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.err.isEmpty()) << run.err.toStdString();
    EXPECT_EQ(Int(path, QStringLiteral("select count(*) from statustransitions")), 30);

    run = Admin({QStringLiteral("version"), path});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, QStringLiteral("%1\n").arg(EXPECTED_DB_VERSION));

    // An existing file is refused unless replacing it is asked for; then it goes to the trash.
    engine::Connection writer;
    ASSERT_EQ(writer.Open(path), engine::kOk);
    ASSERT_EQ(writer.Execute(QStringLiteral("insert into defectlist (subject) values ('keep me')")), engine::kOk);
    writer.Close();
    run = Admin({QStringLiteral("create"), path});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains(QStringLiteral("exists"))) << run.err.toStdString();
    EXPECT_EQ(Int(path, QStringLiteral("select count(*) from defectlist")), 1);

    ASSERT_TRUE(QDir().mkpath(folder.file(QStringLiteral("team.attach/0000000001"))));
    run = Admin({QStringLiteral("create"), path, QStringLiteral("--replace"), QStringLiteral("--workflow"),
                 QStringLiteral("none")});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(Int(path, QStringLiteral("select count(*) from defectlist")), 0);
    EXPECT_EQ(Int(path, QStringLiteral("select count(*) from statustransitions")), 0);
    EXPECT_EQ(Int(trash() + QStringLiteral("/#team.defl.mt"), QStringLiteral("select count(*) from defectlist")), 1);
    EXPECT_TRUE(QFileInfo(trash() + QStringLiteral("/team.attach/0000000001")).isDir());
    EXPECT_FALSE(QFileInfo::exists(folder.file(QStringLiteral("team.attach"))));

    // A lock held by another client refuses the creation and leaves the file alone.
    {
        CMaintenanceLock lock(path, QStringLiteral("compacting and repairing database"), true);
        ASSERT_TRUE(lock.held());
        run = Admin({QStringLiteral("create"), path, QStringLiteral("--replace")});
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_TRUE(run.err.contains(QStringLiteral("The database is currently locked"))) << run.err.toStdString();
    }
    EXPECT_EQ(Int(path, QStringLiteral("select dbversion from versiontable")), EXPECTED_DB_VERSION);

    run = Admin({QStringLiteral("version"), folder.file(QStringLiteral("missing.defl"))});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_TRUE(run.err.contains(QStringLiteral("missing.defl")));

    // A folder that does not exist is named as the reason, not taken for a lock.
    run = Admin({QStringLiteral("create"), folder.file(QStringLiteral("no/such/team.defl"))});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains(QStringLiteral("folder does not exist"))) << run.err.toStdString();
    EXPECT_FALSE(run.err.contains(QStringLiteral("locked"))) << run.err.toStdString();
}

TEST_F(VellacordAdminTest, ConvertPrintsTheScriptsAndAnswersFromItsOptions)
{
    const QString path = folder.file(QStringLiteral("old.defl"));
    fixtures::BuildOldVersionDatabase(path, 3);
    ToolRun run = Admin({QStringLiteral("convert"), path});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QStringList scripts = run.out.split(QLatin1Char('\n')).filter(QStringLiteral("script "));
    EXPECT_EQ(scripts.size(), 10) << run.out.toStdString();
    EXPECT_EQ(scripts.value(0), QStringLiteral("script 213: to version 4"));
    EXPECT_EQ(scripts.value(9), QStringLiteral("script 270: to version 13"));
    EXPECT_EQ(Int(path, QStringLiteral("select dbversion from versiontable")), EXPECTED_DB_VERSION);
    EXPECT_EQ(Int(path, QStringLiteral("select count(*) from statustransitions")), 35);
    EXPECT_EQ(Int(path + QStringLiteral(".bak"), QStringLiteral("select dbversion from versiontable")), 3);

    run = Admin({QStringLiteral("convert"), path});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.out.contains(QStringLiteral("already at version 13"))) << run.out.toStdString();

    // From below version 6 without a workflow, as asked.
    const QString five = folder.file(QStringLiteral("five.defl"));
    fixtures::BuildOldVersionDatabase(five, 5);
    run = Admin({QStringLiteral("convert"), five, QStringLiteral("--workflow"), QStringLiteral("none")});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains(QStringLiteral("without a workflow")));
    EXPECT_EQ(Int(five, QStringLiteral("select count(*) from statustransitions")), 0);

    // An existing backup is kept unless overwriting it is asked for.
    const QString twelve = folder.file(QStringLiteral("twelve.defl"));
    fixtures::BuildOldVersionDatabase(twelve, 12);
    QFile backup(twelve + QStringLiteral(".bak"));
    ASSERT_TRUE(backup.open(QIODevice::WriteOnly));
    backup.write("older backup");
    backup.close();
    run = Admin({QStringLiteral("convert"), twelve});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains(LoadString(137))) << run.err.toStdString();
    // The backup there is an older one: it is not called the original.
    EXPECT_TRUE(run.err.contains(QStringLiteral("was not converted and is unchanged"))) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(QStringLiteral("--overwrite-backup"))) << run.err.toStdString();
    EXPECT_FALSE(run.err.contains(QStringLiteral("the original is kept"))) << run.err.toStdString();
    EXPECT_EQ(Int(twelve, QStringLiteral("select dbversion from versiontable")), 12);
    run = Admin({QStringLiteral("convert"), twelve, QStringLiteral("--overwrite-backup")});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.out.split(QLatin1Char('\n')).filter(QStringLiteral("script ")),
              QStringList(QStringLiteral("script 270: to version 13")));
    EXPECT_EQ(Int(twelve + QStringLiteral(".bak"), QStringLiteral("select dbversion from versiontable")), 12);

    // Version 0, left behind by an interrupted conversion, is refused.
    const QString interrupted = folder.file(QStringLiteral("interrupted.defl"));
    fixtures::BuildOldVersionDatabase(interrupted, 10);
    {
        engine::Connection connection;
        ASSERT_EQ(connection.Open(interrupted), engine::kOk);
        ASSERT_EQ(connection.Execute(QStringLiteral("update versiontable set dbversion=0")), engine::kOk);
    }
    run = Admin({QStringLiteral("convert"), interrupted});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains(QStringLiteral("This database version cannot be converted.")))
        << run.err.toStdString();
    EXPECT_FALSE(run.out.contains(QStringLiteral("script ")));

    // A newer file, a file that is no database and a missing one are refused without a backup.
    {
        engine::Connection connection;
        ASSERT_EQ(connection.Open(interrupted), engine::kOk);
        ASSERT_EQ(connection.Execute(QStringLiteral("update versiontable set dbversion=14")), engine::kOk);
    }
    QFile::remove(interrupted + QStringLiteral(".bak"));
    run = Admin({QStringLiteral("convert"), interrupted});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains(QStringLiteral("needs a newer program"))) << run.err.toStdString();
    EXPECT_EQ(Int(interrupted, QStringLiteral("select dbversion from versiontable")), 14);
    const QString text = folder.file(QStringLiteral("notes.defl"));
    QFile notes(text);
    ASSERT_TRUE(notes.open(QIODevice::WriteOnly));
    notes.write("not a database");
    notes.close();
    const QString missing = folder.file(QStringLiteral("missing.defl"));
    for (const QString& path : {interrupted, text, missing}) {
        run = Admin({QStringLiteral("convert"), path});
        EXPECT_EQ(run.exitCode, 1) << path.toStdString();
        EXPECT_TRUE(run.err.contains(path)) << run.err.toStdString();
        EXPECT_TRUE(run.out.isEmpty()) << run.out.toStdString();
        EXPECT_FALSE(QFileInfo::exists(path + QStringLiteral(".bak"))) << path.toStdString();
    }
    EXPECT_FALSE(QFileInfo::exists(missing));
}

TEST_F(VellacordAdminTest, RepairKeepsBackupsAndIsRefusedWhileTheFileIsOpen)
{
    const QString path = CreateCurrentDatabase(folder.file(QStringLiteral("team.defl")));
    ToolRun run = Admin({QStringLiteral("repair"), path});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(QFileInfo::exists(path + QStringLiteral(".1")));
    EXPECT_EQ(Int(path, QStringLiteral("select dbversion from versiontable")), EXPECTED_DB_VERSION);

    {
        engine::Connection otherClient;
        ASSERT_EQ(otherClient.Open(path), engine::kOk);
        run = Admin({QStringLiteral("repair"), path});
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_TRUE(run.err.contains(LoadString(164))) << run.err.toStdString();
    }
    EXPECT_FALSE(QFileInfo::exists(path + QStringLiteral(".2")));
    EXPECT_FALSE(QFileInfo::exists(MaintenanceName(path)));

    run = Admin({QStringLiteral("repair"), folder.file(QStringLiteral("missing.defl"))});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains(QStringLiteral("does not exist"))) << run.err.toStdString();

    // A lock that its client still holds is refused by unlock and repair alike, naming the lock.
    {
        CMaintenanceLock lock(path, QStringLiteral("compacting and repairing database"), true);
        ASSERT_TRUE(lock.held());
        for (const QString& command : {QStringLiteral("unlock"), QStringLiteral("repair")}) {
            run = Admin({command, path});
            EXPECT_EQ(run.exitCode, 1);
            EXPECT_TRUE(run.err.contains(path + QStringLiteral(" is locked for maintenance"))) << run.err.toStdString();
        }
    }
    // A lock whose client died is undone by repair, which says so, then repairs.
    ASSERT_TRUE(QFile::rename(path, MaintenanceName(path)));
    Write(RescueFileName(path), "locked by a client that died\r\n");
    run = Admin({QStringLiteral("repair"), path});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(QStringLiteral("The maintenance of %1 was interrupted").arg(path)))
        << run.err.toStdString();
    EXPECT_TRUE(QFileInfo::exists(path + QStringLiteral(".2")));

    // A file without the schema is refused by name, and its backups stay as they were.
    const QString bare = folder.file(QStringLiteral("bare.defl"));
    ASSERT_EQ(engine::Connection::CreateFile(bare), engine::kOk);
    Write(bare + QStringLiteral(".1"), "older backup");
    run = Admin({QStringLiteral("repair"), bare});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains(bare + QStringLiteral(" is no Vellacord database"))) << run.err.toStdString();
    EXPECT_TRUE(QFileInfo::exists(bare));
    QFile backup(bare + QStringLiteral(".1"));
    ASSERT_TRUE(backup.open(QIODevice::ReadOnly));
    EXPECT_EQ(backup.readAll(), "older backup");
    EXPECT_FALSE(QFileInfo::exists(bare + QStringLiteral(".2")));
}

// Killed at any moment, a repair leaves nothing for a human to mend: the next client, or unlock,
// brings back every defect.
TEST_F(VellacordAdminTest, RepairKilledAtRandomMomentsIsRecoveredByTheNextClient)
{
    constexpr int kDefects = 20000;
    constexpr int kRounds = 24;
    const QString path = CreateCurrentDatabase(folder.file(QStringLiteral("team.defl")));
    {
        engine::Connection connection;
        ASSERT_EQ(connection.Open(path), engine::kOk);
        ASSERT_EQ(connection.Execute(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
                                                    "WHERE i < %1) INSERT INTO defectlist (subject, description) "
                                                    "SELECT 'defect ' || i, printf('%.200c', 'd') FROM n")
                                         .arg(kDefects)),
                  engine::kOk);
    }
    // The kills are spread over the quickest of three whole runs: one slow run (a busy machine)
    // would put most kills after the repair's end.
    qint64 wholeRunUs = std::numeric_limits<qint64>::max();
    for (int run = 0; run < 3; ++run) {
        QElapsedTimer timer;
        timer.start();
        ASSERT_EQ(Admin({QStringLiteral("repair"), path}).exitCode, 0);
        wholeRunUs = std::min(wholeRunUs, timer.nsecsElapsed() / 1000);
    }

    std::mt19937 random(20240611);
    int interrupted = 0;
    // On a busy machine more kills land before the lock is taken; the rounds go on (up to a
    // bound) until enough of them have interrupted a repair.
    constexpr int kMostRounds = 4 * kRounds;
    for (int round = 0; round < kMostRounds && (round < kRounds || interrupted < kRounds / 4); ++round) {
        QProcess repair;
        repair.start(AdminToolPath(), {QStringLiteral("repair"), path});
        ASSERT_TRUE(repair.waitForStarted());
        QThread::usleep(std::uniform_int_distribution<qint64>(0, wholeRunUs)(random));
        repair.kill();
        ASSERT_TRUE(repair.waitForFinished());
        interrupted += QFileInfo::exists(RescueFileName(path));

        if (round % 2 == 0) {
            const LockState state = CMaintenanceLock::IsLocked(path);
            EXPECT_FALSE(state.locked) << "round " << round << ": " << state.message.toStdString();
        } else {
            const ToolRun run = Admin({QStringLiteral("unlock"), path});
            EXPECT_EQ(run.exitCode, 0) << "round " << round << ": " << run.err.toStdString();
        }
        EXPECT_FALSE(QFileInfo::exists(RescueFileName(path))) << "round " << round;
        EXPECT_TRUE(CompactionLeftovers(path).isEmpty()) << "round " << round;
        EXPECT_EQ(Int(path, QStringLiteral("select count(*) from defectlist")), kDefects) << "round " << round;
        EXPECT_EQ(Int(path, QStringLiteral("select count(*) from pragma_quick_check where quick_check <> 'ok'")), 0);
    }
    // Most kills land while the file is locked; none may need a human.
    EXPECT_GE(interrupted, kRounds / 4);
}

TEST_F(VellacordAdminTest, RepairLeavesTheFileWritableForTheOtherUsersOfItsGroup)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "only root can give the file to another user and group";
    if (QStandardPaths::findExecutable(QStringLiteral("setpriv")).isEmpty() ||
        QStandardPaths::findExecutable(QStringLiteral("sqlite3")).isEmpty())
        GTEST_SKIP() << "needs setpriv and the sqlite3 shell to write as another user";
    constexpr uid_t kOwner = 4242;
    constexpr gid_t kTeam = 4243;
    const QString path = CreateCurrentDatabase(folder.file(QStringLiteral("team.defl")));
    ASSERT_EQ(::chown(QFile::encodeName(folder.path()).constData(), 0, kTeam), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(folder.path()).constData(), 0770), 0);
    ASSERT_EQ(::chown(QFile::encodeName(path).constData(), kOwner, kTeam), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0660), 0);

    const ToolRun run = Admin({QStringLiteral("repair"), path});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    struct stat compacted = {};
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &compacted), 0);
    EXPECT_EQ(compacted.st_uid, kOwner);
    EXPECT_EQ(compacted.st_gid, kTeam);
    EXPECT_EQ(compacted.st_mode & 07777, 0660u);

    // A colleague of the team, neither the owner nor root, writes to it.
    QProcess colleague;
    colleague.start(QStringLiteral("setpriv"),
                    {QStringLiteral("--reuid=4244"), QStringLiteral("--regid=%1").arg(kTeam),
                     QStringLiteral("--clear-groups"), QStringLiteral("sqlite3"), QStringLiteral("-batch"),
                     QStringLiteral("-bail"), path,
                     QStringLiteral("insert into defectlist (subject) values ('from a colleague')")});
    ASSERT_TRUE(colleague.waitForFinished(30000));
    EXPECT_EQ(colleague.exitCode(), 0) << colleague.readAllStandardError().toStdString();
    EXPECT_EQ(Int(path, QStringLiteral("select count(*) from defectlist where subject = 'from a colleague'")), 1);
}

// The list as the user sees it, with her last view, "My defects" and the faults of a login.
TEST_F(VellacordAdminTest, ListPrintsTheUsersListWithoutWritingTheFile)
{
    const QString path = CreateCurrentDatabase(folder.file(QStringLiteral("team.defl")));
    FillSmallTeamFile(path);
    const QByteArray before = Bytes(path);

    // Her login ignoring case; her last view; a cell's line break and tab on one line.
    ToolRun run = List(path, QStringLiteral("--user ALICE"));
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.out,
              QStringLiteral("What\tNr\tAuthor\tAddressee\n"
                             "Crash on save, then freeze\t1\tBob\tAlice Ärger\n"
                             "Größe\t3\tBob\tCarol\n"
                             "Preis in € falsch\t2\tAlice Ärger\tBob\n"));
    EXPECT_EQ(run.err, QStringLiteral("3 entries\n"));

    run = List(path, QStringLiteral("--user alice --my-defects"));
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.out.split(QLatin1Char('\n')).mid(1),
              QStringList({QStringLiteral("Crash on save, then freeze\t1\tBob\tAlice Ärger"), QString()}));
    EXPECT_EQ(run.err, QStringLiteral("1 of 5 entries (filtered)\n"));

    // Bob has no settings: view 1, whose first caption is Id; his own draft is listed.
    run = List(path, QStringLiteral("--user Bob"));
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.startsWith(QStringLiteral("Id\t"))) << run.out.toStdString();
    EXPECT_EQ(run.err, QStringLiteral("4 entries\n"));

    // Unknown, nobody, no such view, no such filter.
    for (const QString& refused :
         {QStringLiteral("--user dave"), QStringLiteral("--user none"), QStringLiteral("--user alice --view 7"),
          QStringLiteral("--user alice --filter 77")}) {
        run = List(path, refused);
        EXPECT_EQ(run.exitCode, 1) << refused.toStdString();
        EXPECT_TRUE(run.out.isEmpty()) << run.out.toStdString();
    }
    // The program's export files, for scheduled exports.
    for (const QString format : {"csv", "xlsx"}) {
        run = List(path,
                   QStringLiteral("--user alice --format %1 --output %2").arg(format, folder.file("list." + format)));
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    }
    const QByteArray csv = Bytes(folder.file(QStringLiteral("list.csv")));
    EXPECT_TRUE(csv.startsWith("\"defect_id\",\"statusid\",")) << csv.toStdString();
    EXPECT_EQ(csv.count('\n'), 4);
    EXPECT_TRUE(Bytes(folder.file(QStringLiteral("list.xlsx"))).startsWith("PK"));
    EXPECT_EQ(Bytes(path), before);
    EXPECT_FALSE(QFileInfo::exists(path + QStringLiteral("-journal")));
}

// The listing goes out as it is read; what it prints must be what the program's list shows, cell
// for cell, on one line each, for texts with line breaks, tabs, long memos and bytes that are no
// UTF-8, across many chunks of output. An output that cannot be written is a failure.
TEST_F(VellacordAdminTest, ListPrintsTheCellTextsOfTheFilledListAndReportsAnOutputItCannotWrite)
{
    const QString path = CreateCurrentDatabase(folder.file(QStringLiteral("team.defl")));
    FillSmallTeamFile(path);
    {
        engine::Connection db;
        ASSERT_EQ(db.Open(path), engine::kOk);
        const QString memo = QStringLiteral("first\r\nsecond\rthird\nfourth\tfifth ") + QString(700, u'€');
        for (int i = 0; i < 300; ++i)
            ASSERT_EQ(db.Execute(QStringLiteral("insert into defectlist (statusid, subject, description, toid, fromid, "
                                                "categoryid, componentid, opened, modified, closed) "
                                                "values (?, ?, ?, ?, 2, 0, ?, 46000.5, 46001.25, ?)"),
                                 {std::int64_t{1 + i % 3}, QStringLiteral("line\r\nbreak\ttab %1").arg(i),
                                  memo + QString::number(i), i % 2 == 0 ? kAlice : kCarol, std::int64_t{i % 4},
                                  i % 5 == 0 ? 46002.0 : 0.0}),
                      engine::kOk);
        ASSERT_EQ(db.Execute(QStringLiteral("update defectlist set subject = cast(x'41ff0a42' as text) "
                                            "where defect_id = 7")),
                  engine::kOk);
    }
    const ToolRun run = List(path, QStringLiteral("--user alice --view 1"));
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();

    ScriptedUserInterface ui;
    ManualClock clock;
    NoAdministration administration;
    CDefectDoc document(ui, clock, administration);
    CDefectList list(document);
    document.SetUnreadTests(false);
    document.SetOperatingSystemUser([] { return std::nullopt; });
    document.SetAutoLogin(QStringLiteral("alice"));
    ASSERT_TRUE(document.OnOpenDocument(path));
    list.ChangeView(1);
    const DefectListModel& model = list.model();
    ASSERT_GT(model.rowCount(), 300);
    const std::vector<int> shown = VisibleColumns(model.columns());
    static const QRegularExpression kBreaks(QStringLiteral("\r\n|[\r\n\t]"));
    QStringList lines;
    QStringList captions;
    for (const int column : shown)
        captions << model.columns().columns[static_cast<std::size_t>(column)].caption;
    lines << captions.join(QLatin1Char('\t'));
    for (int row = 0; row < model.rowCount(); ++row) {
        QStringList cells;
        for (const int column : shown)
            cells << model.CellText(row, column).replace(kBreaks, QStringLiteral(" "));
        lines << cells.join(QLatin1Char('\t'));
    }
    EXPECT_GT(run.out.toUtf8().size(), 4 << 16) << "the listing spans several chunks";
    EXPECT_EQ(run.out, lines.join(QLatin1Char('\n')) + QLatin1Char('\n'));
    EXPECT_EQ(run.err, list.statusText() + QLatin1Char('\n'));
    EXPECT_TRUE(run.out.contains(QStringLiteral("A\uFFFD B\t"))) << "no UTF-8 becomes U+FFFD";

    // A full disk: the tool says so, and does not end as if it had listed, in lines or as JSON.
    for (const QStringList& format : {QStringList(), QStringList{QStringLiteral("--format"), QStringLiteral("json")}}) {
        QProcess full;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HOME"), home());
        full.setProcessEnvironment(environment);
        full.setStandardOutputFile(QStringLiteral("/dev/full"));
        full.start(AdminToolPath(),
                   QStringList{QStringLiteral("list"), path, QStringLiteral("--user"), QStringLiteral("alice")} +
                       format);
        ASSERT_TRUE(full.waitForFinished(60000));
        EXPECT_EQ(full.exitCode(), 1) << format.join(' ').toStdString();
        const QString said = QString::fromUtf8(full.readAllStandardError());
        EXPECT_TRUE(said.contains(QStringLiteral("standard output failed"))) << said.toStdString();
        EXPECT_FALSE(said.contains(QStringLiteral("entries"))) << said.toStdString();
    }
}

// A regular file takes the lines as they are read (appended to, it gets them once the read is
// over); either way it ends with what a pipe gets, and with nothing when the listing is refused.
TEST_F(VellacordAdminTest, ListIntoAFileWritesWhatAPipeGetsAndNothingWhenRefused)
{
    const QString path = CreateCurrentDatabase(folder.file(QStringLiteral("team.defl")));
    FillSmallTeamFile(path);
    const QString target = folder.file(QStringLiteral("list.txt"));
    const auto intoFile = [&](const QString& options, QIODevice::OpenMode mode) {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HOME"), home());
        process.setProcessEnvironment(environment);
        process.setStandardOutputFile(target, mode);
        process.start(AdminToolPath(), QStringList{QStringLiteral("list"), path} + options.split(QLatin1Char(' ')));
        EXPECT_TRUE(process.waitForFinished(60000));
        return process.exitCode();
    };
    for (const QString& options : QStringList{"--user alice", "--user alice --my-defects", "--user alice --view 1",
                                              QStringLiteral("--user alice --filter %1").arg(kFaultyFilter),
                                              QStringLiteral("--user alice --filter %1 --view 1").arg(kOpenFilter)}) {
        const ToolRun piped = List(path, options);
        ASSERT_EQ(piped.exitCode, 0) << options.toStdString();
        ASSERT_GT(piped.out.count(QLatin1Char('\n')), 1) << options.toStdString();
        EXPECT_EQ(intoFile(options, QIODevice::Truncate), 0) << options.toStdString();
        EXPECT_EQ(QString::fromUtf8(Bytes(target)), piped.out) << options.toStdString();
        EXPECT_EQ(intoFile(options, QIODevice::Append), 0) << options.toStdString();
        EXPECT_EQ(QString::fromUtf8(Bytes(target)), piped.out + piped.out) << options.toStdString();
    }
    for (const QString refused : {"--user alice --view 7", "--user alice --filter 77"}) {
        EXPECT_EQ(intoFile(refused, QIODevice::Truncate), 1) << refused.toStdString();
        EXPECT_EQ(Bytes(target), QByteArray()) << refused.toStdString();
        Write(target, "earlier\n");
        EXPECT_EQ(intoFile(refused, QIODevice::Append), 1) << refused.toStdString();
        EXPECT_EQ(Bytes(target), "earlier\n") << refused.toStdString();
    }
}

TEST_F(VellacordAdminTest, UserAddThenListOnAFreshFile)
{
    const QString path = folder.file(QStringLiteral("fresh.defl"));
    ToolRun run = Admin({QStringLiteral("create"), path});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();

    run = Admin({QStringLiteral("user"), QStringLiteral("add"), path, QStringLiteral("ann"), QStringLiteral("--name"),
                 QStringLiteral("Ann Example"), QStringLiteral("--email"), QStringLiteral("ann@example.org"),
                 QStringLiteral("--admin"), QStringLiteral("--password-stdin")},
                "s3cret\n");
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.startsWith(QStringLiteral("added user ann (id "))) << run.out.toStdString();
    run = Admin({QStringLiteral("user"), QStringLiteral("add"), path, QStringLiteral("ANN")});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains(QStringLiteral("already has a user"))) << run.err.toStdString();

    run = Admin({QStringLiteral("user"), QStringLiteral("list"), path});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains(QStringLiteral("\tann\tAnn Example\tann@example.org\tA\tyes\n")))
        << run.out.toStdString();
    EXPECT_EQ(run.out.count(QLatin1Char('\n')), 3) << run.out.toStdString(); // captions, nobody, ann

    run = List(path, QStringLiteral("--user ann"));
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.startsWith(QStringLiteral("Id\t"))) << run.out.toStdString();

    {
        CMaintenanceLock lock(path, QStringLiteral("compacting and repairing database"), true);
        ASSERT_TRUE(lock.held());
        run = Admin({QStringLiteral("user"), QStringLiteral("add"), path, QStringLiteral("bob")});
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_TRUE(run.err.contains(QStringLiteral("locked for maintenance"))) << run.err.toStdString();
    }
    EXPECT_EQ(Int(path, QStringLiteral("select count(*) from stakeholder where loginname = 'bob'")), 0);
}

// A filter that does not run, or tries to write, is dropped with message 112 and the list is read
// again without any condition, as in the program: every defect, drafts and templates included.
TEST_F(VellacordAdminTest, ListWithAFaultyFilterShowsEveryDefectTheUserMaySee)
{
    const QString path = CreateCurrentDatabase(folder.file(QStringLiteral("team.defl")));
    FillSmallTeamFile(path);
    const QByteArray before = Bytes(path);
    // Everything but Bob's draft and Carol's template.
    const std::int64_t alicesOwn = Int(path, QStringLiteral("select count(*) from defectlist")) - 2;
    for (const std::int64_t filter : {kFaultyFilter, kWritingFilter}) {
        const ToolRun run = List(path, QStringLiteral("--user alice --filter %1").arg(filter));
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
        EXPECT_EQ(run.out.count(QLatin1Char('\n')), alicesOwn + 1) << run.out.toStdString();
        EXPECT_FALSE(run.out.contains(QStringLiteral("\nBob's draft\t"))) << run.out.toStdString();
        EXPECT_FALSE(run.out.contains(QStringLiteral("\nCarol's template\t"))) << run.out.toStdString();
        EXPECT_EQ(run.err, QStringLiteral("vellacord-admin: %1\n%2 entries\n").arg(LoadString(112)).arg(alicesOwn));
    }
    const ToolRun run = List(path, QStringLiteral("--user alice --filter %1 --view 1").arg(kOpenFilter));
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains(QStringLiteral("\tPreis in € falsch\t"))) << run.out.toStdString();
    EXPECT_EQ(run.out.count(QLatin1Char('\n')), 2);
    EXPECT_EQ(run.err, QStringLiteral("1 of 5 entries (filtered)\n"));
    // The export of the same list counts what it wrote, without reading the list first.
    const ToolRun exported = List(path,
                                  QStringLiteral("--user alice --filter %1 --view 1 --format text --output %2")
                                      .arg(kOpenFilter)
                                      .arg(folder.file(QStringLiteral("open.txt"))));
    EXPECT_EQ(exported.exitCode, 0) << exported.err.toStdString();
    EXPECT_EQ(exported.err, QStringLiteral("1 of 5 entries (filtered)\n"));
    const QByteArray text = Bytes(folder.file(QStringLiteral("open.txt")));
    EXPECT_EQ(text.count('\n'), 2);
    EXPECT_TRUE(text.contains("\tPreis in € falsch\t")) << text.toStdString();
    EXPECT_EQ(Bytes(path), before);
}

TEST_F(VellacordAdminTest, UsageErrorsAndHelp)
{
    ToolRun run = Admin({QStringLiteral("--help")});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.out.startsWith(QStringLiteral("Usage: vellacord-admin")));
    EXPECT_TRUE(run.out.contains(QStringLiteral("user add FILE LOGIN")));

    // One command's help is that command's alone.
    for (const QStringList& help :
         {QStringList{"list", "--help"}, QStringList{"help", "list"}, QStringList{"list", "team.defl", "-h"}}) {
        run = Admin(help);
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_TRUE(run.out.startsWith(QStringLiteral("Usage: vellacord-admin list FILE --user LOGIN")))
            << run.out.toStdString();
        EXPECT_TRUE(run.out.contains(QStringLiteral("--raw-formulas")));
        EXPECT_FALSE(run.out.contains(QStringLiteral("user add"))) << run.out.toStdString();
        EXPECT_TRUE(run.err.isEmpty());
    }
    run = Admin({QStringLiteral("--version")});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, QStringLiteral("vellacord-admin (Vellacord) 1.7 build 100\n"));

    // A wrong command line: one line saying what is wrong, one saying where the usage is, status 2.
    const std::vector<std::pair<QStringList, QString>> wrong{
        {{}, "vellacord-admin --help"},
        {{"destroy", "x.defl"}, "vellacord-admin --help"},
        {{"create"}, "vellacord-admin create --help"},
        {{"create", "x.defl", "--workflow", "fancy"}, "vellacord-admin create --help"},
        {{"create", "x.defl", "--workflow"}, "vellacord-admin create --help"},
        {{"repair", "x.defl", "--replace"}, "vellacord-admin repair --help"},
        {{"repair", "x.defl", "y.defl"}, "vellacord-admin repair --help"},
        {{"list", "x.defl"}, "vellacord-admin list --help"},
        {{"list", "x.defl", "--user", "a", "--view", "one"}, "vellacord-admin list --help"},
        {{"list", "x.defl", "--user=a", "--format=pdf", "--output=x.pdf"}, "vellacord-admin list --help"},
        {{"user", "add", "x.defl"}, "vellacord-admin user add --help"},
        {{"--frobnicate"}, "vellacord-admin --help"},
    };
    for (const auto& [arguments, hint] : wrong) {
        run = Admin(arguments);
        EXPECT_EQ(run.exitCode, 2) << arguments.join(QLatin1Char(' ')).toStdString();
        const QStringList lines = run.err.split(QLatin1Char('\n'));
        ASSERT_EQ(lines.size(), 3) << run.err.toStdString();
        EXPECT_TRUE(lines.at(0).startsWith(QStringLiteral("vellacord-admin: "))) << run.err.toStdString();
        EXPECT_EQ(lines.at(1), QStringLiteral("Try '%1' for more information.").arg(hint));
        EXPECT_TRUE(run.out.isEmpty());
    }
    EXPECT_FALSE(QFileInfo::exists(QStringLiteral("x.defl")));

    // --opt=value, and "--" before a file whose name begins with "-".
    const QString dashed = folder.file(QStringLiteral("-team.defl"));
    const QString before = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(folder.path()));
    run = Admin({QStringLiteral("create"), QStringLiteral("--workflow=simple"), QStringLiteral("--"),
                 QStringLiteral("-team.defl")});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(QFileInfo::exists(dashed));
    run = Admin({QStringLiteral("user"), QStringLiteral("add"), QStringLiteral("--name=Ann Example"),
                 QStringLiteral("--"), QStringLiteral("-team.defl"), QStringLiteral("ann")});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    run = Admin({QStringLiteral("list"), QStringLiteral("--user=ann"), QStringLiteral("--"), dashed});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    QDir::setCurrent(before);
}

// Exports to the standard output and into a FIFO, as scheduled jobs pipe them on.
TEST_F(VellacordAdminTest, ListExportsIntoPipesAndDevicesWithoutReplacingThem)
{
    const QString path = CreateCurrentDatabase(folder.file(QStringLiteral("team.defl")));
    FillSmallTeamFile(path);
    ToolRun run = List(path, QStringLiteral("--user alice --format csv --output -"));
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.startsWith(QStringLiteral("\"defect_id\",\"statusid\","))) << run.out.toStdString();
    EXPECT_EQ(run.out.count(QLatin1Char('\n')), 4);
    EXPECT_EQ(run.err, QStringLiteral("3 entries\n"));
    EXPECT_FALSE(QFileInfo::exists(folder.file(QStringLiteral("-"))));

    // /dev/stdout names the same output; a workbook goes there whole.
    run = List(path, QStringLiteral("--user alice --format xlsx --output /dev/stdout"));
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.startsWith(QStringLiteral("PK")));

    const QString fifo = folder.file(QStringLiteral("export.fifo"));
    ASSERT_EQ(mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
    QProcess reader;
    reader.start(QStringLiteral("cat"), {fifo});
    ASSERT_TRUE(reader.waitForStarted());
    run = List(path, QStringLiteral("--user alice --format xml --output ") + fifo);
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    ASSERT_TRUE(reader.waitForFinished(30000));
    const QByteArray xml = reader.readAllStandardOutput();
    EXPECT_TRUE(xml.startsWith("<?xml")) << xml.toStdString();
    EXPECT_TRUE(xml.endsWith("</defectlistquery>\n"));
    struct stat status { };
    ASSERT_EQ(stat(fifo.toLocal8Bit().constData(), &status), 0);
    EXPECT_TRUE(S_ISFIFO(status.st_mode));

    // A cell that starts a formula is neutralised unless asked otherwise.
    engine::Connection db;
    ASSERT_EQ(db.Open(path), engine::kOk);
    ASSERT_EQ(db.Execute(QStringLiteral("update defectlist set subject = '=1+1' where statusid = ?"), {kNew}),
              engine::kOk);
    run = List(path, QStringLiteral("--user alice --format csv --output -"));
    EXPECT_TRUE(run.out.contains(QStringLiteral(",\"'=1+1\","))) << run.out.toStdString();
    run = List(path, QStringLiteral("--user alice --format csv --output - --raw-formulas"));
    EXPECT_TRUE(run.out.contains(QStringLiteral(",\"=1+1\","))) << run.out.toStdString();
}

// The program itself answers --version and refuses what it does not know before it opens a window.
TEST_F(VellacordAdminTest, TheProgramAnswersItsCommandLineWithoutAWindow)
{
    const QString program =
        QDir(QCoreApplication::applicationDirPath()).absoluteFilePath(QStringLiteral("../vellacord"));
    ASSERT_TRUE(QFileInfo(program).isExecutable());
    const auto start = [&](const QStringList& arguments) {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        // No display: a program that tried to open its window would fail differently.
        environment.remove(QStringLiteral("DISPLAY"));
        environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
        environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
        process.setProcessEnvironment(environment);
        process.start(program, arguments);
        EXPECT_TRUE(process.waitForFinished(30000));
        ToolRun run;
        run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        run.out = QString::fromUtf8(process.readAllStandardOutput());
        run.err = QString::fromUtf8(process.readAllStandardError());
        return run;
    };
    ToolRun run = start({QStringLiteral("--version")});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.out, QStringLiteral("vellacord (Vellacord) 1.7 build 100\n"));
    run = start({QStringLiteral("-help")});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.out.contains(QStringLiteral("-autologin=LOGIN")));
    for (const QStringList& wrong : {QStringList{"--frobnicate"}, QStringList{"-autologin=ann", "a.defl", "b.defl"}}) {
        run = start(wrong);
        EXPECT_EQ(run.exitCode, 2) << run.err.toStdString();
        EXPECT_TRUE(run.err.endsWith(QStringLiteral("\nTry 'vellacord --help' for more information.\n")))
            << run.err.toStdString();
        EXPECT_EQ(run.err.count(QLatin1Char('\n')), 2);
    }
}

// A writer killed before it wrote into its journal leaves an empty one, which the engine never
// removes; every command that opens the file clears it instead of sending the user elsewhere.
TEST_F(VellacordAdminTest, AnEmptyJournalLeftByAKilledWriterIsClearedByEveryCommand)
{
    const QString path = CreateCurrentDatabase(folder.file(QStringLiteral("team.defl")));
    FillSmallTeamFile(path);
    const QString journal = path + QStringLiteral("-journal");
    for (const QStringList& command :
         {QStringList{QStringLiteral("version"), path},
          QStringList{QStringLiteral("list"), path, QStringLiteral("--user"), QStringLiteral("alice")},
          QStringList{QStringLiteral("unlock"), path}, QStringList{QStringLiteral("repair"), path}}) {
        SCOPED_TRACE(command.front().toStdString());
        Write(journal, QByteArray());
        const ToolRun run = Admin(command);
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
        EXPECT_FALSE(QFileInfo::exists(journal));
        EXPECT_TRUE(run.err.contains(journal + QStringLiteral(" was left by a writer that stopped")))
            << run.err.toStdString();
        EXPECT_FALSE(run.err.contains(QStringLiteral("Open the database once"))) << run.err.toStdString();
    }
    EXPECT_TRUE(QFileInfo::exists(path + QStringLiteral(".1")));
    EXPECT_EQ(Int(path, QStringLiteral("select count(*) from defectlist")), 5);
}

// Nothing writes to a file of a newer version: repair refuses it before the first write.
TEST_F(VellacordAdminTest, RepairOfAFileOfANewerVersionWritesNothing)
{
    const QString path = CreateCurrentDatabase(folder.file(QStringLiteral("team.defl")));
    {
        engine::Connection connection;
        ASSERT_EQ(connection.Open(path), engine::kOk);
        ASSERT_EQ(connection.Execute(QStringLiteral("delete from SystemSettings")), engine::kOk);
        ASSERT_EQ(connection.Execute(QStringLiteral("update versiontable set dbversion = 14")), engine::kOk);
    }
    const QByteArray before = Bytes(path);
    const ToolRun run = Admin({QStringLiteral("repair"), path});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains(QStringLiteral("needs a newer program"))) << run.err.toStdString();
    EXPECT_EQ(Bytes(path), before);
    EXPECT_FALSE(QFileInfo::exists(path + QStringLiteral(".1")));
    EXPECT_FALSE(QFileInfo::exists(MaintenanceName(path)));
}

// What a user reads names the cause in words; the engine's own words come after "details:".
TEST_F(VellacordAdminTest, MessagesNameTheCauseInWords)
{
    const QString text = folder.file(QStringLiteral("notes.defl"));
    Write(text, QByteArray(8192, 'x'));
    ToolRun run = Admin({QStringLiteral("version"), text});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains(text + QStringLiteral(" is no Vellacord database"))) << run.err.toStdString();
    EXPECT_FALSE(run.err.contains(QStringLiteral("0x")));

    const QString path = CreateCurrentDatabase(folder.file(QStringLiteral("team.defl")));
    const bool root = ::geteuid() == 0;
    const bool readOnly = root ? QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), path}) == 0
                               : QFile::setPermissions(path, QFileDevice::ReadOwner);
    if (readOnly) {
        run = Admin({QStringLiteral("version"), path});
        if (root)
            QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), path});
        else
            QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_TRUE(run.err.contains(QStringLiteral("The database %1 is read-only for you").arg(path)))
            << run.err.toStdString();
        EXPECT_FALSE(run.err.contains(QStringLiteral("network"))) << run.err.toStdString();
    }

    // An unfinished file of an older program's conversion goes on from its backup, by name.
    const QString old = folder.file(QStringLiteral("old.defl"));
    fixtures::BuildOldVersionDatabase(old, 8);
    ASSERT_TRUE(QFile::copy(old, old + QStringLiteral(".bak")));
    {
        engine::Connection connection;
        ASSERT_EQ(connection.Open(old), engine::kOk);
        ASSERT_EQ(connection.Execute(QStringLiteral("update versiontable set dbversion=0")), engine::kOk);
    }
    run = Admin({QStringLiteral("convert"), old});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(old + QStringLiteral(".bak"))) << run.err.toStdString();
    EXPECT_EQ(Int(old, QStringLiteral("select dbversion from versiontable")), EXPECTED_DB_VERSION);
    EXPECT_EQ(Int(old + QStringLiteral(".bak"), QStringLiteral("select dbversion from versiontable")), 8);
}

} // namespace

TEST_F(VellacordAdminTest, MigrateToAServerListsTheSameRowsAndNamesTheFiltersThatFailThere)
{
    SERVER_DATABASE_OR_SKIP(uri);
    const QString path = CreateCurrentDatabase(folder.file(QStringLiteral("team.defl")));
    FillSmallTeamFile(path);
    {
        engine::Connection db;
        ASSERT_EQ(db.Open(path), engine::kOk);
        ASSERT_EQ(db.Execute(QStringLiteral("insert into filter (userid, filtername, filtertext) values (0, 'globbed', "
                                            "'subject GLOB ''Cr*''')")),
                  engine::kOk);
    }
    const ToolRun fileList = List(path, QStringLiteral("--user alice"));
    ASSERT_EQ(fileList.exitCode, 0) << fileList.err.toStdString();

    ToolRun run = Admin({QStringLiteral("migrate"), path, uri});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains(QStringLiteral("defectlist\t5\t5"))) << run.out.toStdString();
    // The filters that work on the file only are named, each with the server's reason.
    EXPECT_TRUE(run.err.contains(QStringLiteral("\"globbed\""))) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(QStringLiteral("filter 11 "))) << run.err.toStdString();
    EXPECT_FALSE(run.err.contains(QStringLiteral("filter 13 "))) << run.err.toStdString();
    EXPECT_FALSE(run.out.contains(QStringLiteral("user=postgres"))) << "no login in what the tool prints";

    // The server lists what the file lists, for the same user with the same view.
    const ToolRun serverList = List(uri, QStringLiteral("--user alice"));
    EXPECT_EQ(serverList.exitCode, 0) << serverList.err.toStdString();
    EXPECT_EQ(serverList.out, fileList.out);
    EXPECT_EQ(serverList.err, fileList.err);
    run = Admin({QStringLiteral("version"), uri});
    EXPECT_EQ(run.out.trimmed(), QStringLiteral("13"));
    // The quick search adds its index to the server database and sees as the list sees.
    run = Admin(
        {QStringLiteral("search"), uri, QStringLiteral("--user"), QStringLiteral("alice"), QStringLiteral("crash")});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains(QStringLiteral("[Crash]"))) << run.out.toStdString();
    run = Admin(
        {QStringLiteral("search"), uri, QStringLiteral("--user"), QStringLiteral("alice"), QStringLiteral("draft")});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_FALSE(run.out.contains(QStringLiteral("draft"))) << "Bob's draft stays his";
    run = Admin(
        {QStringLiteral("search"), uri, QStringLiteral("--user"), QStringLiteral("bob"), QStringLiteral("draft")});
    EXPECT_TRUE(run.out.contains(QStringLiteral("[draft]"))) << run.out.toStdString();
    run = Admin(
        {QStringLiteral("search"), uri, QStringLiteral("--user"), QStringLiteral("alice"), QStringLiteral("(crash")});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains(QStringLiteral("not understood"))) << run.err.toStdString();
    // A second move finds the server database taken.
    run = Admin({QStringLiteral("migrate"), path, uri});
    EXPECT_EQ(run.exitCode, 1);

    // Backups with pg_dump keep as many as the database says.
    {
        engine::Connection server;
        ASSERT_EQ(server.Open(uri), engine::kOk);
        ASSERT_EQ(server.Execute(QStringLiteral("DELETE FROM SystemSettings")), engine::kOk);
        ASSERT_EQ(server.Execute(QStringLiteral("INSERT INTO SystemSettings (BackupsToKeep) VALUES (2)")), engine::kOk);
    }
    const QString dumps = folder.file(QStringLiteral("dumps"));
    for (int i = 0; i < 3; ++i) {
        if (i > 0)
            QThread::msleep(1100); // the names carry the second
        run = Admin({QStringLiteral("backup"), uri, dumps});
        ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    }
    const QStringList kept = QDir(dumps).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    ASSERT_EQ(kept.size(), 2) << kept.join(QLatin1Char(' ')).toStdString();
    QProcess restore;
    restore.start(QStringLiteral("pg_restore"), {QStringLiteral("--list"), QDir(dumps).filePath(kept.last())});
    ASSERT_TRUE(restore.waitForFinished(30000));
    EXPECT_EQ(restore.exitCode(), 0);
    EXPECT_TRUE(restore.readAllStandardOutput().contains("TABLE DATA vellacord defectlist"));
    // And back into a new file, which lists the same again.
    const QString back = folder.file(QStringLiteral("back.defl"));
    run = Admin({QStringLiteral("migrate"), uri, back});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(List(back, QStringLiteral("--user alice")).out, fileList.out);
}

TEST_F(VellacordAdminTest, AttachmentsRootIsShownAndSetForAServerOnly)
{
    SERVER_DATABASE_OR_SKIP(uri);
    const QString path = CreateCurrentDatabase(folder.file(QStringLiteral("team.defl")));
    ToolRun run = Admin({QStringLiteral("attachments-root"), path});
    EXPECT_EQ(run.exitCode, 2) << "a file keeps its attachments beside it";

    ASSERT_EQ(Admin({QStringLiteral("migrate"), path, uri}).exitCode, 0);
    run = Admin({QStringLiteral("attachments-root"), uri});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.out.trimmed(), folder.file(QStringLiteral("team.attach"))) << "the move keeps the file's folder";

    const QString share = folder.file(QStringLiteral("share"));
    run = Admin({QStringLiteral("attachments-root"), uri, share});
    EXPECT_EQ(run.exitCode, 1) << "a folder that does not exist is refused";
    ASSERT_TRUE(QDir().mkpath(share));
    run = Admin({QStringLiteral("attachments-root"), uri, share});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    run = Admin({QStringLiteral("attachments-root"), uri});
    EXPECT_EQ(run.out.trimmed(), share);
    run = Admin({QStringLiteral("attachments-root"), uri, share, share});
    EXPECT_EQ(run.exitCode, 2);
}

TEST_F(VellacordAdminTest, AServerWithoutAttachmentsRootSaysSo)
{
    SERVER_DATABASE_OR_SKIP(uri);
    ASSERT_EQ(
        Admin({QStringLiteral("migrate"), CreateCurrentDatabase(folder.file(QStringLiteral("t.defl"))), uri}).exitCode,
        0);
    {
        engine::Connection server;
        ASSERT_EQ(server.Open(uri), engine::kOk);
        ASSERT_EQ(server.Execute(QStringLiteral("DROP TABLE commithooksettings")), engine::kOk);
    }
    const ToolRun run = Admin({QStringLiteral("attachments-root"), uri});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains(QStringLiteral("attachments-root URI FOLDER"))) << run.err.toStdString();
}

// The server's client library is loaded by the first server it opens: a command on a file, the
// usual case, does without it and the libraries it brings.
TEST_F(VellacordAdminTest, TheServerClientLibraryIsLoadedForAServerOnly)
{
    // The dynamic linker names every library it loads on the error output.
    const auto loaded = [&](const QStringList& arguments) {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HOME"), home());
        environment.insert(QStringLiteral("LD_DEBUG"), QStringLiteral("files"));
        process.setProcessEnvironment(environment);
        process.start(AdminToolPath(), arguments);
        EXPECT_TRUE(process.waitForFinished(60000));
        EXPECT_EQ(process.exitCode(), 0) << arguments.join(' ').toStdString();
        const QString said = QString::fromUtf8(process.readAllStandardError());
        EXPECT_TRUE(said.contains(QStringLiteral("libQt6Core"))) << "the linker's names are read";
        return said.contains(QStringLiteral("libpq.so"));
    };
    const QString path = CreateCurrentDatabase(folder.file(QStringLiteral("team.defl")));
    FillSmallTeamFile(path);
    EXPECT_FALSE(loaded({QStringLiteral("list"), path, QStringLiteral("--user"), QStringLiteral("alice")}));
    EXPECT_FALSE(loaded({QStringLiteral("version"), path}));

    SERVER_DATABASE_OR_SKIP(uri);
    ASSERT_EQ(Admin({QStringLiteral("migrate"), path, uri}).exitCode, 0);
    EXPECT_TRUE(loaded({QStringLiteral("list"), uri, QStringLiteral("--user"), QStringLiteral("alice")}));
    const ToolRun run = Admin({QStringLiteral("version"), uri});
    EXPECT_EQ(run.out.trimmed(), QStringLiteral("13")) << run.err.toStdString();
}

TEST_F(VellacordAdminTest, UnlockOfAServerSaysWhetherMaintenanceRunsAndNamesNoLogin)
{
    SERVER_DATABASE_OR_SKIP(uri);
    ASSERT_EQ(
        Admin({QStringLiteral("migrate"), CreateCurrentDatabase(folder.file(QStringLiteral("t.defl"))), uri}).exitCode,
        0);
    ToolRun run = Admin({QStringLiteral("unlock"), uri});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(run.out.trimmed(), engine::DisplayNameOfServer(uri) + QStringLiteral(" is not locked"));
    EXPECT_EQ(run.err, QString());
    {
        engine::Connection maintainer;
        ASSERT_EQ(maintainer.Open(uri), engine::kOk);
        ASSERT_TRUE(maintainer.TakeServerMaintenance());
        run = Admin({QStringLiteral("unlock"), uri});
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_TRUE(run.err.contains(QStringLiteral("not unlocked"))) << run.err.toStdString();
        EXPECT_FALSE(run.err.contains(QStringLiteral("user="))) << run.err.toStdString();
    }
    // The lock ends with its session.
    EXPECT_EQ(Admin({QStringLiteral("unlock"), uri}).exitCode, 0);
}
TEST_F(VellacordAdminTest, RepairAndConvertOfAServerSayWhatTheyDidAndAUriIsNeverTakenForAPath)
{
    SERVER_DATABASE_OR_SKIP(uri);
    ASSERT_EQ(Admin({QStringLiteral("create"), uri}).exitCode, 0);
    {
        engine::Connection import;
        ASSERT_EQ(import.Open(uri), engine::kOk);
        ASSERT_EQ(
            import.Execute(QStringLiteral("INSERT INTO filter (id, userid, filtername, filtertext) VALUES (90, 0, "
                                          "'imported', 'statusid=1')")),
            engine::kOk);
    }
    ToolRun run = Admin({QStringLiteral("repair"), uri});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains(QStringLiteral("filter.id"))) << run.out.toStdString();
    EXPECT_FALSE(run.out.contains(QStringLiteral("user="))) << "the URI is shown without credentials";
    run = Admin({QStringLiteral("convert"), uri});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.out.contains(QStringLiteral("already at version"))) << run.out.toStdString();
    {
        engine::Connection older;
        ASSERT_EQ(older.Open(uri), engine::kOk);
        ASSERT_EQ(older.Execute(QStringLiteral("UPDATE versiontable SET dbversion = 12")), engine::kOk);
    }
    for (const QString& command : {QStringLiteral("convert"), QStringLiteral("repair")}) {
        run = Admin({command, uri});
        EXPECT_EQ(run.exitCode, 1) << command.toStdString();
        EXPECT_TRUE(run.err.contains(QStringLiteral("version 12"))) << run.err.toStdString();
    }
    for (const QStringList& arguments :
         {QStringList{QStringLiteral("backup"), uri, QStringLiteral("postgresql://elsewhere/dumps")},
          QStringList{QStringLiteral("create"), uri, QStringLiteral("--replace")},
          QStringList{QStringLiteral("list"), uri, QStringLiteral("--user=none"), QStringLiteral("--output"),
                      QStringLiteral("postgresql://elsewhere/list")}})
        EXPECT_EQ(Admin(arguments).exitCode, 2) << arguments.join(QLatin1Char(' ')).toStdString();
    EXPECT_FALSE(QFileInfo::exists(QStringLiteral("postgresql:")));
}
