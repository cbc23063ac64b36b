// The data connection opened on demand, waiting in the retry dialog, and the database-wide settings record.

#include "store/DatabaseAccess.h"
#include "store/AttachmentPaths.h"
#include "store/AttachmentRootSetting.h"

#include "base/Check.h"
#include "base/DatabaseUnavailable.h"
#include "base/ErrorContext.h"
#include "base/ErrorReport.h"
#include "base/Result.h"
#include "base/StringTable.h"
#include "base/UserInterface.h"
#include "engine/EngineStatus.h"
#include "engine/SqlDialect.h"
#include "engine/UpdatableRowset.h"
#include "platform/Utf8Text.h"
#include "store/MaintenanceLock.h"

#include <QFileInfo>

#include "engine/EngineLibrary.h"

#include <algorithm>
#include <chrono>
#include <limits>
#include <utility>

namespace {

constexpr int kMaxPathLength = 260;
constexpr int kDerivedNameReserve = 14; // room for the names derived from the path
constexpr int kApplicationTitle = 57344;
constexpr int kHeldLockedText = 2301;
constexpr int kMaxGrowthFactor = 4;
constexpr std::int32_t kLockedStatus = database_unavailable::kMaintenanceLockStatus;

const QString kSettingsSelect = QStringLiteral(
    "SELECT BackupsToKeep, SizeAfterLastCompress, DateOfLastCompress, CompressEveryNDays, CompressGrowthFactor, "
    "email_template, compressionTool, sendmailTool, rowid FROM SystemSettings");

engine::RowValues SettingsValues(const SystemSettings& s)
{
    return {engine::Value(std::int64_t{s.BackupsToKeep}),
            engine::Value(std::int64_t{s.SizeAfterLastCompress}),
            engine::Value(s.DateOfLastCompress),
            engine::Value(std::int64_t{s.CompressEveryNDays}),
            engine::Value(std::int64_t{s.CompressGrowthFactor}),
            engine::Value(FitToBuffer(s.email_template, SystemSettings::kTemplateBufferSize)),
            engine::Value(FitToBuffer(s.compressionTool, SystemSettings::kToolBufferSize)),
            engine::Value(FitToBuffer(s.sendmailTool, SystemSettings::kToolBufferSize)),
            std::nullopt};
}

void CopyRow(const engine::Rowset& row, SystemSettings& s)
{
    s.BackupsToKeep = row.Int32(0);
    s.SizeAfterLastCompress = static_cast<std::uint32_t>(row.Int(1));
    s.DateOfLastCompress = row.Real(2);
    s.CompressEveryNDays = row.Int32(3);
    s.CompressGrowthFactor = row.Int32(4);
    s.email_template = FitToBuffer(row.Text(5), SystemSettings::kTemplateBufferSize);
    s.compressionTool = FitToBuffer(row.Text(6), SystemSettings::kToolBufferSize);
    s.sendmailTool = FitToBuffer(row.Text(7), SystemSettings::kToolBufferSize);
}

// String 152, unless the file or folder may not be written by this user: no network or other
// program is to blame then, and the text says which of the two it is. A file that another
// workstation held locked beyond the busy limit is reachable: the text says what kept it, and
// that nothing was written.
QString UnreachableText(const engine::ErrorRecords& records)
{
    if (!records.empty() && engine::IsBusyRefusal(records.front()))
        return FormatString(kHeldLockedText, static_cast<int>((engine::Connection::BusyLimit().count() + 999) / 1000));
    if (records.empty() || !engine::IsReadOnlyRefusal(records.front()))
        return LoadString(152);
    return FailureText(records);
}

double GrowthMultiplier(std::int32_t factor)
{
    return 1.0 + 0.5 * factor;
}

} // namespace

CDatabaseAccess::CDatabaseAccess(UserInterface& ui, const Clock& clock) : ui_(ui), clock_(clock)
{
    // A call that finds the file gone waits in the retry dialog and runs again on the file that
    // is back, as the operation that asked for the connection would have waited.
    dataConnection_.SetLossHandler([this](long status) {
        CloseDataConnection();
        WaitForFile(lastMode_, status);
    });
}

CDatabaseAccess::CDatabaseAccess(UserInterface& ui, const Clock& clock, const QString& path)
    : CDatabaseAccess(ui, clock)
{
    SetDatabaseFileName(path);
}

void CDatabaseAccess::SetDatabaseFileName(const QString& path)
{
    ErrorContext context("setting database filename");
    check::precondition(path.size() + kDerivedNameReserve < kMaxPathLength, "the path to the database is too long.");
    databaseFileName_ = path;
}

engine::Connection& CDatabaseAccess::GetDataConnection(RetryMode mode)
{
    ErrorContext context("connecting to the database file");
    lastMode_ = mode;
    if (!connected_)
        return WaitForFile(mode, engine::kOk);
    if (!dataConnection_.lost() && dataConnection_.StillNamesItsFile())
        return dataConnection_;
    // A file deleted, renamed away or replaced must neither go on serving its old rows nor be
    // swapped for whatever now lies at the path without the user noticing.
    CloseDataConnection();
    return WaitForFile(mode, engine::kFailure);
}

engine::Connection& CDatabaseAccess::WaitForFile(RetryMode mode, long failure)
{
    // A maintainer that died left its lock behind; the check undoes it, and the user hears so.
    const auto inspectLock = [this](bool afterFailedOpen) {
        // A server's maintenance lock is its own: the open itself is refused while it is held,
        // with the maintainer's reason.
        if (engine::IsServerName(databaseFileName_)) {
            const engine::ErrorRecords& records = dataConnection_.errorRecords();
            if (afterFailedOpen && !records.empty() && records.front().kind == engine::FailureKind::Maintenance) {
                // String 160 ends the sentence itself.
                QString reason = records.front().message;
                if (reason.endsWith(QLatin1Char('.')))
                    reason.chop(1);
                return LockState{true, reason, QString()};
            }
            return LockState{};
        }
        LockState lock = CMaintenanceLock::IsLocked(databaseFileName_);
        if (!lock.recovered.isEmpty())
            ShowTextMessage(ui_, lock.recovered, Buttons::Ok, Icon::Information);
        return lock;
    };
    int flashCount = kFlashCount;
    for (;;) {
        long status = std::exchange(failure, engine::kOk);
        LockState lock = inspectLock(false);
        if (lock.locked) {
            status = kLockedStatus;
        } else if (!engine::Failed(status)) { // a failure the caller found counts as this attempt
            status = dataConnection_.Open(databaseFileName_);
            if (engine::Failed(status)) {
                lock = inspectLock(true);
                if (lock.locked)
                    status = kLockedStatus;
            }
        }
        if (!engine::Failed(status) && status != kLockedStatus) {
            if (flashCount == 0 && ui_.HasMainWindow())
                ui_.ShowNormalState(LoadString(kApplicationTitle));
            connected_ = true;
            // Read at every connect: the administrator may have set or moved it meanwhile.
            if (engine::IsServerName(databaseFileName_))
                RememberServerAttachmentRoot(databaseFileName_, ReadServerAttachmentRoot(dataConnection_));
            return dataConnection_;
        }

        dataConnection_.Close();
        if (status == kLockedStatus && mode == RetryMode::None)
            mode = RetryMode::Prompt;
        lastFailure_ = dataConnection_.errorRecords();
        if (mode == RetryMode::None || stopWaiting_)
            throw database_unavailable(static_cast<std::int32_t>(status));
        if (mode == RetryMode::Offline && ui_.HasMainWindow()) {
            const int blinkCountdown = flashCount;
            flashCount = 0;
            ui_.ShowOfflineState(blinkCountdown, LoadString(165));
        }

        RetryDialogRequest request;
        request.message = status == kLockedStatus ? LockRefusalText(lock.message) : UnreachableText(lastFailure_);
        request.autoRetrySeconds = kAutoRetrySeconds;
        request.flashCount = flashCount;
        request.startHidden = mode == RetryMode::Offline;
        if (waitObserver_)
            waitObserver_(true);
        const RetryAnswer answer = ui_.RunRetryDialog(request);
        if (waitObserver_)
            waitObserver_(false);
        if (answer == RetryAnswer::Cancel)
            throw database_unavailable(static_cast<std::int32_t>(status));
    }
}

QString CDatabaseAccess::UnavailableText(std::int32_t status) const
{
    if (status == kLockedStatus)
        return QStringLiteral("It is locked for maintenance.");
    if (lastFailure_.empty())
        return LoadString(152);
    return FailureText(lastFailure_);
}

QString CDatabaseAccess::UnavailableDetails(std::int32_t status) const
{
    return OleDbErrorReport(status, lastFailure_);
}

void CDatabaseAccess::CloseDataConnection()
{
    dataConnection_.Close();
    connected_ = false;
}

long CDatabaseAccess::LoadSystemSettings()
{
    ErrorContext context("Load system settings");
    return TransferSystemSettings(true);
}

long CDatabaseAccess::SaveSystemSettings()
{
    ErrorContext context("Save system settings");
    return TransferSystemSettings(false);
}

long CDatabaseAccess::TransferSystemSettings(bool load)
{
    // Leaves the connection as it was found, also when an exception passes.
    struct RestoreConnectionState {
        CDatabaseAccess& access;
        bool wasOpen;
        ~RestoreConnectionState()
        {
            if (!wasOpen)
                access.CloseDataConnection();
        }
    } restore{*this, connected_};

    engine::Connection& connection = GetDataConnection(RetryMode::Prompt);
    if (load)
        systemSettings_ = SystemSettings();

    engine::UpdatableRowset rowset;
    long status =
        rowset.Open(connection, kSettingsSelect, {}, QStringLiteral("SystemSettings"), QStringLiteral("rowid"));
    if (!engine::Failed(status))
        status = rowset.MoveFirst();
    if (status == engine::kEndOfRowset) {
        if (load) {
            systemSettings_.DateOfLastCompress = clock_.OleNow();
            systemSettings_.SizeAfterLastCompress = GetDatabaseFileSize();
        }
        status = rowset.Insert(SettingsValues(systemSettings_));
    } else if (!engine::Failed(status)) {
        if (load)
            CopyRow(rowset, systemSettings_);
        else
            status = rowset.SetData(SettingsValues(systemSettings_));
    }
    rowset.Close();

    if (systemSettings_.email_template.isEmpty())
        systemSettings_.email_template = LoadString(184);
    return status;
}

std::uint32_t CDatabaseAccess::GetDatabaseFileSize() const
{
    ErrorContext context("getting database file size");
    if (engine::IsServerName(databaseFileName_))
        return 0;
    const QFileInfo info(databaseFileName_);
    CheckedCall(info.isFile());
    // The settings record keeps the size in 32 bits; a larger file must still open and repair,
    // so it counts as the largest size the record holds.
    return static_cast<std::uint32_t>(std::min<qint64>(info.size(), std::numeric_limits<std::uint32_t>::max()));
}

bool CDatabaseAccess::NeedsCompacting()
{
    // A server cleans up after itself (autovacuum); there is no file to copy.
    if (engine::IsServerName(databaseFileName_))
        return false;
    LoadSystemSettings();
    SystemSettings& s = systemSettings_;
    bool due = false;
    if (s.CompressEveryNDays > 0) {
        const double now = clock_.OleNow();
        if (now != 0 && s.DateOfLastCompress != 0)
            due = now > s.DateOfLastCompress + s.CompressEveryNDays;
    }
    if (s.CompressGrowthFactor > 0) {
        s.CompressGrowthFactor = std::min(s.CompressGrowthFactor, kMaxGrowthFactor);
        if (!due)
            due = static_cast<double>(GetDatabaseFileSize()) >
                static_cast<double>(s.SizeAfterLastCompress) * GrowthMultiplier(s.CompressGrowthFactor);
    }
    return due;
}
