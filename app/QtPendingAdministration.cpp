// Placeholder until the administration dialog exists.
#include "app/QtUserInterface.h"

std::optional<QString> QtUserInterface::RunAdministrationDialog(AdministrationActions&)
{
    return std::nullopt;
}
