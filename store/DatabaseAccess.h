#pragma once
// The program's one way into the shared database file: its path, the data connection that is
// opened on demand (waiting in the retry dialog while the file cannot be reached), and the
// database-wide settings record.

#include "engine/Connection.h"
#include "platform/OleDate.h"
#include "store/RetryMode.h"

#include <QString>

#include <functional>

#include <cstdint>

class UserInterface;

// The one row of table SystemSettings.
struct SystemSettings {
    static constexpr int kTemplateBufferSize = 8000; // bytes including the terminator
    static constexpr int kToolBufferSize = 2000;

    std::int32_t BackupsToKeep = 5;
    std::uint32_t SizeAfterLastCompress = 0; // bytes
    double DateOfLastCompress = 0;           // OLE date, 0 = not set
    std::int32_t CompressEveryNDays = 7;     // 0 switches the age rule off
    std::int32_t CompressGrowthFactor = 2;   // 0 switches the growth rule off; above 4 counts as 4
    QString email_template;
    QString compressionTool;
    QString sendmailTool;
};

class CDatabaseAccess {
public:
    static constexpr int kFlashCount = 20;
    static constexpr int kAutoRetrySeconds = 180;

    CDatabaseAccess(UserInterface& ui, const Clock& clock);
    CDatabaseAccess(UserInterface& ui, const Clock& clock, const QString& path);
    CDatabaseAccess(const CDatabaseAccess&) = delete;
    CDatabaseAccess& operator=(const CDatabaseAccess&) = delete;

    void SetDatabaseFileName(const QString& path);
    const QString& DatabaseFileName() const { return databaseFileName_; }

    // The open connection; opens it first when needed, and again when the file it had open is no
    // longer the file at the path. Raises database_unavailable when the file cannot be reached and
    // the mode (or the user, in the retry dialog) gives up; a call on the connection that finds
    // the file unreachable waits the same way.
    engine::Connection& GetDataConnection(RetryMode mode);
    void CloseDataConnection();
    bool connected() const { return connected_; }
    // The program closes after a failure nobody handled: from now on a file that cannot be reached
    // raises database_unavailable at once, also a locked one, instead of waiting in the retry dialog.
    void StopWaitingForFile() { stopWaiting_ = true; }

    // Why the file could not be reached when database_unavailable(status) was raised: a sentence
    // for the user, and the engine's report for behind "Details".
    QString UnavailableText(std::int32_t status) const;
    QString UnavailableDetails(std::int32_t status) const;

    // Both leave the connection as open or closed as they found it and return the engine status.
    long LoadSystemSettings();
    long SaveSystemSettings();
    SystemSettings& settings() { return systemSettings_; }
    const SystemSettings& settings() const { return systemSettings_; }

    std::uint32_t GetDatabaseFileSize() const;

    // Due by age or by growth since the last compaction.
    bool NeedsCompacting();

    // Backs up and compacts the file under the maintenance lock; the own connection must be closed.
    bool CompactAndRepair();

    // Told when the retry dialog opens (true) and closes (false), whoever asked for the file:
    // the document's timers must not fire into a call that waits for it.
    void SetWaitObserver(std::function<void(bool waiting)> observer) { waitObserver_ = std::move(observer); }

    UserInterface& ui() const { return ui_; }
    const Clock& clock() const { return clock_; }

private:
    long TransferSystemSettings(bool load);
    // Opens the connection, waiting in the retry dialog as the mode says while the file cannot be
    // reached; a given failure counts as the first attempt.
    engine::Connection& WaitForFile(RetryMode mode, long failure);

    SystemSettings systemSettings_;
    QString databaseFileName_;
    engine::Connection dataConnection_;
    engine::ErrorRecords lastFailure_; // of the last attempt that found the file unreachable
    bool connected_ = false;
    RetryMode lastMode_ = RetryMode::Prompt; // how the running operation asked for the connection
    bool stopWaiting_ = false;
    UserInterface& ui_;
    const Clock& clock_;
    std::function<void(bool)> waitObserver_;
};
