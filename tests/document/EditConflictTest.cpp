// The user's edits over another user's version of a defect, and the text showing both.
#include "document/EditConflict.h"
#include "document/LookupLists.h"

#include <gtest/gtest.h>

namespace {

DefectRecord Read()
{
    DefectRecord record;
    record.Defect_ID = 7;
    record.Subject = QStringLiteral("crash");
    record.PriorityID = 2;
    record.Cc = QStringLiteral("a@x");
    record.History = QStringLiteral("line 1\n");
    record.Modified = 46000.5;
    record.lastread = 46000.6;
    return record;
}

QString Names(LookupList list, std::int32_t id)
{
    return (list == LookupList::Priority ? QStringLiteral("priority ") : QStringLiteral("other ")) +
        QString::number(id);
}

} // namespace

TEST(EditConflictTest, TheUsersChangedFieldsGoOverTheOtherUsersVersionAndTheRestStays)
{
    const DefectRecord base = Read();
    DefectRecord mine = base;
    mine.Subject = QStringLiteral("mine");
    mine.History += QStringLiteral("my line\n");
    mine.Defect_ID = 0; // the key never comes from the edits
    DefectRecord theirs = base;
    theirs.Cc = QStringLiteral("b@x");
    theirs.Subject = QStringLiteral("theirs");
    theirs.History += QStringLiteral("their line\n");
    theirs.Modified = 46001;

    const DefectRecord merged = MergeEdits(base, mine, theirs);
    EXPECT_EQ(merged.Defect_ID, 7);
    EXPECT_EQ(merged.Subject, QStringLiteral("mine")) << "both changed it: keeping the edits means the user's value";
    EXPECT_EQ(merged.Cc, QStringLiteral("b@x")) << "only the other user changed it";
    EXPECT_EQ(merged.Modified, 46001);
    EXPECT_EQ(merged.History, QStringLiteral("line 1\ntheir line\nmy line\n"));

    // A history the other user rewrote (a converted file, say) is not spliced: the user's stays.
    theirs.History = QStringLiteral("rewritten\n");
    EXPECT_EQ(MergeEdits(base, mine, theirs).History, mine.History);
    // Without the record as read, nothing tells which fields were the user's: all are.
    const DefectRecord whole = MergeEdits(std::nullopt, mine, theirs);
    EXPECT_EQ(whole.Cc, QStringLiteral("a@x"));
    EXPECT_EQ(whole.Subject, QStringLiteral("mine"));
    EXPECT_EQ(whole.Defect_ID, 7);
}

TEST(EditConflictTest, SameContentIgnoresOnlyTheSaveAndReadStamps)
{
    const DefectRecord a = Read();
    DefectRecord b = a;
    b.Modified = 47000;
    b.lastread = 0;
    EXPECT_TRUE(SameContent(a, b));
    b.Opened = 1;
    EXPECT_FALSE(SameContent(a, b));
    b = a;
    b.Subject += QLatin1Char(' ');
    EXPECT_FALSE(SameContent(a, b));
}

TEST(EditConflictTest, TheDifferencesNameEachDifferingFieldWithBothValues)
{
    DefectRecord theirs = Read();
    DefectRecord mine = theirs;
    mine.PriorityID = 3;
    mine.Description = QStringLiteral("first line\nsecond line ") + QString(200, QLatin1Char('x'));
    mine.Modified = 47000; // a stamp, not shown

    const QString text = DescribeDifferences(theirs, mine, Names);
    EXPECT_EQ(text.count(QStringLiteral("in the database:")), 2);
    EXPECT_TRUE(text.contains(QStringLiteral("Priority\n    in the database: priority 2\n    yours: priority 3\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("Description\n    in the database: (empty)\n    yours: first line / ")));
    EXPECT_FALSE(text.contains(QString(150, QLatin1Char('x')))) << "a long text shows only its start";
    EXPECT_FALSE(text.contains(QStringLiteral("Subject")));
    EXPECT_TRUE(DescribeDifferences(theirs, theirs, Names).isEmpty());
}
