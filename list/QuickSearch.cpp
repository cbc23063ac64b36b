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

#include <map>

namespace {
// Above this many matching defects the hits come newest first instead of ranked.
constexpr std::int64_t kRankedAtMost = 10000;
} // namespace

QuickSearchResult RunQuickSearch(engine::Connection& connection, std::int32_t loggedInId, const QStringList& words,
                                 int limit, int excerpts)
{
    QuickSearchResult result;
    if (!EnsureSearchIndex(connection)) {
        result.error = LoadString(string_id::kSearchIndexUnavailable);
        return result;
    }
    ListSettings settings;
    settings.loggedInId = loggedInId;
    const QString visible = BuildListCondition(settings, false).text;
    const QString expression = SearchExpression(connection, words);
    // Words in most defects do not tell the defects apart, and ranking every one of them would
    // take long: their hits come newest first.
    std::int64_t matches = 0;
    long status = connection.QueryInt(SearchCountStatement(connection), {expression}, matches);
    const QString sql = matches > kRankedAtMost ? SearchNewestStatement(connection, visible)
                                                : SearchRankedStatement(connection, visible);
    if (!engine::Failed(status))
        status = connection.ReadRows(
            sql, {expression, std::int64_t{limit}}, engine::Access::Any, [&] { result.hits.clear(); },
            [&](const engine::Statement& row) {
                result.hits.push_back({static_cast<std::int32_t>(row.ColumnInt(0)), row.ColumnReal(1), QString()});
            });
    if (!engine::Failed(status) && !result.hits.empty() && excerpts > 0) {
        std::vector<std::int32_t> ids;
        for (std::size_t i = 0; i < result.hits.size() && i < static_cast<std::size_t>(excerpts); ++i)
            ids.push_back(result.hits[i].defectId);
        std::map<std::int32_t, QString> texts;
        status = connection.ReadRows(
            SearchExcerptsSelect(connection, ids), {expression}, engine::Access::Any, [&] { texts.clear(); },
            [&](const engine::Statement& row) {
                int bytes = 0;
                const char* text = row.ColumnUtf8(1, bytes);
                // A match in the texts comes first and wins over one in the attachment names.
                texts.emplace(static_cast<std::int32_t>(row.ColumnInt(0)), QString::fromUtf8(text, bytes));
            });
        for (QuickSearchHit& hit : result.hits) {
            const auto found = texts.find(hit.defectId);
            if (found != texts.end())
                hit.excerpt = found->second;
        }
    }
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
