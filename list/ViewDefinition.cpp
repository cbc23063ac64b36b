// The in-memory rules of a view: loading, applying, reading back, sorting and toggling.

#include "list/ViewDefinition.h"

#include "base/CommandIds.h"
#include "list/ColumnCatalogue.h"

#include <algorithm>

namespace {

// A view without columns (only view 1 itself can be one) still shows a usable list.
const std::vector<ListColumn>& FallbackColumns()
{
    static const std::vector<ListColumn> columns{
        {QStringLiteral("_Id_"), 80},      {QStringLiteral("Status"), 100},      {QStringLiteral("Subject"), 250},
        {QStringLiteral("To"), 100},       {QStringLiteral("From"), 100},        {QStringLiteral("Priority"), 150},
        {QStringLiteral("Severity"), 150}, {QStringLiteral("Component"), 190},   {QStringLiteral("Found"), 100},
        {QStringLiteral("Fixed"), 100},    {QStringLiteral("Description"), 100}, {QStringLiteral("Opened"), 100},
    };
    return columns;
}

} // namespace

void ViewDefinition::Drop()
{
    viewId = -1;
    modified = false;
}

void ViewDefinition::BeginLoad(std::int32_t id)
{
    columns.clear();
    sortList.clear();
    viewId = id;
}

std::vector<int> DisplayOrder(const ListColumns& list)
{
    const int count = static_cast<int>(list.columns.size());
    std::vector<bool> placed(list.columns.size(), false);
    std::vector<int> order;
    for (const int column : list.order) {
        if (column >= 0 && column < count && !placed[static_cast<std::size_t>(column)]) {
            placed[static_cast<std::size_t>(column)] = true;
            order.push_back(column);
        }
    }
    for (int column = 0; column < count; ++column) {
        if (!placed[static_cast<std::size_t>(column)])
            order.push_back(column);
    }
    return order;
}

void ViewDefinition::AddLoadedColumn(const ViewColumn& column)
{
    if (column.ColumnId < static_cast<int>(columns.size()) || column.ColumnId >= kMaxColumns)
        return;
    while (static_cast<int>(columns.size()) < column.ColumnId) {
        ViewColumn gap;
        gap.ColumnId = static_cast<std::int32_t>(columns.size());
        gap.Invisible = 1;
        gap.ColumnOrder = gap.ColumnId;
        gap.ViewId = column.ViewId;
        columns.push_back(gap);
    }
    const int position = static_cast<int>(columns.size());
    columns.push_back(column);
    const std::size_t sortOrder = column.SortOrder;
    if (sortOrder == 0)
        return;
    if (sortList.size() < sortOrder)
        sortList.resize(sortOrder);
    sortList[sortOrder - 1] = {position, column.Descending != 0};
}

ListColumns ViewDefinition::ToListColumns() const
{
    ListColumns list;
    if (columns.empty()) {
        list.columns = FallbackColumns();
        for (int k = 0; k < static_cast<int>(list.columns.size()); ++k)
            list.order.push_back(k);
        return list;
    }
    // The list's column index is the catalogue id; the largest id decides how many there are.
    const auto largest = std::max_element(columns.begin(), columns.end(), [](const ViewColumn& a, const ViewColumn& b) {
        return a.ColumnId < b.ColumnId;
    });
    list.columns.resize(static_cast<std::size_t>(std::clamp(largest->ColumnId, 0, kMaxColumns - 1) + 1));
    for (const ViewColumn& column : columns) {
        if (column.ColumnId < 0 || column.ColumnId >= kMaxColumns)
            continue;
        list.columns[static_cast<std::size_t>(column.ColumnId)] = {column.Name,
                                                                   column.Invisible != 0 ? 0 : column.Width};
    }
    for (const ViewColumn& column : columns)
        list.order.push_back(column.ColumnOrder);
    return list;
}

bool ViewDefinition::ReadBack(const ListColumns& list)
{
    bool changed = false;
    const std::size_t count = list.columns.size();
    if (columns.size() < count)
        columns.resize(count);
    for (std::size_t k = 0; k < columns.size(); ++k) {
        ViewColumn& column = columns[k];
        if (k >= count) {
            column.Invisible = 1;
            continue;
        }
        const int width = list.columns[k].width;
        if (width != 0) {
            changed = changed || column.Invisible != 0 || column.Width != width;
            column.Invisible = 0;
            column.Width = width;
        } else {
            changed = changed || column.Invisible == 0;
            column.Invisible = 1;
        }
        const int order = k < list.order.size() ? list.order[k] : static_cast<int>(k);
        changed = changed || column.ColumnOrder != order || column.ColumnId != static_cast<std::int32_t>(k);
        column.ColumnOrder = order;
        column.ColumnId = static_cast<std::int32_t>(k);
        column.ViewId = viewId;
    }
    modified = modified || changed;
    return changed;
}

QString ViewDefinition::BuildOrderBy() const
{
    QString orderBy;
    int keys = 0;
    for (const SortKey& key : sortList) {
        if (keys == kMaxSortKeys)
            break;
        const QString expression = ColumnOrderByExpression(key.column);
        if (expression.isEmpty())
            continue;
        orderBy += keys == 0 ? QStringLiteral(" ORDER BY ") : QStringLiteral(", ");
        orderBy += expression;
        if (key.descending)
            orderBy += QStringLiteral(" DESC");
        ++keys;
    }
    return orderBy;
}

void ViewDefinition::SortByClickedColumn(int column)
{
    const bool descending = !sortList.empty() && sortList.front().column == column && !sortList.front().descending;
    std::erase_if(sortList, [column](const SortKey& key) { return key.column == column; });
    sortList.insert(sortList.begin(), SortKey{column, descending});
    modified = true;
}

std::vector<ColumnMenuItem> ViewDefinition::ColumnMenu()
{
    std::vector<ColumnMenuItem> items;
    for (std::size_t p = 0; p < columns.size(); ++p) {
        ViewColumn& column = columns[p];
        if (column.Width <= 0)
            column.Invisible = 1;
        items.push_back({column.Name, command::kFirstColumn + static_cast<int>(p), column.Invisible == 0});
    }
    return items;
}

bool ViewDefinition::ToggleColumn(int commandId)
{
    const int p = commandId - command::kFirstColumn;
    if (p < 0 || p >= static_cast<int>(columns.size()))
        return false;
    ViewColumn& column = columns[static_cast<std::size_t>(p)];
    column.Invisible = column.Invisible != 0 ? 0 : 1;
    if (column.Invisible == 0 && column.Width <= 0)
        column.Width = kShownWidth;
    modified = true;
    return true;
}

void ViewDefinition::PrepareForSave()
{
    for (std::size_t k = 0; k < sortList.size(); ++k) {
        const SortKey& key = sortList[k];
        if (key.column < 0 || key.column >= static_cast<int>(columns.size()))
            continue;
        ViewColumn& column = columns[static_cast<std::size_t>(key.column)];
        // The stored order is one byte; a key pushed beyond it is no longer a key.
        column.SortOrder = k < kMaxStoredSortOrder ? static_cast<std::uint8_t>(k + 1) : 0;
        column.Descending = key.descending ? 1 : 0;
    }
}
