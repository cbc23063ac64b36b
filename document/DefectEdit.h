#pragma once
// Changes to defects made without a window (from a shell, a build script or a commit hook): a form
// without controls that the document loads and saves as it does the defect form, so that the
// workflow, the history, the concurrency check and the notification go the same way.

#include "document/DefectForm.h"
#include "document/DefectRecord.h"

#include <QString>

#include <cstdint>

class CDefectDoc;

// The form of a session without a window: the record as loaded and a working copy of it.
class HeadlessForm : public DefectForm {
public:
    bool isModified() const override { return modified_; }
    bool takeValues(DefectRecord& record) override;
    DefectRecord asEdited() override;
    void showValues(const DefectRecord& record) override;
    void showEdits(const DefectRecord& loaded, const DefectRecord& edited) override;
    const DefectRecord& asLoaded() const override { return loaded_; }
    void clearModified() override { modified_ = false; }
    void setLastRead(double lastread) override;
    void setEnabled(bool) override { }

    // The working copy; changing it through Edit() marks the form modified.
    const DefectRecord& working() const { return working_; }
    DefectRecord& Edit();

private:
    DefectRecord loaded_;
    DefectRecord working_;
    bool modified_ = false;
};

struct EditOutcome {
    enum class Result {
        Saved,            // the file holds the change; the notification went out
        NotFound,         // no such defect
        Refused,          // the workflow or the comment rule does not allow the change
        ChangedMeanwhile, // somebody else saved the defect since it was read: nothing written
        Failed,           // the file could not be written
    };
    Result result = Result::Failed;
    QString message; // for the user, empty when saved
    std::int32_t defectId = 0;

    bool saved() const { return result == Result::Saved; }
};

// One defect changed by the logged-in user of `doc`. The editor is the document's form while it
// lives; one at a time.
class DefectEditor {
public:
    explicit DefectEditor(CDefectDoc& doc);
    ~DefectEditor();
    DefectEditor(const DefectEditor&) = delete;
    DefectEditor& operator=(const DefectEditor&) = delete;

    // Reads the defect and makes it current; false when there is no such defect.
    bool Load(std::int32_t defectId);
    const DefectRecord& loaded() const { return form_.asLoaded(); }
    HeadlessForm& form() { return form_; }

    // The change to `status` with `comment` as the workflow allows it from the loaded status
    // (any status when the file has no workflow), in memory; Refused with the reason otherwise.
    EditOutcome ChangeStatus(std::int32_t status, const QString& comment);
    // A history line under the current status, as a status change's comment would be.
    void AddComment(const QString& comment);
    // Writes the working copy through the document's save.
    EditOutcome Save();

    // A new defect with the given fields (subject, description, addressee, cc, ratings,
    // component, category), inserted and then saved as the window does: the workflow's first
    // status, the first history line, unread for its addressee, the notification.
    EditOutcome Add(const DefectRecord& fields);

private:
    EditOutcome Outcome(EditOutcome::Result result, const QString& message) const;

    CDefectDoc& doc_;
    HeadlessForm form_;
};
