// Reading and writing the logged-in user's row of UserSettings, the write retried while the file is busy.

#include "document/UserSettings.h"

#include "base/ErrorContext.h"
#include "base/UserInterface.h"
#include "engine/EngineStatus.h"
#include "engine/UpdatableRowset.h"
#include "platform/OleDate.h"
#include "store/RetriedWrite.h"

namespace {

constexpr int kSaveAttempts = 8;

const QString& SelectSql()
{
    static const QString sql =
        QStringLiteral(" \tSELECT \t\tLastDefectId, \t\tLastFilterId, \t\tLastFilterState, \t\tLastViewId, \t\tUserId, "
                       "\t\tLastMyDefectsState, \t\tHotkey, \t\tLastTemplateId, \t\tAutoRefreshList, \t\tAutoCloseDB, "
                       "\t\tNotifyOfChanges, \t\tdateLastSaved \t\tFROM UserSettings\t\tWHERE ([UserId]=?)");
    return sql;
}

std::int16_t Int16(const engine::Rowset& rows, int column)
{
    return static_cast<std::int16_t>(rows.Int(column));
}

engine::RowValues ValuesOf(const UserSettingsRecord& r)
{
    using V = std::int64_t;
    return {V{r.LastDefectId},    V{r.LastFilterId},       V{r.LastFilterState}, V{r.LastViewId},
            V{r.UserId},          V{r.LastMyDefectsState}, V{r.Hotkey},          V{r.LastTemplateId},
            V{r.AutoRefreshList}, V{r.AutoCloseDB},        V{r.NotifyOfChanges}, r.dateLastSaved};
}

} // namespace

bool LoadUserSettings(ConnectionProvider& connections, std::int32_t userId, UserSettingsRecord& record,
                      SessionSelection& selection)
{
    ErrorContext context("Loading user settings");
    engine::Rowset rows;
    engine::Connection& connection = connections.GetDocumentConnection(RetryMode::Offline);
    if (engine::Failed(connection.Query(SelectSql(), {std::int64_t{userId}}, rows)) ||
        rows.MoveFirst() != engine::kOk) {
        record = UserSettingsRecord{};
        selection.currentViewId = record.LastViewId;
        selection.currentFilterId = record.LastFilterId;
        selection.filterOn = false;
        selection.myDefectsOn = false;
        return false;
    }
    record.LastDefectId = rows.Int32(0);
    record.LastFilterId = rows.Int32(1);
    record.LastFilterState = Int16(rows, 2);
    record.LastViewId = rows.Int32(3);
    record.UserId = rows.Int32(4);
    record.LastMyDefectsState = Int16(rows, 5);
    record.Hotkey = rows.Int32(6);
    record.LastTemplateId = rows.Int32(7);
    record.AutoRefreshList = Int16(rows, 8);
    record.AutoCloseDB = Int16(rows, 9);
    record.NotifyOfChanges = Int16(rows, 10);
    record.dateLastSaved = rows.Real(11);

    selection.currentViewId = record.LastViewId;
    selection.currentFilterId = record.LastFilterId;
    selection.filterOn = record.LastFilterState != 0;
    selection.myDefectsOn = record.LastMyDefectsState != 0;
    return true;
}

long WriteUserSettings(ConnectionProvider& connections, const Clock& clock, std::int32_t userId,
                       const SessionSelection& selection, UserSettingsRecord& record)
{
    engine::UpdatableRowset rows;
    engine::Connection& connection = connections.GetDocumentConnection(RetryMode::Offline);
    const long opened = rows.Open(connection, SelectSql(), {std::int64_t{userId}}, QStringLiteral("UserSettings"),
                                  QStringLiteral("UserId"));
    if (engine::Failed(opened))
        return opened;

    record.LastDefectId = selection.currentDefectId;
    record.LastViewId = selection.currentViewId;
    record.LastFilterId = selection.currentFilterId;
    record.UserId = userId;
    record.LastFilterState = selection.filterOn ? 1 : 0;
    record.LastMyDefectsState = selection.myDefectsOn ? 1 : 0;
    record.dateLastSaved = clock.OleNow();

    if (rows.MoveFirst() != engine::kOk)
        return rows.Insert(ValuesOf(record));
    return rows.SetData(ValuesOf(record));
}

bool SaveUserSettings(ConnectionProvider& connections, UserInterface& ui, const Clock& clock, std::int32_t userId,
                      const SessionSelection& selection, UserSettingsRecord& record)
{
    ErrorContext context("Saving user settings");
    WaitCursor wait(ui);
    return RunWithRetries(ui, kSaveAttempts,
                          [&] { return WriteUserSettings(connections, clock, userId, selection, record); });
}
