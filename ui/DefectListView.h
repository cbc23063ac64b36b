#pragma once
// The upper pane: a thin table view over the defect list's model. Header clicks sort, a row
// that gains the focus becomes the current defect, and the user's column widths and order go
// back to the model, from where the view is read back and saved. Its context menu offers
// Delete, Filter and the Columns popup; Ctrl+A selects every row.

#include <QStyledItemDelegate>
#include <QTableView>

class CDefectList;
class QAction;

// Rows the reader has not read yet are drawn in bold, as a mail program shows unread mail.
class UnreadBoldDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;
};

class CDefectListView : public QTableView {
    Q_OBJECT
public:
    explicit CDefectListView(QWidget* parent = nullptr);

    // Shows the list; before that the pane is empty.
    void SetList(CDefectList* list);
    // The window's Delete command, which the context menu offers too.
    void SetDeleteCommand(QAction* deleteRecord) { deleteCommand_ = deleteRecord; }
    QAction* selectAllCommand() const { return selectAll_; }

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    // The model's columns: widths, hidden columns and the display order.
    void ApplyColumns();
    void FollowModelFocus(int row);
    // The header's arrow on the column the list is sorted by first.
    void ShowSortKey();
    void FollowModelSelection();

    CDefectList* list_ = nullptr;
    QAction* deleteCommand_ = nullptr;
    QAction* selectAll_ = nullptr;
    bool following_ = false; // the view follows the model: no echo back to the list
};
