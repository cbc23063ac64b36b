#include "app/base/StringTable.h"
#include "store/Connection.h"
#include "store/DatabaseVersion.h"
#include "store/EngineStatus.h"
#include "store/Compaction.h"
#include "store/MaintenanceLock.h"
#include "store/fixtures/OldVersionDatabase.h"
#include "support/TempFolder.h"
#include "support/TestDatabase.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
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

struct ToolRun {
    int exitCode = -1;
    QString out;
    QString err;
};

// The test programs live in <build>/tests, the tool in <build>.
QString ToolPath()
{
    return QDir(QCoreApplication::applicationDirPath()).absoluteFilePath(QStringLiteral("../vellacord-admin"));
}

class VellacordAdminTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QFileInfo(ToolPath()).isExecutable()) << "build vellacord-admin first: " << ToolPath().toStdString();
        ASSERT_TRUE(QDir().mkpath(home()));
    }

    // The tool's trash lies in a home of the test's own.
    QString home() const { return folder.file(QStringLiteral("home")); }
    QString trash() const { return home() + QStringLiteral("/.local/share/Trash/files"); }

    ToolRun Admin(const QStringList& arguments)
    {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HOME"), home());
        environment.remove(QStringLiteral("XDG_DATA_HOME"));
        process.setProcessEnvironment(environment);
        process.start(ToolPath(), arguments);
        ToolRun run;
        if (!process.waitForFinished(60000))
            return run;
        run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        run.out = QString::fromUtf8(process.readAllStandardOutput());
        run.err = QString::fromUtf8(process.readAllStandardError());
        return run;
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
    EXPECT_TRUE(run.err.contains(QStringLiteral("This database version cannot be converted."))) << run.err.toStdString();
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
    EXPECT_TRUE(run.err.contains(QStringLiteral("The maintenance of %1 was interrupted").arg(path))) << run.err.toStdString();
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
    for (int round = 0; round < kRounds; ++round) {
        QProcess repair;
        repair.start(ToolPath(), {QStringLiteral("repair"), path});
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
                    {QStringLiteral("--reuid=4244"), QStringLiteral("--regid=%1").arg(kTeam), QStringLiteral("--clear-groups"),
                     QStringLiteral("sqlite3"), QStringLiteral("-batch"), QStringLiteral("-bail"), path,
                     QStringLiteral("insert into defectlist (subject) values ('from a colleague')")});
    ASSERT_TRUE(colleague.waitForFinished(30000));
    EXPECT_EQ(colleague.exitCode(), 0) << colleague.readAllStandardError().toStdString();
    EXPECT_EQ(Int(path, QStringLiteral("select count(*) from defectlist where subject = 'from a colleague'")), 1);
}

TEST_F(VellacordAdminTest, UsageErrorsAndHelp)
{
    ToolRun run = Admin({QStringLiteral("--help")});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.out.startsWith(QStringLiteral("Usage: vellacord-admin")));

    for (const QStringList& arguments :
         {QStringList(), QStringList({QStringLiteral("destroy"), QStringLiteral("x.defl")}),
          QStringList(QStringLiteral("create")),
          QStringList({QStringLiteral("create"), QStringLiteral("x.defl"), QStringLiteral("--workflow"),
                       QStringLiteral("fancy")}),
          QStringList({QStringLiteral("repair"), QStringLiteral("x.defl"), QStringLiteral("--replace")})}) {
        run = Admin(arguments);
        EXPECT_EQ(run.exitCode, 1) << arguments.join(QLatin1Char(' ')).toStdString();
        EXPECT_TRUE(run.err.contains(QStringLiteral("Usage:")));
    }
    EXPECT_FALSE(QFileInfo::exists(QStringLiteral("x.defl")));
}

} // namespace
