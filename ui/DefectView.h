#pragma once
// The lower pane: the form that shows and edits the current defect. A header with the ID, the
// status button, priority, subject, From, To and Cc above four pages (summary, details, history,
// attachments). It edits a working copy of the document's record and keeps the record as loaded
// beside it until a save stored the edits; only the user's edits and status changes mark it
// modified. A pane smaller than the form's design size scrolls.

#include "document/DefectForm.h"
#include "document/DefectRecord.h"

#include <QPointer>
#include <QScrollArea>

#include <vector>

class CDefectDoc;
class CFormPage;
class QComboBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;

class CDefectView : public QScrollArea, public DefectForm {
    Q_OBJECT
public:
    explicit CDefectView(QWidget* parent = nullptr);
    ~CDefectView() override;

    QSize sizeHint() const override;

    // The document whose current defect the form edits. The form registers with it now when a
    // user is logged in, and again after every login.
    void SetDocument(CDefectDoc& document);

    bool isModified() const override { return modified_; }
    bool takeValues(DefectRecord& record) override;
    DefectRecord asEdited() override;
    void showValues(const DefectRecord& record) override;
    void showEdits(const DefectRecord& loaded, const DefectRecord& edited) override;
    const DefectRecord& asLoaded() const override { return loadedRecord_; }
    void clearModified() override { modified_ = false; }
    void setLastRead(double lastread) override;
    void setEnabled(bool enabled) override;

    // The status button: the transition dialog, then the history entry, the status and the
    // closing date in the working record.
    void ChangeStatus();

signals:
    // The user changed the defect (the form is modified now).
    void edited();

private:
    QGridLayout* BuildHeader(QWidget* form);
    void MarkModified();
    // The header and the current page show the working record.
    void ShowWorkingRecord();
    void ShowHeader();
    void TakeHeader();
    void ShowStatusCaption();
    void ShowReadState();
    CFormPage* CurrentPage() const;
    void SwitchPage(int index);

    QPointer<CDefectDoc> document_;
    DefectRecord workingRecord_; // the controls' values, taken when a page is left or the form hands them on
    DefectRecord loadedRecord_;  // the record as the file held it when the form last showed it
    bool modified_ = false;

    QLineEdit* id_ = nullptr;
    QLabel* unread_ = nullptr; // shown while the defect is the user's own unread one
    QPushButton* status_ = nullptr;
    QComboBox* priority_ = nullptr;
    QLineEdit* subject_ = nullptr;
    QComboBox* from_ = nullptr;
    QComboBox* to_ = nullptr;
    QLineEdit* cc_ = nullptr;
    QTabWidget* tabs_ = nullptr;
    std::vector<CFormPage*> pages_;
    int currentPage_ = 0;
};
