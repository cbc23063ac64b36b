// Placeholder until the retry dialog exists.
#include "app/QtUserInterface.h"

RetryAnswer QtUserInterface::RunRetryDialog(const RetryDialogRequest& request)
{
    ShowTextMessage(*this, request.message, Buttons::Ok, Icon::Error);
    return RetryAnswer::Cancel;
}
