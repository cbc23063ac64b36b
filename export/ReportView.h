#pragma once
// DefectReportView, the view that report documents read through the data source: the defects
// of the current list with their lookup names, made again before every report.

#include "list/ListQuery.h"

#include <QString>

class ConnectionProvider;
class UserInterface;

namespace report {

inline constexpr char kReportViewName[] = "DefectReportView";
// An empty table whose one column, declared TIMESTAMP, gives the view's date columns their type.
inline constexpr char kReportTypesTable[] = "DefectReportTypes";

// The view's SELECT: its columns from DefectListQuery, a blank and the clause of the list; on a
// server the dates are the server's timestamps.
QString ReportViewSelect(const ListCondition& condition, bool server = false);

enum class ReportViewResult {
    Current,      // the view shows the current list
    FaultyFilter, // the filter cannot be stored in a view; nothing was written
    NotWritten,   // the file could not be written; the view is as it was
};

// Replaces the view by one over the current list through the store's retried write. `filterText`
// is the filter as stored, which must not leave a comment or a quote open.
ReportViewResult UpdateReportView(ConnectionProvider& connections, UserInterface& ui, const ListCondition& condition,
                                  const QString& filterText);

} // namespace report
