// Taking another user's template: the user is asked first, and the new defect becomes theirs.

#include "document/DefectForm.h"

#include "base/UserInterface.h"
#include "store/LookupEntries.h"

bool ApplyTemplateOwnerRule(DefectRecord& taken, std::int32_t loggedInId, UserInterface& ui)
{
    if (taken.StatusID != reserved::kStatusTemplate || taken.FromID == reserved::kNobody || taken.FromID == loggedInId)
        return true;
    if (ShowStringMessage(ui, 139, Buttons::YesNo, Icon::Question) != Answer::Yes)
        return false;
    taken.FromID = loggedInId;
    return true;
}
