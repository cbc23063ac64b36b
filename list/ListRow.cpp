// The list's in-memory rows and the texts of their cells.

#include "list/ListRow.h"

#include "document/DefectRecord.h"
#include "document/LookupLists.h"
#include "list/ColumnCatalogue.h"
#include "platform/OleDate.h"

#include <QLocale>

namespace {

QString Text(const ListRow& row, ListRow::Text which)
{
    return QString::fromUtf8(row.text(which));
}

QString DateOrDash(double oleDate)
{
    return oleDate == 0 ? QStringLiteral("-") : ListDateText(oleDate);
}

QByteArrayView Memo(const QByteArray& utf8)
{
    return QByteArrayView(utf8.constData(),
                          Utf8PrefixBytes(utf8.constData(), static_cast<int>(utf8.size()), column::kMemoCellLength));
}

} // namespace

int Utf8PrefixBytes(const char* utf8, int bytes, int characters)
{
    // Plain ASCII up to the limit is the usual case: no character spans bytes there.
    if (bytes <= characters)
        return bytes;
    int end = 0;
    for (int count = 0; end < bytes; ++end) {
        // Continuation bytes (10xxxxxx) belong to the character before them.
        if ((static_cast<unsigned char>(utf8[end]) & 0xC0) != 0x80 && count++ == characters)
            break;
    }
    return end;
}

QByteArrayView ListRow::text(Text which) const
{
    const std::uint32_t begin = which == 0 ? 0 : ends_[static_cast<std::size_t>(which) - 1];
    return QByteArrayView(texts_.constData() + begin, ends_[static_cast<std::size_t>(which)] - begin);
}

void ListRow::SetTexts(const Texts& texts)
{
    qsizetype size = 0;
    for (const QByteArrayView& text : texts)
        size += text.size();
    texts_.clear();
    texts_.reserve(size);
    for (std::size_t i = 0; i < texts.size(); ++i) {
        texts_.append(texts[i]);
        ends_[i] = static_cast<std::uint32_t>(texts_.size());
    }
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
    const QByteArray subject = record.Subject.toUtf8();
    const QByteArray description = record.Description.toUtf8();
    const QByteArray comments = record.Comments.toUtf8();
    const QByteArray foundVersion = record.foundversion.toUtf8();
    const QByteArray fixedVersion = record.fixedversion.toUtf8();
    const QByteArray cc = record.Cc.toUtf8();
    row.SetTexts({subject, Memo(description), Memo(comments), foundVersion, fixedVersion, cc});
    return row;
}

QString ListDateText(double oleDate)
{
    return QLocale().toString(WallClockFromOleDate(oleDate), QLocale::ShortFormat);
}

QString CellText(const ListRow& row, int columnId, const LookupLists& lookups)
{
    switch (columnId) {
    case column::kDefectId:
        return QString::number(row.defectId);
    case column::kStatus:
        return lookups.LookupName(LookupList::Status, row.statusId);
    case column::kSubject:
        return Text(row, ListRow::kSubject);
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
        return Text(row, ListRow::kDescription);
    case column::kOpened:
        return ListDateText(row.opened);
    case column::kModified:
        return ListDateText(row.modified);
    case column::kClosed:
        return DateOrDash(row.closed);
    case column::kComments:
        return Text(row, ListRow::kComments);
    case column::kLastRead:
        return DateOrDash(row.lastRead);
    case column::kFoundVersion:
        return Text(row, ListRow::kFoundVersion);
    case column::kFixedVersion:
        return Text(row, ListRow::kFixedVersion);
    case column::kCategory:
        return lookups.LookupName(LookupList::Category, row.categoryId);
    case column::kCc:
        return Text(row, ListRow::kCc);
    default:
        return QStringLiteral("unknown column index");
    }
}
