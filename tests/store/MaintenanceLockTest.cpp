// The maintenance lock: names, locking and unlocking, refusals while the file is open, dead clients' locks.

#include "store/MaintenanceLock.h"
#include "base/Check.h"
#include "base/StringTable.h"
#include "engine/Connection.h"
#include "engine/EngineStatus.h"
#include "platform/DurableFiles.h"
#include "platform/OleDate.h"
#include "store/Backups.h"
#include "support/ChildProcess.h"
#include "support/TempFolder.h"
#include "support/TestDatabase.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QSysInfo>
#include <QTextStream>

#include <gtest/gtest.h>

namespace {

void WriteFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content);
}

QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString NewDatabase(const TempFolder& folder, const QString& name = QStringLiteral("shared.defl"))
{
    const QString path = folder.file(name);
    EXPECT_EQ(engine::kOk, engine::Connection::CreateFile(path));
    return path;
}

// The second workstation: keeps the database open until told to stop on its standard input.
int HoldDatabaseOpen(const QStringList& arguments)
{
    engine::Connection connection;
    if (connection.Open(arguments.value(0)) != engine::kOk)
        return 2;
    SignalReadyAndWaitForStop();
    return 0;
}
REGISTER_CHILD_ACTION("hold-database-open", HoldDatabaseOpen);

// A rescue file as a client that is still running holds it.
void HoldRescueFile(HeldFile& holder, const QString& path, const QByteArray& content)
{
    holder.Release();
    QFile::remove(RescueFileName(path));
    ASSERT_TRUE(holder.Create(RescueFileName(path), path));
    ASSERT_TRUE(holder.Write(content));
}

} // namespace

TEST(MaintenanceLockTest, NamesBesideTheDatabase)
{
    EXPECT_EQ(QStringLiteral("/share/db/#RESCUE-bugs.defl.txt"), RescueFileName(QStringLiteral("/share/db/bugs.defl")));
    EXPECT_EQ(QStringLiteral("/share/db/#bugs.defl.mt"), MaintenanceName(QStringLiteral("/share/db/bugs.defl")));
    EXPECT_EQ(QStringLiteral("#RESCUE-bugs.defl.txt"), RescueFileName(QStringLiteral("bugs.defl")));
    EXPECT_EQ(QStringLiteral("#bugs.defl.mt"), MaintenanceName(QStringLiteral("bugs.defl")));
}

TEST(MaintenanceLockTest, LockWritesTheRescueFileMovesTheDatabaseAndUnlockPutsItBack)
{
    TempFolder folder;
    const QString path = NewDatabase(folder);
    const QByteArray original = ReadFile(path);
    ManualClock clock;
    {
        CMaintenanceLock lock(path, QStringLiteral("testing the lock"), true, clock);
        ASSERT_TRUE(lock.held());
        EXPECT_TRUE(lock.message().isEmpty());
        EXPECT_FALSE(QFileInfo::exists(path));
        EXPECT_EQ(original, ReadFile(MaintenanceName(path)));

        const QString rescue = QString::fromUtf8(ReadFile(RescueFileName(path)));
        const QString firstLine = rescue.section(QStringLiteral("\r\n"), 0, 0);
        EXPECT_TRUE(firstLine.startsWith(QStringLiteral("The database has been locked at ")));
        EXPECT_TRUE(firstLine.contains(QStringLiteral(" at %1. ").arg(QSysInfo::machineHostName())));
        EXPECT_TRUE(firstLine.endsWith(QStringLiteral("The reason is: \"testing the lock\".")));
        EXPECT_TRUE(
            rescue.contains(QStringLiteral("1. Rename the file \"%1\" into \"%2\".").arg(MaintenanceName(path), path)));
        EXPECT_TRUE(rescue.contains(QStringLiteral("use a database backup \"%1.v\"").arg(path)));
        EXPECT_FALSE(rescue.endsWith(QChar()));

        const LockState state = CMaintenanceLock::IsLocked(path);
        EXPECT_TRUE(state.locked);
        EXPECT_EQ(firstLine + QStringLiteral("\r\nFor more information please open the file ") +
                      AbbreviatedRescueName(RescueFileName(path)),
                  state.message);

        // Only one client holds the lock; the second learns why it is refused.
        CMaintenanceLock second(path, QStringLiteral("other"), true, clock);
        EXPECT_FALSE(second.held());
        EXPECT_EQ(state.message, second.message());

        EXPECT_THROW(
            {
                try {
                    lock.Lock(QStringLiteral("again"), true);
                } catch (const check::precondition_violated& violation) {
                    EXPECT_STREQ("rescueFileHandle!=NULL - cannot call lock in this state", violation.what());
                    throw;
                }
            },
            check::precondition_violated);

        EXPECT_TRUE(lock.Unlock());
        EXPECT_FALSE(lock.held());
    }
    EXPECT_EQ(original, ReadFile(path));
    EXPECT_FALSE(QFileInfo::exists(MaintenanceName(path)));
    EXPECT_FALSE(QFileInfo::exists(RescueFileName(path)));
    EXPECT_FALSE(CMaintenanceLock::IsLocked(path).locked);
    EXPECT_TRUE(CMaintenanceLock::IsLocked(path).message.isEmpty());
}

TEST(MaintenanceLockTest, DestructorReleasesAndMissingFilesFollowMustExist)
{
    TempFolder folder;
    const QString path = NewDatabase(folder);
    {
        CMaintenanceLock lock(path, QStringLiteral("scoped"), true);
        ASSERT_TRUE(lock.held());
    }
    EXPECT_TRUE(QFileInfo::exists(path));
    EXPECT_FALSE(QFileInfo::exists(RescueFileName(path)));

    const QString missing = folder.file(QStringLiteral("new.defl"));
    {
        CMaintenanceLock lock(missing, QStringLiteral("creating"), false);
        EXPECT_TRUE(lock.held());
        EXPECT_TRUE(QFileInfo::exists(RescueFileName(missing)));
        EXPECT_FALSE(lock.Unlock()); // nothing to move back
    }
    EXPECT_FALSE(QFileInfo::exists(RescueFileName(missing)));

    EXPECT_THROW(CMaintenanceLock(missing, QStringLiteral("compacting"), true), check::assertion_failed);
    // The failed lock leaves nothing that would keep other clients out.
    EXPECT_FALSE(QFileInfo::exists(RescueFileName(missing)));
}

TEST(MaintenanceLockTest, RefusedWhileAConnectionOrAnotherProcessHasTheFileOpen)
{
    TempFolder folder;
    const QString path = NewDatabase(folder);
    {
        engine::Connection connection;
        ASSERT_EQ(engine::kOk, connection.Open(path));
        CMaintenanceLock lock(path, QStringLiteral("compacting"), true);
        EXPECT_FALSE(lock.held());
        EXPECT_EQ(LoadString(164), lock.message());
        EXPECT_TRUE(QFileInfo::exists(path));
        EXPECT_FALSE(QFileInfo::exists(RescueFileName(path)));
    }

    QProcess child;
    StartChild(child, QStringLiteral("hold-database-open"), {path});
    ASSERT_TRUE(child.waitForReadyRead(10000));
    ASSERT_EQ(QByteArray("ready"), child.readLine().trimmed());
    {
        CMaintenanceLock lock(path, QStringLiteral("compacting"), true);
        EXPECT_FALSE(lock.held());
        EXPECT_EQ(LoadString(164), lock.message());
        EXPECT_TRUE(QFileInfo::exists(path));
        EXPECT_FALSE(QFileInfo::exists(MaintenanceName(path)));
        EXPECT_FALSE(QFileInfo::exists(RescueFileName(path)));
    }
    child.write("stop\n");
    child.closeWriteChannel();
    ASSERT_TRUE(child.waitForFinished(10000));
    EXPECT_EQ(0, child.exitCode());

    CMaintenanceLock lock(path, QStringLiteral("compacting"), true);
    EXPECT_TRUE(lock.held());
}

TEST(MaintenanceLockTest, UnlockTriesTwentyFiveTimesToDeleteTheRescueFile)
{
    TempFolder folder;
    const QString path = NewDatabase(folder);
    std::vector<int> sleeps;
    CMaintenanceLock lock(path, QStringLiteral("testing"), true, SystemClockInstance(),
                          [&sleeps](int ms) { sleeps.push_back(ms); });
    ASSERT_TRUE(lock.held());
    // A non-empty directory in place of the rescue file cannot be deleted.
    const QString rescue = RescueFileName(path);
    ASSERT_TRUE(QFile::remove(rescue));
    ASSERT_TRUE(QDir().mkpath(rescue + QStringLiteral("/inside")));

    EXPECT_FALSE(lock.Unlock());
    EXPECT_EQ(std::vector<int>(24, 200), sleeps);
    EXPECT_TRUE(QFileInfo::exists(path)); // the database went back all the same
    QDir(rescue).removeRecursively();
}

TEST(MaintenanceLockTest, IsLockedReadsTheFirstLineAndAbbreviatesLongNames)
{
    TempFolder folder;
    const QString path = folder.file(QStringLiteral("bugs.defl"));
    HeldFile holder;
    HoldRescueFile(holder, path, "\r\nsecond line\r\n");
    LockState state = CMaintenanceLock::IsLocked(path);
    EXPECT_TRUE(state.locked);
    EXPECT_TRUE(state.message.startsWith(QStringLiteral("unknown\r\nFor more information please open the file ")));

    HoldRescueFile(holder, path, "locked by someone\nmore");
    state = CMaintenanceLock::IsLocked(path);
    EXPECT_EQ(QStringLiteral("locked by someone\r\nFor more information please open the file ") +
                  AbbreviatedRescueName(RescueFileName(path)),
              state.message);

    // The separator at index 29 keeps the name; at index 30 and beyond the middle goes.
    const QString short29 = QStringLiteral("/") + QString(28, QLatin1Char('a')) + QStringLiteral("/#RESCUE-x.txt");
    EXPECT_EQ(short29, AbbreviatedRescueName(short29));
    const QString name = QStringLiteral("/tmp/abcdefghijklmnopqrstuvwxyz0123456789/#RESCUE-db.defl.txt");
    EXPECT_EQ(QStringLiteral("/tmp/abcdefgh...wxyz0123456789/#RESCUE-db.defl.txt"), AbbreviatedRescueName(name));
    const QString long30 = QStringLiteral("/") + QString(29, QLatin1Char('b')) + QStringLiteral("/#RESCUE-x.txt");
    EXPECT_EQ(QStringLiteral("/bbbbbbbbbbbb...bbbbbbbbbbbbbb/#RESCUE-x.txt"), AbbreviatedRescueName(long30));
}

TEST(MaintenanceLockTest, ALockWhoseClientDiedIsUndoneByTheNextClientUnlessTheOriginalIsDamaged)
{
    TempFolder folder;
    const QString path = CreateCurrentDatabase(folder.file(QStringLiteral("team.defl")));
    const QByteArray original = ReadFile(path);
    // As a compaction killed while it wrote at the live name left it: a partial file and its journal.
    ASSERT_TRUE(QFile::rename(path, MaintenanceName(path)));
    WriteFile(path, "partial");
    WriteFile(path + QStringLiteral("-journal"), "stale journal");
    const QStringList leftovers = {folder.file(QStringLiteral(".team.defl.compact-99.tmp")),
                                   folder.file(QStringLiteral(".team.defl.compact-99.tmp-journal"))};
    for (const QString& leftover : leftovers)
        WriteFile(leftover, "x");
    WriteFile(RescueFileName(path), "The database has been locked by a client that died.\r\nsteps");

    LockState state = CMaintenanceLock::IsLocked(path);
    EXPECT_FALSE(state.locked);
    EXPECT_TRUE(state.recovered.contains(path)) << state.recovered.toStdString();
    EXPECT_TRUE(state.recovered.contains(QStringLiteral("locked by a client that died")));
    EXPECT_EQ(original, ReadFile(path));
    for (const QString& gone :
         leftovers + QStringList{path + QStringLiteral("-journal"), MaintenanceName(path), RescueFileName(path)})
        EXPECT_FALSE(QFileInfo::exists(gone)) << gone.toStdString();
    EXPECT_TRUE(CMaintenanceLock::IsLocked(path).recovered.isEmpty());

    // A damaged original is not put back: the lock stays and says why.
    ASSERT_TRUE(QFile::rename(path, MaintenanceName(path)));
    WriteFile(MaintenanceName(path), original.left(original.size() / 2));
    WriteFile(RescueFileName(path), "locked\r\n");
    state = CMaintenanceLock::IsLocked(path);
    EXPECT_TRUE(state.locked);
    EXPECT_TRUE(state.message.contains(QStringLiteral("cannot be undone automatically")))
        << state.message.toStdString();
    EXPECT_TRUE(QFileInfo::exists(MaintenanceName(path)));
    EXPECT_TRUE(QFileInfo::exists(RescueFileName(path)));

    // A sound database at the name (a compacted copy that arrived) stays; the original is kept
    // aside, never renamed over it. The check opens it, which removes a journal holding no change.
    WriteFile(path, original);
    ASSERT_FALSE(CMaintenanceLock::IsLocked(path).locked);
    EXPECT_EQ(original, ReadFile(path));
    EXPECT_TRUE(QFileInfo::exists(path + QStringLiteral(".interrupted")));
    WriteFile(path + QStringLiteral("-journal"), "");

    // With nobody connected an empty journal is what a writer killed before its first write left:
    // it holds no change, and maintenance removes it instead of waiting for a human.
    {
        CMaintenanceLock lock(path, QStringLiteral("repair"), true, SystemClockInstance());
        EXPECT_TRUE(lock.held()) << lock.message().toStdString();
        EXPECT_FALSE(QFileInfo::exists(path + QStringLiteral("-journal")));
    }
    EXPECT_EQ(original, ReadFile(path));
    EXPECT_FALSE(QFileInfo::exists(RescueFileName(path)));
}

// A journal that holds a change is replayed before maintenance moves the file; one that another
// program is still writing keeps maintenance out, and the refusal names it.
TEST(MaintenanceLockTest, AJournalIsCompletedFirstAndAWritersJournalRefusesTheLock)
{
    TempFolder folder;
    const QString path = CreateCurrentDatabase(folder.file(QStringLiteral("team.defl")));
    const QString journal = path + QStringLiteral("-journal");
    // A writer stopped in the middle of its change: the pages it changed and its journal.
    const QString copy = folder.file(QStringLiteral("copy.defl"));
    {
        engine::Connection writer;
        ASSERT_EQ(writer.Open(path), engine::kOk);
        ASSERT_EQ(writer.Execute(QStringLiteral("PRAGMA cache_size=1")), engine::kOk);
        ASSERT_EQ(writer.Execute(QStringLiteral("BEGIN IMMEDIATE")), engine::kOk);
        ASSERT_EQ(writer.Execute(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE "
                                                "i < 2000) INSERT INTO defectlist (subject) SELECT printf('%.300c', "
                                                "'s') FROM n")),
                  engine::kOk);
        ASSERT_TRUE(QFile::copy(path, copy));
        ASSERT_TRUE(QFile::copy(journal, copy + QStringLiteral("-journal")));
        ASSERT_EQ(writer.Execute(QStringLiteral("ROLLBACK")), engine::kOk);
    }
    QFile::remove(path);
    ASSERT_TRUE(QFile::rename(copy, path));
    ASSERT_TRUE(QFile::rename(copy + QStringLiteral("-journal"), journal));
    {
        CMaintenanceLock lock(path, QStringLiteral("repair"), true, SystemClockInstance());
        EXPECT_TRUE(lock.held()) << lock.message().toStdString();
        EXPECT_FALSE(QFileInfo::exists(journal));
    }
    EXPECT_EQ(QueryNumber(path, QStringLiteral("SELECT count(*) FROM defectlist")), 0);
    EXPECT_EQ(QueryNumber(path, QStringLiteral("SELECT count(*) FROM pragma_quick_check WHERE quick_check <> 'ok'")),
              0);

    if (QStandardPaths::findExecutable(QStringLiteral("sqlite3")).isEmpty())
        GTEST_SKIP() << "needs the sqlite3 shell as a writer of another program";
    QProcess shell;
    shell.start(QStringLiteral("sqlite3"), {QStringLiteral("-batch"), path});
    ASSERT_TRUE(shell.waitForStarted());
    shell.write("BEGIN IMMEDIATE;\nINSERT INTO defectlist (subject) VALUES ('x');\nSELECT 'in';\n");
    ASSERT_TRUE(shell.waitForReadyRead(10000));
    ASSERT_TRUE(QFileInfo::exists(journal));
    {
        CMaintenanceLock lock(path, QStringLiteral("repair"), true, SystemClockInstance());
        EXPECT_FALSE(lock.held());
        EXPECT_TRUE(lock.message().contains(journal)) << lock.message().toStdString();
        EXPECT_TRUE(lock.message().contains(QStringLiteral("another program"))) << lock.message().toStdString();
    }
    EXPECT_TRUE(QFileInfo::exists(path));
    EXPECT_FALSE(QFileInfo::exists(RescueFileName(path)));
    shell.write("COMMIT;\n.quit\n");
    shell.closeWriteChannel();
    ASSERT_TRUE(shell.waitForFinished(10000));
    EXPECT_EQ(QueryNumber(path, QStringLiteral("SELECT count(*) FROM defectlist")), 1);
}

// Killed at any moment, a conversion leaves the old file or the converted one; the next client
// finishes what is left and names the backup that holds the original.
TEST(MaintenanceLockTest, AConversionWhoseClientDiedIsFinishedByTheNextClient)
{
    TempFolder folder;
    const QString path = folder.file(QStringLiteral("team.defl"));
    const QString original = CreateCurrentDatabase(folder.file(QStringLiteral("original.defl")));
    const QString converted = CreateCurrentDatabase(folder.file(QStringLiteral("converted.defl")));
    {
        // Both are sound; their bytes tell them apart.
        engine::Connection connection;
        ASSERT_EQ(engine::kOk, connection.Open(converted));
        ASSERT_EQ(engine::kOk, connection.Execute(QStringLiteral("INSERT INTO defectlist (subject) VALUES ('new')")));
    }
    const QByteArray before = ReadFile(original);
    const QByteArray after = ReadFile(converted);
    const QString rescue = QStringLiteral("The database has been locked at noon by ann at pc7. The reason is: "
                                          "\"converting old database to current format\".\r\nsteps");
    const QString leftover = folder.file(QStringLiteral(".team.defl.convert-77.tmp"));

    // Killed while converting the copy: the original goes back, the copy goes.
    WriteFile(MaintenanceName(path), before);
    WriteFile(path + QStringLiteral(".bak"), before);
    WriteFile(leftover, "half a copy");
    WriteFile(RescueFileName(path), rescue.toUtf8());
    LockState state = CMaintenanceLock::IsLocked(path);
    EXPECT_FALSE(state.locked);
    EXPECT_EQ(ReadFile(path), before);
    EXPECT_FALSE(QFileInfo::exists(leftover));
    EXPECT_TRUE(state.recovered.contains(path + QStringLiteral(".bak"))) << state.recovered.toStdString();

    // Killed after the converted copy took the name: it stays, and the original, which the
    // backup already holds, is not kept a second time.
    QFile::remove(path);
    WriteFile(path, after);
    WriteFile(MaintenanceName(path), before);
    WriteFile(RescueFileName(path), rescue.toUtf8());
    state = CMaintenanceLock::IsLocked(path);
    EXPECT_FALSE(state.locked);
    EXPECT_EQ(ReadFile(path), after);
    EXPECT_FALSE(QFileInfo::exists(MaintenanceName(path)));
    EXPECT_FALSE(QFileInfo::exists(path + QStringLiteral(".interrupted")));
    EXPECT_EQ(ReadFile(path + QStringLiteral(".bak")), before);
    EXPECT_TRUE(state.recovered.contains(path + QStringLiteral(".bak"))) << state.recovered.toStdString();
}

TEST(BackupsTest, RotationKeepsTheGivenNumberAndZeroMakesNone)
{
    TempFolder folder;
    const QString path = folder.file(QStringLiteral("bugs.defl"));
    const QString source = folder.file(QStringLiteral("#bugs.defl.mt"));
    WriteFile(source, "current");
    WriteFile(path + QStringLiteral(".1"), "one");
    WriteFile(path + QStringLiteral(".2"), "two");
    WriteFile(path + QStringLiteral(".3"), "three");

    EXPECT_TRUE(RotateBackups(source, path, 3));
    EXPECT_EQ("current", ReadFile(path + QStringLiteral(".1")));
    EXPECT_FALSE(QFileInfo::exists(source)); // moved, not copied
    EXPECT_EQ("one", ReadFile(path + QStringLiteral(".2")));
    EXPECT_EQ("two", ReadFile(path + QStringLiteral(".3")));
    EXPECT_FALSE(QFileInfo::exists(path + QStringLiteral(".4")));

    WriteFile(source, "later");
    EXPECT_TRUE(RotateBackups(source, path, 0));
    EXPECT_EQ("current", ReadFile(path + QStringLiteral(".1")));

    EXPECT_FALSE(RotateBackups(folder.file(QStringLiteral("missing")), path, 3));
}

TEST(DurableFilesTest, RenameToAFreeNameNeverReplacesAFile)
{
    TempFolder folder;
    const QString copy = folder.file(QStringLiteral("copy"));
    const QString live = folder.file(QStringLiteral("live"));
    WriteFile(copy, "copy");
    WriteFile(live, "live");
    EXPECT_FALSE(RenameToFreeName(copy, live));
    EXPECT_EQ(QByteArray("live"), ReadFile(live));
    ASSERT_TRUE(QFile::remove(live));
    EXPECT_TRUE(RenameToFreeName(copy, live));
    EXPECT_EQ(QByteArray("copy"), ReadFile(live));
    EXPECT_FALSE(QFileInfo::exists(copy));
}
