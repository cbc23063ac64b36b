#pragma once
// Hints: message boxes with a check box that turns them off for good.

#include "base/UserInterface.h"

#include <QString>

#include <vector>

struct HintButton {
    QString caption;
    int result = 1;
};

// The buttons of a hint by its style (only the low four bits count): OK alone, Yes and No,
// or OK and Cancel. Escape acts as the last one.
std::vector<HintButton> HintButtonsForStyle(HintStyle style);

// Shows hint hintId unless it is in `hints` (then the default result is returned at once);
// a ticked check box adds the id to `hints`.
int ShowHint(UserInterface& ui, int hintId, std::vector<int>& hints, HintStyle style, int defaultResult,
             bool checkBoxTicked);
