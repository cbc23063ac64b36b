// The ".dqy" query file of the current list.

#include "export/SpreadsheetQuery.h"

#include "base/Check.h"
#include "export/OutputFile.h"
#include "list/ColumnCatalogue.h"

#include <QStringList>

#include <array>

namespace {

// The repeated columns of DefectListQuery carry qualified names, written in brackets.
constexpr std::array<const char*, column::kCount> kExpressions{
    "defect_id",
    "status",
    "subject",
    "[To.displayname] as \"to\"",
    "[From.displayname] as \"from\"",
    "priority",
    "severity",
    "component",
    "foundbuild",
    "fixedbuild",
    "description",
    "opened",
    "modified",
    "closed",
    "comments",
    "lastread",
    "foundversion",
    "fixedversion",
    "category",
    "cc",
};

// Moves the SQL onto one line without changing what it says: blanks for line breaks outside
// texts, char() for those inside, a block comment for a line comment.
QString OneLine(const QString& sql)
{
    QString out;
    out.reserve(sql.size() + 8);
    QChar quote; // the closing character of the open quote or bracketed name, null when none
    bool lineComment = false;
    bool blockComment = false;
    for (qsizetype i = 0; i < sql.size(); ++i) {
        const QChar c = sql.at(i);
        const QChar next = i + 1 < sql.size() ? sql.at(i + 1) : QChar();
        const bool lineBreak = c == QLatin1Char('\n') || c == QLatin1Char('\r');
        if (lineComment) {
            if (lineBreak) {
                out += QStringLiteral("*/ ");
                lineComment = false;
            } else if (c == QLatin1Char('*') && next == QLatin1Char('/')) {
                out += QStringLiteral("* "); // would end the block comment early
            } else {
                out += c;
            }
            continue;
        }
        if (lineBreak && quote == QLatin1Char('\'')) {
            // A text keeps its line breaks, spelled out.
            out += QStringLiteral("' || char(%1) || '").arg(c.unicode());
            continue;
        }
        if (lineBreak) {
            out += QLatin1Char(' ');
            continue;
        }
        out += c;
        if (blockComment) {
            if (c == QLatin1Char('*') && next == QLatin1Char('/')) {
                out += next;
                ++i;
                blockComment = false;
            }
        } else if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
        } else if (c == QLatin1Char('\'') || c == QLatin1Char('"') || c == QLatin1Char('`')) {
            quote = c;
        } else if (c == QLatin1Char('[')) {
            quote = QLatin1Char(']');
        } else if (c == QLatin1Char('-') && next == QLatin1Char('-')) {
            out.back() = QLatin1Char('/');
            out += QLatin1Char('*');
            ++i;
            lineComment = true;
        } else if (c == QLatin1Char('/') && next == QLatin1Char('*')) {
            out += next;
            ++i;
            blockComment = true;
        }
    }
    if (lineComment)
        out += QStringLiteral("*/");
    return out;
}

} // namespace

std::vector<int> VisibleColumns(const ListColumns& list)
{
    std::vector<int> visible;
    for (const int column : DisplayOrder(list)) {
        if (list.columns[static_cast<std::size_t>(column)].width > 1 && !SpreadsheetExpression(column).isEmpty())
            visible.push_back(column);
    }
    return visible;
}

QString SpreadsheetExpression(int columnId)
{
    if (columnId < 0 || columnId >= column::kCount)
        return QString();
    return QString::fromLatin1(kExpressions[static_cast<std::size_t>(columnId)]);
}

QString SpreadsheetSelect(const std::vector<int>& columns, const QString& clause)
{
    QStringList expressions;
    for (const int column : columns)
        expressions << SpreadsheetExpression(column);
    // A list with every column hidden still makes a query that runs.
    if (expressions.isEmpty())
        expressions << SpreadsheetExpression(column::kDefectId);
    return QStringLiteral("SELECT ") + expressions.join(QStringLiteral(", ")) +
        QStringLiteral(" from DefectListQuery ") + OneLine(clause);
}

QByteArray SpreadsheetQueryFile(const QString& select)
{
    // The lines end as the spreadsheet programs that read these files expect.
    return "XLODBC\r\n1\r\nDSN=Vellacord\r\n" + select.toUtf8() + "\r\n";
}

void WriteSpreadsheetQuery(const QString& path, const QString& select)
{
    constexpr const char* kFailure = "could not open export file for writing";
    OutputFile file(path, kFailure);
    const QByteArray content = SpreadsheetQueryFile(select);
    check::abort_if(file.device().write(content) != content.size(), kFailure);
    file.Commit();
}
