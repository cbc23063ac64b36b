// Hints: the buttons of each style, and showing a hint unless the user has turned it off.

#include "base/Hint.h"

#include "base/StringTable.h"

#include <algorithm>

std::vector<HintButton> HintButtonsForStyle(HintStyle style)
{
    switch (static_cast<int>(style) & 0xF) {
    case 0:
        return {{QStringLiteral("OK"), Answer::Ok}};
    case 4:
        return {{LoadString(130), Answer::Yes}, {LoadString(131), Answer::No}};
    default:
        return {{QStringLiteral("OK"), Answer::Ok}, {QStringLiteral("Cancel"), Answer::Cancel}};
    }
}

Answer ShowHint(UserInterface& ui, int hintId, std::vector<int>& hints, HintStyle style, Answer defaultResult,
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
