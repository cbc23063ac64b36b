#pragma once
// The "&Details" page: found and fixed version and build, and the comments.

#include "ui/FormFields.h"
#include "ui/FormPage.h"

class QPlainTextEdit;

class CDetailsPage : public CFormPage {
    Q_OBJECT
public:
    explicit CDetailsPage(QWidget* parent = nullptr);

    void ShowValues(const DefectRecord& record, CDefectDoc& document) override;
    void TakeValues(DefectRecord& record) const override;

private:
    VersionRow found_;
    VersionRow fixed_;
    QPlainTextEdit* comments_;
};
