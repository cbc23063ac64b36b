#pragma once
// Settings of one workstation and one operating-system user, kept in the profile.

#include "base/SendMailPort.h"
#include "platform/WindowPlacement.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

struct MailSettings {
    std::int32_t size = 0; // always written as 8
    std::int32_t mailMethod = 0;
};
static_assert(sizeof(MailSettings) == 8);

// The last choices of the send-mail dialog, remembered as the dialog was left.
using SendMailHistory = SendMailChoices;

// The oldest SQLite that has everything the program needs (RIGHT JOIN came with 3.39).
inline constexpr int kMinimumEngineVersion = 3039000;

class LocalSettings {
public:
    static constexpr int kRecentDatabases = 6;

    WindowPlacement windowPlacement;
    bool mainWindowIsVisible = true;
    MailSettings mailSettings;
    QString mailTool;
    bool includeAttachments = false;
    std::vector<int> hints; // ids of the hints the user turned off
    bool systray = false;
    SendMailHistory sendMailHistory;
    std::int32_t externalMailToolTimeout = 50000; // milliseconds; read only
    bool dontSaveSettings = false;
    bool memoSortable = false; // the engine sorts the long text fields
    QString installSource;
    QString webSource = QStringLiteral("@@page?empty=&gkw=@@keyword");
    // Export writes CSV and text cells that begin like a formula as they are, without the
    // apostrophe that keeps a spreadsheet from evaluating them.
    bool exportRawFormulas = false;
    bool loaded = false;
    QStringList recentDatabases; // the databases opened last on this workstation, the latest first

    // Reads the profile; false when the stored settings were absent (the defaults remain where
    // reading stopped). Damaged data is an assertion failure. The engine's library version is
    // the caller's to give, as this floor does not know the engine.
    bool Load(int engineVersionNumber);
    // Writes every stored value; a failed write throws CResult<int>.
    void Save();

    // Puts `path` first among the recent databases, which keep at most kRecentDatabases.
    void RememberDatabase(const QString& path);
    // Writes the recent databases alone and at once, so that a program that does not end
    // normally still knows them next time; nothing when saving is forbidden. False when the
    // profile could not be written: the list then goes out with the settings at the end.
    bool SaveRecentDatabases();

    // Refuses an engine older than kMinimumEngineVersion and finds out whether long texts sort.
    void CheckDatabaseEngine(int libVersionNumber);
};

// The process-wide settings.
LocalSettings& TheLocalSettings();
