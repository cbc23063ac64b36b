#pragma once
// Dialog 186 "Setup lists": the lookup tables in pages, a list of the rows and the selected row's
// fields; every decision is the editor's, the dialog shows it.

#include "base/ListEditorActions.h"
#include "base/UserInterface.h"

#include <QDialog>

#include <map>

class MultilineCanvas;
class QCheckBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QTabBar;
class QTreeWidget;

class CSetupListsDialog : public QDialog {
    Q_OBJECT
public:
    explicit CSetupListsDialog(ListEditorActions& editor, QWidget* parent = nullptr);

    QTabBar* tabs() const { return tabs_; }
    QTreeWidget* list() const { return list_; }
    MultilineCanvas* canvas() const { return canvas_; }
    // The field of a table column; null when the column has none.
    QLineEdit* field(int column) const;
    // The check box of a yes/no column; null when the column has none.
    QCheckBox* checkBox(int column) const;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void ShowPage();
    void BuildFields();
    void ShowRows();
    void ShowFields();
    void SelectCurrentRow();
    void PageChosen(int page);
    void RowChosen();
    void MoveRows(bool up);
    void Refresh();
    void ShowHelp();

    ListEditorActions& editor_;
    QTabBar* tabs_;
    QTreeWidget* list_;
    QGroupBox* values_;
    MultilineCanvas* canvas_ = nullptr;
    std::map<int, QLineEdit*> fields_;
    std::map<int, QCheckBox*> checks_;
    QPushButton* new_;
    QPushButton* delete_;
    QPushButton* up_;
    QPushButton* down_;
    QPushButton* save_;
    QPushButton* close_;
    QPushButton* help_;
};

// Runs the Setup > Lists dialog over the editor until the user closes it.
void RunListEditorDialog(ListEditorActions& editor, QWidget* parent);
