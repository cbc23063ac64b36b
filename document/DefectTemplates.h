#pragma once
// Templates are defects with status 0; a template belongs to its From stakeholder, and one
// with From 0 belongs to everybody. New defects start from a template or from a blank entry.

#include "document/DefectContext.h"
#include "document/DefectRecord.h"

#include <vector>

class DefectPersistence;

// The logged-in user's templates and everybody's, in the order the database returns them,
// followed by the blank entry "<new defect>" with id 0.
std::vector<DefectRecord> LoadTemplates(DefectContext& context);

// Lets the user choose a template (the blank entry at once when there are no templates) and
// inserts a new defect from it; the chooser's Cancel adds nothing. Runs after a successful save.
void NewDefectFromTemplate(DefectContext& context, DefectPersistence& persistence);
