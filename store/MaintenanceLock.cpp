#include "store/MaintenanceLock.h"

#include "app/base/Check.h"
#include "app/base/ErrorContext.h"
#include "app/base/Result.h"
#include "platform/PresenceLock.h"
#include "platform/UserName.h"
#include "app/base/StringTable.h"

#include <QFileInfo>
#include <QLocale>
#include <QSysInfo>
#include <QThread>

#include <cerrno>

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
    return FormatString(159, when.toUtf8().constData(), LoginName().toUtf8().constData(),
                        QSysInfo::machineHostName().toUtf8().constData(), reason.toUtf8().constData(),
                        MaintenanceName(path).toUtf8().constData(), path.toUtf8().constData(),
                        path.toUtf8().constData())
        .toUtf8();
}

void RealSleep(int milliseconds)
{
    QThread::msleep(static_cast<unsigned long>(milliseconds));
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
    auto rescueFile = std::make_unique<QFile>(rescueName);
    if (!rescueFile->open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        message_ = QFileInfo::exists(rescueName) ? IsLocked(path_).message : QString();
        return false;
    }
    message_.clear();
    rescueFileHandle_ = std::move(rescueFile);
    const QByteArray text = RescueText(path_, reason, clock_);
    const bool written = rescueFileHandle_->write(text) == text.size() && rescueFileHandle_->flush();
    if (!written)
        Unlock();
    CheckedCall(written);

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
    rescueFileHandle_.reset();
    const bool movedBack = QFile::rename(MaintenanceName(path_), path_);
    const QString rescueName = RescueFileName(path_);
    bool deleted = false;
    for (int attempt = 1; attempt <= kDeleteAttempts && !deleted; ++attempt) {
        deleted = QFile::remove(rescueName) || !QFileInfo::exists(rescueName);
        if (!deleted && attempt < kDeleteAttempts)
            (sleep_ ? sleep_ : RealSleep)(kDeleteIntervalMs);
    }
    return movedBack && deleted;
}

LockState CMaintenanceLock::IsLocked(const QString& path)
{
    const QString rescueName = RescueFileName(path);
    QFile rescueFile(rescueName);
    if (!rescueFile.open(QIODevice::ReadOnly))
        return {};
    QByteArray line = rescueFile.readLine();
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    QString firstLine = QString::fromUtf8(line);
    if (firstLine.isEmpty())
        firstLine = QStringLiteral("unknown");
    return {true, FormatString(161, firstLine.toUtf8().constData(),
                               AbbreviatedRescueName(rescueName).toUtf8().constData())};
}
