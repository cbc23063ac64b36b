#include "base/Hint.h"

#include "base/StringTable.h"

#include <algorithm>

std::vector<HintButton> HintButtonsForStyle(HintStyle style)
{
    switch (static_cast<int>(style) & 0xF) {
    case 0:
        return {{QStringLiteral("OK"), 1}};
    case 4:
        return {{LoadString(130), 6}, {LoadString(131), 7}};
    default:
        return {{QStringLiteral("OK"), 1}, {QStringLiteral("Cancel"), 2}};
    }
}

int ShowHint(UserInterface& ui, int hintId, std::vector<int>& hints, HintStyle style, int defaultResult,
             bool checkBoxTicked)
{
    if (std::find(hints.begin(), hints.end(), hintId) != hints.end())
        return defaultResult;
    HintRequest request;
    request.hintId = hintId;
    request.text = LoadString(hintId);
    request.style = style;
    request.checkBoxTicked = checkBoxTicked;
    const HintAnswer answer = ui.ShowHint(request);
    if (answer.dontShowAgain)
        hints.push_back(hintId);
    return answer.result;
}
