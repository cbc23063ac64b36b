// The list statement, built in one place.

#include "list/ListQuery.h"

#include "list/FilterDefinition.h"

ListCondition BuildListCondition(const ListSettings& settings, bool withFilter)
{
    ListCondition condition;
    // Whatever else the list shows, other users' drafts and templates stay hidden.
    condition.text = SubstituteKeywords(
        QStringLiteral(" WHERE ( (statusid<>0 and statusid<>999) or (fromid=0 or fromid=@loggedInId) ) "),
        settings.loggedInId);
    if (!withFilter) {
        condition.text += settings.orderBy;
        return condition;
    }
    if (settings.filterActive) {
        // In parentheses, so that an OR of the filter cannot reach past the base condition; the
        // closing one on a line of its own, so that a trailing "--" comment cannot swallow it.
        condition.text += QStringLiteral(" AND (\n") + SubstituteKeywords(settings.filterText, settings.loggedInId) +
            QStringLiteral("\n)");
        condition.carriesFilter = true;
    }
    if (settings.myDefects)
        condition.text += QStringLiteral(" AND ToID=%1").arg(settings.loggedInId);
    condition.text += settings.orderBy;
    condition.filtered = settings.filterActive || settings.myDefects;
    return condition;
}

const QString& ListSelectPart()
{
    static const QString select = QStringLiteral(
        "SELECT\tClosed,\tComments,\tComponentID,\tDefect_ID,\tDescription,\tFixedBuild,\tFoundBuild,\tFromID,"
        "\tHistory,\tModified,\tOpened,\tPriorityID,\tSeverityID,\tStatusID,\tSubject,\tToID,\tlastread,"
        "\tfoundversion,\tfixedversion,\tcategoryid,\tCc\tFROM\tDefectListQuery ");
    return select;
}

QString ListStatement(const ListCondition& condition)
{
    return ListSelectPart() + condition.text;
}

const QString& TotalCountStatement()
{
    static const QString sql = QStringLiteral("SELECT COUNT(*) AS totalNumberOfDefects from defectlist");
    return sql;
}
