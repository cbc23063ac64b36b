// The open procedure: the file's version decides, and each failure leads back to the administration dialog.

#include "store/OpenDatabase.h"
#include "store/UnreadIndex.h"

#include "base/AdministrationActions.h"
#include "base/DatabaseUnavailable.h"
#include "base/ErrorReport.h"
#include "base/Result.h"
#include "base/StringTable.h"
#include "base/UserInterface.h"
#include "engine/EngineStatus.h"
#include "engine/SqlDialect.h"
#include "store/DatabaseAccess.h"
#include "store/DatabaseVersion.h"

#include <QDir>
#include <QFileInfo>

#include <cstring>
#include <utility>

namespace {

enum class VersionStatus { TooOld, Current, TooNew, NotADatabase };

VersionStatus ReadVersion(engine::Connection& connection)
{
    std::int64_t version = 0;
    if (ReadDatabaseVersion(connection, version) != engine::kOk)
        return VersionStatus::NotADatabase;
    if (version < EXPECTED_DB_VERSION)
        return VersionStatus::TooOld;
    return version == EXPECTED_DB_VERSION ? VersionStatus::Current : VersionStatus::TooNew;
}

// A server's URI is shown without its login and password.
QString CouldNotOpen(const QString& path)
{
    return FormatString(129, engine::DisplayNameOfDatabase(path).toUtf8().constData());
}

} // namespace

bool OpenDatabase(CDatabaseAccess& access, std::optional<QString> path, AdministrationActions& actions,
                  OpenState& state)
{
    UserInterface& ui = access.ui();
    bool useDefault = !path.has_value();
    const bool remembered = useDefault && !state.openAttempted && !state.lastDatabase.isEmpty();
    QString databasePath = path.value_or(remembered ? state.lastDatabase : QStringLiteral("default.defl"));
    bool showDialog = databasePath.isEmpty() || ui.IsShiftHeld() || (useDefault && state.openAttempted);
    state.openAttempted = true;
    QString missing; // where no database was found, or the server that could not be opened, for the dialog
    // A compaction done here is not offered again, even when the date of it could not be written.
    bool compacted = false;

    while (!access.connected()) {
        try {
            bool chosenInDialog = false;
            if (showDialog) {
                const std::optional<QString> chosen =
                    ui.RunAdministrationDialog(actions, std::exchange(missing, QString()));
                if (!chosen)
                    return false;
                databasePath = *chosen;
                useDefault = false;
                chosenInDialog = true;
            }
            access.SetDatabaseFileName(databasePath);
            // The last database is waited for like a named one while it exists (a share that is
            // slow to come back); when it is gone, the dialog says where it was.
            const bool named = (!useDefault || (remembered && QFileInfo::exists(databasePath))) && !chosenInDialog;
            engine::Connection& connection = access.GetDataConnection(named ? RetryMode::Prompt : RetryMode::None);

            switch (ReadVersion(connection)) {
            case VersionStatus::Current:
                EnsureUnreadIndex(connection);
                if (!compacted && access.NeedsCompacting()) {
                    const Answer answer = ShowStringMessage(ui, 163, Buttons::YesNoCancel, Icon::Question);
                    if (answer == Answer::Cancel) {
                        access.CloseDataConnection();
                        showDialog = true;
                    } else if (answer == Answer::Yes) {
                        access.CloseDataConnection();
                        compacted = access.CompactAndRepair();
                        showDialog = !compacted;
                    }
                }
                break;
            case VersionStatus::NotADatabase:
                access.CloseDataConnection();
                ShowTextMessage(ui,
                                LoadString(125) + QStringLiteral("\n") +
                                    QDir::toNativeSeparators(engine::DisplayNameOfDatabase(databasePath)),
                                Buttons::Ok, Icon::Warning, 125);
                showDialog = true;
                break;
            case VersionStatus::TooOld:
                access.CloseDataConnection();
                // A server database cannot be converted: no question whose Yes would only be refused.
                if (engine::IsServerName(databasePath))
                    showDialog = !actions.ConvertDatabase(databasePath);
                else if (ShowStringMessage(ui, 124, Buttons::YesNo, Icon::Question) == Answer::Yes)
                    showDialog = !actions.ConvertDatabase(databasePath);
                else
                    showDialog = true;
                break;
            case VersionStatus::TooNew:
                access.CloseDataConnection();
                ShowStringMessage(ui, 155, Buttons::Ok, Icon::Warning);
                showDialog = true;
                break;
            }
        } catch (const database_unavailable& unavailable) {
            access.CloseDataConnection();
            // A server that could not be opened is offered again in the dialog, to be corrected.
            if (engine::IsServerName(databasePath))
                missing = engine::ServerUriWithoutPassword(databasePath);
            else if (!QFileInfo::exists(databasePath))
                missing = QFileInfo(databasePath).absoluteFilePath();
            if (!useDefault)
                ShowDetailedMessage(
                    ui, CouldNotOpen(databasePath) + QStringLiteral("\n") + access.UnavailableText(unavailable.status),
                    access.UnavailableDetails(unavailable.status), Buttons::Ok, Icon::Warning, 129);
            showDialog = true;
        } catch (const CHResult& result) {
            access.CloseDataConnection();
            ShowDetailedMessage(ui, CouldNotOpen(databasePath) + QStringLiteral("\n") + FailureText(result.records),
                                OleDbErrorReport(result.value, result.records), Buttons::Ok, Icon::Warning, 129);
            showDialog = true;
        } catch (const CResult<int>& result) {
            // A failed platform call (a file that cannot be examined or written) is reported like
            // any other failure of the pass, and the dialog offers the next choice.
            access.CloseDataConnection();
            ShowDetailedMessage(ui,
                                CouldNotOpen(databasePath) +
                                    QStringLiteral("\nA file operation on it failed: %1.")
                                        .arg(QString::fromLocal8Bit(std::strerror(result.lastError))),
                                QStringLiteral("CBResult error code: ") + HexCode(result.value) + QStringLiteral("\n") +
                                    ErrorContextText(true),
                                Buttons::Ok, Icon::Information);
            showDialog = true;
        } catch (const std::exception& failure) {
            access.CloseDataConnection();
            ReportFailure(QString::fromUtf8(failure.what()), ReportStyle::Information);
            showDialog = true;
        }
    }

    // A server's URI is no path: it stays as the user gave it.
    access.SetDatabaseFileName(engine::IsServerName(databasePath) ? databasePath
                                                                  : QFileInfo(databasePath).absoluteFilePath());
    return true;
}
