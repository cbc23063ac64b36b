// Taking and releasing the maintenance lock, and recovering a database whose maintainer died.

#include "store/MaintenanceLock.h"

#include "base/Check.h"
#include "base/ErrorContext.h"
#include "base/Result.h"
#include "base/StringTable.h"
#include "engine/Connection.h"
#include "engine/EngineStatus.h"
#include "platform/DurableFiles.h"
#include "platform/PresenceLock.h"
#include "platform/UserName.h"
#include "store/Backups.h"
#include "store/Compaction.h"
#include "store/ConvertedCopy.h"
#include "store/DatabaseVersion.h"

#include <QFileInfo>
#include <QLocale>
#include <QSysInfo>
#include <QThread>

#include <cerrno>
#include <cstdint>

namespace {

constexpr int kDeleteAttempts = 25;
constexpr int kDeleteIntervalMs = 200;
constexpr qsizetype kAbbreviationLimit = 30;

// The directory part including its separator, and the file name.
std::pair<QString, QString> SplitPath(const QString& path)
{
    const qsizetype separator = path.lastIndexOf(QLatin1Char('/'));
    return {path.left(separator + 1), path.mid(separator + 1)};
}

QString LoginName()
{
    return OperatingSystemUserName().value_or(qEnvironmentVariable("USER"));
}

QByteArray RescueText(const QString& path, const QString& reason, const Clock& clock)
{
    const QString when = QLocale::system().toString(clock.Now(), QLocale::ShortFormat);
    const QByteArray database = path.toUtf8();
    return FormatString(159, when.toUtf8().constData(), LoginName().toUtf8().constData(),
                        QSysInfo::machineHostName().toUtf8().constData(), reason.toUtf8().constData(),
                        MaintenanceName(path).toUtf8().constData(), database.constData(), database.constData(),
                        QFileInfo(path).fileName().toUtf8().constData(), database.constData())
        .toUtf8();
}

void RealSleep(int milliseconds)
{
    QThread::msleep(static_cast<unsigned long>(milliseconds));
}

QString FirstLine(const QString& rescueName)
{
    QFile rescueFile(rescueName);
    QByteArray line = rescueFile.open(QIODevice::ReadOnly) ? rescueFile.readLine() : QByteArray();
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    return line.isEmpty() ? QStringLiteral("unknown") : QString::fromUtf8(line);
}

LockState Locked(const QString& rescueName, const QString& reason)
{
    return {true,
            FormatString(161, reason.toUtf8().constData(), AbbreviatedRescueName(rescueName).toUtf8().constData()),
            QString()};
}

// Undoes a maintenance whose client died: empty on success, else why the database stays locked.
QString PutDatabaseBack(const QString& path)
{
    for (const QString& leftover : CompactionLeftovers(path) + ConversionLeftovers(path))
        QFile::remove(leftover);
    const QString maintenanceName = MaintenanceName(path);
    const QString journal = JournalOf(path);
    if (!QFileInfo::exists(maintenanceName)) {
        // The database never left its name, or its compacted copy arrived there: a journal beside
        // it is its own, and only a journal without a database is a leftover.
        if (!QFileInfo::exists(path))
            QFile::remove(journal);
        return {};
    }
    if (QFileInfo::exists(path)) {
        // Only a verified copy ever arrives at the name, by rename; a file there that passes the
        // check is the database (its journal is its own), and the original is kept aside.
        if (QuickCheckFailure(path).isEmpty()) {
            // A conversion copied the original to its backup before anything else: no second copy.
            if (IsCopyOf(path + QStringLiteral(".bak"), maintenanceName))
                return QFile::remove(maintenanceName) ? QString()
                                                      : QStringLiteral("%1 cannot be removed").arg(maintenanceName);
            const QString aside = path + QStringLiteral(".interrupted");
            QFile::remove(aside);
            return QFile::rename(maintenanceName, aside)
                ? QString()
                : QStringLiteral("%1 cannot be renamed to %2").arg(maintenanceName, aside);
        }
        // An unfinished copy, as an older version wrote it at the name: it and its journal go, so
        // that the journal is never replayed onto the original.
        QFile::remove(path);
        QFile::remove(journal);
    }
    if (const QString damage = QuickCheckFailure(maintenanceName); !damage.isEmpty())
        return QStringLiteral("%1 fails its check (%2); restore a backup").arg(maintenanceName, damage);
    // Moved only while nobody has it open, as any maintenance moves it.
    PresenceLock presence;
    if (!presence.Acquire(maintenanceName, PresenceLock::Kind::Exclusive))
        return QStringLiteral("%1 is in use").arg(maintenanceName);
    if (!RenameToFreeName(maintenanceName, path))
        return QStringLiteral("%1 cannot be renamed to %2").arg(maintenanceName, path);
    presence.Release();
    SyncFolderOf(path);
    return {};
}

// What a conversion that was interrupted left at the name: the file as it was, or the converted one.
QString ConversionOutcome(const QString& path)
{
    engine::Connection connection;
    std::int64_t version = -1;
    if (!engine::Failed(connection.Open(path)))
        ReadDatabaseVersion(connection, version);
    const QString backup = path + QStringLiteral(".bak");
    if (version == EXPECTED_DB_VERSION)
        return QStringLiteral(" The conversion had finished: the database has version %1; the original is kept in "
                              "%2.")
            .arg(version)
            .arg(backup);
    return QStringLiteral(" The database is as it was before the conversion (version %1); convert it again. A copy "
                          "of it is kept in %2.")
        .arg(version)
        .arg(backup);
}

// An open replays a journal that holds a change and removes one that holds none.
void SettleJournal(const QString& path)
{
    engine::Connection connection;
    connection.Open(path);
}

LockState Recover(const QString& path)
{
    const QString rescueName = RescueFileName(path);
    const QString firstLine = FirstLine(rescueName);
    HeldFile rescueFile;
    if (!rescueFile.TakeOver(rescueName)) {
        const bool goneMeanwhile =
            rescueFile.errorCode() == ENOENT && HeldFile::Inspect(rescueName) == HeldFile::State::Absent;
        return goneMeanwhile ? LockState() : Locked(rescueName, firstLine);
    }
    if (const QString failure = PutDatabaseBack(path); !failure.isEmpty())
        return Locked(rescueName,
                      QStringLiteral("The maintenance of %1 was interrupted and cannot be undone "
                                     "automatically: %2.")
                          .arg(path, failure));
    QFile::remove(rescueName);
    SyncFolderOf(path);
    QString recovered =
        QStringLiteral("The maintenance of %1 was interrupted: the client that locked it no longer runs (%2). "
                       "The database has been checked, put back in place and unlocked.")
            .arg(path, firstLine);
    if (firstLine.contains(ConversionLockReason()))
        recovered += ConversionOutcome(path);
    return {false, QString(), recovered};
}

} // namespace

QString RescueFileName(const QString& path)
{
    const auto [directory, file] = SplitPath(path);
    return directory + QStringLiteral("#RESCUE-") + file + QStringLiteral(".txt");
}

QString MaintenanceName(const QString& path)
{
    const auto [directory, file] = SplitPath(path);
    return directory + QStringLiteral("#") + file + QStringLiteral(".mt");
}

QString AbbreviatedRescueName(const QString& rescueFileName)
{
    const qsizetype separator = rescueFileName.lastIndexOf(QLatin1Char('/'));
    if (separator < kAbbreviationLimit)
        return rescueFileName;
    // 13 characters of the start, "..." and the 14 characters before the separator: 30 in all.
    return rescueFileName.left(13) + QStringLiteral("...") + rescueFileName.mid(separator - 14);
}

QString MaintenanceReasonLine(const QString& database, const QString& reason, const Clock& clock)
{
    const QString text = QString::fromUtf8(RescueText(database, reason, clock));
    return text.left(text.indexOf(QLatin1String("\r\n")));
}

QString LockRefusalText(const QString& lockMessage)
{
    return FormatString(160, lockMessage.toUtf8().constData());
}

CMaintenanceLock::CMaintenanceLock(QString path, const QString& reason, bool mustExist, const Clock& clock,
                                   Sleeper sleep)
    : path_(std::move(path)), clock_(clock), sleep_(std::move(sleep))
{
    Lock(reason, mustExist);
}

CMaintenanceLock::~CMaintenanceLock()
{
    if (held()) {
        try {
            Unlock();
        } catch (...) {
            // A destructor must not throw; the rescue file then tells a human what to do.
        }
    }
}

bool CMaintenanceLock::Lock(const QString& reason, bool mustExist)
{
    ErrorContext context("Trying to lock database for maintenance");
    check::precondition(!held(), "rescueFileHandle!=NULL - cannot call lock in this state");

    const QString rescueName = RescueFileName(path_);
    bool created = rescueFile_.Create(rescueName, path_);
    if (!created && rescueFile_.errorCode() == EEXIST && !IsLocked(path_).locked)
        created = rescueFile_.Create(rescueName, path_); // a dead client's lock, undone just now
    if (!created) {
        message_ = QFileInfo::exists(rescueName) ? IsLocked(path_).message : QString();
        return false;
    }
    message_.clear();
    const bool written = rescueFile_.Write(RescueText(path_, reason, clock_));
    if (!written)
        Unlock();
    CheckedCall(written);
    // The rescue file must outlive a power loss that the database's rename below survives.
    SyncFolderOf(rescueName);

    // No connection may have the file open while it moves: each holds the presence lock shared.
    PresenceLock presence;
    if (!presence.Acquire(path_, PresenceLock::Kind::Exclusive)) {
        const int cause = presence.errorCode();
        if (cause == EAGAIN) {
            Unlock();
            message_ = LoadString(164);
            return false;
        }
        if (cause == ENOENT && !mustExist)
            return true; // nothing to move: a new file is about to be created
        // A failed lock must not leave the rescue file behind: it would keep every client out.
        Unlock();
        check::assertion(false, "database lock failed");
    }
    // With nobody connected a journal is the unfinished change of a workstation that stopped; it
    // belongs to the file and must not stay behind when the file moves. Opening the file once
    // replays it, or removes it when it holds no change.
    if (const QString journal = JournalOf(path_); QFileInfo::exists(journal)) {
        presence.Release();
        SettleJournal(path_);
        if (!presence.Acquire(path_, PresenceLock::Kind::Exclusive)) {
            Unlock();
            message_ = LoadString(164);
            return false;
        }
        if (QFileInfo::exists(journal)) {
            presence.Release();
            Unlock();
            message_ = QStringLiteral("%1 holds an unfinished change that could not be completed: another program "
                                      "is writing to the database, or the file cannot be written. Close the other "
                                      "program, or check that the file may be written, and try again.")
                           .arg(journal);
            return false;
        }
    }
    if (!QFile::rename(path_, MaintenanceName(path_))) {
        presence.Release();
        Unlock();
        check::assertion(false, "database lock failed");
    }
    // Released at once, so that the maintenance itself can open the file under its new name.
    presence.Release();
    return true;
}

bool CMaintenanceLock::Unlock()
{
    const bool movedBack = QFile::rename(MaintenanceName(path_), path_);
    const QString rescueName = RescueFileName(path_);
    bool deleted = false;
    for (int attempt = 1; attempt <= kDeleteAttempts && !deleted; ++attempt) {
        deleted = QFile::remove(rescueName) || !QFileInfo::exists(rescueName);
        if (!deleted && attempt < kDeleteAttempts)
            (sleep_ ? sleep_ : RealSleep)(kDeleteIntervalMs);
    }
    // Released last: a rescue file that nobody holds tells other clients that its owner died.
    rescueFile_.Release();
    return movedBack && deleted;
}

LockState CMaintenanceLock::IsLocked(const QString& path)
{
    const QString rescueName = RescueFileName(path);
    switch (HeldFile::Inspect(rescueName)) {
    case HeldFile::State::Absent:
        return {};
    case HeldFile::State::Held:
        return Locked(rescueName, FirstLine(rescueName));
    case HeldFile::State::Abandoned:
        break;
    }
    return Recover(path);
}
