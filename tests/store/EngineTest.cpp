// The engine on real files: commands and rowsets, concurrency checks, compaction, the presence lock, contention.

#include "engine/Connection.h"
#include "engine/EngineStatus.h"
#include "engine/UpdatableRowset.h"
#include "platform/OleDate.h"
#include "platform/PresenceLock.h"
#include "support/ChildProcess.h"
#include "support/FullDisk.h"
#include "support/SaveLoop.h"
#include "support/TempFolder.h"
#include "support/TestDatabase.h"

#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>

#include <iostream>
#include <string>
#include <utility>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

using namespace engine;

namespace {

QString NewDatabase(const TempFolder& folder, const QString& name = QStringLiteral("test.defl"))
{
    const QString path = folder.file(name);
    EXPECT_EQ(Connection::CreateFile(path), kOk);
    Connection connection;
    EXPECT_EQ(connection.Open(path), kOk);
    EXPECT_EQ(connection.Execute(QStringLiteral("CREATE TABLE item (item_id INTEGER PRIMARY KEY AUTOINCREMENT, "
                                                "name TEXT NOT NULL, amount INTEGER, stamp REAL)")),
              kOk);
    return path;
}

int HoldSharedPresence(const QStringList& arguments)
{
    Connection connection;
    if (connection.Open(arguments.value(0)) != kOk)
        return 2;
    std::cout << "open" << std::endl;
    // Keeps the file open until the parent closes our input.
    std::string line;
    std::getline(std::cin, line);
    return 0;
}
REGISTER_CHILD_ACTION("hold-shared-presence", HoldSharedPresence);

struct HeldWait {
    long status = kOk; // the holder's transaction
    bool seen = false; // whether `seen` held while the waiter waited
};

// `holder` takes the write lock while `waiter` tries to insert 'waited', until `seen` says the
// wait shows (10 s at most), then inserts 'held' and commits; `afterCommit` runs before the waiter
// is joined.
HeldWait HoldWhileAnotherWaits(Connection& holder, Connection& waiter, const std::function<bool()>& seen,
                               const std::function<void()>& afterCommit = {})
{
    HeldWait result;
    std::thread second;
    // A failed assertion returns early; a thread left unjoined would end the whole program.
    const auto joinSecond = qScopeGuard([&] {
        if (second.joinable())
            second.join();
    });
    result.status = holder.WriteTransaction([&] {
        second = std::thread([&] { waiter.Execute(QStringLiteral("INSERT INTO item (name) VALUES ('waited')")); });
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!(result.seen = seen()) && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return holder.Execute(QStringLiteral("INSERT INTO item (name) VALUES ('held')"));
    });
    if (result.status == kOk && afterCommit)
        afterCommit();
    return result;
}

} // namespace

TEST(Engine, CreatesOpensAndRefusesWhatItShould)
{
    TempFolder folder;
    const QString path = NewDatabase(folder);
    EXPECT_EQ(Connection::CreateFile(path), kDataSourceExists);

    Connection missing;
    EXPECT_EQ(missing.Open(folder.file(QStringLiteral("absent.defl"))), kFailure);
    EXPECT_FALSE(missing.IsOpen());
    EXPECT_FALSE(QFileInfo::exists(folder.file(QStringLiteral("absent.defl"))));
    EXPECT_FALSE(missing.TakeErrorRecords().empty());
}

TEST(Engine, CommandsRowsetsAndStatuses)
{
    TempFolder folder;
    Connection connection;
    ASSERT_EQ(connection.Open(NewDatabase(folder)), kOk);

    EXPECT_EQ(connection.Execute(QStringLiteral("INSERT INTO item (name, amount) VALUES (?, ?)"),
                                 {QStringLiteral("Müller's \"quote\""), std::int64_t{5}}),
              kOk);
    EXPECT_EQ(connection.LastInsertId(), 1);

    Rowset rows;
    ASSERT_EQ(connection.Query(QStringLiteral("SELECT name, amount, stamp FROM item WHERE amount = ?"),
                               {std::int64_t{5}}, rows),
              kOk);
    ASSERT_EQ(rows.MoveFirst(), kOk);
    EXPECT_EQ(rows.Text(0), QStringLiteral("Müller's \"quote\""));
    EXPECT_EQ(rows.Int(1), 5);
    EXPECT_TRUE(rows.IsNull(2));
    EXPECT_EQ(rows.MoveNext(), kEndOfRowset);
    EXPECT_FALSE(Failed(kEndOfRowset));

    ASSERT_EQ(connection.Query(QStringLiteral("SELECT name FROM item WHERE amount = 99"), {}, rows), kOk);
    EXPECT_EQ(rows.MoveFirst(), kEndOfRowset);

    EXPECT_EQ(connection.Execute(QStringLiteral("SELEKT nonsense")), kFaultyCommand);
    const auto records = connection.TakeErrorRecords();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].statement, QStringLiteral("SELEKT nonsense"));
    EXPECT_FALSE(records[0].message.isEmpty());

    EXPECT_EQ(connection.Execute(QStringLiteral("INSERT INTO item (item_id, name) VALUES (1, 'again')")),
              kIntegrityViolation);

    // A second statement in one command would be dropped unseen: the command is refused whole.
    EXPECT_EQ(connection.Execute(QStringLiteral("INSERT INTO item (name) VALUES ('x'); DELETE FROM item")),
              kFaultyCommand);
    EXPECT_EQ(connection.Execute(QStringLiteral("INSERT INTO item (name) VALUES ('y'); -- done\n")), kOk);
    std::int64_t items = 0;
    ASSERT_EQ(connection.QueryInt(QStringLiteral("SELECT count(*) FROM item"), {}, items), kOk);
    EXPECT_EQ(items, 2);

    std::int64_t stamp = 0;
    ASSERT_EQ(connection.QueryInt(QStringLiteral("SELECT CAST(now() AS INTEGER)"), {}, stamp), kOk);
    EXPECT_NEAR(static_cast<double>(stamp), OleDateNow(), 1.0);
}

TEST(Engine, UpdatableRowsetDetectsChangesOfAnotherConnection)
{
    TempFolder folder;
    const QString path = NewDatabase(folder);
    Connection first;
    Connection second;
    ASSERT_EQ(first.Open(path), kOk);
    ASSERT_EQ(second.Open(path), kOk);
    ASSERT_EQ(first.Execute(QStringLiteral("INSERT INTO item (name, amount, stamp) VALUES ('a', 1, 46000.25)")), kOk);

    const QString select = QStringLiteral("SELECT item_id, name, amount, stamp FROM item WHERE item_id = ?");
    UpdatableRowset mine;
    UpdatableRowset theirs;
    ASSERT_EQ(mine.Open(first, select, {std::int64_t{1}}, QStringLiteral("item"), QStringLiteral("item_id")), kOk);
    ASSERT_EQ(theirs.Open(second, select, {std::int64_t{1}}, QStringLiteral("item"), QStringLiteral("item_id")), kOk);
    ASSERT_EQ(mine.MoveFirst(), kOk);
    ASSERT_EQ(theirs.MoveFirst(), kOk);

    EXPECT_EQ(theirs.SetData({std::nullopt, Value(QStringLiteral("theirs")), std::nullopt, std::nullopt}), kOk);
    EXPECT_EQ(mine.SetData({std::nullopt, Value(QStringLiteral("mine")), Value(std::int64_t{2}), std::nullopt}),
              kConcurrencyViolation);

    Rowset check;
    ASSERT_EQ(first.Query(QStringLiteral("SELECT name, amount FROM item"), {}, check), kOk);
    ASSERT_EQ(check.MoveFirst(), kOk);
    EXPECT_EQ(check.Text(0), QStringLiteral("theirs"));
    EXPECT_EQ(check.Int(1), 1);

    // Writing again through the rowset that made the last change succeeds: it remembers its own write.
    EXPECT_EQ(theirs.SetData({std::nullopt, std::nullopt, Value(std::int64_t{3}), std::nullopt}), kOk);

    ASSERT_EQ(theirs.Delete(), kOk);
    EXPECT_EQ(mine.SetData({std::nullopt, Value(QStringLiteral("late")), std::nullopt, std::nullopt}), kDeletedRow);
}

TEST(Engine, UpdatableRowsetLetsOthersChangeUncomparedColumns)
{
    TempFolder folder;
    const QString path = NewDatabase(folder);
    Connection first;
    Connection second;
    ASSERT_EQ(first.Open(path), kOk);
    ASSERT_EQ(second.Open(path), kOk);
    ASSERT_EQ(first.Execute(QStringLiteral("INSERT INTO item (name, amount, stamp) VALUES ('a', 1, 46000.25)")), kOk);

    const QString select = QStringLiteral("SELECT item_id, name, amount, stamp FROM item WHERE item_id = ?");
    UpdatableRowset mine;
    mine.SetUncomparedColumns({QStringLiteral("STAMP")});
    ASSERT_EQ(mine.Open(first, select, {std::int64_t{1}}, QStringLiteral("item"), QStringLiteral("item_id")), kOk);
    ASSERT_EQ(mine.MoveFirst(), kOk);

    // Another connection's stamp is no conflict; the write leaves it alone or replaces it.
    ASSERT_EQ(second.Execute(QStringLiteral("UPDATE item SET stamp = 47000.5")), kOk);
    EXPECT_EQ(mine.SetData({std::nullopt, Value(QStringLiteral("mine")), std::nullopt, std::nullopt}), kOk);
    ASSERT_EQ(second.Execute(QStringLiteral("UPDATE item SET stamp = 48000.5")), kOk);
    EXPECT_EQ(mine.SetData({std::nullopt, std::nullopt, std::nullopt, Value(49000.5)}), kOk);
    Rowset check;
    ASSERT_EQ(first.Query(QStringLiteral("SELECT name, stamp FROM item"), {}, check), kOk);
    ASSERT_EQ(check.MoveFirst(), kOk);
    EXPECT_EQ(check.Text(0), QStringLiteral("mine"));
    EXPECT_EQ(check.Real(1), 49000.5);

    // Every other column still counts, also after the rowset is opened again.
    ASSERT_EQ(mine.Open(first, select, {std::int64_t{1}}, QStringLiteral("item"), QStringLiteral("item_id")), kOk);
    ASSERT_EQ(mine.MoveFirst(), kOk);
    ASSERT_EQ(second.Execute(QStringLiteral("UPDATE item SET amount = 7, stamp = 50000.5")), kOk);
    EXPECT_EQ(mine.SetData({std::nullopt, Value(QStringLiteral("late")), std::nullopt, std::nullopt}),
              kConcurrencyViolation);
}

TEST(Engine, UpdatableRowsetWritesOnlyChangedValuesButComparesAllItRead)
{
    TempFolder folder;
    const QString path = NewDatabase(folder);
    Connection first;
    Connection second;
    ASSERT_EQ(first.Open(path), kOk);
    ASSERT_EQ(second.Open(path), kOk);
    ASSERT_EQ(first.Execute(QStringLiteral("INSERT INTO item (name, amount, stamp) VALUES ('a', 1, 46000.25)")), kOk);
    const QString select = QStringLiteral("SELECT item_id, name, amount, stamp FROM item WHERE item_id = ?");
    // The columns an update sets, as the engine's triggers see them.
    ASSERT_EQ(first.Execute(QStringLiteral("CREATE TABLE written (name TEXT)")), kOk);
    for (const char* column : {"name", "amount", "stamp"})
        ASSERT_EQ(first.Execute(QStringLiteral("CREATE TRIGGER set_%1 AFTER UPDATE OF %1 ON item BEGIN "
                                               "INSERT INTO written VALUES ('%1'); END")
                                    .arg(QLatin1String(column))),
                  kOk);
    UpdatableRowset mine;
    mine.SetUncomparedColumns({QStringLiteral("stamp")});
    ASSERT_EQ(mine.Open(first, select, {std::int64_t{1}}, QStringLiteral("item"), QStringLiteral("item_id")), kOk);
    ASSERT_EQ(mine.MoveFirst(), kOk);

    // The whole row goes back with one value edited: the amount as read is not written again; the
    // uncompared stamp, which another connection changed meanwhile, is written as given.
    ASSERT_EQ(second.Execute(QStringLiteral("UPDATE item SET stamp = 47000.5")), kOk);
    ASSERT_EQ(first.Execute(QStringLiteral("DELETE FROM written")), kOk);
    EXPECT_EQ(mine.SetData({std::nullopt, Value(QStringLiteral("mine")), Value(std::int64_t{1}), Value(46000.25)}),
              kOk);
    Rowset check;
    ASSERT_EQ(
        first.Query(QStringLiteral("SELECT group_concat(name, ',') FROM (SELECT name FROM written ORDER BY name)"), {},
                    check),
        kOk);
    ASSERT_EQ(check.MoveFirst(), kOk);
    EXPECT_EQ(check.Text(0), QStringLiteral("name,stamp"));
    ASSERT_EQ(first.Query(QStringLiteral("SELECT name, amount, stamp FROM item"), {}, check), kOk);
    ASSERT_EQ(check.MoveFirst(), kOk);
    EXPECT_EQ(check.Text(0), QStringLiteral("mine"));
    EXPECT_EQ(check.Int(1), 1);
    EXPECT_EQ(check.Real(2), 46000.25);

    // A value left as read still counts for the conflict, and a row written back unchanged too.
    ASSERT_EQ(second.Execute(QStringLiteral("UPDATE item SET amount = 5")), kOk);
    EXPECT_EQ(mine.SetData({std::nullopt, Value(QStringLiteral("again")), Value(std::int64_t{1}), std::nullopt}),
              kConcurrencyViolation);
    EXPECT_EQ(mine.SetData({std::nullopt, Value(QStringLiteral("mine")), Value(std::int64_t{1}), std::nullopt}),
              kConcurrencyViolation);
    ASSERT_EQ(first.Query(QStringLiteral("SELECT name, amount FROM item"), {}, check), kOk);
    ASSERT_EQ(check.MoveFirst(), kOk);
    EXPECT_EQ(check.Text(0), QStringLiteral("mine"));
    EXPECT_EQ(check.Int(1), 5);
}

TEST(Engine, AConnectionWaitingForTheWriteLockSaysSoUntilItGotIt)
{
    TempFolder folder;
    const QString path = NewDatabase(folder);
    Connection holder;
    Connection waiter;
    ASSERT_EQ(holder.Open(path), kOk);
    ASSERT_EQ(waiter.Open(path), kOk);
    PresenceLock probe;
    ASSERT_TRUE(probe.Acquire(path, PresenceLock::Kind::Shared));
    EXPECT_FALSE(probe.OthersWaiting());
    // The probe's own flag is not somebody else's.
    probe.SetWaiting(true);
    EXPECT_FALSE(probe.OthersWaiting());
    probe.SetWaiting(false);

    const HeldWait held = HoldWhileAnotherWaits(holder, waiter, [&] { return probe.OthersWaiting(); });
    ASSERT_EQ(held.status, kOk);
    EXPECT_TRUE(held.seen);
    EXPECT_FALSE(probe.OthersWaiting()) << "the flag outlived the wait";
    std::int64_t items = 0;
    ASSERT_EQ(holder.QueryInt(QStringLiteral("SELECT count(*) FROM item"), {}, items), kOk);
    EXPECT_EQ(items, 2);
}

TEST(Engine, AWriterThatJustCommittedLetsTheWriterWaitingLongerGoFirst)
{
    TempFolder folder;
    const QString path = NewDatabase(folder);
    Connection holder;
    Connection waiter;
    ASSERT_EQ(holder.Open(path), kOk);
    ASSERT_EQ(waiter.Open(path), kOk);
    PresenceLock probe;
    ASSERT_TRUE(probe.Acquire(path, PresenceLock::Kind::Shared));
    // Its own level is not somebody else's, and it goes with the wait.
    probe.SetWaitLevel(3);
    EXPECT_FALSE(probe.LongerWaiterThan(-1));
    probe.SetWaitLevel(-1);

    // Long enough that the waiter's level stays above the committer's while it comes again.
    const HeldWait held = HoldWhileAnotherWaits(
        holder, waiter, [&] { return probe.LongerWaiterThan(49); },
        [&] { ASSERT_EQ(holder.Execute(QStringLiteral("INSERT INTO item (name) VALUES ('again')")), kOk); });
    ASSERT_EQ(held.status, kOk);
    EXPECT_TRUE(held.seen);
    EXPECT_FALSE(probe.LongerWaiterThan(-1)) << "the level outlived the wait";
    Rowset order;
    ASSERT_EQ(holder.Query(QStringLiteral("SELECT name FROM item ORDER BY item_id"), {}, order), kOk);
    QStringList names;
    for (long status = order.MoveFirst(); status == kOk; status = order.MoveNext())
        names << order.Text(0);
    EXPECT_EQ(names.join(QLatin1Char(' ')).toStdString(), "held waited again");
}

// A waiter whose workstation died keeps its level where a file share keeps its lock; the others
// stop letting it go first after a moment instead of waiting as long as it had.
TEST(Engine, AWaiterThatNoLongerMovesUpHoldsBackOtherWritersOnlyAMoment)
{
    TempFolder folder;
    const QString path = NewDatabase(folder);
    Connection writer;
    ASSERT_EQ(writer.Open(path), kOk);
    PresenceLock stale;
    ASSERT_TRUE(stale.Acquire(path, PresenceLock::Kind::Shared));
    stale.SetWaitLevel(PresenceLock::kWaitLevels - 1); // about four seconds of waiting, frozen
    const auto began = std::chrono::steady_clock::now();
    ASSERT_EQ(writer.Execute(QStringLiteral("INSERT INTO item (name) VALUES ('not held back')")), kOk);
    EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::milliseconds(3000));
}

TEST(Engine, UpdatableRowsetInsertsAndDeletesWhileWalking)
{
    TempFolder folder;
    Connection connection;
    ASSERT_EQ(connection.Open(NewDatabase(folder)), kOk);
    for (const char* name : {"a", "b", "c"})
        ASSERT_EQ(connection.Execute(QStringLiteral("INSERT INTO item (name) VALUES (?)"), {QString::fromUtf8(name)}),
                  kOk);

    UpdatableRowset rows;
    ASSERT_EQ(rows.Open(connection, QStringLiteral("SELECT item_id, name FROM item ORDER BY item_id"), {},
                        QStringLiteral("item"), QStringLiteral("item_id")),
              kOk);
    ASSERT_EQ(rows.MoveFirst(), kOk);
    ASSERT_EQ(rows.MoveNext(), kOk);
    ASSERT_EQ(rows.Delete(), kOk); // b
    ASSERT_EQ(rows.MoveNext(), kOk);
    EXPECT_EQ(rows.Text(1), QStringLiteral("c"));
    EXPECT_EQ(rows.Delete(), kOk);
    EXPECT_EQ(rows.MoveNext(), kEndOfRowset);

    ASSERT_EQ(rows.Insert({std::nullopt, Value(QStringLiteral("d"))}), kOk);
    EXPECT_EQ(rows.Int(0), 4);
    EXPECT_EQ(rows.LastInsertId(), 4);
    EXPECT_EQ(rows.Insert({Value(std::int64_t{1}), Value(QStringLiteral("dup"))}), kIntegrityViolation);

    Rowset all;
    ASSERT_EQ(connection.Query(QStringLiteral("SELECT group_concat(name, '') FROM item"), {}, all), kOk);
    ASSERT_EQ(all.MoveFirst(), kOk);
    EXPECT_EQ(all.Text(0), QStringLiteral("ad"));
}

TEST(Engine, CompactsIntoANewFileAndLeavesTheSource)
{
    TempFolder folder;
    const QString path = NewDatabase(folder);
    {
        Connection connection;
        ASSERT_EQ(connection.Open(path), kOk);
        ASSERT_EQ(connection.Execute(
                      QStringLiteral("INSERT INTO item (name) SELECT 'x' FROM (WITH RECURSIVE n(i) AS "
                                     "(SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 2000) SELECT i FROM n)")),
                  kOk);
        ASSERT_EQ(connection.Execute(QStringLiteral("DELETE FROM item WHERE item_id > 10")), kOk);
    }
    const QString compacted = folder.file(QStringLiteral("compact.defl"));
    ASSERT_EQ(Connection::CompactInto(path, compacted), kOk);
    EXPECT_LT(QFileInfo(compacted).size(), QFileInfo(path).size());
    EXPECT_EQ(Connection::CompactInto(path, compacted), kDataSourceExists);

    Connection reopened;
    ASSERT_EQ(reopened.Open(compacted), kOk);
    std::int64_t count = 0;
    ASSERT_EQ(reopened.QueryInt(QStringLiteral("SELECT COUNT(*) FROM item"), {}, count), kOk);
    EXPECT_EQ(count, 10);
}

TEST(Engine, PresenceLockSeesOpenConnectionsInThisAndOtherProcesses)
{
    TempFolder folder;
    const QString path = NewDatabase(folder);
    {
        Connection connection;
        ASSERT_EQ(connection.Open(path), kOk);
        PresenceLock maintenance;
        EXPECT_FALSE(maintenance.Acquire(path, PresenceLock::Kind::Exclusive));
    }
    PresenceLock maintenance;
    ASSERT_TRUE(maintenance.Acquire(path, PresenceLock::Kind::Exclusive));
    Connection blocked;
    EXPECT_EQ(blocked.Open(path), kFailure);
    maintenance.Release();

    QProcess workstation;
    StartChild(workstation, QStringLiteral("hold-shared-presence"), {path});
    ASSERT_TRUE(workstation.waitForReadyRead(10000));
    EXPECT_EQ(workstation.readLine().trimmed(), QByteArray("open"));
    PresenceLock probe;
    EXPECT_FALSE(probe.Acquire(path, PresenceLock::Kind::Exclusive))
        << "the other process's open connection was not seen";
    workstation.closeWriteChannel();
    ASSERT_TRUE(workstation.waitForFinished(10000));
    EXPECT_EQ(workstation.exitCode(), 0);
    EXPECT_TRUE(maintenance.Acquire(path, PresenceLock::Kind::Exclusive));
}

TEST(Engine, EightWorkstationsSavingAtOnceLoseNothing)
{
    TempFolder folder;
    const QString path = CreateCurrentDatabase(folder.file(QStringLiteral("shared.defl")));
    AddCounterDefects(path, 8);
    // Without disk syncs: the test is about locks, not about the disk.
    const SaveLoopResult result = RunSaveLoops(path, 8, 100, QStringLiteral("synchronous=OFF"));
    EXPECT_EQ(result.failedLoads, 0);
    EXPECT_EQ(result.failedSaves, 0);
    EXPECT_EQ(QueryNumber(path, QStringLiteral("SELECT count(*) FROM defectlist WHERE subject = '100'")), 8);
    Connection connection;
    ASSERT_EQ(connection.Open(path), kOk);
    Rowset check;
    ASSERT_EQ(connection.Query(QStringLiteral("PRAGMA integrity_check"), {}, check), kOk);
    ASSERT_EQ(check.MoveFirst(), kOk);
    EXPECT_EQ(check.Text(0), QStringLiteral("ok"));
}

// The user reads what a failure means, not the engine's words; the kind and the file travel
// with the records, and only an unreachable file takes the retry path.
TEST(Engine, FailuresTellWhatTheyMeanAndNameTheirFile)
{
    TempFolder folder;
    const QString text = folder.file(QStringLiteral("notes.defl"));
    {
        QFile file(text);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(4096, 'x'));
    }
    const QString whole = NewDatabase(folder);
    {
        Connection filler;
        ASSERT_EQ(filler.Open(whole), kOk);
        ASSERT_EQ(
            filler.Execute(QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE "
                                          "i < 500) INSERT INTO item (name) SELECT printf('%.500c', 'n') FROM n")),
            kOk);
    }
    const QString cut = folder.file(QStringLiteral("cut.defl"));
    ASSERT_TRUE(QFile::copy(whole, cut));
    ASSERT_TRUE(QFile::resize(cut, QFileInfo(cut).size() / 2));

    for (const auto& [path, kind] : {std::pair{text, FailureKind::NotADatabase}, {cut, FailureKind::Damaged}}) {
        SCOPED_TRACE(path.toStdString());
        Connection connection;
        ASSERT_EQ(connection.Open(path), kOk);
        std::int64_t count = 0;
        EXPECT_TRUE(Failed(connection.QueryInt(QStringLiteral("SELECT count(*) FROM item"), {}, count)));
        // Waiting for such a file changes nothing: it is not lost, so no retry dialog comes.
        EXPECT_FALSE(connection.lost());
        ASSERT_EQ(connection.errorRecords().size(), 1u);
        EXPECT_EQ(connection.errorRecords().front().kind, kind);
        EXPECT_EQ(connection.errorRecords().front().file, path);
    }

    Connection closed;
    EXPECT_TRUE(Failed(closed.Execute(QStringLiteral("BEGIN IMMEDIATE"))));
    ASSERT_EQ(closed.errorRecords().size(), 1u);
    EXPECT_EQ(closed.errorRecords().front().kind, FailureKind::Unreachable);
}

TEST(Engine, AFullDiskFailsTheWriteWithItsKindAndTheFileStaysUsable)
{
    TempFolder folder;
    const QString path = NewDatabase(folder);
    FullDisk disk(folder.path());
    Connection connection;
    ASSERT_EQ(connection.Open(path), kOk);
    disk.SetFull(true);
    EXPECT_TRUE(Failed(connection.Execute(QStringLiteral("INSERT INTO item (name) VALUES ('lost')"))));
    EXPECT_GT(disk.refusedWrites(), 0);
    ASSERT_EQ(connection.errorRecords().size(), 1u);
    EXPECT_EQ(connection.errorRecords().front().kind, FailureKind::DiskFull);
    EXPECT_EQ(connection.errorRecords().front().file, path);
    EXPECT_FALSE(connection.lost());

    disk.SetFull(false);
    EXPECT_EQ(connection.Execute(QStringLiteral("INSERT INTO item (name) VALUES ('kept')")), kOk);
    EXPECT_EQ(QueryNumber(connection, QStringLiteral("SELECT count(*) FROM item")), 1);
    EXPECT_EQ(
        QueryNumber(connection, QStringLiteral("SELECT count(*) FROM pragma_quick_check WHERE quick_check <> 'ok'")),
        0);
}

// A writer killed after it created its journal but before it wrote into it leaves an empty file
// that the engine neither replays nor removes; opening removes it, but never a journal of a
// writer at work, even an empty one.
TEST(Engine, OpeningRemovesAJournalThatHoldsNoChangeButNeverAWorkingWritersJournal)
{
    TempFolder folder;
    const QString path = NewDatabase(folder);
    const QString journal = Connection::JournalOf(path);
    const auto writeJournal = [&](const QByteArray& content) {
        QFile file(journal);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(content);
    };
    for (const QByteArray& empty : {QByteArray(), QByteArray(512, '\0')}) {
        writeJournal(empty);
        Connection connection;
        ASSERT_EQ(connection.Open(path), kOk);
        EXPECT_FALSE(QFileInfo::exists(journal)) << empty.size();
        EXPECT_EQ(connection.Execute(QStringLiteral("INSERT INTO item (name) VALUES ('after')")), kOk);
    }

    Connection writer;
    ASSERT_EQ(writer.Open(path), kOk);
    ASSERT_EQ(writer.Execute(QStringLiteral("BEGIN IMMEDIATE")), kOk);
    writeJournal(QByteArray());
    {
        Connection other;
        ASSERT_EQ(other.Open(path), kOk);
        EXPECT_TRUE(QFileInfo::exists(journal));
    }
    QFile::remove(journal);
    ASSERT_EQ(writer.Execute(QStringLiteral("INSERT INTO item (name) VALUES ('at work')")), kOk);
    EXPECT_TRUE(QFileInfo::exists(journal));
    {
        Connection other;
        ASSERT_EQ(other.Open(path), kOk);
        EXPECT_TRUE(QFileInfo::exists(journal));
    }
    ASSERT_EQ(writer.Execute(QStringLiteral("COMMIT")), kOk);
    EXPECT_EQ(QueryNumber(path, QStringLiteral("SELECT count(*) FROM item")), 3);
}
