// The list statement, built in one place.

#include "list/ListQuery.h"

#include "list/FilterDefinition.h"

#include <QStringList>

ListCondition BuildListCondition(const ListSettings& settings, bool withFilter)
{
    ListCondition condition;
    // Whatever else the list shows, other users' drafts and templates stay hidden.
    condition.text = SubstituteKeywords(
        QStringLiteral(" WHERE ( (statusid<>0 and statusid<>999) or (fromid=0 or fromid=@loggedInId) ) "),
        settings.loggedInId);
    // The hits are numbers the search read from the file, never a user's text.
    QString orderBy = settings.orderBy;
    if (settings.quickSearch) {
        QStringList ids;
        QString rank = QStringLiteral(" ORDER BY CASE Defect_ID");
        for (std::size_t i = 0; i < settings.quickSearchIds.size(); ++i) {
            ids << QString::number(settings.quickSearchIds[i]);
            rank += QStringLiteral(" WHEN %1 THEN %2").arg(settings.quickSearchIds[i]).arg(i);
        }
        condition.text += QStringLiteral(" AND Defect_ID IN (%1)")
                              .arg(ids.isEmpty() ? QStringLiteral("NULL") : ids.join(QLatin1Char(',')));
        orderBy = ids.isEmpty() ? QString() : rank + QStringLiteral(" END");
        condition.filtered = true;
    }
    if (!withFilter) {
        condition.text += orderBy;
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
    condition.text += orderBy;
    condition.filtered = condition.filtered || settings.filterActive || settings.myDefects;
    return condition;
}

const QString& ListSelectPart(const ListMemos& memos)
{
    // Unnamed NULLs: a name would take the column's place in the view's ORDER BY.
    static const auto select = [](bool description, bool comments) {
        return QStringLiteral("SELECT\tClosed,\t%1,\tComponentID,\tDefect_ID,\t%2,\tFixedBuild,\tFoundBuild,\tFromID,"
                              "\tNULL,\tModified,\tOpened,\tPriorityID,\tSeverityID,\tStatusID,\tSubject,\tToID,"
                              "\tlastread,\tfoundversion,\tfixedversion,\tcategoryid,\tCc\tFROM\tDefectListQuery ")
            .arg(comments ? QStringLiteral("Comments") : QStringLiteral("NULL"),
                 description ? QStringLiteral("Description") : QStringLiteral("NULL"));
    };
    static const QString selects[2][2] = {{select(false, false), select(false, true)},
                                          {select(true, false), select(true, true)}};
    return selects[memos.description][memos.comments];
}

QString ListStatement(const ListCondition& condition, const ListMemos& memos)
{
    return ListSelectPart(memos) + condition.text;
}

const QString& TotalCountStatement()
{
    static const QString sql = QStringLiteral("SELECT COUNT(*) AS totalNumberOfDefects from defectlist");
    return sql;
}
