// The export commands: the file dialog, the format by extension and the failure reports.

#include "export/ExportList.h"

#include "base/Check.h"
#include "base/ErrorContext.h"
#include "base/ErrorReport.h"
#include "base/Result.h"
#include "base/StringTable.h"
#include "document/DefectDoc.h"
#include "engine/Statement.h"
#include "export/DesktopDocument.h"
#include "export/SpreadsheetQuery.h"
#include "export/TableExporter.h"
#include "export/XlsxExport.h"
#include "list/DefectList.h"
#include "platform/LocalSettings.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>

#include <exception>
#include <functional>

namespace {

constexpr int kExportFileFilter = 207;
constexpr int kExportedRows = 40248;
constexpr int kExported = 40249;
constexpr int kExportedOne = 40250;

// The clause of the current list. A filter that leaves a comment or a quote open would swallow
// the order, one that closes a parenthesis it did not open would reach past the base condition;
// the list refuses both, and so does the export.
ListCondition CurrentCondition(CDefectList& list)
{
    const ListCondition condition = list.BuildListCondition(true);
    check::abort_if(condition.carriesFilter && !engine::IsCompleteFragment(list.filter().text),
                    "the filter of the list is not a complete condition");
    return condition;
}

// A failure ends the command with its report; the program goes on.
void RunReported(const std::function<void()>& command)
{
    try {
        command();
    } catch (const CHResult& result) {
        ReportEngineFailure(result.value, result.records, ReportStyle::Error);
    } catch (const std::exception& failure) {
        ReportFailure(QString::fromUtf8(failure.what()), ReportStyle::Error);
    }
}

} // namespace

ListExportKind ExportKindOfPath(const QString& path)
{
    const QString extension = QFileInfo(path).suffix().toUpper();
    if (extension == QLatin1String("XML"))
        return ListExportKind::Xml;
    if (extension == QLatin1String("CSV"))
        return ListExportKind::Csv;
    if (extension == QLatin1String("DQY"))
        return ListExportKind::SpreadsheetQuery;
    // A tab-separated text under this name would be a workbook no program opens.
    if (extension == QLatin1String("XLSX"))
        return ListExportKind::Workbook;
    return ListExportKind::Text;
}

std::optional<int> WriteListExport(const QString& path, ListExportKind kind, engine::Connection& connection,
                                   CDefectList& list, FormulaCells formulas, ExportHeadings headings)
{
    const ListCondition condition = CurrentCondition(list);
    const engine::Access access = condition.carriesFilter ? engine::Access::ReadOnly : engine::Access::Any;
    switch (kind) {
    case ListExportKind::SpreadsheetQuery:
        WriteSpreadsheetQuery(path, SpreadsheetSelect(VisibleColumns(list.model().columns()), condition.text));
        return std::nullopt;
    case ListExportKind::Workbook:
        WriteListWorkbook(path, connection, list.model().columns(), condition);
        return std::nullopt;
    case ListExportKind::Text:
    case ListExportKind::Csv:
    case ListExportKind::Xml:
        const ExportFormat format = kind == ListExportKind::Xml ? ExportFormat::Xml
            : kind == ListExportKind::Csv                       ? ExportFormat::Csv
                                                                : ExportFormat::Text;
        return ExportTable(path, QStringLiteral("SELECT * FROM DefectListQuery ") + condition.text, connection, format,
                           access, formulas, headings);
    }
    return std::nullopt;
}

void ExportList(CDefectDoc& document, CDefectList& list)
{
    UserInterface& ui = document.Ui();
    RunReported([&] {
        ErrorContext context("exporting list to file");
        FileDialogRequest request;
        request.kind = FileDialogRequest::Kind::Save;
        request.filter = LoadString(kExportFileFilter);
        request.defaultExtension = QStringLiteral("txt");
        request.overwritePrompt = true;
        const std::optional<QString> path = ui.ChooseFile(request);
        if (!path)
            return;
        std::optional<int> rows;
        {
            const WaitCursor wait(ui);
            rows = WriteListExport(*path, ExportKindOfPath(*path), document.GetDocumentConnection(RetryMode::Offline),
                                   list,
                                   TheLocalSettings().exportRawFormulas ? FormulaCells::Raw : FormulaCells::Neutralise,
                                   ExportHeadings::Captions);
        }
        // Saying where it went: an export otherwise ends without a sign.
        const int doneId = !rows ? kExported : *rows == 1 ? kExportedOne : kExportedRows;
        const QString done = LoadString(doneId)
                                 .replace(QLatin1String("%d"), QString::number(rows.value_or(0)))
                                 .replace(QLatin1String("%s"), QDir::toNativeSeparators(*path));
        ShowTextMessage(ui, done, Buttons::Ok, Icon::Information, doneId);
    });
}

void OpenListInSpreadsheet(CDefectDoc& document, CDefectList& list)
{
    UserInterface& ui = document.Ui();
    RunReported([&] {
        ErrorContext context("opening list in spreadsheet");
        // A name of its own each time: the list opened last may still be open, and the temporary
        // folder is shared with other users.
        QTemporaryFile file(QDir::temp().filePath(QStringLiteral("VellacordList-XXXXXX.xlsx")));
        file.setAutoRemove(false);
        check::abort_if(!file.open(), "Could not open output file!");
        const QString path = file.fileName();
        file.close();
        try {
            const WaitCursor wait(ui);
            WriteListExport(path, ListExportKind::Workbook, document.GetDocumentConnection(RetryMode::Offline), list);
        } catch (...) {
            QFile::remove(path);
            throw;
        }
        if (!report::OpenWithDesktopProgram(ui, path))
            QFile::remove(path); // nobody could find it
    });
}
