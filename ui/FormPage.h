#pragma once
// A page under the defect form's tabs: it shows the form's working record and takes its own
// fields back into it when the user leaves it or the form hands its values to the document.

#include <QWidget>

class CDefectDoc;
struct DefectRecord;

class CFormPage : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;

    // Fills the page without reporting an edit.
    virtual void ShowValues(const DefectRecord& record, CDefectDoc& document) = 0;
    // Pages without fields of their own take nothing.
    virtual void TakeValues(DefectRecord&) const { }

signals:
    // The user changed a field of the page.
    void edited();
};
