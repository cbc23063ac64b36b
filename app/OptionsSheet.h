#pragma once
// What the options dialog edits and how its OK applies it: this computer's mail and tray
// settings, the user's hotkey, timers and notification, and the database's global settings.

#include "mail/MailOptions.h"
#include "store/DatabaseAccess.h"

#include <QString>

#include <optional>
#include <vector>

class CDefectDoc;
class LocalSettings;

// The pages of the options sheet, in their order.
enum class OptionsPage { Mail = 0, Other = 1, Global = 2 };

// What applying the options must change outside the document and the settings.
class OptionsEffects {
public:
    virtual ~OptionsEffects() = default;
    // Gives up the previous system-wide hotkey and takes this one.
    virtual void RegisterHotkey(int hotkey) = 0;
    // Shows or removes the notification-area icon as the local settings now say.
    virtual void ApplyTrayMode() = 0;
};

struct IntervalEntry {
    int minutes = 0;
    QString text;
};
// "never" and the nine intervals of the auto-close and auto-refresh lists.
const std::vector<IntervalEntry>& IntervalEntries();
// The last entry whose value does not exceed `minutes` ("never" below one minute).
int IntervalIndexFor(int minutes);
// The entries of "after size increase of"; the index is the stored growth factor.
QStringList GrowthEntries();

struct OptionsValues {
    mail::MethodChoice mailMethod = mail::MethodChoice::SystemMail;
    bool includeAttachments = false;
    int hotkey = 0;
    bool systray = false;
    int autoCloseIndex = 0;
    int autoRefreshIndex = 0;
    bool notifyOfChanges = false;
    SystemSettings system;
};

class OptionsSheet {
public:
    static constexpr int kMaxCompressionDays = 180;
    static constexpr int kMaxBackups = 20;

    // Reads the current values, the global ones from the file again; the document must have a
    // user logged in. A file that cannot be reached leaves the global page read-only.
    OptionsSheet(CDefectDoc& document, LocalSettings& settings, OptionsEffects& effects);

    OptionsValues values;

    // The global settings affect every user of the file: only administrators change them (and
    // everybody while the file has no administrator).
    bool globalEditable() const { return globalEditable_; }
    // The first reason why the global page cannot be stored; none when it can (or is read-only).
    std::optional<mail::ToolProblem> CheckGlobal() const;
    // OK: mail settings, hotkey, user settings, global settings, tray icon, timers. False when
    // the user or the global settings could not be written (the user gave up waiting for the
    // file); what was applied before stays applied.
    bool Apply();

private:
    CDefectDoc& document_;
    LocalSettings& settings_;
    OptionsEffects& effects_;
    bool globalEditable_ = false;
};
