// The CSV, text and XML files of a query's rows. XML 1.0 cannot carry most control characters
// nor U+FFFE and U+FFFF: they are written as the visible escapes \xHH and \uFFFE/\uFFFF, next to
// \n and \r for line breaks, and bytes that are no UTF-8 become U+FFFD, so that every XML parser
// reads the file. CSV and text cells that a spreadsheet would evaluate get a leading apostrophe.

#include "export/TableExporter.h"

#include "base/Check.h"
#include "base/ErrorContext.h"
#include "base/Result.h"
#include "base/StringTable.h"
#include "engine/Connection.h"
#include "engine/EngineStatus.h"

#include "export/OutputFile.h"

#include <QRegularExpression>
#include <QTemporaryFile>

#include <array>
#include <cstdio>
#include <map>
#include <optional>

namespace {

constexpr int kXmlDeclaration = 209;
// Tells the file's reader what the escapes in its texts stand for.
constexpr const char* kXmlEscapesComment =
    "<!-- In the texts, \\n and \\r stand for a line feed and a carriage return, \\xHH for the control "
    "character of that hexadecimal code and \\uFFFE and \\uFFFF for those characters, which XML cannot "
    "carry; U+FFFD stands where the database held bytes that are no UTF-8. -->";

// The last part of a qualified name ("To.passwd" → "passwd"), lower case.
QString BaseName(const QString& columnName)
{
    return columnName.mid(columnName.lastIndexOf(QLatin1Char('.')) + 1).toLower();
}

// DefectListQuery keeps its dates as OLE dates in these columns.
bool IsDateColumn(const QString& columnName)
{
    static const QStringList dates{QStringLiteral("opened"), QStringLiteral("modified"), QStringLiteral("closed"),
                                   QStringLiteral("lastread")};
    return dates.contains(BaseName(columnName));
}

// What a character is written as in a format; null when it stays as it is. All escaped
// characters are ASCII, so the UTF-8 bytes are looked at one by one.
const char* EscapeOf(char c, ExportFormat format)
{
    switch (c) {
    case '\n':
        return "\\n";
    case '\r':
        return "\\r";
    case '\t':
        return format == ExportFormat::Text ? "\\t" : nullptr;
    case '"':
        return format == ExportFormat::Csv ? "\"\"" : format == ExportFormat::Xml ? "&quot;" : nullptr;
    case '<':
        return format == ExportFormat::Xml ? "&lt;" : nullptr;
    case '>':
        return format == ExportFormat::Xml ? "&gt;" : nullptr;
    case '&':
        return format == ExportFormat::Xml ? "&amp;" : nullptr;
    default:
        return nullptr;
    }
}

// The visible escape of a character that XML 1.0 cannot carry, starting at `c`; its length in
// bytes goes to `bytes`. Null for every other character. Tab, line feed and carriage return are
// XML characters; the last two have escapes of their own.
const char* XmlForbidden(const char* c, const char* end, int& bytes)
{
    static const std::array<std::array<char, 5>, 32> kControls = [] {
        std::array<std::array<char, 5>, 32> escapes{};
        for (std::size_t i = 0; i < escapes.size(); ++i)
            std::snprintf(escapes[i].data(), escapes[i].size(), "\\x%02X", static_cast<unsigned>(i));
        return escapes;
    }();
    const auto byte = static_cast<unsigned char>(*c);
    if (byte < 0x20 && byte != '\t') {
        bytes = 1;
        return kControls[byte].data();
    }
    // U+FFFE and U+FFFF are EF BF BE and EF BF BF.
    if (byte == 0xEF && end - c >= 3 && static_cast<unsigned char>(c[1]) == 0xBF &&
        (static_cast<unsigned char>(c[2]) & 0xFE) == 0xBE) {
        bytes = 3;
        return static_cast<unsigned char>(c[2]) == 0xBE ? "\\uFFFE" : "\\uFFFF";
    }
    return nullptr;
}

// The bytes that may need an escape in a format: the runs between them are copied unlooked-at.
const std::array<bool, 256>& MayEscape(ExportFormat format)
{
    static const std::array<std::array<bool, 256>, 3> kTables = [] {
        std::array<std::array<bool, 256>, 3> tables{};
        for (const ExportFormat each : {ExportFormat::Csv, ExportFormat::Text, ExportFormat::Xml}) {
            auto& table = tables[static_cast<std::size_t>(each)];
            for (int byte = 0; byte < 256; ++byte) {
                const auto c = static_cast<char>(byte);
                table[static_cast<std::size_t>(byte)] =
                    EscapeOf(c, each) != nullptr || (each == ExportFormat::Xml && (byte < 0x20 || byte == 0xEF));
            }
        }
        return tables;
    }();
    return kTables[static_cast<std::size_t>(format)];
}

// Appends the text escaped; the runs between escaped characters go in whole.
void AppendEscaped(QByteArray& out, const char* text, int bytes, ExportFormat format)
{
    const std::array<bool, 256>& mayEscape = MayEscape(format);
    const char* run = text;
    const char* const end = text + bytes;
    for (const char* c = text; c < end; ++c) {
        if (!mayEscape[static_cast<unsigned char>(*c)])
            continue;
        int length = 1;
        const char* escape = EscapeOf(*c, format);
        if (escape == nullptr && format == ExportFormat::Xml)
            escape = XmlForbidden(c, end, length);
        if (escape != nullptr) {
            out.append(run, c - run).append(escape);
            c += length - 1;
            run = c + 1;
        }
    }
    out.append(run, end - run);
}

// A number the spreadsheet reads as a number, such as -3 or +2.5; it computes nothing.
bool IsPlainNumber(const QByteArray& value)
{
    static const QRegularExpression kNumber(QStringLiteral("^[+-]?[0-9]+(\\.[0-9]+)?$"));
    return kNumber.match(QLatin1String(value)).hasMatch();
}

// Whether a spreadsheet that opens the file would take the cell for a formula: it begins with
// =, +, -, @, a tab or a carriage return. Such a cell could compute, fetch addresses or run
// commands on the reader's machine.
bool StartsFormula(const QByteArray& value)
{
    if (value.isEmpty())
        return false;
    switch (value.front()) {
    case '=':
    case '@':
    case '\t':
    case '\r':
        return true;
    case '+':
    case '-':
        return !IsPlainNumber(value);
    default:
        return false;
    }
}

const char* Separator(ExportFormat format)
{
    return format == ExportFormat::Csv ? "," : "\t";
}

// The column names of the query, read from the prepared statement without running it; empty
// when it does not prepare (the run reports why).
QStringList ColumnNamesOf(engine::Connection& connection, const QString& query, engine::Access access)
{
    const engine::Statement statement(connection, query, access);
    return statement.ColumnNames();
}

} // namespace

CTableExporter::CTableExporter(ExportFormat format, const QStringList& columnNames, FormulaCells formulas,
                               ExportHeadings headings)
    : format_(format), neutraliseFormulas_(formulas == FormulaCells::Neutralise && format != ExportFormat::Xml),
      headings_(headings)
{
    for (int position = 0; position < columnNames.size(); ++position) {
        const QString& name = columnNames.at(position);
        if (!IsExported(name))
            continue;
        const QByteArray utf8 = name.toUtf8();
        columns_.push_back({position, utf8, IsDateColumn(name), '<' + utf8 + '>', "</" + utf8 + ">\n"});
    }
}

bool CTableExporter::IsExported(const QString& columnName)
{
    if (columnName.contains(QLatin1Char('.'))) {
        const QString last = columnName.mid(columnName.lastIndexOf(QLatin1Char('.')));
        if (last == QLatin1String(".sys_readonly") || last == QLatin1String(".sys_sortorder"))
            return false;
    }
    const QString base = BaseName(columnName);
    return base != QLatin1String("passwd") && base != QLatin1String("userflags");
}

QString CTableExporter::HeaderCaption(const QString& columnName)
{
    // The defect's own columns as the list and the form name them; the lookups' columns that
    // the list query adds by the list they come from.
    static const std::map<QString, QString> kCaptions{
        {QStringLiteral("defect_id"), QStringLiteral("ID")},
        {QStringLiteral("statusid"), QStringLiteral("Status ID")},
        {QStringLiteral("priorityid"), QStringLiteral("Priority ID")},
        {QStringLiteral("severityid"), QStringLiteral("Severity ID")},
        {QStringLiteral("subject"), QStringLiteral("Subject")},
        {QStringLiteral("description"), QStringLiteral("Description")},
        {QStringLiteral("componentid"), QStringLiteral("Component ID")},
        {QStringLiteral("toid"), QStringLiteral("To ID")},
        {QStringLiteral("fromid"), QStringLiteral("From ID")},
        {QStringLiteral("foundbuild"), QStringLiteral("Found build")},
        {QStringLiteral("fixedbuild"), QStringLiteral("Fixed build")},
        {QStringLiteral("comments"), QStringLiteral("Details")},
        {QStringLiteral("history"), QStringLiteral("History")},
        {QStringLiteral("opened"), QStringLiteral("Opened")},
        {QStringLiteral("modified"), QStringLiteral("Modified")},
        {QStringLiteral("closed"), QStringLiteral("Closed")},
        {QStringLiteral("lastread"), QStringLiteral("Read")},
        {QStringLiteral("foundversion"), QStringLiteral("Found in")},
        {QStringLiteral("fixedversion"), QStringLiteral("Fixed in")},
        {QStringLiteral("categoryid"), QStringLiteral("Category ID")},
        {QStringLiteral("cc"), QStringLiteral("Cc")},
        {QStringLiteral("category_id"), QStringLiteral("Category list ID")},
        {QStringLiteral("category"), QStringLiteral("Category")},
        {QStringLiteral("categorydescription"), QStringLiteral("Category description")},
        {QStringLiteral("component_id"), QStringLiteral("Component list ID")},
        {QStringLiteral("component"), QStringLiteral("Component")},
        {QStringLiteral("priority_id"), QStringLiteral("Priority list ID")},
        {QStringLiteral("priority"), QStringLiteral("Priority")},
        {QStringLiteral("severity_id"), QStringLiteral("Severity list ID")},
        {QStringLiteral("severity"), QStringLiteral("Severity")},
        {QStringLiteral("status_id"), QStringLiteral("Status list ID")},
        {QStringLiteral("status"), QStringLiteral("Status")},
        {QStringLiteral("statusdescription"), QStringLiteral("Status description")},
        {QStringLiteral("to.stakeholder_id"), QStringLiteral("To user ID")},
        {QStringLiteral("to.email"), QStringLiteral("To e-mail")},
        {QStringLiteral("to.displayname"), QStringLiteral("To")},
        {QStringLiteral("to.loginname"), QStringLiteral("To login name")},
        {QStringLiteral("from.stakeholder_id"), QStringLiteral("From user ID")},
        {QStringLiteral("from.email"), QStringLiteral("From e-mail")},
        {QStringLiteral("from.displayname"), QStringLiteral("From")},
        {QStringLiteral("from.loginname"), QStringLiteral("From login name")},
    };
    const auto found = kCaptions.find(columnName.toLower());
    return found != kCaptions.end() ? found->second : columnName;
}

QByteArray CTableExporter::Header() const
{
    if (format_ == ExportFormat::Xml)
        return LoadString(kXmlDeclaration).toUtf8() + "\n" + kXmlEscapesComment + "\n<defectlistquery>\n";
    QByteArray header;
    for (const Column& column : columns_) {
        if (!header.isEmpty())
            header += Separator(format_);
        const QByteArray caption = headings_ == ExportHeadings::Captions
            ? HeaderCaption(QString::fromUtf8(column.name)).toUtf8()
            : column.name;
        header += format_ == ExportFormat::Csv ? '"' + caption + '"' : caption;
    }
    return header + '\n';
}

QByteArray CTableExporter::Value(const engine::Statement& row, const Column& column) const
{
    QByteArray value;
    if (column.isDate) {
        const engine::Value date = row.Column(column.position);
        const double oleDate = engine::AsReal(date);
        if (!engine::IsNull(date) && oleDate != 0)
            value = dates_.Text(oleDate).toUtf8();
        return value;
    }
    int bytes = 0;
    const char* text = row.ColumnUtf8(column.position, bytes);
    if (text != nullptr)
        value = QByteArray::fromRawData(text, bytes);
    // The XML file declares UTF-8; a byte that is none becomes U+FFFD there.
    if (format_ == ExportFormat::Xml && !value.isValidUtf8())
        value = QString::fromUtf8(value).toUtf8();
    if (neutraliseFormulas_ && StartsFormula(value))
        value.prepend('\'');
    return value;
}

QByteArray CTableExporter::Row(const engine::Statement& row) const
{
    QByteArray line;
    AppendRow(line, row);
    return line;
}

void CTableExporter::AppendRow(QByteArray& line, const engine::Statement& row) const
{
    bool first = true;
    for (const Column& column : columns_) {
        const QByteArray value = Value(row, column);
        switch (format_) {
        case ExportFormat::Csv:
        case ExportFormat::Text:
            if (!first)
                line += Separator(format_);
            if (format_ == ExportFormat::Csv)
                line += '"';
            AppendEscaped(line, value.constData(), static_cast<int>(value.size()), format_);
            if (format_ == ExportFormat::Csv)
                line += '"';
            break;
        case ExportFormat::Xml:
            if (first) {
                line += "<record id=\"";
                AppendEscaped(line, value.constData(), static_cast<int>(value.size()), format_);
                line += "\">\n";
                break;
            }
            line += column.openTag;
            AppendEscaped(line, value.constData(), static_cast<int>(value.size()), format_);
            line += column.closeTag;
            break;
        }
        first = false;
    }
    line += format_ == ExportFormat::Xml ? "</record>\n" : "\n";
}

QByteArray CTableExporter::Trailer() const
{
    return format_ == ExportFormat::Xml ? QByteArray("</defectlistquery>\n") : QByteArray();
}

int ExportTable(const QString& path, const QString& query, engine::Connection& connection, ExportFormat format,
                engine::Access access, FormulaCells formulas, ExportHeadings headings)
{
    ErrorContext context("Exporting database table");
    // The read lock keeps every workstation from saving, and writing to a slow share must neither
    // prolong it nor count against the filter's time limit: a file elsewhere gets the rows from a
    // local spool once the read is over. A file replaced whole on the temporary folder's disk is
    // written as the rows come, which costs what the spool would. Either way a failed export
    // leaves an earlier file of that name as it was, and a large list is not held in memory.
    OutputFile file(path);
    QTemporaryFile spool;
    const bool direct = file.ReplacedOnLocalDisk();
    QFileDevice& sink = direct ? static_cast<QFileDevice&>(file.device()) : spool;
    check::abort_if(!direct && !spool.open(), "Writing output file failed!");
    constexpr qsizetype kChunkBytes = 1 << 16;
    QByteArray chunk;
    chunk.reserve(kChunkBytes * 2);
    const auto write = [](QIODevice& device, const QByteArray& bytes) {
        check::abort_if(device.write(bytes) != bytes.size(), "Writing output file failed!");
    };
    const auto flush = [&] {
        write(sink, chunk);
        // Keeps the room: clear() would free it, and every chunk would grow it again.
        chunk.resize(0);
    };
    // Made from the first row's statement, which names the columns.
    std::optional<CTableExporter> exporter;
    int rows = 0;
    const auto start = [&](const QStringList& columnNames) {
        exporter.emplace(format, columnNames, formulas, headings);
        chunk += exporter->Header();
    };
    const long status = connection.ReadRows(
        query, {}, access,
        [&] {
            // A read that lost the file starts again from the top.
            exporter.reset();
            rows = 0;
            chunk.clear();
            check::abort_if(!sink.seek(0) || !sink.resize(0), "Writing output file failed!");
        },
        [&](const engine::Statement& row) {
            if (!exporter)
                start(row.ColumnNames());
            exporter->AppendRow(chunk, row);
            if (chunk.size() >= kChunkBytes)
                flush();
            ++rows;
        });
    if (engine::Failed(status))
        CHResult(status, connection.TakeErrorRecords()).check();
    if (!exporter)
        start(ColumnNamesOf(connection, query, access));
    chunk += exporter->Trailer();
    flush();

    if (!direct) {
        constexpr qint64 kCopyBytes = 1 << 20;
        check::abort_if(!spool.seek(0), "Writing output file failed!");
        while (!spool.atEnd())
            write(file.device(), spool.read(kCopyBytes));
    }
    file.Commit();
    return rows;
}
