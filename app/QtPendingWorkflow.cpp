// Placeholders until the workflow dialogs exist.
#include "app/QtUserInterface.h"

int QtUserInterface::ChooseWorkflow()
{
    return 2;
}

bool QtUserInterface::RunStatusTransitionDialog(StatusTransitionModel&)
{
    return false;
}
