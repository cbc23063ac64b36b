#pragma once
// The "&History" page: the defect's dates and its history log, both read only; the user name
// that each entry carries in parentheses is greyed.

#include "ui/FormPage.h"

class QLineEdit;
class QTextEdit;

class CHistoryPage : public CFormPage {
    Q_OBJECT
public:
    explicit CHistoryPage(QWidget* parent = nullptr);

    void ShowValues(const DefectRecord& record, CDefectDoc& document) override;

private:
    QLineEdit* opened_;
    QLineEdit* modified_;
    QLineEdit* closed_;
    QLineEdit* read_;
    QTextEdit* history_;
};
