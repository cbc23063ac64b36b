#pragma once
// The "&Summary" page: found version and build, severity, component, category, description.

#include "ui/FormFields.h"
#include "ui/FormPage.h"

class QComboBox;
class QPlainTextEdit;

class CSummaryPage : public CFormPage {
    Q_OBJECT
public:
    explicit CSummaryPage(QWidget* parent = nullptr);

    void ShowValues(const DefectRecord& record, CDefectDoc& document) override;
    void TakeValues(DefectRecord& record) const override;

private:
    VersionRow found_;
    QComboBox* severity_;
    QComboBox* component_;
    QComboBox* category_;
    QPlainTextEdit* description_;
};
