// Running a report document on the current list.

#include "export/ReportRunner.h"

#include "base/ErrorContext.h"
#include "base/StringTable.h"
#include "base/UserInterface.h"
#include "document/DefectDoc.h"
#include "export/DesktopDocument.h"
#include "export/DsnFixup.h"
#include "export/OdbcDataSource.h"
#include "export/ReportFolder.h"
#include "export/ReportView.h"
#include "list/DefectList.h"

#include <QDir>
#include <QFileInfo>

#include <optional>
#include <utility>

namespace {

constexpr int kFilterNotForReports = 1700;
constexpr int kReportViewNotWritten = 1701;
constexpr int kDataSourceNotRegistered = 1702;
constexpr int kDocumentNotPointed = 1703;

} // namespace

CReportRunner::CReportRunner(CDefectDoc& document, CDefectList& list, QString reportFolder)
    : document_(document), list_(list), reportFolder_(std::move(reportFolder))
{
}

void CReportRunner::RunReport(const QString& name, bool ask, bool fixDsn)
{
    ErrorContext context("running a report");
    UserInterface& ui = document_.Ui();
    QString path = QDir(reportFolder_).filePath(name);
    if (ask) {
        FileDialogRequest request;
        request.kind = FileDialogRequest::Kind::Open;
        request.initialPath = path;
        request.filter = QStringLiteral("All Files(*.*)|*.*||");
        const std::optional<QString> chosen = ui.ChooseFile(request);
        if (!chosen)
            return;
        path = *chosen;
    }

    // A failure here leaves the view as the last report made it; the user is told and the
    // document opens all the same.
    switch (report::UpdateReportView(document_, ui, list_.BuildListCondition(true), list_.filter().text)) {
    case report::ReportViewResult::Current:
        break;
    case report::ReportViewResult::FaultyFilter:
        ShowStringMessage(ui, kFilterNotForReports, Buttons::Ok, Icon::Warning);
        break;
    case report::ReportViewResult::NotWritten:
        ShowStringMessage(ui, kReportViewNotWritten, Buttons::Ok, Icon::Warning);
        break;
    }
    if (!odbc::RegisterDataSource(document_.PathName()))
        ShowStringMessage(ui, kDataSourceNotRegistered, Buttons::Ok, Icon::Warning);
    if (fixDsn && QFileInfo::exists(path) && report::FixDataSourceNames(path) == report::DsnFixResult::Failed)
        ShowTextMessage(ui, FormatString(kDocumentNotPointed, QDir::toNativeSeparators(path).toUtf8().constData()),
                        Buttons::Ok, Icon::Warning, kDocumentNotPointed);
    OpenDocument(path);
}

void CReportRunner::OpenReadme()
{
    OpenDocument(QDir(reportFolder_).filePath(QString::fromLatin1(report::kReadme)));
}

void CReportRunner::OpenDocument(const QString& path)
{
    report::OpenWithDesktopProgram(document_.Ui(), path);
}
