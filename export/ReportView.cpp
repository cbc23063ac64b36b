// The report view over the current list, written like every other change of the shared file.

#include "export/ReportView.h"

#include "base/DatabaseUnavailable.h"
#include "base/ErrorContext.h"
#include "document/ConnectionProvider.h"
#include "engine/EngineStatus.h"
#include "engine/Statement.h"
#include "store/RetriedWrite.h"

namespace report {

namespace {

constexpr int kWriteAttempts = 3;

} // namespace

QString ReportViewSelect(const ListCondition& condition)
{
    // The lookup names the documents show; "from" and "to" get names of their own, as the
    // repeated stakeholder columns are qualified in DefectListQuery. A date that is not set (0)
    // is empty, not the last day of 1899.
    return QStringLiteral(
               "SELECT defect_id, status, priority, severity, category, component, [From.displayname] AS from_name, "
               "[To.displayname] AS to_name, NULLIF(opened, 0) AS opened, NULLIF(modified, 0) AS modified, "
               "NULLIF(closed, 0) AS closed, foundversion, foundbuild, fixedversion, fixedbuild, subject, "
               "description, comments, history FROM DefectListQuery ") +
        condition.text;
}

ReportViewResult UpdateReportView(ConnectionProvider& connections, UserInterface& ui, const ListCondition& condition,
                                  const QString& filterText)
{
    ErrorContext context("updating the report view");
    if (condition.carriesFilter && !engine::IsCompleteFragment(filterText))
        return ReportViewResult::FaultyFilter;
    const QString select = ReportViewSelect(condition);
    long status = engine::kOk;
    try {
        const bool written = RunWithRetries(ui, kWriteAttempts, [&] {
            status = connections.GetDocumentConnection(RetryMode::Offline)
                         .ReplaceView(QString::fromLatin1(kReportViewName), select);
            // A faulty filter stays faulty: the retry dialog would not help.
            return status == engine::kFaultyCommand ? engine::kOk : status;
        });
        if (status == engine::kFaultyCommand)
            return ReportViewResult::FaultyFilter;
        return written ? ReportViewResult::Current : ReportViewResult::NotWritten;
    } catch (const database_unavailable&) {
        return ReportViewResult::NotWritten;
    }
}

} // namespace report
