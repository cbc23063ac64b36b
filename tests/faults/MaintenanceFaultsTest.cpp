// The maintenance of the shared file under failing file calls: creating a database, converting
// one of version 4, repairing one, and the backups that a due compaction at the open rotates.
#include "FaultSession.h"

#include "store/AttachmentPaths.h"
#include "store/Compaction.h"
#include "store/DatabaseAccess.h"
#include "store/DatabaseAdministration.h"
#include "store/MaintenanceLock.h"
#include "store/OpenDatabase.h"
#include "store/fixtures/OldVersionDatabase.h"

namespace {

using namespace fault;

// A conversion runs a transaction per statement of its scripts: its runs try this many of the
// calls of each kind.
constexpr int kManyCalls = 24;

// Stamps of the current time that a conversion writes.
const QStringList kTimeStamps = {QStringLiteral("lastread"), QStringLiteral("dateLastSaved")};

bool Discard(const QString& path)
{
    return QFileInfo(path).isDir() ? QDir(path).removeRecursively() : QFile::remove(path);
}

// A backup's text, or "<database>" for a database file.
QString Content(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("<missing>");
    const QByteArray bytes = file.readAll();
    return bytes.startsWith("SQLite format 3") ? QStringLiteral("<database>") : QString::fromUtf8(bytes);
}

bool WriteText(const QString& path, const QString& text)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(text.toUtf8()) >= 0;
}

class MaintenanceFaults : public ::testing::Test {
protected:
    MaintenanceFaults() : folder_(ScratchRoot() + QStringLiteral("/vellacord-faults-XXXXXX"))
    {
        Install();
        path_ = folder_.filePath(QStringLiteral("team.defl"));
    }

    // Nothing at the run's path: no database, journal, backups, lock or leftovers.
    void Clear()
    {
        for (const QString& suffix :
             {QString(), QStringLiteral("-journal"), QStringLiteral(".bak"), QStringLiteral(".bak.partial"),
              QStringLiteral(".1"), QStringLiteral(".2"), QStringLiteral(".3"), QStringLiteral(".4")})
            QFile::remove(path_ + suffix);
        QFile::remove(RescueFileName(path_));
        QFile::remove(MaintenanceName(path_));
        for (const QString& leftover : CompactionLeftovers(path_))
            QFile::remove(leftover);
        for (const QString& name :
             QDir(folder_.path()).entryList({QStringLiteral(".team.defl*")}, QDir::Files | QDir::Hidden))
            QFile::remove(folder_.filePath(name));
        QDir(AttachmentRootFor(path_)).removeRecursively();
    }

    // The program opens the file as the user starts it, asking nothing but `allowed`; the
    // administration offers conversion (and its questions) when the file is old.
    bool OpenWithoutHuman(Trial& run, const std::map<int, Answer>& allowed = {})
    {
        FaultUserInterface ui;
        for (const auto& [id, answer] : allowed)
            ui.Answer(id, answer);
        ManualClock clock;
        CDatabaseAccess access(ui, clock);
        DatabaseAdministration administration(ui, clock, Discard);
        OpenState state;
        const bool opened = OpenDatabase(access, path_, administration, state);
        access.CloseDataConnection();
        if (!opened)
            run.Break(Broken::NextOpen, "the program does not open the file");
        if (ui.retryDialogs > 0 || ui.administrationDialogs > 0)
            run.Break(Broken::NextOpen, "the open waits for the file or asks for another one");
        for (const MessageRequest& message : ui.messages) {
            if (!allowed.contains(message.stringId))
                run.Break(Broken::NextOpen, "the open says: " + message.text.left(200).toStdString());
        }
        return opened;
    }

    // The checks every maintenance run ends with: clear texts, a sound file, no lock left behind.
    void CheckAfter(Trial& run, const FaultUserInterface& ui, bool succeeded)
    {
        run.CheckTexts(ui, succeeded);
        if (QFileInfo::exists(RescueFileName(path_)) || QFileInfo::exists(MaintenanceName(path_)))
            run.Break(Broken::NextOpen, "the file is left locked for maintenance");
    }

    // Runs one maintenance action on path_ with the run's faults armed, and checks what it left.
    bool RunArmed(Trial& run, const std::function<bool(DatabaseAdministration&, const QString&)>& action)
    {
        bool succeeded = false;
        FaultUserInterface ui;
        ManualClock clock;
        DatabaseAdministration administration(ui, clock, Discard);
        {
            const Armed armed(run.plan);
            RunGuardedHandler([&] { succeeded = action(administration, path_); });
        }
        CheckAfter(run, ui, succeeded);
        return succeeded;
    }

    QTemporaryDir folder_;
    QString path_;
};

TEST_F(MaintenanceFaults, ACreatedDatabaseIsWholeOrNotTakenForOne)
{
    // What a creation that meets no failure makes.
    const QString reference = folder_.filePath(QStringLiteral("reference.defl"));
    {
        FaultUserInterface ui;
        ManualClock clock;
        DatabaseAdministration administration(ui, clock, Discard);
        ASSERT_TRUE(administration.CreateDatabase(reference));
    }
    const Snapshot whole = Rows(reference);
    const Tally tally = Sweep("create", [&](Trial& run) {
        Clear();
        const bool created = RunArmed(run, [](DatabaseAdministration& administration, const QString& path) {
            return administration.CreateDatabase(path);
        });
        const bool exists = QFileInfo::exists(path_);
        if (exists)
            run.CheckIntegrity(path_);
        const Snapshot made = exists ? Rows(path_) : Snapshot{};
        if (created && made != whole)
            run.Break(Broken::FalseSuccess, "the new database lacks part of its schema or seed");
        if (!created && exists && made != whole && made.contains(QStringLiteral("versiontable:1")))
            run.Break(Broken::FalseSuccess, "an incomplete database with a version stays at the path");
        // Once the disk is back, creating works without a hand to clear anything first.
        if (!created) {
            FaultUserInterface ui;
            ManualClock clock;
            DatabaseAdministration administration(ui, clock, Discard);
            if (!administration.CreateDatabase(path_))
                run.Break(Broken::NextOpen, "a second creation fails");
        }
        OpenWithoutHuman(run);
    });
    EXPECT_GT(tally.fired, 0);
}

TEST_F(MaintenanceFaults, AConvertedDatabaseIsTheOldOrTheNewNeverHalfway)
{
    const QString arranged = folder_.filePath(QStringLiteral("version4.defl"));
    fixtures::BuildOldVersionDatabase(arranged, 4);
    const Snapshot old = Rows(arranged, kTimeStamps);
    const QString reference = folder_.filePath(QStringLiteral("reference.defl"));
    ASSERT_TRUE(CopyFresh(arranged, reference));
    {
        FaultUserInterface ui;
        ManualClock clock;
        DatabaseAdministration administration(ui, clock, Discard);
        ASSERT_TRUE(administration.ConvertDatabase(reference));
    }
    const Snapshot converted = Rows(reference, kTimeStamps);
    const Tally tally = Sweep(
        "convert from version 4",
        [&](Trial& run) {
            Clear();
            ASSERT_TRUE(CopyFresh(arranged, path_));
            const bool done = RunArmed(run, [](DatabaseAdministration& administration, const QString& path) {
                return administration.ConvertDatabase(path);
            });
            run.CheckIntegrity(path_);
            const Snapshot now = Rows(path_, kTimeStamps);
            if (now != old && now != converted)
                run.Break(Broken::LostSave, "the file is neither the old database nor the converted one");
            if (done && now != converted)
                run.Break(Broken::FalseSuccess, "the conversion was confirmed, the file is not converted");
            if (QFileInfo::exists(path_ + QStringLiteral(".bak")) &&
                Rows(path_ + QStringLiteral(".bak"), kTimeStamps) != old)
                run.Break(Broken::LostSave, "the backup is not the original");
            // The next start converts what is still old, and asks only what a conversion asks. The
            // open itself adds the settings row and the index of unread entries.
            OpenWithoutHuman(run, {{124, Answer::Yes}, {137, Answer::Yes}});
            const QStringList differ = Lost(converted, Rows(path_, kTimeStamps), [](const QString& key) {
                return IsSettingsRow(key) || key == QLatin1String("schema:defectlist_unread");
            });
            if (!differ.isEmpty())
                run.Break(Broken::LostSave,
                          "after the next start the file is not the converted database: " +
                              differ.join(QStringLiteral(", ")).left(300).toStdString());
        },
        kManyCalls);
    EXPECT_GT(tally.fired, 0);
}

TEST_F(MaintenanceFaults, ARepairKeepsTheDatabaseOrMakesItsBackup)
{
    const QString arranged = folder_.filePath(QStringLiteral("arranged.defl"));
    CreateCurrentDatabase(arranged);
    {
        engine::Connection setup;
        ASSERT_EQ(setup.Open(arranged), engine::kOk);
        AddStakeholder(setup, 1, QStringLiteral("Ann"), QStringLiteral("ann"));
        for (std::int32_t id = 1; id <= 30; ++id)
            InsertDefectRow(setup, id, 1, 1, 1, QStringLiteral("defect %1 ").arg(id).repeated(40));
        Exec(setup, QStringLiteral("DELETE FROM defectlist WHERE defect_id % 3 = 0"));
        Exec(setup,
             QStringLiteral("INSERT INTO SystemSettings (BackupsToKeep, SizeAfterLastCompress, "
                            "DateOfLastCompress, CompressEveryNDays, CompressGrowthFactor) VALUES (2, 0, 0, 0, 0)"));
    }
    const Snapshot before = Rows(arranged);
    const Tally tally = Sweep("repair", [&](Trial& run) {
        Clear();
        ASSERT_TRUE(CopyFresh(arranged, path_));
        const bool repaired = RunArmed(run, [](DatabaseAdministration& administration, const QString& path) {
            return administration.CompactAndRepair(path);
        });
        run.CheckIntegrity(path_);
        const QStringList lost = Lost(before, Rows(path_), IsSettingsRow);
        if (!lost.isEmpty())
            run.Break(Broken::LostSave, lost.join(QStringLiteral(", ")).toStdString());
        if (repaired && !Lost(before, Rows(path_ + QStringLiteral(".1")), IsSettingsRow).isEmpty())
            run.Break(Broken::FalseSuccess, "the repair was confirmed, the backup is not the original");
        OpenWithoutHuman(run);
    });
    EXPECT_GT(tally.fired, 0);
}

TEST_F(MaintenanceFaults, ADueCompactionAtTheOpenRotatesTheBackupsWholeOrNotAtAll)
{
    const QString arranged = folder_.filePath(QStringLiteral("arranged.defl"));
    CreateCurrentDatabase(arranged);
    {
        engine::Connection setup;
        ASSERT_EQ(setup.Open(arranged), engine::kOk);
        AddStakeholder(setup, 1, QStringLiteral("Ann"), QStringLiteral("ann"));
        for (std::int32_t id = 1; id <= 10; ++id)
            InsertDefectRow(setup, id, 1, 1, 1, QStringLiteral("defect %1").arg(id));
        // Compacted last in 2020, due every day: the open offers compaction.
        Exec(setup,
             QStringLiteral("INSERT INTO SystemSettings (BackupsToKeep, SizeAfterLastCompress, "
                            "DateOfLastCompress, CompressEveryNDays, CompressGrowthFactor) VALUES (3, 0, "
                            "43831, 1, 0)"));
    }
    const Snapshot before = Rows(arranged);
    const QStringList earlier = {QStringLiteral("backup 1"), QStringLiteral("backup 2"), QStringLiteral("backup 3")};
    const auto backups = [&] {
        return QStringList{Content(path_ + QStringLiteral(".1")), Content(path_ + QStringLiteral(".2")),
                           Content(path_ + QStringLiteral(".3"))};
    };
    const Tally tally = Sweep("backup rotation at the open", [&](Trial& run) {
        Clear();
        ASSERT_TRUE(CopyFresh(arranged, path_));
        for (int n = 1; n <= 3; ++n)
            ASSERT_TRUE(WriteText(path_ + QStringLiteral(".%1").arg(n), earlier.at(n - 1)));
        bool rotated = false;
        {
            Session session(path_);
            session.ui.Answer(163, Answer::Yes);
            {
                const Armed armed(run.plan);
                RunStartupGuard([&] { return session.Open(); });
            }
            const QStringList now = backups();
            rotated = now.at(1) == earlier.at(0);
            const auto offered = std::count_if(session.ui.messages.begin(), session.ui.messages.end(),
                                               [](const MessageRequest& message) { return message.stringId == 163; });
            if (offered > 1)
                run.Break(Broken::NextOpen, "compaction is offered again right after it was done");
            else if (rotated &&
                     (now.at(2) != earlier.at(1) ||
                      !Lost(before, Rows(path_ + QStringLiteral(".1")), IsSettingsRow).isEmpty()))
                run.Break(Broken::LostSave, "the backups were rotated, and one of them is not what it should be");
            else if (!rotated && now != earlier)
                run.Break(Broken::LostSave,
                          "the backups are neither the earlier ones nor rotated: " +
                              now.join(QStringLiteral(" / ")).left(200).toStdString());
            CheckAfter(run, session.ui, rotated);
            session.ui.retriesLeft = 0;
            session.Quit();
        }
        run.CheckIntegrity(path_);
        const QStringList lost = Lost(before, Rows(path_), IsSettingsRow);
        if (!lost.isEmpty())
            run.Break(Broken::LostSave, lost.join(QStringLiteral(", ")).toStdString());
        // A compaction that did not happen is offered again; No opens the file as it is.
        OpenWithoutHuman(run, {{163, Answer::No}});
    });
    EXPECT_GT(tally.fired, 0);
}

} // namespace
