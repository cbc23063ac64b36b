#pragma once
// The logged-in user's row of table UserSettings: what the last session left selected and the
// user's timer and notification options.

#include "document/ConnectionProvider.h"

#include <cstdint>

class Clock;
class UserInterface;

struct UserSettingsRecord {
    std::int32_t LastDefectId = 0;
    std::int32_t LastFilterId = 1;
    std::int16_t LastFilterState = 0;
    std::int32_t LastViewId = 1;
    std::int32_t UserId = 0;
    std::int16_t LastMyDefectsState = 0;
    std::int32_t Hotkey = 619; // keypad plus with Ctrl
    std::int32_t LastTemplateId = 0;
    std::int16_t AutoRefreshList = 5;  // minutes, 0 = off; a team sees the others' entries within minutes
    std::int16_t AutoCloseDB = 5;      // minutes, 0 = off
    std::int16_t NotifyOfChanges = -1; // non-zero = ask when new unread entries arrive
    double dateLastSaved = 0;
};

// The document's selection that the settings restore and save.
struct SessionSelection {
    std::int32_t currentDefectId = 0;
    std::int32_t currentViewId = 1;
    std::int32_t currentFilterId = 1;
    bool filterOn = false;
    bool myDefectsOn = false;
};

// Reads the user's row into `record` and `selection`; without a readable row both get their
// defaults. True when a row was read (its LastDefectId is then the defect to select).
bool LoadUserSettings(ConnectionProvider& connections, std::int32_t userId, UserSettingsRecord& record,
                      SessionSelection& selection);

// One write: inserts the row when the user has none, else writes into it. The engine status.
long WriteUserSettings(ConnectionProvider& connections, const Clock& clock, std::int32_t userId,
                       const SessionSelection& selection, UserSettingsRecord& record);

// Up to 8 writes with the retry dialog between them; Cancel there gives up. True when one succeeded.
bool SaveUserSettings(ConnectionProvider& connections, UserInterface& ui, const Clock& clock, std::int32_t userId,
                      const SessionSelection& selection, UserSettingsRecord& record);
