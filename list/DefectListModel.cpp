// The defect list's table model.

#include "list/DefectListModel.h"

#include "base/Check.h"
#include "document/LookupLists.h"

#include <algorithm>
#include <utility>

DefectListModel::DefectListModel(const LookupLists& lookups, QObject* parent)
    : QAbstractTableModel(parent), lookups_(lookups)
{
    cellTexts_.emplace(lookups);
    // Names of statuses, users and components may change on any reload of the lookup lists.
    connect(&lookups, &LookupLists::reloaded, this, [this] {
        if (shown_ > 0)
            emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1), {Qt::DisplayRole});
    });
}

int DefectListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(shown_);
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
    if (shown_ > 0)
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
    Empty();
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
    Empty();
    endResetModel();
    emit selectionChanged();
}

void DefectListModel::Empty()
{
    if (previous_) {
        PutEarlierRowsBack();
        previous_->next = 0;
    } else {
        rows_.clear();
        rows_.shrink_to_fit();
    }
    shown_ = 0;
    filled_ = 0;
    DropShownTexts();
    selected_.clear();
    focusedRow_ = -1;
}

void DefectListModel::DropShownTexts()
{
    if (previous_)
        arena_.DropBlocksFrom(previous_->textMark);
    else
        arena_ = ListTextArena();
}

void DefectListModel::PutEarlierRowsBack()
{
    Earlier& earlier = *previous_;
    for (const auto& [index, row] : earlier.replaced)
        rows_[index] = row;
    earlier.replaced.clear();
    rows_.resize(earlier.count);
}

void DefectListModel::Write(std::size_t index, const ListRow& row)
{
    if (index == rows_.size()) {
        rows_.push_back(row);
        return;
    }
    ListRow& at = rows_[index];
    if (previous_ && index < previous_->count && !at.SameAs(row)) {
        auto& replaced = previous_->replaced;
        // Only the first row written there replaces the earlier one; the fill writes in order.
        if (replaced.empty() || replaced.back().first < index) {
            replaced.emplace_back(index, at);
        } else {
            const auto found =
                std::lower_bound(replaced.begin(), replaced.end(), index,
                                 [](const auto& entry, std::size_t place) { return entry.first < place; });
            if (found == replaced.end() || found->first != index)
                replaced.emplace(found, index, at);
        }
    }
    at = row;
}

void DefectListModel::WriteNext(const ListRow& row)
{
    Write(filled_, row);
    ++filled_;
}

const ListRow& DefectListModel::EarlierAt(std::size_t index) const
{
    const auto& replaced = previous_->replaced;
    const auto found = std::lower_bound(replaced.begin(), replaced.end(), index,
                                        [](const auto& entry, std::size_t place) { return entry.first < place; });
    return found != replaced.end() && found->first == index ? found->second : rows_[index];
}

std::optional<std::size_t> DefectListModel::EarlierRow(std::int32_t defectId)
{
    if (!previous_)
        return std::nullopt;
    Earlier& earlier = *previous_;
    if (earlier.next < earlier.count && EarlierAt(earlier.next).defectId == defectId)
        return earlier.next++;
    // Another order, or rows added or gone in between.
    if (earlier.byId.empty() && earlier.count > 0) {
        earlier.byId.reserve(earlier.count);
        for (std::size_t i = 0; i < earlier.count; ++i)
            earlier.byId.emplace_back(EarlierAt(i).defectId, i);
        std::sort(earlier.byId.begin(), earlier.byId.end());
    }
    const auto found =
        std::lower_bound(earlier.byId.begin(), earlier.byId.end(), std::make_pair(defectId, std::size_t{0}));
    if (found == earlier.byId.end() || found->first != defectId)
        return std::nullopt;
    earlier.next = found->second + 1;
    return found->second;
}

void DefectListModel::Append(ListRow row, const ListRow::Texts& texts)
{
    const std::size_t next = previous_ ? previous_->next : 0;
    bool shared = false;
    if (const std::optional<std::size_t> at = EarlierRow(row.defectId)) {
        // The earlier rows are read in their order, a block unpacked after the other; a row found
        // out of that order is compared only when its block is at hand, as unpacking a block for
        // each row of a list read in another order would cost far more than copying the texts.
        const ListRow& earlier = EarlierAt(*at);
        if ((*at == next || earlier.TextsAtHand()) && earlier.HasTexts(texts)) {
            row.ShareTexts(earlier);
            shared = true;
        }
    }
    if (!shared)
        row.SetTexts(texts, arena_);
    WriteNext(row);
    if (filled_ - shown_ == kBatchRows)
        FlushPending();
}

void DefectListModel::BeginFill()
{
    if (!previous_) {
        FlushPending();
        previous_ = Earlier{rows_.size(), {}, std::move(selected_), focusedRow_, arena_.Seal(), 0, {}};
    }
    // A fill that starts again (after a retry) starts from the earlier rows; Clear puts them back
    // and drops the texts of the attempt before.
    Clear();
    cellTexts_.emplace(lookups_);
}

void DefectListModel::EndFill(bool succeeded)
{
    if (succeeded || !previous_) {
        FlushPending();
        if (previous_) {
            // The earlier rows the fill did not reach go, and then the blocks that hold no text
            // of the new rows.
            rows_.resize(filled_);
            rows_.shrink_to_fit();
            previous_.reset();
            arena_.KeepOnlyBlocksOf(rows_);
            arena_.CompactFor(rows_);
        }
        return;
    }
    beginResetModel();
    PutEarlierRowsBack();
    shown_ = filled_ = rows_.size();
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
    if (filled_ <= shown_)
        return;
    const bool first = shown_ == 0;
    beginInsertRows({}, static_cast<int>(shown_), static_cast<int>(filled_) - 1);
    shown_ = filled_;
    selected_.resize(shown_, false);
    endInsertRows();
    // The first batch brings back the place the user was looking at.
    if (first)
        emit topRowRestored(topRow_);
}

int DefectListModel::RowOf(std::int32_t defectId) const
{
    for (std::size_t i = 0; i < shown_; ++i) {
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
    Write(static_cast<std::size_t>(index), row);
    emit dataChanged(this->index(index, 0), this->index(index, std::max(columnCount() - 1, 0)));
}

void DefectListModel::InsertRowAtEnd(ListRow row)
{
    FlushPending();
    const int at = rowCount();
    beginInsertRows({}, at, at);
    WriteNext(row);
    shown_ = filled_;
    selected_.push_back(false);
    endInsertRows();
}

void DefectListModel::RemoveRowAt(int index)
{
    // The fill's rows stand where the earlier rows stood; a row taken out would move them.
    check::precondition(!previous_, "a row of the list is removed while the list is filled");
    beginRemoveRows({}, index, index);
    rows_.erase(rows_.begin() + index);
    --shown_;
    --filled_;
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
