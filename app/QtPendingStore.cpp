// Dialogs of the database store that are not built yet.
#include "app/QtUserInterface.h"

RetryAnswer QtUserInterface::RunRetryDialog(const RetryDialogRequest& request)
{
    ShowTextMessage(*this, request.message, Buttons::Ok, Icon::Error);
    return RetryAnswer::Cancel;
}

std::optional<QString> QtUserInterface::RunAdministrationDialog(AdministrationActions&)
{
    return std::nullopt;
}
