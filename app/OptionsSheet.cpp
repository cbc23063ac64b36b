// The options sheet's values and how OK applies them.

#include "app/OptionsSheet.h"

#include "base/DatabaseUnavailable.h"
#include "base/ErrorContext.h"
#include "base/StringTable.h"
#include "document/DefectDoc.h"
#include "engine/EngineStatus.h"
#include "platform/LocalSettings.h"
#include "store/RetriedWrite.h"

#include <algorithm>
#include <functional>

namespace {

constexpr int kNever = 148;
constexpr int kMinutesFormat = 149;
constexpr int kHoursFormat = 150;
constexpr int kIntervals[] = {0, 1, 5, 15, 30, 60, 120, 240, 480, 720};
constexpr int kSaveAttempts = 8;

QString IntervalText(int minutes)
{
    if (minutes < 1)
        return LoadString(kNever);
    const QString twoDigitMinutes = QStringLiteral("%1").arg(minutes % 60, 2, 10, QLatin1Char('0'));
    if (minutes < 60)
        return LoadString(kMinutesFormat).replace(QLatin1String("%M"), twoDigitMinutes);
    return LoadString(kHoursFormat)
        .replace(QLatin1String("%H"), QStringLiteral("%1").arg(minutes / 60, 2, 10, QLatin1Char('0')))
        .replace(QLatin1String("%M"), twoDigitMinutes);
}

std::int16_t IntervalMinutes(int index)
{
    const auto& entries = IntervalEntries();
    const int bounded = std::clamp(index, 0, static_cast<int>(entries.size()) - 1);
    return static_cast<std::int16_t>(entries[static_cast<std::size_t>(bounded)].minutes);
}

// A transfer with the shared file; false also when the user gave up waiting for the file.
bool UnlessGivenUp(const std::function<bool()>& transfer)
{
    try {
        return transfer();
    } catch (const database_unavailable&) {
        return false;
    }
}

// Reads the row of the global settings again; false when the file could not be reached.
bool ReadSystemSettings(CDefectDoc& document)
{
    ErrorContext context("Reading the global options");
    return UnlessGivenUp([&] {
        return RunWithRetries(document.Ui(), kSaveAttempts, [&] { return document.database().LoadSystemSettings(); });
    });
}

} // namespace

const std::vector<IntervalEntry>& IntervalEntries()
{
    static const std::vector<IntervalEntry> entries = [] {
        std::vector<IntervalEntry> made;
        for (const int minutes : kIntervals)
            made.push_back({minutes, IntervalText(minutes)});
        return made;
    }();
    return entries;
}

int IntervalIndexFor(int minutes)
{
    const auto& entries = IntervalEntries();
    int index = 0;
    for (std::size_t i = 0; i < entries.size(); ++i)
        if (entries[i].minutes <= minutes)
            index = static_cast<int>(i);
    return index;
}

QStringList GrowthEntries()
{
    return {QStringLiteral("off"), QStringLiteral("50%"), QStringLiteral("100%"), QStringLiteral("150%"),
            QStringLiteral("200%")};
}

OptionsSheet::OptionsSheet(CDefectDoc& document, LocalSettings& settings, OptionsEffects& effects)
    : document_(document), settings_(settings), effects_(effects),
      globalEditable_(document.currentUserIsAdministrator())
{
    values.mailMethod = mail::ChoiceForMethod(settings.mailSettings.mailMethod);
    values.includeAttachments = settings.includeAttachments;
    values.systray = settings.systray;
    const UserSettingsRecord& user = document.userSettings();
    values.hotkey = user.Hotkey;
    values.autoCloseIndex = IntervalIndexFor(user.AutoCloseDB);
    values.autoRefreshIndex = IntervalIndexFor(user.AutoRefreshList);
    values.notifyOfChanges = user.NotifyOfChanges != 0;
    // Another workstation may have changed the row since this one read it.
    CDatabaseAccess& database = document.database();
    const SystemSettings known = database.settings();
    if (!ReadSystemSettings(document)) {
        // Stale values are shown but never written back.
        database.settings() = known;
        globalEditable_ = false;
    }
    values.system = database.settings();
}

std::optional<mail::ToolProblem> OptionsSheet::CheckGlobal() const
{
    if (!globalEditable_)
        return std::nullopt;
    return mail::CheckToolCommands(values.system.sendmailTool, values.system.compressionTool);
}

bool OptionsSheet::Apply()
{
    settings_.mailSettings.mailMethod = mail::MethodForChoice(values.mailMethod);
    settings_.includeAttachments = values.includeAttachments;

    UserSettingsRecord& user = document_.userSettings();
    user.Hotkey = values.hotkey;
    effects_.RegisterHotkey(values.hotkey);
    user.AutoCloseDB = IntervalMinutes(values.autoCloseIndex);
    user.AutoRefreshList = IntervalMinutes(values.autoRefreshIndex);
    user.NotifyOfChanges = values.notifyOfChanges ? -1 : 0;
    bool stored = UnlessGivenUp([this] { return document_.SaveUserSettings(); });

    if (stored && globalEditable_) {
        ErrorContext context("Saving the global options");
        CDatabaseAccess& database = document_.database();
        const SystemSettings before = database.settings();
        // Written over the row as it is now, so that a compaction another workstation recorded
        // meanwhile is not undone.
        const auto readAndWrite = [&] {
            const long status = database.LoadSystemSettings();
            if (engine::Failed(status))
                return status;
            SystemSettings& system = database.settings();
            system.CompressEveryNDays = std::clamp(values.system.CompressEveryNDays, 0, kMaxCompressionDays);
            system.CompressGrowthFactor = std::clamp(values.system.CompressGrowthFactor, 0, 4);
            system.BackupsToKeep = std::clamp(values.system.BackupsToKeep, 0, kMaxBackups);
            system.email_template = values.system.email_template;
            system.sendmailTool = values.system.sendmailTool;
            system.compressionTool = values.system.compressionTool;
            return database.SaveSystemSettings();
        };
        stored = UnlessGivenUp([&] { return RunWithRetries(document_.Ui(), kSaveAttempts, readAndWrite); });
        // What the file does not hold is not pretended in memory either.
        if (!stored)
            database.settings() = before;
    }

    settings_.systray = values.systray;
    effects_.ApplyTrayMode();
    document_.RestartTimers();
    return stored;
}
