// The data connection: unreachable, locked, gone or replaced files, the settings row, compaction.

#include "store/DatabaseAccess.h"
#include "base/Check.h"
#include "base/DatabaseUnavailable.h"
#include "base/StringTable.h"
#include "engine/Connection.h"
#include "engine/EngineStatus.h"
#include "engine/Rowset.h"
#include "engine/UpdatableRowset.h"
#include "store/MaintenanceLock.h"
#include "support/ChildProcess.h"
#include "support/ScriptedUserInterface.h"
#include "support/TempFolder.h"
#include "support/TestDatabase.h"

#include <QFile>
#include <QFileInfo>
#include <QTextStream>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include <unistd.h>

namespace {

// A double whose retry dialog can change the world before it answers.
class RetryingUserInterface : public ScriptedUserInterface {
public:
    std::function<void()> beforeRetryAnswer;
    RetryAnswer RunRetryDialog(const RetryDialogRequest& request) override
    {
        if (beforeRetryAnswer)
            beforeRetryAnswer();
        return ScriptedUserInterface::RunRetryDialog(request);
    }
};

std::int32_t UnavailableStatus(const std::function<void()>& action)
{
    try {
        action();
    } catch (const database_unavailable& unavailable) {
        EXPECT_STREQ("database unavailable", unavailable.what());
        return unavailable.status;
    }
    ADD_FAILURE() << "database_unavailable expected";
    return 0;
}

void Exec(const QString& path, const QString& sql, const engine::Parameters& parameters = {})
{
    engine::Connection connection;
    ASSERT_EQ(engine::kOk, connection.Open(path));
    ASSERT_EQ(engine::kOk, connection.Execute(sql, parameters));
}

// The second workstation: holds the maintenance lock until told to stop on its standard input.
int HoldMaintenanceLock(const QStringList& arguments)
{
    CMaintenanceLock lock(arguments.value(0), QStringLiteral("compacting on the other workstation"), true);
    if (!lock.held())
        return 2;
    SignalReadyAndWaitForStop();
    return lock.Unlock() ? 0 : 3;
}
REGISTER_CHILD_ACTION("hold-maintenance-lock", HoldMaintenanceLock);

// Another program: holds the file locked exclusively until told to stop on its standard input.
int HoldExclusiveLock(const QStringList& arguments)
{
    engine::Connection connection;
    if (connection.Open(arguments.value(0)) != engine::kOk ||
        connection.Execute(QStringLiteral("BEGIN EXCLUSIVE")) != engine::kOk)
        return 2;
    SignalReadyAndWaitForStop();
    return 0;
}
REGISTER_CHILD_ACTION("hold-exclusive-lock", HoldExclusiveLock);

// Another workstation in the middle of a long read (a slow list, a report): holds its read lock
// until told to stop on its standard input.
int HoldReadLock(const QStringList& arguments)
{
    engine::Connection connection;
    std::int64_t count = 0;
    if (connection.Open(arguments.value(0)) != engine::kOk ||
        connection.Execute(QStringLiteral("BEGIN")) != engine::kOk ||
        connection.QueryInt(QStringLiteral("SELECT count(*) FROM defectlist"), {}, count) != engine::kOk)
        return 2;
    SignalReadyAndWaitForStop();
    return 0;
}
REGISTER_CHILD_ACTION("hold-read-lock", HoldReadLock);

constexpr int kHeldLockedText = 2301;

// A database of the current version on disk, opened through the access object on a clock
// that the test moves.
class DatabaseAccessOnDisk : public testing::Test {
protected:
    TempFolder folder;
    const QString path = CreateCurrentDatabase(folder.file(QStringLiteral("test.defl")));
    ScriptedUserInterface ui;
    ManualClock clock;
    CDatabaseAccess access{ui, clock, path};
};

} // namespace

TEST(DatabaseAccessTest, FileNameLengthIsLimited)
{
    ScriptedUserInterface ui;
    CDatabaseAccess access(ui, SystemClockInstance());
    access.SetDatabaseFileName(QString(245, QLatin1Char('x')));
    EXPECT_EQ(245, access.DatabaseFileName().size());
    try {
        access.SetDatabaseFileName(QString(246, QLatin1Char('x')));
        ADD_FAILURE() << "precondition violation expected";
    } catch (const check::precondition_violated& violation) {
        EXPECT_STREQ("the path to the database is too long.", violation.what());
    }
}

TEST(DatabaseAccessTest, UnreachableFileRaisesAtOnceOrWaitsInTheRetryDialog)
{
    TempFolder folder;
    const QString path = folder.file(QStringLiteral("gone.defl"));
    RetryingUserInterface ui;
    CDatabaseAccess access(ui, SystemClockInstance(), path);

    EXPECT_EQ(engine::kFailure, UnavailableStatus([&] { access.GetDataConnection(RetryMode::None); }));
    EXPECT_EQ(0u, ui.retryRequests.size());
    EXPECT_FALSE(access.connected());

    ui.ExpectRetry(RetryAnswer::Retry);
    ui.ExpectRetry(RetryAnswer::Cancel);
    EXPECT_EQ(engine::kFailure, UnavailableStatus([&] { access.GetDataConnection(RetryMode::Prompt); }));
    ASSERT_EQ(2u, ui.retryRequests.size());
    for (const RetryDialogRequest& request : ui.retryRequests) {
        EXPECT_EQ(LoadString(152), request.message);
        EXPECT_EQ(20, request.flashCount);
        EXPECT_EQ(180, request.autoRetrySeconds);
        EXPECT_FALSE(request.startHidden);
    }
    EXPECT_TRUE(ui.stateChanges.empty());

    // The file comes back while the dialog waits: the retry connects.
    ui.ExpectRetry(RetryAnswer::Retry);
    ui.beforeRetryAnswer = [&] { CreateCurrentDatabase(path); };
    engine::Connection& connection = access.GetDataConnection(RetryMode::Prompt);
    EXPECT_TRUE(access.connected());
    EXPECT_EQ(&connection, &access.GetDataConnection(RetryMode::None));
    access.CloseDataConnection();
    EXPECT_FALSE(access.connected());
    EXPECT_FALSE(connection.IsOpen());
    ui.VerifyAllUsed();
}

TEST(DatabaseAccessTest, AProgramThatClosesAfterAFailureGivesUpAFileItCannotReachAtOnce)
{
    TempFolder folder;
    const QString path = CreateCurrentDatabase(folder.file(QStringLiteral("team.defl")));
    const QString moved = folder.file(QStringLiteral("moved.defl"));
    ScriptedUserInterface ui;
    ui.mainWindow = true;
    CDatabaseAccess access(ui, SystemClockInstance(), path);
    engine::Connection& connection = access.GetDataConnection(RetryMode::Prompt);
    access.StopWaitingForFile();
    EXPECT_EQ(1, QueryNumber(connection, QStringLiteral("SELECT count(*) FROM versiontable")))
        << "a file that is there still serves";

    // Neither a call that finds the file gone nor any later request waits in the retry dialog.
    ASSERT_TRUE(QFile::rename(path, moved));
    EXPECT_EQ(engine::kFailure, UnavailableStatus([&] {
                  connection.Execute(QStringLiteral("INSERT INTO defectlist (subject) VALUES ('lost')"));
              }));
    EXPECT_EQ(engine::kFailure, UnavailableStatus([&] { access.GetDataConnection(RetryMode::Offline); }));
    EXPECT_EQ(engine::kFailure, UnavailableStatus([&] { access.NeedsCompacting(); }));

    // Not even for a file locked for maintenance, which otherwise always offers the dialog.
    ASSERT_TRUE(QFile::rename(moved, path));
    QProcess child;
    StartChild(child, QStringLiteral("hold-maintenance-lock"), {path});
    ASSERT_TRUE(child.waitForReadyRead(10000));
    EXPECT_EQ(5, UnavailableStatus([&] { access.GetDataConnection(RetryMode::None); }));
    child.write("stop\n");
    child.closeWriteChannel();
    ASSERT_TRUE(child.waitForFinished(10000));
    EXPECT_TRUE(ui.retryRequests.empty());
    EXPECT_TRUE(ui.stateChanges.empty()) << "no offline state for a program that is closing";
}

TEST(DatabaseAccessTest, OfflineModeShowsTheOfflineStateOnceAndTheNormalStateAfterwards)
{
    TempFolder folder;
    const QString path = folder.file(QStringLiteral("gone.defl"));
    RetryingUserInterface ui;
    ui.mainWindow = true;
    CDatabaseAccess access(ui, SystemClockInstance(), path);

    ui.ExpectRetry(RetryAnswer::Retry);
    ui.ExpectRetry(RetryAnswer::Retry);
    int dialogs = 0;
    ui.beforeRetryAnswer = [&] {
        if (++dialogs == 2)
            CreateCurrentDatabase(path);
    };
    access.GetDataConnection(RetryMode::Offline);
    EXPECT_TRUE(access.connected());
    ASSERT_EQ(2u, ui.retryRequests.size());
    EXPECT_TRUE(ui.retryRequests[0].startHidden);
    EXPECT_EQ(0, ui.retryRequests[0].flashCount);
    EXPECT_EQ(LoadString(152), ui.retryRequests[1].message);
    const std::vector<QString> expected{QStringLiteral("offline:20:Vellacord database offline"),
                                        QStringLiteral("offline:0:Vellacord database offline"),
                                        QStringLiteral("normal:Vellacord")};
    EXPECT_EQ(expected, ui.stateChanges);

    // Without a main window nothing changes state and the dialog keeps its flash count.
    access.CloseDataConnection();
    QFile::remove(path);
    ui.mainWindow = false;
    ui.beforeRetryAnswer = nullptr;
    ui.ExpectRetry(RetryAnswer::Cancel);
    EXPECT_EQ(engine::kFailure, UnavailableStatus([&] { access.GetDataConnection(RetryMode::Offline); }));
    EXPECT_EQ(20, ui.retryRequests.back().flashCount);
    EXPECT_EQ(3u, ui.stateChanges.size());
}

TEST(DatabaseAccessTest, LockedFileAlwaysOffersTheRetryDialogWithTheReason)
{
    TempFolder folder;
    const QString path = CreateCurrentDatabase(folder.file(QStringLiteral("locked.defl")));
    ScriptedUserInterface ui;
    CDatabaseAccess access(ui, SystemClockInstance(), path);

    QProcess child;
    StartChild(child, QStringLiteral("hold-maintenance-lock"), {path});
    ASSERT_TRUE(child.waitForReadyRead(10000));
    ASSERT_EQ(QByteArray("ready"), child.readLine().trimmed());

    ui.ExpectRetry(RetryAnswer::Cancel);
    EXPECT_EQ(5, UnavailableStatus([&] { access.GetDataConnection(RetryMode::None); }));
    ASSERT_EQ(1u, ui.retryRequests.size());
    const QString message = ui.retryRequests[0].message;
    EXPECT_TRUE(
        message.startsWith(QStringLiteral("The database is currently locked: The database has been locked at ")));
    EXPECT_TRUE(message.contains(QStringLiteral("The reason is: \"compacting on the other workstation\".\r\n"
                                                "For more information please open the file ")));
    EXPECT_TRUE(message.endsWith(AbbreviatedRescueName(RescueFileName(path)) + QStringLiteral(".")));

    child.write("stop\n");
    child.closeWriteChannel();
    ASSERT_TRUE(child.waitForFinished(10000));
    EXPECT_EQ(0, child.exitCode());
    access.GetDataConnection(RetryMode::None);
    EXPECT_TRUE(access.connected());

    // A lock whose maintainer died is undone by the next open, which says so and goes on.
    access.CloseDataConnection();
    ASSERT_TRUE(QFile::rename(path, MaintenanceName(path)));
    QFile rescue(RescueFileName(path));
    ASSERT_TRUE(rescue.open(QIODevice::WriteOnly));
    rescue.write("The database has been locked by a workstation that died.\r\nsteps");
    rescue.close();
    ui.ExpectMessageText(path);
    access.GetDataConnection(RetryMode::None);
    EXPECT_TRUE(access.connected());
    EXPECT_FALSE(QFileInfo::exists(RescueFileName(path)));
    ui.VerifyAllUsed();
}

TEST_F(DatabaseAccessOnDisk, FirstLoadInsertsTheDefaultRowAndSaveWritesItBack)
{
    const std::uint32_t size = access.GetDatabaseFileSize();
    EXPECT_EQ(QFileInfo(path).size(), size);

    EXPECT_EQ(engine::kOk, access.LoadSystemSettings());
    EXPECT_FALSE(access.connected());
    const SystemSettings& loaded = access.settings();
    EXPECT_EQ(5, loaded.BackupsToKeep);
    EXPECT_EQ(size, loaded.SizeAfterLastCompress);
    EXPECT_DOUBLE_EQ(clock.OleNow(), loaded.DateOfLastCompress);
    EXPECT_EQ(7, loaded.CompressEveryNDays);
    EXPECT_EQ(2, loaded.CompressGrowthFactor);
    EXPECT_EQ(LoadString(184), loaded.email_template);
    EXPECT_TRUE(loaded.compressionTool.isEmpty());
    EXPECT_TRUE(loaded.sendmailTool.isEmpty());

    engine::Connection check;
    ASSERT_EQ(engine::kOk, check.Open(path));
    engine::Rowset rows;
    ASSERT_EQ(engine::kOk,
              check.Query(QStringLiteral("SELECT BackupsToKeep, SizeAfterLastCompress, DateOfLastCompress, "
                                         "CompressEveryNDays, CompressGrowthFactor, email_template, "
                                         "compressionTool, sendmailTool FROM SystemSettings"),
                          {}, rows));
    ASSERT_EQ(1u, rows.size());
    rows.MoveFirst();
    EXPECT_EQ(5, rows.Int(0));
    EXPECT_EQ(size, rows.Int(1));
    EXPECT_DOUBLE_EQ(clock.OleNow(), rows.Real(2));
    EXPECT_EQ(7, rows.Int(3));
    EXPECT_EQ(2, rows.Int(4));
    EXPECT_EQ(QString(), rows.Text(5));
    check.Close();

    // A second load finds the row and adds none.
    clock.Advance(3600);
    EXPECT_EQ(engine::kOk, access.LoadSystemSettings());
    EXPECT_EQ(1, QueryNumber(path, QStringLiteral("SELECT count(*) FROM SystemSettings")));
    EXPECT_DOUBLE_EQ(clock.OleNow() - 1.0 / 24, access.settings().DateOfLastCompress);

    // Save keeps an open connection open.
    access.GetDataConnection(RetryMode::None);
    access.settings().BackupsToKeep = 3;
    access.settings().email_template = QStringLiteral("Defect %DEFECTID%");
    access.settings().compressionTool = QString(2500, QLatin1Char('z'));
    access.settings().sendmailTool = QStringLiteral("mailer \"%TO%\"");
    EXPECT_EQ(engine::kOk, access.SaveSystemSettings());
    EXPECT_TRUE(access.connected());
    access.CloseDataConnection();

    CDatabaseAccess other(ui, clock, path);
    EXPECT_EQ(engine::kOk, other.LoadSystemSettings());
    EXPECT_EQ(3, other.settings().BackupsToKeep);
    EXPECT_EQ(QStringLiteral("Defect %DEFECTID%"), other.settings().email_template);
    EXPECT_EQ(1999, other.settings().compressionTool.size()); // the 2000-byte buffer with its terminator
    EXPECT_EQ(QStringLiteral("mailer \"%TO%\""), other.settings().sendmailTool);
    EXPECT_EQ(1, QueryNumber(path, QStringLiteral("SELECT count(*) FROM SystemSettings")));
}

TEST_F(DatabaseAccessOnDisk, CompactionIsDueByAgeOrByGrowth)
{
    ASSERT_EQ(engine::kOk, access.LoadSystemSettings());
    const double size = access.GetDatabaseFileSize();
    const auto setRow = [&](double daysAgo, double sizeAtCompaction, int everyNDays, int factor) {
        Exec(path,
             QStringLiteral("UPDATE SystemSettings SET DateOfLastCompress = ?, SizeAfterLastCompress = ?, "
                            "CompressEveryNDays = ?, CompressGrowthFactor = ?"),
             {clock.OleNow() - daysAgo, static_cast<std::int64_t>(sizeAtCompaction), std::int64_t{everyNDays},
              std::int64_t{factor}});
    };

    setRow(8, size, 7, 2);
    EXPECT_TRUE(access.NeedsCompacting());
    setRow(6, size, 7, 2);
    EXPECT_FALSE(access.NeedsCompacting());
    setRow(6, size / 2 - 1, 7, 2); // more than doubled
    EXPECT_TRUE(access.NeedsCompacting());
    setRow(6, size / 2 + 1, 7, 2);
    EXPECT_FALSE(access.NeedsCompacting());
    setRow(6, size / 1.5 - 1, 7, 1);
    EXPECT_TRUE(access.NeedsCompacting());

    // Factor 9 acts as 4: three times the size, not five and a half.
    setRow(6, size / 3.2, 7, 9);
    EXPECT_TRUE(access.NeedsCompacting());
    EXPECT_EQ(4, access.settings().CompressGrowthFactor);
    setRow(6, size / 2.9, 7, 9);
    EXPECT_FALSE(access.NeedsCompacting());

    // Both rules switched off, and an unset date never counts as old.
    setRow(400, 1, 0, 0);
    EXPECT_FALSE(access.NeedsCompacting());
    Exec(path,
         QStringLiteral("UPDATE SystemSettings SET DateOfLastCompress = 0, SizeAfterLastCompress = ?, "
                        "CompressEveryNDays = 7, CompressGrowthFactor = 2"),
         {static_cast<std::int64_t>(size)});
    EXPECT_FALSE(access.NeedsCompacting());
    EXPECT_FALSE(access.connected());
}

TEST_F(DatabaseAccessOnDisk, CompactAndRepairBacksUpShrinksAndRecordsTheResult)
{
    ASSERT_EQ(engine::kOk, access.LoadSystemSettings());
    Exec(path, QStringLiteral("CREATE TABLE filler (n INTEGER, payload TEXT)"));
    Exec(path,
         QStringLiteral("WITH RECURSIVE k(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM k WHERE n < 2000) "
                        "INSERT INTO filler SELECT n, printf('%.2000c', 'x') FROM k"));
    Exec(path, QStringLiteral("DELETE FROM filler WHERE n > 20"));
    const QByteArray before = [&] {
        QFile file(path);
        file.open(QIODevice::ReadOnly);
        return file.readAll();
    }();
    clock.Advance(86400);

    EXPECT_TRUE(access.CompactAndRepair());
    EXPECT_FALSE(access.connected());
    EXPECT_FALSE(QFileInfo::exists(RescueFileName(path)));
    EXPECT_FALSE(QFileInfo::exists(MaintenanceName(path)));
    QFile backup(path + QStringLiteral(".1"));
    ASSERT_TRUE(backup.open(QIODevice::ReadOnly));
    EXPECT_EQ(before, backup.readAll());
    const qint64 after = QFileInfo(path).size();
    EXPECT_LT(after * 4, before.size());
    EXPECT_EQ(20, QueryNumber(path, QStringLiteral("SELECT count(*) FROM filler")));
    EXPECT_EQ(13, QueryNumber(path, QStringLiteral("SELECT dbversion FROM versiontable")));

    CDatabaseAccess reader(ui, clock, path);
    ASSERT_EQ(engine::kOk, reader.LoadSystemSettings());
    EXPECT_EQ(static_cast<std::uint32_t>(after), reader.settings().SizeAfterLastCompress);
    EXPECT_DOUBLE_EQ(clock.OleNow(), reader.settings().DateOfLastCompress);

    // Five backups by default: the second compaction moves the first backup up.
    EXPECT_TRUE(access.CompactAndRepair());
    EXPECT_TRUE(QFileInfo::exists(path + QStringLiteral(".2")));
    ui.VerifyAllUsed();
}

TEST(DatabaseAccessTest, CompactAndRepairIsRefusedWhileAnotherConnectionHasTheFileOpen)
{
    TempFolder folder;
    const QString path = CreateCurrentDatabase(folder.file(QStringLiteral("busy.defl")));
    ScriptedUserInterface ui;
    CDatabaseAccess access(ui, SystemClockInstance(), path);
    engine::Connection other;
    ASSERT_EQ(engine::kOk, other.Open(path));

    ui.ExpectMessage(160);
    EXPECT_FALSE(access.CompactAndRepair());
    ASSERT_EQ(1u, ui.messages.size());
    EXPECT_EQ(QStringLiteral("The database is currently locked: ") + LoadString(164) + QStringLiteral("."),
              ui.messages[0].text);
    EXPECT_TRUE(QFileInfo::exists(path));
    EXPECT_FALSE(QFileInfo::exists(MaintenanceName(path)));
    EXPECT_FALSE(QFileInfo::exists(RescueFileName(path)));
    EXPECT_FALSE(QFileInfo::exists(path + QStringLiteral(".1")));
    std::int64_t version = 0;
    EXPECT_EQ(engine::kOk, other.QueryInt(QStringLiteral("SELECT dbversion FROM versiontable"), {}, version));
}

TEST(DatabaseAccessTest, AFileGoneOrReplacedTakesTheRetryPathAndRetryWorksOnceItIsBack)
{
    TempFolder folder;
    const QString path = CreateCurrentDatabase(folder.file(QStringLiteral("team.defl")));
    const QString other = CreateCurrentDatabase(folder.file(QStringLiteral("other.defl")));
    const QString moved = folder.file(QStringLiteral("moved.defl"));
    const QString saved = folder.file(QStringLiteral("saved.defl"));
    ASSERT_TRUE(QFile::copy(path, saved));
    RetryingUserInterface ui;
    CDatabaseAccess access(ui, SystemClockInstance(), path);
    const auto putBack = [&] {
        QFile::remove(path);
        QFile::copy(saved, path);
    };
    const std::vector<std::pair<const char*, std::function<void()>>> losses = {
        {"deleted", [&] { QFile::remove(path); }},
        {"renamed away",
         [&] {
             QFile::remove(moved);
             QFile::rename(path, moved);
         }},
        {"replaced",
         [&] {
             QFile::remove(path);
             QFile::copy(other, path);
         }},
        {"made unreadable", [&] { QFile::setPermissions(path, {}); }},
    };
    for (const auto& [name, lose] : losses) {
        SCOPED_TRACE(name);
        if (geteuid() == 0 && std::string(name) == "made unreadable")
            continue; // permissions do not bind root
        QueryNumber(access.GetDataConnection(RetryMode::Prompt), QStringLiteral("SELECT count(*) FROM versiontable"));
        lose();
        EXPECT_EQ(engine::kFailure, UnavailableStatus([&] { access.GetDataConnection(RetryMode::None); }));
        EXPECT_FALSE(access.connected());
        putBack();

        QueryNumber(access.GetDataConnection(RetryMode::Prompt), QStringLiteral("SELECT count(*) FROM versiontable"));
        lose();
        ui.ExpectRetry(RetryAnswer::Retry);
        ui.beforeRetryAnswer = putBack;
        engine::Connection& back = access.GetDataConnection(RetryMode::Prompt);
        EXPECT_EQ(LoadString(152), ui.retryRequests.back().message);
        EXPECT_EQ(1, QueryNumber(back, QStringLiteral("SELECT count(*) FROM versiontable")));
        ui.VerifyAllUsed();
    }

    // A save on the open connection after the file went away waits in the retry dialog and is
    // written into the file once it is back, not into the one that went away.
    engine::Connection& connection = access.GetDataConnection(RetryMode::Prompt);
    ASSERT_EQ(engine::kOk,
              connection.Execute(QStringLiteral("INSERT INTO defectlist (defect_id, subject) VALUES (1, 'a')")));
    engine::UpdatableRowset rowset;
    ASSERT_EQ(engine::kOk,
              rowset.Open(connection, QStringLiteral("SELECT defect_id, subject FROM defectlist"), {},
                          QStringLiteral("defectlist"), QStringLiteral("defect_id")));
    ASSERT_EQ(engine::kOk, rowset.MoveFirst());
    QFile::remove(moved);
    QFile::rename(path, moved);
    ui.ExpectRetry(RetryAnswer::Retry);
    ui.beforeRetryAnswer = [&] { QFile::rename(moved, path); };
    EXPECT_EQ(engine::kOk, rowset.SetData({std::nullopt, engine::Value(QStringLiteral("b"))}));
    EXPECT_EQ(1, QueryNumber(path, QStringLiteral("SELECT count(*) FROM defectlist WHERE subject = 'b'")));
    ui.VerifyAllUsed();
}

TEST(DatabaseAccessTest, AFileAnotherProgramHoldsLockedIsUnreachable)
{
    TempFolder folder;
    const QString path = CreateCurrentDatabase(folder.file(QStringLiteral("held.defl")));
    RetryingUserInterface ui;
    CDatabaseAccess access(ui, SystemClockInstance(), path);
    engine::Connection::SetBusyLimit(std::chrono::milliseconds(300));

    QProcess child;
    StartChild(child, QStringLiteral("hold-exclusive-lock"), {path});
    ASSERT_TRUE(child.waitForReadyRead(10000));
    ui.ExpectRetry(RetryAnswer::Retry);
    ui.beforeRetryAnswer = [&] {
        child.write("stop\n");
        child.closeWriteChannel();
        child.waitForFinished(10000);
    };
    access.GetDataConnection(RetryMode::Prompt);
    engine::Connection::SetBusyLimit(std::chrono::seconds(30));
    EXPECT_TRUE(access.connected());
    ASSERT_EQ(1u, ui.retryRequests.size());
    EXPECT_EQ(FormatString(kHeldLockedText, 1), ui.retryRequests[0].message) << "the cause, not the network";
    ui.VerifyAllUsed();
}

TEST(DatabaseAccessTest, ASaveThatMeetsAReadLockBeyondTheBusyLimitWaitsInTheRetryDialogAndSavesOnce)
{
    TempFolder folder;
    const QString path = CreateCurrentDatabase(folder.file(QStringLiteral("read.defl")));
    RetryingUserInterface ui;
    CDatabaseAccess access(ui, SystemClockInstance(), path);
    engine::Connection& connection = access.GetDataConnection(RetryMode::Prompt);
    engine::Connection::SetBusyLimit(std::chrono::milliseconds(300));

    // The write begins while the reader holds its lock; only its COMMIT has to wait for it.
    QProcess child;
    StartChild(child, QStringLiteral("hold-read-lock"), {path});
    ASSERT_TRUE(child.waitForReadyRead(10000));
    ui.ExpectRetry(RetryAnswer::Retry);
    ui.beforeRetryAnswer = [&] {
        child.write("stop\n");
        child.closeWriteChannel();
        child.waitForFinished(10000);
    };
    const long status = connection.Execute(QStringLiteral("INSERT INTO defectlist (subject) VALUES ('saved')"));
    engine::Connection::SetBusyLimit(std::chrono::seconds(30));
    EXPECT_EQ(engine::kOk, status) << "no raw failure reaches the caller";
    EXPECT_EQ(0, child.exitCode());
    ASSERT_EQ(1u, ui.retryRequests.size());
    EXPECT_EQ(FormatString(kHeldLockedText, 1), ui.retryRequests[0].message);
    EXPECT_EQ(1, QueryNumber(path, QStringLiteral("SELECT count(*) FROM defectlist WHERE subject = 'saved'")));
    ui.VerifyAllUsed();

    // The form's save goes the same way: its update runs again once the reader is done.
    engine::UpdatableRowset rowset;
    ASSERT_EQ(engine::kOk,
              rowset.Open(access.GetDataConnection(RetryMode::Prompt),
                          QStringLiteral("SELECT defect_id, subject FROM defectlist"), {}, QStringLiteral("defectlist"),
                          QStringLiteral("defect_id")));
    ASSERT_EQ(engine::kOk, rowset.MoveFirst());
    StartChild(child, QStringLiteral("hold-read-lock"), {path});
    ASSERT_TRUE(child.waitForReadyRead(10000));
    engine::Connection::SetBusyLimit(std::chrono::milliseconds(300));
    ui.ExpectRetry(RetryAnswer::Retry);
    const long updated = rowset.SetData({std::nullopt, engine::Value(QStringLiteral("edited"))});
    engine::Connection::SetBusyLimit(std::chrono::seconds(30));
    EXPECT_EQ(engine::kOk, updated);
    EXPECT_EQ(2u, ui.retryRequests.size());
    EXPECT_EQ(1, QueryNumber(path, QStringLiteral("SELECT count(*) FROM defectlist WHERE subject = 'edited'")));
    ui.VerifyAllUsed();

    // Cancelled, nothing is written and the caller hears that the file was not available.
    StartChild(child, QStringLiteral("hold-read-lock"), {path});
    ASSERT_TRUE(child.waitForReadyRead(10000));
    engine::Connection::SetBusyLimit(std::chrono::milliseconds(300));
    ui.beforeRetryAnswer = nullptr;
    ui.ExpectRetry(RetryAnswer::Cancel);
    EXPECT_THROW(access.GetDataConnection(RetryMode::Prompt)
                     .Execute(QStringLiteral("INSERT INTO defectlist (subject) VALUES ('cancelled')")),
                 database_unavailable);
    engine::Connection::SetBusyLimit(std::chrono::seconds(30));
    child.write("stop\n");
    child.closeWriteChannel();
    child.waitForFinished(10000);
    EXPECT_EQ(0, QueryNumber(path, QStringLiteral("SELECT count(*) FROM defectlist WHERE subject = 'cancelled'")));
    ui.VerifyAllUsed();
}

TEST(DatabaseAccessTest, AFileOfMoreThanFourGigabytesCountsAsTheLargestSizeTheSettingsHold)
{
    TempFolder folder;
    QFile large(folder.file(QStringLiteral("large.defl")));
    // Sparse: no disk space taken.
    ASSERT_TRUE(large.open(QIODevice::WriteOnly) && large.resize(qint64{5} << 30));
    large.close();
    ScriptedUserInterface ui;
    CDatabaseAccess access(ui, SystemClockInstance(), large.fileName());
    EXPECT_EQ(access.GetDatabaseFileSize(), std::numeric_limits<std::uint32_t>::max());
}
