// The list command: a document given the file and the user, and the program's list read once on it.

#include "ListCommand.h"
#include "ListingOutput.h"

#include "document/DefectDoc.h"
#include "engine/SqlDialect.h"
#include "export/ExportList.h"
#include "export/SpreadsheetQuery.h"
#include "list/ColumnCatalogue.h"
#include "list/DefectList.h"
#include "platform/OleDate.h"
#include "store/LookupEntries.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QStringList>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>
#include <utility>
#include <vector>

namespace {

bool IsBreak(char c)
{
    return c == '\r' || c == '\n' || c == '\t';
}

// The first line break or tab from `at` on, or `end`. Eight bytes at a time past those that
// cannot be one: tab, line feed and carriage return are all below 0x0E.
const char* FirstBreak(const char* at, const char* end)
{
    constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
    constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;
    for (; end - at >= 8; at += 8) {
        std::uint64_t word = 0;
        std::memcpy(&word, at, sizeof word);
        // Nonzero when one of the bytes is below 0x0E.
        if (((word - kOnes * 0x0E) & ~word & kHighBits) != 0)
            break;
    }
    return std::find_if(at, end, IsBreak);
}

// A cell's line breaks and tabs would break the line-per-defect form; the list shows one line
// too. Makes the UTF-8 text from `from` on one line: a CR LF pair, a CR, an LF or a tab each
// becomes one space.
void MakeOneLine(QByteArray& text, qsizetype from)
{
    // Most cells have none: they are scanned once and not written.
    const char* const begin = text.constData();
    const char* const first = FirstBreak(begin + from, begin + text.size());
    if (first == begin + text.size())
        return;
    char* const data = text.data();
    const qsizetype size = text.size();
    qsizetype to = first - begin;
    for (qsizetype at = to; at < size; ++at) {
        const char c = data[at];
        if (c == '\r' && at + 1 < size && data[at + 1] == '\n')
            ++at;
        data[to++] = IsBreak(c) ? ' ' : c;
    }
    text.truncate(to);
}

// Writes the shown columns' captions, then a line per row, tab-separated, each cell on one line.
class ListingLines {
public:
    static constexpr qsizetype kChunkBytes = 1 << 16;

    ListingLines(const ListColumns& columns, const LookupLists& lookups)
        : columns_(columns), shown_(VisibleColumns(columns)), texts_(lookups)
    {
        lines_.reserve(kChunkBytes * 2);
    }

    void AppendCaptions()
    {
        Cells([&](int column) { lines_ += columns_.columns[static_cast<std::size_t>(column)].caption.toUtf8(); });
    }
    void AppendRow(const ListRow& row)
    {
        Cells([&](int column) { texts_.AppendUtf8(lines_, row, column); });
    }
    QByteArray& lines() { return lines_; }

private:
    template <typename Cell>
    void Cells(const Cell& cell)
    {
        bool first = true;
        for (const int column : shown_) {
            if (!std::exchange(first, false))
                lines_ += '\t';
            const qsizetype from = lines_.size();
            cell(column);
            MakeOneLine(lines_, from);
        }
        lines_ += '\n';
    }

    const ListColumns& columns_;
    const std::vector<int> shown_;
    CellTexts texts_;
    QByteArray lines_;
};

// The listing's lines as the rows are read, into `output`, in chunks: the list is never held in
// memory. A read that starts again, or falls back to the list without its filter, starts the
// output again (ListingOutput). The entry count; nullopt when the list could not be read.
std::optional<QString> ReadListing(CDefectList& list, const LookupLists& lookups, ListingOutput& output)
{
    std::optional<ListingLines> lines;
    const auto flush = [&] {
        output.Write(lines->lines());
        // Keeps the room: clear() would free it, and every chunk would grow it again.
        lines->lines().resize(0);
    };
    const std::optional<QString> count = list.ReadListRows(
        [&] {
            // Each attempt starts the lines again.
            lines.emplace(list.model().columns(), lookups);
            output.Restart();
            lines->AppendCaptions();
        },
        [&](const ListRow& row) {
            lines->AppendRow(row);
            if (lines->lines().size() >= ListingLines::kChunkBytes)
                flush();
        });
    // A read that succeeded has begun, even without a row.
    if (count)
        flush();
    return count;
}

// One object per defect: its id and the shown columns by their internal names, which stay the
// same whatever a view calls them.
void PrintJson(const DefectListModel& model, QTextStream& out)
{
    const std::vector<int> shown = VisibleColumns(model.columns());
    QJsonArray rows;
    for (int row = 0; row < model.rowCount(); ++row) {
        QJsonObject cells;
        for (const int column : shown)
            cells.insert(ColumnInternalName(column), model.CellText(row, column));
        rows.append(QJsonObject{{QStringLiteral("id"), model.DefectIdAt(row)}, {QStringLiteral("columns"), cells}});
    }
    out << QJsonDocument(rows).toJson(QJsonDocument::Indented);
    FlushOutput(out);
}

ListExportKind ExportKind(const AdminOptions& options)
{
    if (options.format == QLatin1String("text"))
        return ListExportKind::Text;
    if (options.format == QLatin1String("csv"))
        return ListExportKind::Csv;
    if (options.format == QLatin1String("xml"))
        return ListExportKind::Xml;
    if (options.format == QLatin1String("xlsx"))
        return ListExportKind::Workbook;
    return ExportKindOfPath(options.output);
}

// The list falls back to view 1 without a word, and takes a missing filter for none.
QString SelectionRefusal(const AdminOptions& options, const SessionSelection& selection, const CDefectList& list)
{
    if (options.viewId && selection.currentViewId != *options.viewId)
        return QStringLiteral("%1 has no view %2")
            .arg(engine::DisplayNameOfDatabase(options.file))
            .arg(*options.viewId);
    if (options.filterId && list.filter().text.isEmpty())
        return QStringLiteral("%1 has no filter %2 with a condition")
            .arg(engine::DisplayNameOfDatabase(options.file))
            .arg(*options.filterId);
    return QString();
}

} // namespace

QString ListDefects(const AdminOptions& options, UserInterface& ui, AdministrationActions& administration,
                    QTextStream& out, QTextStream& err)
{
    // The document gets the file without the open procedure: that one may write (a missing
    // settings row, an offered compaction) and runs the login dialog, and a listing writes nothing.
    // The caller has checked the file's version.
    CDefectDoc document(ui, SystemClockInstance(), administration);
    document.SetUnreadTests(false);
    document.database().SetDatabaseFileName(options.file);
    document.lookups().LoadLookups(true);
    const StakeholderEntry* user = document.lookups().FindStakeholderByLogin(options.user);
    // Nobody stands for an unset author or addressee; nobody logs in as it.
    if (user == nullptr || user->stakeholder_id == reserved::kNobody || !document.LoginAs(user->stakeholder_id))
        return QStringLiteral("%1 has no user with the login name \"%2\"")
            .arg(engine::DisplayNameOfDatabase(options.file), options.user);

    // The login brought the user's last view, filter and "My defects"; the options replace them.
    SessionSelection& selection = document.selection();
    if (options.viewId)
        selection.currentViewId = *options.viewId;
    if (options.filterId) {
        selection.currentFilterId = *options.filterId;
        selection.filterOn = true;
    }
    if (options.myDefects)
        selection.myDefectsOn = true;

    CDefectList list(document);
    const ListExportKind kind = ExportKind(options);
    // Every row of these goes to the file straight from the statement: the list need not be read first.
    if (!options.output.isEmpty() && kind != ListExportKind::Workbook && options.format != QLatin1String("json")) {
        list.PrepareStatement();
        if (const QString refusal = SelectionRefusal(options, selection, list); !refusal.isEmpty())
            return refusal;
        const std::optional<int> rows =
            WriteListExport(options.output, kind, document.GetDocumentConnection(RetryMode::Offline), list,
                            options.rawFormulas ? FormulaCells::Raw : FormulaCells::Neutralise);
        err << list.EntryCountText(rows.value_or(0), list.BuildListCondition(true).filtered) << Qt::endl;
        return QString();
    }
    if (options.format != QLatin1String("json") && options.output.isEmpty()) {
        ListingOutput output(out);
        const std::optional<QString> count = ReadListing(list, document.lookups(), output);
        if (!count)
            return QStringLiteral("the list of %1 could not be read").arg(engine::DisplayNameOfDatabase(options.file));
        if (const QString refusal = SelectionRefusal(options, selection, list); !refusal.isEmpty())
            return refusal;
        output.Finish();
        err << *count << Qt::endl;
        return QString();
    }
    int fills = 0;
    QObject::connect(&list, &CDefectList::listFilled, [&fills] { ++fills; });
    QString count;
    QObject::connect(&list, &CDefectList::statusTextChanged, [&count](const QString& text) { count = text; });
    list.FillList();
    // A failed fill announces nothing; a second one would mean something filled behind the tool's back.
    if (fills != 1)
        return QStringLiteral("the list of %1 could not be read").arg(engine::DisplayNameOfDatabase(options.file));
    if (const QString refusal = SelectionRefusal(options, selection, list); !refusal.isEmpty())
        return refusal;

    if (options.format == QLatin1String("json"))
        PrintJson(list.model(), out);
    else
        WriteListExport(options.output, kind, document.GetDocumentConnection(RetryMode::Offline), list,
                        options.rawFormulas ? FormulaCells::Raw : FormulaCells::Neutralise);
    err << count << Qt::endl;
    return QString();
}
