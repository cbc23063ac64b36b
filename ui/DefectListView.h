#pragma once
// The upper pane: a thin table view over the defect list's model. Header clicks sort, a row
// that gains the focus becomes the current defect, and the user's column widths and order go
// back to the model, from where the view is read back and saved. Its context menu offers
// Delete, Filter and the Columns popup; Ctrl+A selects every row.

#include <QTableView>

class CDefectList;
class QAction;

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
    void FollowModelSelection();

    CDefectList* list_ = nullptr;
    QAction* deleteCommand_ = nullptr;
    QAction* selectAll_ = nullptr;
    bool following_ = false; // the view follows the model: no echo back to the list
};
