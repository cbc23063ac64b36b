// The current defect's record: its statements, reading it from a row, writing it back, texts cut to fit.

#include "document/DefectRecord.h"

#include "base/Check.h"
#include "platform/Utf8Text.h"
#include "store/LookupEntries.h"

namespace {

enum Column {
    kClosed,
    kComments,
    kComponentID,
    kDefect_ID,
    kDescription,
    kFixedBuild,
    kFoundBuild,
    kFromID,
    kHistory,
    kModified,
    kOpened,
    kPriorityID,
    kSeverityID,
    kStatusID,
    kSubject,
    kToID,
    klastread,
    kfoundversion,
    kfixedversion,
    kcategoryid,
    kCc
};

engine::Value Number(std::int32_t value)
{
    return static_cast<std::int64_t>(value);
}

} // namespace

const QStringList& DefectRecord::ColumnNames()
{
    static const QStringList names{
        QStringLiteral("Closed"),       QStringLiteral("Comments"),    QStringLiteral("ComponentID"),
        QStringLiteral("Defect_ID"),    QStringLiteral("Description"), QStringLiteral("FixedBuild"),
        QStringLiteral("FoundBuild"),   QStringLiteral("FromID"),      QStringLiteral("History"),
        QStringLiteral("Modified"),     QStringLiteral("Opened"),      QStringLiteral("PriorityID"),
        QStringLiteral("SeverityID"),   QStringLiteral("StatusID"),    QStringLiteral("Subject"),
        QStringLiteral("ToID"),         QStringLiteral("lastread"),    QStringLiteral("foundversion"),
        QStringLiteral("fixedversion"), QStringLiteral("categoryid"),  QStringLiteral("Cc")};
    return names;
}

QString DefectRecord::SelectText()
{
    return QStringLiteral(" \tSELECT \t\t") + ColumnNames().join(QStringLiteral(", \t\t")) +
        QStringLiteral(" \t\tFROM DefectListQuery");
}

QString DefectRecord::SelectByIdText()
{
    return SelectText() + QStringLiteral(" WHERE Defect_ID = ?");
}

DefectRecord DefectRecord::FromRow(const engine::Rowset& rowset)
{
    check::precondition(rowset.ColumnCount() == kColumnCount, "the rowset does not hold the defect columns");
    DefectRecord record;
    record.Closed = rowset.Real(kClosed);
    record.Comments = rowset.Text(kComments);
    record.ComponentID = rowset.Int32(kComponentID);
    record.Defect_ID = rowset.Int32(kDefect_ID);
    record.Description = rowset.Text(kDescription);
    record.FixedBuild = rowset.Int32(kFixedBuild);
    record.FoundBuild = rowset.Int32(kFoundBuild);
    record.FromID = rowset.Int32(kFromID);
    record.History = rowset.Text(kHistory);
    record.Modified = rowset.Real(kModified);
    record.Opened = rowset.Real(kOpened);
    record.PriorityID = rowset.Int32(kPriorityID);
    record.SeverityID = rowset.Int32(kSeverityID);
    record.StatusID = rowset.Int32(kStatusID);
    record.Subject = rowset.Text(kSubject);
    record.ToID = rowset.Int32(kToID);
    record.lastread = rowset.Real(klastread);
    record.foundversion = rowset.Text(kfoundversion);
    record.fixedversion = rowset.Text(kfixedversion);
    record.categoryid = rowset.Int32(kcategoryid);
    record.Cc = rowset.Text(kCc);
    record.FitTexts();
    return record;
}

engine::RowValues DefectRecord::ToRowValues() const
{
    DefectRecord fitted = *this;
    fitted.FitTexts();
    engine::RowValues values(kColumnCount);
    values[kClosed] = fitted.Closed;
    values[kComments] = fitted.Comments;
    values[kComponentID] = Number(fitted.ComponentID);
    // The database assigns the key; it is never written.
    values[kDescription] = fitted.Description;
    values[kFixedBuild] = Number(fitted.FixedBuild);
    values[kFoundBuild] = Number(fitted.FoundBuild);
    values[kFromID] = Number(fitted.FromID);
    values[kHistory] = fitted.History;
    values[kModified] = fitted.Modified;
    values[kOpened] = fitted.Opened;
    values[kPriorityID] = Number(fitted.PriorityID);
    values[kSeverityID] = Number(fitted.SeverityID);
    values[kStatusID] = Number(fitted.StatusID);
    values[kSubject] = fitted.Subject;
    values[kToID] = Number(fitted.ToID);
    values[klastread] = fitted.lastread;
    values[kfoundversion] = fitted.foundversion;
    values[kfixedversion] = fitted.fixedversion;
    values[kcategoryid] = Number(fitted.categoryid);
    values[kCc] = fitted.Cc;
    return values;
}

engine::RowValues DefectRecord::LastReadValues(double lastread)
{
    engine::RowValues values(kColumnCount);
    values[klastread] = lastread;
    return values;
}

void DefectRecord::FitTexts()
{
    Comments = FitToBuffer(Comments, kCommentsSize);
    Description = FitToBuffer(Description, kDescriptionSize);
    History = FitToBuffer(History, kHistorySize);
    Subject = FitToBuffer(Subject, kSubjectSize);
    Cc = FitToBuffer(Cc, kCcSize);
    foundversion = FitToBuffer(foundversion, kVersionSize);
    fixedversion = FitToBuffer(fixedversion, kVersionSize);
}

bool NotifiesOnSave(const DefectRecord& record)
{
    return record.StatusID != reserved::kStatusTemplate && record.StatusID != reserved::kStatusDraft;
}
