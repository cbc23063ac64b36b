#pragma once
// Dialog 231: the choice of the workflow a new database starts with.

#include "base/UserInterface.h"
#include <QDialog>

#include <optional>

class QButtonGroup;

class CSelectWorkflowDialog : public QDialog {
    Q_OBJECT
public:
    explicit CSelectWorkflowDialog(QWidget* parent = nullptr);

    // 0 standard, 1 simple, 2 import your own workflow.
    int Index() const;

private:
    QButtonGroup* choices_;
};

// The index of the workflow the user chose with OK; none after Cancel.
std::optional<int> RunSelectWorkflowDialog(QWidget* parent);
