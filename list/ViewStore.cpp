// Reading and writing views in the shared file.

#include "list/ViewStore.h"

#include "base/ErrorContext.h"
#include "document/ConnectionProvider.h"
#include "engine/EngineStatus.h"
#include "engine/Rowset.h"
#include "store/RetriedWrite.h"

namespace {

constexpr int kSaveAttempts = 8;

const QString& LoadSql()
{
    static const QString sql =
        QStringLiteral("SELECT\tColumnId,\tDescending,\tInvisible,\t[Name],\tColumnOrder,\tSortOrder,\tViewId,\tWidth "
                       "FROM\tViewColumns\tWHERE\tViewId=?\tORDER BY\tColumnId");
    return sql;
}

ViewColumn ColumnOf(const engine::Rowset& rows)
{
    ViewColumn column;
    column.ColumnId = rows.Int32(0);
    column.Descending = static_cast<std::int16_t>(rows.Int(1));
    column.Invisible = static_cast<std::int16_t>(rows.Int(2));
    column.Name = rows.Text(3).left(ViewDefinition::kNameLength);
    column.ColumnOrder = rows.Int32(4);
    column.SortOrder = static_cast<std::uint8_t>(rows.Int(5));
    column.ViewId = rows.Int32(6);
    column.Width = rows.Int32(7);
    return column;
}

} // namespace

bool LoadView(ConnectionProvider& connections, UserInterface& ui, std::int32_t viewId, ViewDefinition& view)
{
    ErrorContext context("Loading a view");
    engine::Rowset rows;
    while (engine::Failed(
        connections.GetDocumentConnection(RetryMode::Offline).Query(LoadSql(), {std::int64_t{viewId}}, rows))) {
        if (!AskToRetry(ui))
            return false;
    }
    if (rows.MoveFirst() != engine::kOk)
        return false;
    view.BeginLoad(viewId);
    do
        view.AddLoadedColumn(ColumnOf(rows));
    while (rows.MoveNext() == engine::kOk);
    return true;
}

bool SaveView(ConnectionProvider& connections, UserInterface& ui, ViewDefinition& view)
{
    ErrorContext context("Saving a view");
    view.PrepareForSave();
    const std::int64_t viewId = view.viewId;
    const bool saved = RunWithRetries(ui, kSaveAttempts, [&] {
        engine::Connection& connection = connections.GetDocumentConnection(RetryMode::Offline);
        return connection.WriteTransaction([&] {
            long status = connection.Execute(QStringLiteral("DELETE FROM ViewColumns WHERE ViewId=?"), {viewId});
            for (const ViewColumn& column : view.columns) {
                if (engine::Failed(status))
                    break;
                status = connection.Execute(
                    QStringLiteral("INSERT INTO ViewColumns (viewid, columnid, [name], width, columnorder, sortorder, "
                                   "descending, invisible) VALUES (?, ?, ?, ?, ?, ?, ?, ?)"),
                    {viewId, std::int64_t{column.ColumnId}, column.Name.left(ViewDefinition::kNameLength),
                     std::int64_t{column.Width}, std::int64_t{column.ColumnOrder}, std::int64_t{column.SortOrder},
                     std::int64_t{column.Descending != 0 ? -1 : 0}, std::int64_t{column.Invisible != 0 ? -1 : 0}});
            }
            return status;
        });
    });
    if (saved)
        view.modified = false;
    return saved;
}

BoxChoices ViewChoices(ConnectionProvider& connections, std::int32_t loggedInId, std::int32_t currentViewId)
{
    ErrorContext context("filling the toolbar combobox with a list of views");
    BoxChoices choices;
    engine::Rowset rows;
    if (engine::Failed(
            connections.GetDocumentConnection(RetryMode::Offline)
                .Query(QStringLiteral("SELECT\tId,\tUserId,\tViewname\tFROM\tViews\tWHERE\tUserId=0\tOR\tUserId=?"),
                       {std::int64_t{loggedInId}}, rows)))
        return choices;
    for (long status = rows.MoveFirst(); status == engine::kOk; status = rows.MoveNext())
        AddBoxChoice(choices, rows.Int32(0), rows.Int32(1), rows.Text(2), currentViewId);
    return choices;
}

void AddBoxChoice(BoxChoices& choices, std::int32_t id, std::int32_t userId, const QString& name,
                  std::int32_t currentId)
{
    choices.items.push_back({userId == 0 ? QStringLiteral("::") + name : name, id});
    if (id == currentId)
        choices.selected = static_cast<int>(choices.items.size()) - 1;
}
