// Dialogs of the document that are not built yet.
#include "app/QtUserInterface.h"

std::optional<LoginDialogAnswer> QtUserInterface::RunLoginDialog(const LoginDialogRequest&)
{
    return std::nullopt;
}

std::optional<ChangePasswordAnswer> QtUserInterface::RunChangePasswordDialog()
{
    return std::nullopt;
}

int QtUserInterface::ChooseWorkflow()
{
    return 2;
}

bool QtUserInterface::RunStatusTransitionDialog(StatusTransitionModel&)
{
    return false;
}

std::optional<int> QtUserInterface::ChooseTemplate(const TemplateChoiceRequest&)
{
    return std::nullopt;
}
