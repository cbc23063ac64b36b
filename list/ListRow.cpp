// The list's in-memory rows and the texts of their cells.

#include "list/ListRow.h"

#include "document/DefectRecord.h"
#include "document/LookupLists.h"
#include "list/ColumnCatalogue.h"
#include "platform/OleDate.h"

#include <QLocale>

namespace {

QString Text(const QByteArray& utf8)
{
    return QString::fromUtf8(utf8);
}

QString DateOrDash(double oleDate)
{
    return oleDate == 0 ? QStringLiteral("-") : ListDateText(oleDate);
}

QByteArray Memo(const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    return FirstCharacters(utf8.constData(), static_cast<int>(utf8.size()), column::kMemoCellLength);
}

} // namespace

QByteArray FirstCharacters(const char* utf8, int bytes, int characters)
{
    int end = 0;
    for (int count = 0; end < bytes; ++end) {
        // Continuation bytes (10xxxxxx) belong to the character before them.
        if ((static_cast<unsigned char>(utf8[end]) & 0xC0) != 0x80 && count++ == characters)
            break;
    }
    return QByteArray(utf8, end);
}

ListRow ListRow::FromRecord(const DefectRecord& record)
{
    ListRow row;
    row.defectId = record.Defect_ID;
    row.statusId = record.StatusID;
    row.toId = record.ToID;
    row.fromId = record.FromID;
    row.priorityId = record.PriorityID;
    row.severityId = record.SeverityID;
    row.componentId = record.ComponentID;
    row.categoryId = record.categoryid;
    row.foundBuild = record.FoundBuild;
    row.fixedBuild = record.FixedBuild;
    row.opened = record.Opened;
    row.modified = record.Modified;
    row.closed = record.Closed;
    row.lastRead = record.lastread;
    row.subject = record.Subject.toUtf8();
    row.description = Memo(record.Description);
    row.comments = Memo(record.Comments);
    row.foundVersion = record.foundversion.toUtf8();
    row.fixedVersion = record.fixedversion.toUtf8();
    row.cc = record.Cc.toUtf8();
    return row;
}

QString ListDateText(double oleDate)
{
    return QLocale().toString(DateTimeFromOleDate(oleDate), QLocale::ShortFormat);
}

QString CellText(const ListRow& row, int columnId, const LookupLists& lookups)
{
    switch (columnId) {
    case column::kDefectId:
        return QString::number(row.defectId);
    case column::kStatus:
        return lookups.LookupName(LookupList::Status, row.statusId);
    case column::kSubject:
        return Text(row.subject);
    case column::kTo:
        return lookups.LookupName(LookupList::Stakeholder, row.toId);
    case column::kFrom:
        return lookups.LookupName(LookupList::Stakeholder, row.fromId);
    case column::kPriority:
        return lookups.LookupName(LookupList::Priority, row.priorityId);
    case column::kSeverity:
        return lookups.LookupName(LookupList::Severity, row.severityId);
    case column::kComponent:
        return lookups.LookupName(LookupList::Component, row.componentId);
    case column::kFoundBuild:
        return QString::number(row.foundBuild);
    case column::kFixedBuild:
        return QString::number(row.fixedBuild);
    case column::kDescription:
        return Text(row.description);
    case column::kOpened:
        return ListDateText(row.opened);
    case column::kModified:
        return ListDateText(row.modified);
    case column::kClosed:
        return DateOrDash(row.closed);
    case column::kComments:
        return Text(row.comments);
    case column::kLastRead:
        return DateOrDash(row.lastRead);
    case column::kFoundVersion:
        return Text(row.foundVersion);
    case column::kFixedVersion:
        return Text(row.fixedVersion);
    case column::kCategory:
        return lookups.LookupName(LookupList::Category, row.categoryId);
    case column::kCc:
        return Text(row.cc);
    default:
        return QStringLiteral("unknown column index");
    }
}
