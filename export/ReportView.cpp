// The report view over the current list, written like every other change of the shared file.

#include "export/ReportView.h"

#include "base/DatabaseUnavailable.h"
#include "base/ErrorContext.h"
#include "document/ConnectionProvider.h"
#include "engine/Connection.h"
#include "engine/EngineStatus.h"
#include "engine/Statement.h"
#include "store/RetriedWrite.h"

#include <cstdint>

namespace report {

namespace {

constexpr int kWriteAttempts = 3;

} // namespace

namespace {

// A date column of the view: the OLE date (days since 1899-12-30, local time) as the text
// "YYYY-MM-DD HH:MM:SS", and NULL when it is not set (0) rather than the last day of 1899. SQLite
// gives a column the declared type of a table column only, so the value comes from a scalar
// subquery whose last part reads the empty table kReportTypesTable: the view's column is then
// declared TIMESTAMP, and the ODBC driver hands it to the reports as a date and time.
QString DateColumn(const char* name)
{
    return QStringLiteral("(SELECT datetime(NULLIF(%1, 0) + 2415018.5) UNION ALL SELECT stamp FROM %2) AS %1")
        .arg(QLatin1String(name), QLatin1String(kReportTypesTable));
}

// The same on a server, which types the column itself: the local wall time the OLE date holds.
QString ServerDateColumn(const char* name)
{
    return QStringLiteral("(timestamp '1899-12-30 00:00:00' + NULLIF(%1, 0) * interval '1 day')::timestamp(0) AS %1")
        .arg(QLatin1String(name));
}

// Made once in a file; it never holds a row. A server needs none.
long CreateTypesTable(engine::Connection& connection)
{
    if (connection.IsServer())
        return engine::kOk;
    std::int64_t exists = 0;
    const long status =
        connection.QueryInt(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = ?"),
                            {QString::fromLatin1(kReportTypesTable)}, exists);
    if (engine::Failed(status) || exists > 0)
        return status;
    return connection.Execute(
        QStringLiteral("CREATE TABLE IF NOT EXISTS %1 (stamp TIMESTAMP)").arg(QLatin1String(kReportTypesTable)), {});
}

} // namespace

QString ReportViewSelect(const ListCondition& condition, bool server)
{
    const auto date = server ? ServerDateColumn : DateColumn;
    // The lookup names the documents show; "from" and "to" get names of their own, as the
    // repeated stakeholder columns are qualified in DefectListQuery.
    return QStringLiteral("SELECT defect_id, status, priority, severity, category, component, [From.displayname] AS "
                          "from_name, [To.displayname] AS to_name, %1, %2, %3, foundversion, foundbuild, "
                          "fixedversion, fixedbuild, subject, description, comments, history FROM DefectListQuery ")
               .arg(date("opened"), date("modified"), date("closed")) +
        condition.text;
}

ReportViewResult UpdateReportView(ConnectionProvider& connections, UserInterface& ui, const ListCondition& condition,
                                  const QString& filterText)
{
    ErrorContext context("updating the report view");
    if (condition.carriesFilter && !engine::IsCompleteFragment(filterText))
        return ReportViewResult::FaultyFilter;
    long status = engine::kOk;
    try {
        const bool written = RunWithRetries(ui, kWriteAttempts, [&] {
            engine::Connection& connection = connections.GetDocumentConnection(RetryMode::Offline);
            status = CreateTypesTable(connection);
            if (!engine::Failed(status))
                status = connection.ReplaceView(QString::fromLatin1(kReportViewName),
                                                ReportViewSelect(condition, connection.IsServer()));
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
