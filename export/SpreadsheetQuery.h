#pragma once
// The spreadsheet query of the current list: the visible columns' expressions over
// DefectListQuery with the list's clause, and the ".dqy" file that hands it to a spreadsheet
// program through the "Vellacord" data source.

#include "list/ViewDefinition.h"

#include <QByteArray>
#include <QString>

#include <vector>

// The column ids the list shows, in the user's display order; a width of 0 or 1 is hidden.
std::vector<int> VisibleColumns(const ListColumns& list);

// The select expression of list column `columnId`; empty for an id outside the catalogue.
QString SpreadsheetExpression(int columnId);

// "SELECT <expressions> from DefectListQuery <clause>" on one line: a query file holds the
// statement in one line, so line breaks become blanks and line comments become block comments.
QString SpreadsheetSelect(const std::vector<int>& columns, const QString& clause);

// The four lines of a ".dqy" file for the statement.
QByteArray SpreadsheetQueryFile(const QString& select);

// Writes the file; aborts when it cannot be opened for writing.
void WriteSpreadsheetQuery(const QString& path, const QString& select);
