// The list command: a document given the file and the user, and the program's list filled once on it.

#include "ListCommand.h"

#include "document/DefectDoc.h"
#include "engine/SqlDialect.h"
#include "export/ExportList.h"
#include "export/SpreadsheetQuery.h"
#include "list/ColumnCatalogue.h"
#include "list/DefectList.h"
#include "platform/OleDate.h"
#include "store/LookupEntries.h"

#include <QIODevice>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QStringList>

#include <algorithm>
#include <functional>
#include <utility>
#include <vector>

namespace {

// A cell's line breaks and tabs would break the line-per-defect form; the list shows one line
// too. Makes the UTF-8 text from `from` on one line: a CR LF pair, a CR, an LF or a tab each
// becomes one space.
void MakeOneLine(QByteArray& text, qsizetype from)
{
    const auto breaks = [](char c) { return c == '\r' || c == '\n' || c == '\t'; };
    // Most cells have none: they are scanned once and not written.
    const char* const begin = text.constData();
    const char* const first = std::find_if(begin + from, begin + text.size(), breaks);
    if (first == begin + text.size())
        return;
    char* const data = text.data();
    const qsizetype size = text.size();
    qsizetype to = first - begin;
    for (qsizetype at = to; at < size; ++at) {
        const char c = data[at];
        if (c == '\r' && at + 1 < size && data[at + 1] == '\n')
            ++at;
        data[to++] = breaks(c) ? ' ' : c;
    }
    text.truncate(to);
}

void Print(const DefectListModel& model, const LookupLists& lookups, QTextStream& out)
{
    constexpr qsizetype kChunkBytes = 1 << 16;
    const std::vector<int> shown = VisibleColumns(model.columns());
    QByteArray lines;
    lines.reserve(kChunkBytes * 2);
    const auto cells = [&](const std::function<void(int column)>& cell) {
        bool first = true;
        for (const int column : shown) {
            if (!std::exchange(first, false))
                lines += '\t';
            const qsizetype from = lines.size();
            cell(column);
            MakeOneLine(lines, from);
        }
        lines += '\n';
    };
    // The bytes go out in chunks, past the stream's conversion to text and back.
    out.flush();
    QIODevice* device = out.device();
    const auto flush = [&] {
        if (device != nullptr)
            device->write(lines);
        else
            out << QString::fromUtf8(lines);
        lines.clear();
    };
    cells([&](int column) { lines += model.columns().columns[static_cast<std::size_t>(column)].caption.toUtf8(); });
    CellTexts texts(lookups);
    for (int row = 0; row < model.rowCount(); ++row) {
        cells([&](int column) { texts.AppendUtf8(lines, model.row(row), column); });
        if (lines.size() >= kChunkBytes)
            flush();
    }
    flush();
    out.flush();
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
    out.flush();
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
    else if (options.output.isEmpty())
        Print(list.model(), document.lookups(), out);
    else
        WriteListExport(options.output, kind, document.GetDocumentConnection(RetryMode::Offline), list,
                        options.rawFormulas ? FormulaCells::Raw : FormulaCells::Neutralise);
    err << count << Qt::endl;
    return QString();
}
