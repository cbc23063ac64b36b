// Placeholders until the login dialogs exist.
#include "app/QtUserInterface.h"

std::optional<LoginDialogAnswer> QtUserInterface::RunLoginDialog(const LoginDialogRequest&)
{
    return std::nullopt;
}

std::optional<ChangePasswordAnswer> QtUserInterface::RunChangePasswordDialog()
{
    return std::nullopt;
}
