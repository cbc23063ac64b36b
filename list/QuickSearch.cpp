// Running the quick search over the full-text index under the list's base condition.

#include "list/QuickSearch.h"

#include "base/ErrorReport.h"
#include "base/StringTable.h"
#include "document/ShellStringIds.h"
#include "engine/Connection.h"
#include "engine/EngineStatus.h"
#include "engine/Statement.h"
#include "list/ListQuery.h"
#include "store/SearchIndex.h"

QuickSearchResult RunQuickSearch(engine::Connection& connection, std::int32_t loggedInId, const QStringList& words,
                                 int limit)
{
    QuickSearchResult result;
    if (!EnsureSearchIndex(connection)) {
        result.error = LoadString(string_id::kSearchIndexUnavailable);
        return result;
    }
    ListSettings settings;
    settings.loggedInId = loggedInId;
    // The base condition names only defectlist's own columns; the matches join by id.
    const QString sql = QStringLiteral("SELECT m.defect_id, min(m.score) AS best, m.excerpt FROM (") +
        SearchMatchesSelect() + QStringLiteral(") m JOIN DefectListQuery ON DefectListQuery.defect_id = m.defect_id") +
        BuildListCondition(settings, false).text +
        QStringLiteral(" GROUP BY m.defect_id ORDER BY best, m.defect_id DESC LIMIT ?2");
    const QString expression = SearchExpression(words);
    const long status = connection.ReadRows(
        sql, {expression, std::int64_t{limit}}, engine::Access::Any, [&] { result.hits.clear(); },
        [&](const engine::Statement& row) {
            int bytes = 0;
            const char* excerpt = row.ColumnUtf8(2, bytes);
            result.hits.push_back(
                {static_cast<std::int32_t>(row.ColumnInt(0)), row.ColumnReal(1), QString::fromUtf8(excerpt, bytes)});
        });
    if (engine::Failed(status)) {
        const engine::ErrorRecords records = connection.TakeErrorRecords();
        result.hits.clear();
        // A faulty query is the words' fault; a file that cannot be read says so in its own words.
        const bool faultyWords = !records.empty() && records.front().kind == engine::FailureKind::Other;
        result.error = faultyWords
            ? FormatString(string_id::kSearchWordsNotUnderstood, words.join(' ').toUtf8().constData())
            : FailureText(records);
        for (const engine::ErrorRecord& record : records)
            result.details += record.message + QLatin1Char('\n');
    }
    return result;
}
