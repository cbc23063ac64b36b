#pragma once
// Dialog 226: the new status of a defect and the comment for the move, decided by the model.

#include "base/UserInterface.h"
#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class StatusTransitionChoices;

class CStatusTransitionDialog : public QDialog {
    Q_OBJECT
public:
    CStatusTransitionDialog(StatusTransitionChoices& model, QWidget* parent = nullptr);

    void accept() override;

private:
    void FillList();
    void ShowSelection();

    StatusTransitionChoices& model_;
    QListWidget* statuses_;
    QLineEdit* comment_;
    QCheckBox* showAll_;
    QLabel* description_;
    QLabel* legend_; // explains the "*" of statuses that ask for a comment
    QPushButton* ok_;
};

// Lets the user choose the next status and its fields; false when cancelled.
bool RunStatusTransitionDialog(StatusTransitionChoices& model, QWidget* parent);
