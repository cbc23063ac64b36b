#pragma once
// Hints: message boxes with a check box that turns them off for good.

#include "base/UserInterface.h"

#include <QString>

#include <vector>

struct HintButton {
    QString caption;
    Answer result = Answer::Ok;
};

// The buttons of a hint by its style (only the low four bits count): OK alone, Yes and No,
// or OK and Cancel. Escape acts as the last one.
std::vector<HintButton> HintButtonsForStyle(HintStyle style);

// Shows hint hintId unless it is in `hints` (then the default result is returned at once);
// a ticked check box adds the id to `hints`.
Answer ShowHint(UserInterface& ui, int hintId, std::vector<int>& hints, HintStyle style, Answer defaultResult,
                bool checkBoxTicked);
