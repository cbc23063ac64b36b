#pragma once
// The program's "Description|pattern||" filter strings in the form Qt's file dialogs take.

#include <QString>

// Converts a "Description|pattern|Description|pattern||" filter (patterns separated by ";")
// into a Qt file-dialog filter ("Description (pattern);;...").
QString QtFileFilter(const QString& filter);
