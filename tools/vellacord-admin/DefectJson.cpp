// Turning a defect, its history and its attachments into JSON for scripts.

#include "DefectJson.h"

#include "document/DefectRecord.h"
#include "document/LookupLists.h"
#include "platform/OleDate.h"
#include "store/AttachmentDirectory.h"

#include <QDateTime>
#include <QDir>
#include <QRegularExpression>

QJsonValue JsonDate(double oleDate)
{
    if (oleDate == 0)
        return QJsonValue::Null;
    return DateTimeFromOleDate(oleDate).toUTC().toString(Qt::ISODateWithMs);
}

QJsonArray HistoryJson(const QString& history)
{
    // "date<TAB>status (user)<TAB>comment"; a line of another form continues the comment before it.
    static const QRegularExpression entry(QStringLiteral("^([^\t\n]*)\t(.*) \\(([^()\t\n]*)\\)\t(.*)$"));
    QJsonArray entries;
    QJsonObject current;
    const auto flush = [&] {
        if (!current.isEmpty())
            entries.append(current);
        current = {};
    };
    QStringList lines = history.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.back().isEmpty())
        lines.removeLast();
    for (const QString& line : lines) {
        const QRegularExpressionMatch match = entry.match(line);
        if (match.hasMatch()) {
            flush();
            current = {{QStringLiteral("date"), match.captured(1)},
                       {QStringLiteral("status"), match.captured(2)},
                       {QStringLiteral("user"), match.captured(3)},
                       {QStringLiteral("comment"), match.captured(4)}};
        } else if (!current.isEmpty()) {
            current[QStringLiteral("comment")] = current[QStringLiteral("comment")].toString() + '\n' + line;
        } else {
            current = {{QStringLiteral("date"), QString()},
                       {QStringLiteral("status"), QString()},
                       {QStringLiteral("user"), QString()},
                       {QStringLiteral("comment"), line}};
        }
    }
    flush();
    return entries;
}

QStringList AttachmentNames(const QString& databasePath, std::int32_t defectId)
{
    const QString folder = AttachmentDirectory(databasePath, defectId, false);
    if (folder.isEmpty())
        return {};
    return QDir(folder).entryList(QDir::Files | QDir::NoSymLinks | QDir::Hidden, QDir::Name);
}

namespace {

QJsonValue Entry(const LookupLists& lookups, LookupList list, std::int32_t id)
{
    return QJsonObject{{QStringLiteral("id"), id}, {QStringLiteral("name"), lookups.LookupName(list, id)}};
}

QJsonValue Person(const LookupLists& lookups, std::int32_t id)
{
    const StakeholderEntry* entry = lookups.FindStakeholder(id);
    return QJsonObject{{QStringLiteral("id"), id},
                       {QStringLiteral("login"), entry != nullptr ? entry->loginname : QString()},
                       {QStringLiteral("name"), lookups.LookupName(LookupList::Stakeholder, id)},
                       {QStringLiteral("email"), entry != nullptr ? entry->email : QString()}};
}

} // namespace

QJsonObject DefectJson(const DefectRecord& record, const LookupLists& lookups, const QString& databasePath,
                       std::int32_t readerId)
{
    QJsonArray cc;
    for (const QString& address : record.Cc.split(QRegularExpression(QStringLiteral("[;,]")), Qt::SkipEmptyParts))
        cc.append(address.trimmed());
    return QJsonObject{
        {QStringLiteral("id"), record.Defect_ID},
        {QStringLiteral("subject"), record.Subject},
        {QStringLiteral("status"), Entry(lookups, LookupList::Status, record.StatusID)},
        {QStringLiteral("priority"), Entry(lookups, LookupList::Priority, record.PriorityID)},
        {QStringLiteral("severity"), Entry(lookups, LookupList::Severity, record.SeverityID)},
        {QStringLiteral("component"), Entry(lookups, LookupList::Component, record.ComponentID)},
        {QStringLiteral("category"), Entry(lookups, LookupList::Category, record.categoryid)},
        {QStringLiteral("from"), Person(lookups, record.FromID)},
        {QStringLiteral("to"), Person(lookups, record.ToID)},
        {QStringLiteral("cc"), cc},
        {QStringLiteral("opened"), JsonDate(record.Opened)},
        {QStringLiteral("modified"), JsonDate(record.Modified)},
        {QStringLiteral("closed"), JsonDate(record.Closed)},
        {QStringLiteral("unread"), record.ToID == readerId && record.lastread == 0},
        {QStringLiteral("found_version"), record.foundversion},
        {QStringLiteral("fixed_version"), record.fixedversion},
        {QStringLiteral("found_build"), record.FoundBuild},
        {QStringLiteral("fixed_build"), record.FixedBuild},
        {QStringLiteral("description"), record.Description},
        {QStringLiteral("details"), record.Comments},
        {QStringLiteral("history"), HistoryJson(record.History)},
        {QStringLiteral("attachments"), QJsonArray::fromStringList(AttachmentNames(databasePath, record.Defect_ID))},
    };
}
