#pragma once
// The chooser of the template a new defect starts from. The first ten rows carry the
// shortcut digits 1 ... 9 and 0; typing one chooses its row at once.

#include "base/UserInterface.h"
#include <QDialog>
#include <QStringList>

class QTreeWidget;

class CTemplateSelectionDialog : public QDialog {
    Q_OBJECT
public:
    CTemplateSelectionDialog(const QStringList& subjects, int preselectedRow, QWidget* parent = nullptr);

    // The row that was selected last.
    int choice() const { return choice_; }
    QTreeWidget* list() const { return list_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void SelectAndConfirm(int row);

    QTreeWidget* list_ = nullptr;
    int choice_ = 0;
};

// The row of the chosen template, or nothing when cancelled.
std::optional<int> RunTemplateSelectionDialog(const TemplateChoiceRequest& request, QWidget* parent);
