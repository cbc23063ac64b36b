// Loading filters and replacing their keywords.

#include "list/FilterDefinition.h"

#include "base/ErrorContext.h"
#include "document/ConnectionProvider.h"
#include "engine/EngineStatus.h"
#include "engine/Rowset.h"

namespace {

const QString& FilterSelectSql()
{
    static const QString sql = QStringLiteral("SELECT\tFiltername,\tFiltertext,\tId,\tUserId\tFROM\tFilter\t");
    return sql;
}

// Replaces every occurrence, searching on from the position of the replacement just made.
void ReplaceEach(QString& text, const QString& keyword, const QString& replacement)
{
    for (qsizetype at = text.indexOf(keyword); at >= 0; at = text.indexOf(keyword, at + replacement.size()))
        text.replace(at, keyword.size(), replacement);
}

} // namespace

QString SubstituteKeywords(QString text, std::int32_t loggedInId)
{
    ReplaceEach(text, QStringLiteral("@loggedInId"), QString::number(loggedInId));
    ReplaceEach(text, QStringLiteral("component=\"Tutorial\""), QStringLiteral("component='Tutorial'"));
    return text;
}

FilterDefinition LoadFilter(ConnectionProvider& connections, std::int32_t filterId)
{
    ErrorContext context("Loading a filter");
    FilterDefinition filter;
    engine::Rowset rows;
    if (engine::Failed(connections.GetDocumentConnection(RetryMode::Offline)
                           .Query(FilterSelectSql() + QStringLiteral("WHERE\tId=?"), {std::int64_t{filterId}}, rows)) ||
        rows.MoveFirst() != engine::kOk)
        return filter;
    filter.name = rows.Text(0);
    filter.text = rows.Text(1);
    return filter;
}

BoxChoices FilterChoices(ConnectionProvider& connections, std::int32_t loggedInId, std::int32_t currentFilterId)
{
    ErrorContext context("filling the filter combobox with a list of filters");
    BoxChoices choices;
    engine::Rowset rows;
    if (engine::Failed(connections.GetDocumentConnection(RetryMode::Offline)
                           .Query(FilterSelectSql() + QStringLiteral("WHERE\tUserId=0\tOR\tUserId=?"),
                                  {std::int64_t{loggedInId}}, rows)))
        return choices;
    for (long status = rows.MoveFirst(); status == engine::kOk; status = rows.MoveNext())
        AddBoxChoice(choices, rows.Int32(2), rows.Int32(3), rows.Text(0), currentFilterId);
    return choices;
}
