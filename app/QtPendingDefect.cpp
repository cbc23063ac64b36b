// Placeholder until the template chooser exists.
#include "app/QtUserInterface.h"

std::optional<int> QtUserInterface::ChooseTemplate(const TemplateChoiceRequest&)
{
    return std::nullopt;
}
