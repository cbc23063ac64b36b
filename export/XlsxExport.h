#pragma once
// The current list as a spreadsheet file (.xlsx) that the desktop's spreadsheet program opens
// natively: the visible columns in display order under a frozen header row.

#include "list/ListQuery.h"
#include "list/ViewDefinition.h"

#include <QString>

namespace engine {
class Connection;
}

// Writes the rows of the list statement `condition` for the list's visible columns: ids and
// builds as numbers, dates as date cells, the view's widths. Aborts when the file cannot be written.
void WriteListWorkbook(const QString& path, engine::Connection& connection, const ListColumns& list,
                       const ListCondition& condition);
