#pragma once
// What the list editor dialog works on: the pages over the lookup tables, the rows of the shown
// table, the fields of the selected row and the actions of its buttons.

#include <QString>
#include <QStringList>

#include <vector>

struct ListEditorColumn {
    QString header; // translated
    bool hidden = false;
};

struct ListEditorField {
    int column = 0; // the table column the field edits
    QString label;  // translated
    bool digitsOnly = false;
    bool password = false;
    bool checkBox = false; // a yes/no choice: FieldChecked and SetFieldChecked, not the text
    int maxLength = 0;     // characters; 0 for no limit
};

class ListEditorActions {
public:
    virtual ~ListEditorActions() = default;

    virtual int PageCount() const = 0;
    virtual QString PageCaption(int page) const = 0;
    virtual int Page() const = 0;
    // Stores pending changes and the order, then shows the page; false when a store failed.
    virtual bool ChangePage(int page) = 0;

    virtual std::vector<ListEditorColumn> Columns() const = 0;
    virtual int RowCount() const = 0;
    virtual QStringList RowTexts(int row) const = 0;

    virtual std::vector<ListEditorField> Fields() const = 0;
    virtual QString FieldText(int column) const = 0;
    virtual bool FieldEnabled(int column) const = 0;
    // The user typed into a field.
    virtual void SetFieldText(int column, const QString& text) = 0;
    // A check-box field: whether it is ticked, and the user ticking or unticking it.
    virtual bool FieldChecked(int column) const = 0;
    virtual void SetFieldChecked(int column, bool checked) = 0;

    // The list row the fields show, -1 for none: the fields then make a new record.
    virtual int CurrentRow() const = 0;
    virtual bool CanMoveUp() const = 0;
    virtual bool CanMoveDown() const = 0;
    virtual bool CanDelete() const = 0;

    // Each returns false when a store failed and the action stopped.
    virtual bool SelectRow(int row) = 0;
    virtual bool StorePending() = 0;
    virtual bool Save() = 0;
    virtual bool NewRecord() = 0;
    virtual void Delete() = 0;
    // Moves the selected rows one place; the rows' positions afterwards.
    virtual std::vector<int> MoveRows(const std::vector<int>& selected, bool up) = 0;
    virtual bool Refresh() = 0;
    // Stores pending changes and the order; true when the dialog may close.
    virtual bool Close() = 0;
    // Escape: the field changes are not stored.
    virtual void DropFieldChanges() = 0;
};
