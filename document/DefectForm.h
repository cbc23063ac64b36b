#pragma once
// What the document expects of the form that edits the current defect. The form keeps a
// working copy of the record as it last showed it and a modified flag that only the user's
// edits set; the document never compares field values to decide whether to save.

#include "document/DefectRecord.h"

class UserInterface;

class DefectForm {
public:
    virtual ~DefectForm() = default;

    // True when the user changed something since the record was last shown.
    virtual bool isModified() const = 0;
    // Copies the controls into `record` (never its key); false when the form refuses.
    virtual bool takeValues(DefectRecord& record) = 0;
    // Copies `record` into the controls, makes it the working copy and clears the modified flag.
    virtual void showValues(const DefectRecord& record) = 0;
    // The record as last shown.
    virtual const DefectRecord& workingCopy() const = 0;
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
