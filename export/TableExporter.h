#pragma once
// Writes the rows of a query into a CSV, tab-separated text or XML file for other tools.

#include "engine/Statement.h"
#include "list/DateTextFormat.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

namespace engine {
class Connection;
}

enum class ExportFormat { Csv = 0, Text = 1, Xml = 2 };

// What becomes of a CSV or text cell that a spreadsheet would evaluate (=, +, -, @, tab, carriage
// return at its start): a leading apostrophe makes it text, or it is written as it is.
enum class FormulaCells { Neutralise, Raw };

// One file format: the header, a line per row and the trailer, each line ending in "\n".
// The first line of a text or CSV file: the names a user reads in the program, or the query's
// column names, which scripts that read scheduled exports rely on.
enum class ExportHeadings { Captions, ColumnNames };

class CTableExporter {
public:
    // `columnNames`: the query's columns in query order.
    CTableExporter(ExportFormat format, const QStringList& columnNames,
                   FormulaCells formulas = FormulaCells::Neutralise,
                   ExportHeadings headings = ExportHeadings::ColumnNames);

    // Whether a column goes into the file: not the lookups' sort and read-only columns that the
    // list query repeats, and never a password hash or the user flags, since export files travel.
    static bool IsExported(const QString& columnName);
    // The heading of a column in a text or CSV file: what the program calls it ("Found in" for
    // foundversion); a column it has no name for keeps its own.
    static QString HeaderCaption(const QString& columnName);

    QByteArray Header() const;
    QByteArray Row(const engine::Statement& row) const;
    // Appends the row's line to `line`.
    void AppendRow(QByteArray& line, const engine::Statement& row) const;
    QByteArray Trailer() const;

private:
    struct Column {
        int position = 0;
        QByteArray name; // UTF-8
        bool isDate = false;
        // The XML element's tags, "<name>" and "</name>\n", made once rather than for every cell.
        QByteArray openTag;
        QByteArray closeTag;
    };

    QByteArray Value(const engine::Statement& row, const Column& column) const;

    ExportFormat format_;
    bool neutraliseFormulas_;
    ExportHeadings headings_;
    std::vector<Column> columns_;
    DateTextFormat dates_;
};

// Runs `query` on the connection (fenced when it carries a user's filter) and writes the file
// at `path` ("-" for the standard output, see OutputFile); a file that cannot be opened or
// written aborts, and so does a failed query. The number of rows written.
int ExportTable(const QString& path, const QString& query, engine::Connection& connection, ExportFormat format,
                engine::Access access = engine::Access::Any, FormulaCells formulas = FormulaCells::Neutralise,
                ExportHeadings headings = ExportHeadings::ColumnNames);
