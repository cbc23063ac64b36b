#pragma once
// Dialog 226: the new status of a defect and the comment for the move, decided by the model.

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
    QPushButton* ok_;
};
