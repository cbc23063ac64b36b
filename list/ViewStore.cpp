// Reading and writing views in the shared file.

#include "list/ViewStore.h"

#include "base/ErrorContext.h"
#include "document/ConnectionProvider.h"
#include "engine/EngineStatus.h"
#include "engine/Rowset.h"
#include "platform/Utf8Text.h"
#include "store/RetriedWrite.h"

namespace {

constexpr int kSaveAttempts = 8;
constexpr int kViewNameBytes = 50;

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

// Replaces the stored columns of view `viewId` by the view's.
long WriteColumns(engine::Connection& connection, const ViewDefinition& view, std::int64_t viewId)
{
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
}

} // namespace

bool MayChangeView(std::int32_t viewId)
{
    return viewId != kDefaultViewId;
}

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
        return connection.WriteTransaction([&] { return WriteColumns(connection, view, viewId); });
    });
    if (saved)
        view.modified = false;
    return saved;
}

QString OwnCopyName(ConnectionProvider& connections, std::int32_t viewId)
{
    engine::Rowset rows;
    QString name;
    if (!engine::Failed(
            connections.GetDocumentConnection(RetryMode::Offline)
                .Query(QStringLiteral("SELECT Viewname FROM Views WHERE Id=?"), {std::int64_t{viewId}}, rows)) &&
        rows.MoveFirst() == engine::kOk)
        name = rows.Text(0);
    return QString::fromUtf8(CutUtf8((QStringLiteral("*") + name).toUtf8(), kViewNameBytes));
}

std::optional<std::int32_t> SaveViewAsOwnCopy(ConnectionProvider& connections, UserInterface& ui, ViewDefinition& view,
                                              std::int32_t userId)
{
    ErrorContext context("Saving a view as the user's own copy");
    const QString name = OwnCopyName(connections, view.viewId);
    view.PrepareForSave();
    std::int64_t copyId = 0;
    const bool saved = RunWithRetries(ui, kSaveAttempts, [&] {
        engine::Connection& connection = connections.GetDocumentConnection(RetryMode::Offline);
        return connection.WriteTransaction([&] {
            // A second change of the same view goes to the copy the first one made.
            copyId = 0;
            long status = connection.QueryInt(
                QStringLiteral("SELECT Id FROM Views WHERE UserId=? AND Viewname=? ORDER BY Id LIMIT 1"),
                {std::int64_t{userId}, name}, copyId);
            if (engine::Failed(status))
                return status;
            if (status == engine::kEndOfRowset) {
                status = connection.Execute(QStringLiteral("INSERT INTO Views (userid, viewname) VALUES (?, ?)"),
                                            {std::int64_t{userId}, name});
                if (engine::Failed(status))
                    return status;
                copyId = connection.LastInsertId();
            }
            return WriteColumns(connection, view, copyId);
        });
    });
    if (!saved)
        return std::nullopt;
    view.viewId = static_cast<std::int32_t>(copyId);
    for (ViewColumn& column : view.columns)
        column.ViewId = view.viewId;
    view.modified = false;
    return view.viewId;
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
