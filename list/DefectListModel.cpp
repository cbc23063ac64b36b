// The defect list's table model.

#include "list/DefectListModel.h"

#include "document/LookupLists.h"

#include <algorithm>
#include <utility>

DefectListModel::DefectListModel(const LookupLists& lookups, QObject* parent)
    : QAbstractTableModel(parent), lookups_(lookups)
{
    cellTexts_.emplace(lookups);
    // Names of statuses, users and components may change on any reload of the lookup lists.
    connect(&lookups, &LookupLists::reloaded, this, [this] {
        if (!rows_.empty())
            emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1), {Qt::DisplayRole});
    });
}

int DefectListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int DefectListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(columns_.columns.size());
}

QVariant DefectListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return CellText(index.row(), index.column());
    case kDefectIdRole:
        return DefectIdAt(index.row());
    case kUnreadRole:
        return IsUnread(index.row());
    default:
        return {};
    }
}

void DefectListModel::SetReader(std::int32_t readerId)
{
    if (readerId == readerId_)
        return;
    readerId_ = readerId;
    if (!rows_.empty())
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1), {kUnreadRole});
}

bool DefectListModel::IsUnread(int row) const
{
    const ListRow& shown = rows_[static_cast<std::size_t>(row)];
    return readerId_ != 0 && shown.toId == readerId_ && shown.lastRead == 0;
}

int DefectListModel::FirstUnreadRow() const
{
    for (int row = 0; row < rowCount(); ++row) {
        if (IsUnread(row))
            return row;
    }
    return -1;
}

QVariant DefectListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= columnCount())
        return {};
    return columns_.columns[static_cast<std::size_t>(section)].caption;
}

void DefectListModel::SetColumns(const ListColumns& columns)
{
    beginResetModel();
    columns_ = columns;
    rows_.clear();
    pending_.clear();
    DropShownTexts();
    selected_.clear();
    focusedRow_ = -1;
    endResetModel();
    emit columnsChanged();
}

void DefectListModel::SetColumnWidth(int column, int width)
{
    if (column >= 0 && column < columnCount())
        columns_.columns[static_cast<std::size_t>(column)].width = width;
}

void DefectListModel::SetColumnOrder(std::vector<int> order)
{
    columns_.order = std::move(order);
}

void DefectListModel::Clear()
{
    beginResetModel();
    rows_.clear();
    pending_.clear();
    DropShownTexts();
    selected_.clear();
    focusedRow_ = -1;
    endResetModel();
    emit selectionChanged();
}

void DefectListModel::DropShownTexts()
{
    if (previous_)
        arena_.DropBlocksFrom(previous_->textMark);
    else
        arena_ = ListTextArena();
}

const ListRow* DefectListModel::EarlierRow(std::int32_t defectId)
{
    if (!previous_)
        return nullptr;
    SetAside& earlier = *previous_;
    if (earlier.next < earlier.rows.size() && earlier.rows[earlier.next].defectId == defectId)
        return &earlier.rows[earlier.next++];
    // Another order, or rows added or gone in between.
    if (earlier.byId.empty() && !earlier.rows.empty()) {
        earlier.byId.reserve(earlier.rows.size());
        for (std::size_t i = 0; i < earlier.rows.size(); ++i)
            earlier.byId.emplace_back(earlier.rows[i].defectId, i);
        std::sort(earlier.byId.begin(), earlier.byId.end());
    }
    const auto found =
        std::lower_bound(earlier.byId.begin(), earlier.byId.end(), std::make_pair(defectId, std::size_t{0}));
    if (found == earlier.byId.end() || found->first != defectId)
        return nullptr;
    earlier.next = found->second + 1;
    return &earlier.rows[found->second];
}

void DefectListModel::Append(ListRow row, const ListRow::Texts& texts)
{
    const std::size_t next = previous_ ? previous_->next : 0;
    const ListRow* earlier = EarlierRow(row.defectId);
    // The rows set aside are read in their order, a block unpacked after the other; a row found
    // out of that order is compared only when its block is at hand, as unpacking a block for
    // each row of a list read in another order would cost far more than copying the texts.
    const bool inOrder = earlier != nullptr && earlier == previous_->rows.data() + next;
    if (earlier != nullptr && (inOrder || earlier->TextsAtHand()) && earlier->HasTexts(texts))
        row.ShareTexts(*earlier);
    else
        row.SetTexts(texts, arena_);
    pending_.push_back(row);
    if (pending_.size() == kBatchRows)
        FlushPending();
}

void DefectListModel::BeginFill()
{
    if (!previous_)
        previous_ = SetAside{std::move(rows_), std::move(selected_), focusedRow_, arena_.Seal(), 0, {}};
    // A fill that starts again (after a retry) starts from the rows set aside; Clear drops the
    // texts of the attempt before.
    previous_->next = 0;
    Clear();
    // A refill mostly reads as many rows as before: room for them at once, rather than a vector
    // that doubles (and is copied) on the way and ends up to twice as large.
    rows_.reserve(previous_->rows.size());
    cellTexts_.emplace(lookups_);
}

void DefectListModel::EndFill(bool succeeded)
{
    if (succeeded || !previous_) {
        FlushPending();
        if (previous_) {
            // Only the blocks that hold texts of the new rows stay.
            arena_.KeepOnlyBlocksOf(rows_);
            arena_.CompactFor(rows_);
        }
        previous_.reset();
        return;
    }
    beginResetModel();
    pending_.clear();
    rows_ = std::move(previous_->rows);
    arena_.DropBlocksFrom(previous_->textMark);
    selected_ = std::move(previous_->selected);
    focusedRow_ = previous_->focusedRow;
    previous_.reset();
    endResetModel();
    emit selectionChanged();
    emit focusedRowChanged(focusedRow_);
}

void DefectListModel::FlushPending()
{
    if (pending_.empty())
        return;
    const bool first = rows_.empty();
    const int from = rowCount();
    beginInsertRows({}, from, from + static_cast<int>(pending_.size()) - 1);
    for (ListRow& row : pending_)
        rows_.push_back(std::move(row));
    selected_.resize(rows_.size(), false);
    endInsertRows();
    pending_.clear();
    // The first batch brings back the place the user was looking at.
    if (first)
        emit topRowRestored(topRow_);
}

int DefectListModel::RowOf(std::int32_t defectId) const
{
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        if (rows_[i].defectId == defectId)
            return static_cast<int>(i);
    }
    return -1;
}

QString DefectListModel::CellText(int row, int column) const
{
    return cellTexts_->Text(rows_[static_cast<std::size_t>(row)], column);
}

void DefectListModel::ReplaceRow(int index, ListRow row)
{
    rows_[static_cast<std::size_t>(index)] = std::move(row);
    emit dataChanged(this->index(index, 0), this->index(index, std::max(columnCount() - 1, 0)));
}

void DefectListModel::InsertRowAtEnd(ListRow row)
{
    const int at = rowCount();
    beginInsertRows({}, at, at);
    rows_.push_back(std::move(row));
    selected_.push_back(false);
    endInsertRows();
}

void DefectListModel::RemoveRowAt(int index)
{
    beginRemoveRows({}, index, index);
    rows_.erase(rows_.begin() + index);
    selected_.erase(selected_.begin() + index);
    endRemoveRows();
    if (focusedRow_ == index)
        focusedRow_ = -1;
    else if (focusedRow_ > index)
        --focusedRow_;
    emit selectionChanged();
}

void DefectListModel::SetFocusedRow(int row)
{
    focusedRow_ = row;
    emit focusedRowChanged(row);
}

bool DefectListModel::IsSelected(int row) const
{
    return row >= 0 && row < static_cast<int>(selected_.size()) && selected_[static_cast<std::size_t>(row)];
}

void DefectListModel::SetSelected(int row, bool selected)
{
    if (row < 0 || row >= static_cast<int>(selected_.size()) || selected_[static_cast<std::size_t>(row)] == selected)
        return;
    selected_[static_cast<std::size_t>(row)] = selected;
    emit selectionChanged();
}

void DefectListModel::ClearSelection()
{
    std::fill(selected_.begin(), selected_.end(), false);
    emit selectionChanged();
}

std::vector<int> DefectListModel::SelectedRows() const
{
    std::vector<int> rows;
    for (std::size_t i = 0; i < selected_.size(); ++i) {
        if (selected_[i])
            rows.push_back(static_cast<int>(i));
    }
    return rows;
}
