// Loading and saving the workstation's settings in the profile, and the check of the engine's version.

#include "platform/LocalSettings.h"

#include "base/Check.h"
#include "base/ErrorContext.h"
#include "base/Result.h"
#include "platform/Profile.h"

#include <cstring>

namespace {

const QString kSettings = QStringLiteral("Settings/");
const QString kSetup = QStringLiteral("Setup/");
const QString kHistory = QStringLiteral("SendMailDialogHistory/");
const QString kRecentKey = QStringLiteral("Settings/recentDatabases");

int ReadInt(const QSettings& profile, const QString& key, int defaultValue)
{
    return profile.value(key, defaultValue).toInt();
}

QString ReadString(const QSettings& profile, const QString& key, const QString& defaultValue = QString())
{
    return profile.value(key, defaultValue).toString();
}

// A write that could not be stored throws the failed result.
void Write(QSettings& profile, const QString& key, const QVariant& value)
{
    CheckedCall(profile.isWritable());
    profile.setValue(key, value);
}

QByteArray HintBytes(const std::vector<int>& hints)
{
    QByteArray bytes;
    for (const std::int32_t id : hints)
        bytes.append(reinterpret_cast<const char*>(&id), sizeof id);
    return bytes;
}

void ReadSendMailHistory(const QSettings& profile, SendMailHistory& history)
{
    ErrorContext context("Loading SendProgressDialog settings");
    history.to = ReadInt(profile, kHistory + QStringLiteral("to"), 1) != 0;
    history.from = ReadInt(profile, kHistory + QStringLiteral("from"), 0) != 0;
    history.extra = ReadInt(profile, kHistory + QStringLiteral("extra"), 0) != 0;
    history.attach = ReadInt(profile, kHistory + QStringLiteral("attach"), 0) != 0;
    history.addr = ReadString(profile, kHistory + QStringLiteral("addr"));
    history.comment = ReadString(profile, kHistory + QStringLiteral("comment"));
    history.sendMethod = ReadInt(profile, kHistory + QStringLiteral("sendMethod"), 0);
}

void WriteSendMailHistory(QSettings& profile, const SendMailHistory& history)
{
    ErrorContext context("Saving SendProgressDialog settings");
    Write(profile, kHistory + QStringLiteral("to"), history.to ? 1 : 0);
    Write(profile, kHistory + QStringLiteral("from"), history.from ? 1 : 0);
    Write(profile, kHistory + QStringLiteral("extra"), history.extra ? 1 : 0);
    Write(profile, kHistory + QStringLiteral("attach"), history.attach ? 1 : 0);
    Write(profile, kHistory + QStringLiteral("addr"), history.addr);
    Write(profile, kHistory + QStringLiteral("comment"), history.comment);
    Write(profile, kHistory + QStringLiteral("sendMethod"), history.sendMethod);
}

} // namespace

bool LocalSettings::Load(int engineVersionNumber)
{
    ErrorContext context("loading settings from registry");
    const auto profile = OpenProfile();

    installSource = ReadString(*profile, kSetup + QStringLiteral("installsrc"));
    webSource = ReadString(*profile, kSetup + QStringLiteral("websrc"), webSource);

    const QString hintsKey = kSettings + QStringLiteral("hints");
    if (profile->contains(hintsKey)) {
        const QByteArray bytes = profile->value(hintsKey).toByteArray();
        hints.clear();
        for (qsizetype at = 0; at + 4 <= bytes.size(); at += 4) {
            std::int32_t id = 0;
            std::memcpy(&id, bytes.constData() + at, sizeof id);
            hints.push_back(id);
        }
    }

    // Written as soon as a database opens, so it may be there before the window's placement.
    recentDatabases = profile->value(kRecentKey).toStringList().mid(0, kRecentDatabases);

    CheckDatabaseEngine(engineVersionNumber);

    const QString placementKey = kSettings + QStringLiteral("mainWindowPosition");
    if (!profile->contains(placementKey))
        return false;
    const QByteArray placement = profile->value(placementKey).toByteArray();
    check::assertion(placement.size() == WindowPlacement::kSize, "the registry settings are damaged");
    windowPlacement = WindowPlacement::FromBytes(placement);

    mainWindowIsVisible = ReadInt(*profile, kSettings + QStringLiteral("mainWindowIsVisible"), 1) != 0;

    const QString mailKey = kSettings + QStringLiteral("mail");
    if (!profile->contains(mailKey))
        return false;
    const QByteArray mail = profile->value(mailKey).toByteArray();
    std::memcpy(&mailSettings, mail.constData(), std::min<std::size_t>(mail.size(), sizeof mailSettings));

    mailTool = ReadString(*profile, kSettings + QStringLiteral("mailTool"));
    systray = ReadInt(*profile, kSettings + QStringLiteral("systray"), 0) != 0;
    includeAttachments = ReadInt(*profile, kSettings + QStringLiteral("includeAttachments"), 0) != 0;
    exportRawFormulas = ReadInt(*profile, kSettings + QStringLiteral("exportRawFormulas"), 0) != 0;

    ReadSendMailHistory(*profile, sendMailHistory);

    externalMailToolTimeout = ReadInt(*profile, kSettings + QStringLiteral("externalMailToolTimeout"), 50000);

    loaded = true;
    return true;
}

void LocalSettings::Save()
{
    ErrorContext context("saving settings to registry");
    const auto profile = OpenProfile();

    Write(*profile, kSettings + QStringLiteral("mainWindowPosition"), windowPlacement.ToBytes());
    Write(*profile, kSettings + QStringLiteral("mainWindowIsVisible"), mainWindowIsVisible ? 1 : 0);
    mailSettings.size = sizeof mailSettings;
    Write(*profile, kSettings + QStringLiteral("mail"),
          QByteArray(reinterpret_cast<const char*>(&mailSettings), sizeof mailSettings));
    Write(*profile, kSettings + QStringLiteral("mailTool"), mailTool);
    Write(*profile, kSettings + QStringLiteral("hints"), HintBytes(hints));
    Write(*profile, kSettings + QStringLiteral("systray"), systray ? 1 : 0);
    Write(*profile, kSettings + QStringLiteral("includeAttachments"), includeAttachments ? 1 : 0);
    Write(*profile, kSettings + QStringLiteral("exportRawFormulas"), exportRawFormulas ? 1 : 0);
    WriteSendMailHistory(*profile, sendMailHistory);
    Write(*profile, kRecentKey, recentDatabases);

    profile->sync();
    CheckedCall(profile->status() == QSettings::NoError);
}

void LocalSettings::RememberDatabase(const QString& path)
{
    if (path.isEmpty())
        return;
    recentDatabases.removeAll(path);
    recentDatabases.prepend(path);
    while (recentDatabases.size() > kRecentDatabases)
        recentDatabases.removeLast();
}

bool LocalSettings::SaveRecentDatabases()
{
    if (dontSaveSettings)
        return true;
    const auto profile = OpenProfile();
    if (!profile->isWritable())
        return false;
    profile->setValue(kRecentKey, recentDatabases);
    profile->sync();
    return profile->status() == QSettings::NoError;
}

void LocalSettings::CheckDatabaseEngine(int libVersionNumber)
{
    check::assertion(libVersionNumber >= kMinimumEngineVersion, "could not load database engine version info.");
    // SQLite sorts long texts like any other, so the hint about unsortable long texts never shows.
    memoSortable = true;
}

LocalSettings& TheLocalSettings()
{
    static LocalSettings settings;
    return settings;
}
