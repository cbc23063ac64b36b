// Appending a status change to a defect's history log, and finding the user names in it.

#include "document/History.h"

#include "base/Check.h"
#include "base/ErrorContext.h"
#include "document/LookupLists.h"
#include "platform/Utf8Text.h"

#include <QLocale>

namespace {

const QString kUnknown = QStringLiteral("???");

QString StatusName(const std::vector<StatusEntry>& statuses, int statusId)
{
    const StatusEntry* status = FindStatus(statuses, statusId);
    return status != nullptr ? status->status : kUnknown;
}

QString UserName(const std::vector<StakeholderEntry>& stakeholders, int stakeholderId)
{
    const StakeholderEntry* stakeholder = FindStakeholder(stakeholders, stakeholderId);
    return stakeholder != nullptr ? StakeholderDisplayName(*stakeholder) : kUnknown;
}

} // namespace

void AddHistoryEntry(QString& history, const QString& statusName, const QString& userName, const QString& comment,
                     const QDate& today)
{
    ErrorContext context("add a history entry to a defect");
    const QString entry =
        QStringLiteral("%1\t%2 (%3)\t%4\n")
            .arg(QLocale::system().toString(today, QLocale::ShortFormat), statusName, userName, comment);
    check::assertion(Utf8Length(history) + Utf8Length(entry) + 1 < kHistoryBufferSize,
                     "History buffer too small to store comment information. Create a new database entry instead.");
    history += entry;
}

void AddHistoryEntry(QString& history, const std::vector<StatusEntry>& statuses,
                     const std::vector<StakeholderEntry>& stakeholders, int statusId, int loggedInId,
                     const QString& comment, const QDate& today)
{
    AddHistoryEntry(history, StatusName(statuses, statusId), UserName(stakeholders, loggedInId), comment, today);
}

std::vector<TextRange> HistoryUserNameRanges(const QString& history)
{
    std::vector<TextRange> ranges;
    for (qsizetype lineStart = 0; lineStart < history.size();) {
        qsizetype lineEnd = history.indexOf(QLatin1Char('\n'), lineStart);
        if (lineEnd < 0)
            lineEnd = history.size();
        const qsizetype firstTab = history.indexOf(QLatin1Char('\t'), lineStart);
        const qsizetype secondTab = firstTab < 0 ? -1 : history.indexOf(QLatin1Char('\t'), firstTab + 1);
        if (secondTab > 0 && secondTab < lineEnd && history.at(secondTab - 1) == QLatin1Char(')')) {
            const qsizetype open = history.lastIndexOf(QLatin1Char('('), secondTab - 1);
            if (open > firstTab)
                ranges.push_back({static_cast<int>(open), static_cast<int>(secondTab - open)});
        }
        lineStart = lineEnd + 1;
    }
    return ranges;
}
