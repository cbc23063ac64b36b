#pragma once
// The defect list's rows, columns, selection and focus as a table model, so that a table view
// shows them and tests read them without a screen. Rows hold compact values; the cell texts are
// made when asked for.

#include "list/ListRow.h"
#include "list/ViewDefinition.h"

#include <QAbstractTableModel>

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <utility>
#include <vector>

class LookupLists;

class DefectListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int kBatchRows = 100; // rows added between two chances to draw

    // Item data of a row: its defect id.
    static constexpr int kDefectIdRole = Qt::UserRole;
    // True for a row addressed to the reader that the reader has not read; the view shows it bold.
    static constexpr int kUnreadRole = Qt::UserRole + 1;

    explicit DefectListModel(const LookupLists& lookups, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // The columns as the list shows them (captions, widths, display order). The view reports the
    // user's drags and resizes back with SetColumnWidth and SetColumnOrder.
    const ListColumns& columns() const { return columns_; }
    void SetColumns(const ListColumns& columns);
    void SetColumnWidth(int column, int width);
    void SetColumnOrder(std::vector<int> order);

    void Clear();
    // Filling: BeginFill (the view shows no rows), Append row by row (rows reach the view in
    // batches), then EndFill: a failed fill puts the rows before it back. The fill writes its rows
    // over the earlier ones and keeps a copy only of those it changed, so that a refresh holds
    // one list and the rows that changed, not two lists; a row whose texts are those of its
    // defect's earlier row shares them, so that a refresh holds the texts of the rows that
    // changed twice, not those of the whole list.
    void BeginFill();
    void Append(ListRow row, const ListRow::Texts& texts);
    void EndFill(bool succeeded);
    int pendingCount() const { return static_cast<int>(filled_ - shown_); }
    // Where the texts of rows given to ReplaceRow and InsertRowAtEnd belong.
    ListTextArena& textArena() { return arena_; }

    const ListRow& row(int index) const { return rows_[static_cast<std::size_t>(index)]; }
    std::int32_t DefectIdAt(int index) const { return rows_[static_cast<std::size_t>(index)].defectId; }
    int RowOf(std::int32_t defectId) const; // -1 when no row shows the defect

    // The logged-in user, whose unread rows stand out; 0 for nobody.
    void SetReader(std::int32_t readerId);
    bool IsUnread(int row) const;
    int FirstUnreadRow() const; // -1 when every row is read
    QString CellText(int row, int column) const;

    void ReplaceRow(int index, ListRow row);
    void InsertRowAtEnd(ListRow row);
    // Not while a fill runs.
    void RemoveRowAt(int index);

    // Selection and focus, as the list control keeps them.
    int focusedRow() const { return focusedRow_; }
    void SetFocusedRow(int row);
    bool IsSelected(int row) const;
    void SetSelected(int row, bool selected);
    void ClearSelection();
    std::vector<int> SelectedRows() const;

    // The first row the view shows, to show it again after a fill.
    void SetTopRow(int row) { topRow_ = row; }

signals:
    // The view moves its current index there and scrolls it into view.
    void focusedRowChanged(int row);
    void selectionChanged();
    void columnsChanged();
    // The view shows this row at the top again.
    void topRowRestored(int row);

private:
    void FlushPending();
    // Frees the texts of the rows shown, but not those of the earlier rows of a running fill.
    void DropShownTexts();
    // Shows no rows; a running fill starts again from the earlier rows.
    void Empty();
    // Writes the fill's next row, keeping the earlier row there unless it is the same.
    void WriteNext(const ListRow& row);
    // Writes `row` at `index`, keeping the earlier row there when a fill runs.
    void Write(std::size_t index, const ListRow& row);
    // Puts the earlier rows back where the running fill wrote over them.
    void PutEarlierRowsBack();

    const LookupLists& lookups_;
    std::optional<CellTexts> cellTexts_; // made again for every fill: the locale may have changed
    ListTextArena arena_;
    ListColumns columns_;
    // The rows the view shows (the first `shown_`); while a fill runs, the rows it wrote (the
    // first `filled_`), then the earlier rows it has not reached yet. A deque, so that a list that
    // grows is never copied to a larger place and a shorter one gives its room back.
    std::deque<ListRow> rows_;
    std::size_t shown_ = 0;
    std::size_t filled_ = 0;
    struct Earlier {
        std::size_t count = 0; // the earlier rows
        // The earlier rows the fill wrote over with others, by place, in order; a deque, as after
        // a change of order it holds most of them.
        std::deque<std::pair<std::size_t, ListRow>> replaced;
        std::vector<bool> selected;
        int focusedRow = -1;
        // The arena's blocks up to this one hold the texts of the earlier rows; the fill's own
        // texts go into blocks after it.
        std::size_t textMark = 0;
        // Where the fill's rows find their earlier selves: the next row in the old order, else
        // the ids in order (made at the first row out of order).
        std::size_t next = 0;
        std::vector<std::pair<std::int32_t, std::size_t>> byId;
    };
    // The earlier row at `index`.
    const ListRow& EarlierAt(std::size_t index) const;
    // The place of the defect's earlier row; nullopt when it had none.
    std::optional<std::size_t> EarlierRow(std::int32_t defectId);
    std::optional<Earlier> previous_; // while a fill runs
    std::vector<bool> selected_;
    int focusedRow_ = -1;
    int topRow_ = 0;
    std::int32_t readerId_ = 0;
};
