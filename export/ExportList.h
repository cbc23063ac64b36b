#pragma once
// The File menu's export commands over the current list: "Export..." writes a file in the
// format its name asks for; the spreadsheet command opens the list in the desktop's
// spreadsheet program.

#include "export/TableExporter.h"

#include <QString>

#include <optional>

class CDefectDoc;
class CDefectList;

namespace engine {
class Connection;
}

enum class ListExportKind { Text, Csv, Xml, SpreadsheetQuery, Workbook };

// By the name's extension, in any case: .xml, .csv, .dqy, .xlsx; tab-separated text for any other.
ListExportKind ExportKindOfPath(const QString& path);

// Writes the current list (its filter and order) to `path` ("-" for the standard output): every
// column of the list query for text, CSV and XML; the visible columns for the query file and the
// workbook. `formulas` says what becomes of CSV and text cells a spreadsheet would evaluate.
// Aborts on failure. The number of rows written, where the format counts them (text, CSV, XML).
// File > Export heads text and CSV with the program's captions; scheduled exports keep the
// column names.
std::optional<int> WriteListExport(const QString& path, ListExportKind kind, engine::Connection& connection,
                                   CDefectList& list, FormulaCells formulas = FormulaCells::Neutralise,
                                   ExportHeadings headings = ExportHeadings::ColumnNames);

// "Export...": asks for the file, writes it, and reports a failure.
void ExportList(CDefectDoc& document, CDefectList& list);

// Writes the list as a workbook to the temporary folder and opens it with the desktop's
// program for it; message 201 when none opens it.
void OpenListInSpreadsheet(CDefectDoc& document, CDefectList& list);
