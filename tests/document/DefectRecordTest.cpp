// The defect record: columns in binding order, the key never written, long texts cut at character boundaries.

#include "DefectTestDoubles.h"

#include "support/ScriptedUserInterface.h"
#include "support/TempFolder.h"
#include "support/TestDatabase.h"

#include <gtest/gtest.h>

TEST(DefectRecordTest, ReadsTheColumnsInBindingOrderAndNeverWritesTheKey)
{
    EXPECT_EQ(DefectRecord::SelectText(),
              QStringLiteral(" \tSELECT \t\tClosed, \t\tComments, \t\tComponentID, \t\tDefect_ID, \t\tDescription, "
                             "\t\tFixedBuild, \t\tFoundBuild, \t\tFromID, \t\tHistory, \t\tModified, \t\tOpened, "
                             "\t\tPriorityID, \t\tSeverityID, \t\tStatusID, \t\tSubject, \t\tToID, \t\tlastread, "
                             "\t\tfoundversion, \t\tfixedversion, \t\tcategoryid, \t\tCc \t\tFROM DefectListQuery"));

    TempFolder folder;
    ScriptedUserInterface ui;
    const QString path = CreateCurrentDatabase(folder.file(QStringLiteral("team.defl")));
    engine::Connection connection;
    ASSERT_EQ(connection.Open(path), engine::kOk);
    InsertDefectRow(connection, 7, 1, 2);

    engine::Rowset rows;
    ASSERT_EQ(connection.Query(DefectRecord::SelectByIdText(), {std::int64_t{7}}, rows), engine::kOk);
    ASSERT_EQ(rows.MoveFirst(), engine::kOk);
    const DefectRecord record = DefectRecord::FromRow(rows);
    EXPECT_EQ(record.Defect_ID, 7);
    EXPECT_EQ(record.StatusID, 1);
    EXPECT_EQ(record.ToID, 2);
    EXPECT_EQ(record.PriorityID, 2);
    EXPECT_EQ(record.SeverityID, 3);
    EXPECT_EQ(record.ComponentID, 4);
    EXPECT_EQ(record.categoryid, 5);
    EXPECT_EQ(record.FoundBuild, 100);
    EXPECT_EQ(record.Comments, QStringLiteral("comments"));
    EXPECT_EQ(record.foundversion, QStringLiteral("1.0"));
    EXPECT_EQ(record.Cc, QStringLiteral("cc@x"));
    EXPECT_DOUBLE_EQ(record.lastread, 46001.25);

    const engine::RowValues values = record.ToRowValues();
    ASSERT_EQ(values.size(), 21u);
    EXPECT_FALSE(values[3].has_value()) << "Defect_ID must never be written";
    EXPECT_EQ(std::count_if(values.begin(), values.end(), [](const auto& v) { return v.has_value(); }), 20);

    // Every column takes part in the comparison.
    const std::vector<std::function<void(DefectRecord&)>> changes{[](DefectRecord& r) { r.Closed = 1; },
                                                                  [](DefectRecord& r) { r.Comments += 'x'; },
                                                                  [](DefectRecord& r) { r.ComponentID++; },
                                                                  [](DefectRecord& r) { r.Defect_ID++; },
                                                                  [](DefectRecord& r) { r.Description += 'x'; },
                                                                  [](DefectRecord& r) { r.FixedBuild++; },
                                                                  [](DefectRecord& r) { r.FoundBuild++; },
                                                                  [](DefectRecord& r) { r.FromID++; },
                                                                  [](DefectRecord& r) { r.History += 'x'; },
                                                                  [](DefectRecord& r) { r.Modified += 1e-9; },
                                                                  [](DefectRecord& r) { r.Opened = 0; },
                                                                  [](DefectRecord& r) { r.PriorityID++; },
                                                                  [](DefectRecord& r) { r.SeverityID++; },
                                                                  [](DefectRecord& r) { r.StatusID++; },
                                                                  [](DefectRecord& r) { r.Subject += 'x'; },
                                                                  [](DefectRecord& r) { r.ToID++; },
                                                                  [](DefectRecord& r) { r.lastread = 0; },
                                                                  [](DefectRecord& r) { r.foundversion += 'x'; },
                                                                  [](DefectRecord& r) { r.fixedversion += 'x'; },
                                                                  [](DefectRecord& r) { r.categoryid++; },
                                                                  [](DefectRecord& r) { r.Cc += 'x'; }};
    EXPECT_EQ(changes.size(), 21u);
    for (std::size_t i = 0; i < changes.size(); ++i) {
        DefectRecord changed = record;
        changes[i](changed);
        EXPECT_FALSE(changed == record) << "column " << i;
    }
    EXPECT_TRUE(DefectRecord(record) == record);
}

TEST(DefectRecordTest, LongMultiByteTextsAreCutAtCharacterBoundariesAndReadBackValid)
{
    TempFolder folder;
    ScriptedUserInterface ui;
    const QString path = CreateCurrentDatabase(folder.file(QStringLiteral("team.defl")));
    Workstation a(path, ui);
    InsertDefectRow(a.context.connection, 7, 1, 1);
    a.persistence.SelectDefect(7);

    // 2667 euro signs are 8001 bytes; the buffer holds 7999, the last whole character ends at 7998.
    const QString euros(2667, QChar(0x20AC));
    a.form.Edit([&](DefectRecord& r) {
        r.Description = euros;
        r.Comments = QStringLiteral("a") + euros; // 8002 bytes: 'a' plus 2666 euros is 7999
        r.Subject = QString(200, QChar(0x00E9));  // 400 bytes into 256: 127 characters
        r.foundversion = QStringLiteral("1234567890ABC");
    });
    ASSERT_TRUE(a.persistence.SaveRecord(true));

    Workstation b(path, ui);
    b.persistence.SelectDefect(7);
    const DefectRecord& stored = b.form.controls;
    EXPECT_EQ(stored.Description.toUtf8().size(), 7998);
    EXPECT_EQ(stored.Description, euros.left(2666));
    EXPECT_EQ(QString::fromUtf8(stored.Description.toUtf8()), stored.Description);
    EXPECT_FALSE(stored.Description.contains(QChar::ReplacementCharacter));
    EXPECT_EQ(stored.Comments.toUtf8().size(), 7999);
    EXPECT_EQ(stored.Subject, QString(127, QChar(0x00E9)));
    EXPECT_EQ(stored.foundversion, QStringLiteral("1234567890"));
    // What the saving workstation shows is what was stored, so its next save is no conflict.
    EXPECT_TRUE(a.form.controls == stored);
}
