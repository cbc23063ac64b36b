#pragma once
// What the document expects of the form that edits the current defect. The form keeps the record
// as it was loaded apart from the user's edits until a save has stored them, so that a save that
// fails leaves both, and a modified flag that only the user's edits set; the document never
// compares field values to decide whether to save.

#include "document/DefectRecord.h"

class UserInterface;

class DefectForm {
public:
    virtual ~DefectForm() = default;

    // True when the user changed something since the record was last shown.
    virtual bool isModified() const = 0;
    // Copies the controls into `record` (never its key); false when the form refuses. The record
    // as loaded stays as it was: only a successful save shows the stored record.
    virtual bool takeValues(DefectRecord& record) = 0;
    // The controls' values as the user left them, with the loaded record's key, without the
    // questions that taking them for a save asks.
    virtual DefectRecord asEdited() = 0;
    // Copies `record` into the controls, makes it the record as loaded and clears the modified flag.
    virtual void showValues(const DefectRecord& record) = 0;
    // Shows `edited` as the user's unsaved edits of `loaded`, the record as the file now holds it;
    // the form stays modified.
    virtual void showEdits(const DefectRecord& loaded, const DefectRecord& edited) = 0;
    // The record as the form last showed it from the file; the edits are not in it.
    virtual const DefectRecord& asLoaded() const = 0;
    virtual void clearModified() = 0;
    // Mark as read / unread stored a new lastread: the form shows it and its working copy takes
    // it; the user's edits and the modified flag stay as they are.
    virtual void setLastRead(double lastread) = 0;
    virtual void setEnabled(bool enabled) = 0;
};

// A template belongs to its From stakeholder (0 = everybody), so a template whose From is
// somebody else cannot be saved as it is: asks string 139; Yes makes the logged-in user the
// owner, No refuses. The form's takeValues calls this on the values it is about to hand back;
// false means it must refuse.
bool ApplyTemplateOwnerRule(DefectRecord& taken, std::int32_t loggedInId, UserInterface& ui);
