// The port the running program uses, and the message helpers over the string table.

#include "base/UserInterface.h"

#include "base/Check.h"
#include "base/StringTable.h"

namespace {
UserInterface* currentUserInterface = nullptr;
}

UserInterface& TheUserInterface()
{
    check::precondition(currentUserInterface != nullptr, "no user interface set");
    return *currentUserInterface;
}

void SetUserInterface(UserInterface* ui)
{
    currentUserInterface = ui;
}

Answer ShowTextMessage(UserInterface& ui, const QString& text, Buttons buttons, Icon icon, int stringId)
{
    MessageRequest request;
    request.text = text;
    request.buttons = buttons;
    request.icon = icon;
    request.stringId = stringId;
    return ui.ShowMessage(request);
}

Answer ShowDetailedMessage(UserInterface& ui, const QString& text, const QString& details, Buttons buttons, Icon icon,
                           int stringId)
{
    MessageRequest request;
    request.text = text;
    request.details = details;
    request.buttons = buttons;
    request.icon = icon;
    request.stringId = stringId;
    return ui.ShowMessage(request);
}

Answer ShowStringMessage(UserInterface& ui, int stringId, Buttons buttons, Icon icon)
{
    return ShowTextMessage(ui, LoadString(stringId), buttons, icon, stringId);
}
