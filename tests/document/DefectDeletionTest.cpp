// Deleting defects: the statement batches, rights, rows and attachment folders, and a failing statement.

#include "DefectTestDoubles.h"

#include "document/DefectDeletion.h"
#include "store/AttachmentPaths.h"
#include "support/ScriptedUserInterface.h"
#include "support/TempFolder.h"
#include "support/TestDatabase.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace {

void MakeAttachment(const QString& databasePath, int id)
{
    const QString directory = DefectAttachmentPath(databasePath, id);
    ASSERT_TRUE(QDir().mkpath(directory + QStringLiteral("/nested")));
    QFile file(directory + QStringLiteral("/nested/log.txt"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("attached");
}

class DefectDeletionTest : public testing::Test {
protected:
    DefectDeletionTest() : path(CreateCurrentDatabase(folder.file(QStringLiteral("team.defl")))) { }

    TempFolder folder;
    ScriptedUserInterface ui;
    QString path;
};

} // namespace

TEST(DefectDeletionRulesTest, StatementsEndJustAfterPassing500CharactersAndTheNextRowIsChosen)
{
    std::vector<std::int32_t> ids;
    for (int id = 1001; id <= 1120; ++id)
        ids.push_back(id);
    const std::vector<DeleteBatch> batches = BuildDeleteBatches(ids);
    ASSERT_GT(batches.size(), 2u);
    std::vector<std::int32_t> all;
    for (std::size_t i = 0; i < batches.size(); ++i) {
        const DeleteBatch& batch = batches[i];
        EXPECT_TRUE(
            batch.sql.startsWith(QStringLiteral("DELETE FROM DefectList WHERE Defect_ID = %1").arg(batch.ids[0])));
        const QString lastClause = QStringLiteral(" OR Defect_ID = %1").arg(batch.ids.back());
        EXPECT_TRUE(batch.sql.endsWith(lastClause));
        EXPECT_EQ(batch.sql.count(QStringLiteral("Defect_ID")), static_cast<qsizetype>(batch.ids.size()));
        if (i + 1 < batches.size()) {
            EXPECT_GT(batch.sql.size(), 500) << i;
            EXPECT_LE(batch.sql.size() - lastClause.size(), 500) << "cut as soon as it passed 500, " << i;
        }
        all.insert(all.end(), batch.ids.begin(), batch.ids.end());
    }
    EXPECT_EQ(all, ids);
    EXPECT_EQ(BuildDeleteBatches({42}).front().sql, QStringLiteral("DELETE FROM DefectList WHERE Defect_ID = 42"));

    using Row = DefectListSeam::Row;
    EXPECT_EQ(NextCurrentDefect({{1, {}, true}, {2, {}, false}, {3, {}, true}, {4, {}, false}}), 4);
    EXPECT_EQ(NextCurrentDefect({{1, {}, false}, {2, {}, true}, {3, {}, false}, {4, {}, true}}), 3);
    EXPECT_EQ(NextCurrentDefect({{1, {}, false}, {2, {}, true}, {3, {}, true}}), 1);
    EXPECT_EQ(NextCurrentDefect({{1, {}, true}, {2, {}, true}}), -1);
    EXPECT_EQ(NextCurrentDefect(std::vector<Row>{}), -1);
}

TEST_F(DefectDeletionTest, Deleting120DefectsRemovesRowsAndAttachmentDirectories)
{
    Workstation a(path, ui, 1);
    ASSERT_EQ(a.context.connection.Execute(QStringLiteral("BEGIN")), engine::kOk);
    for (int id = 1; id <= 125; ++id) {
        InsertDefectRow(a.context.connection, id, 1, 2);
        a.list.rows.push_back({id, QStringLiteral("Ann"), id > 2 && id <= 122});
    }
    ASSERT_EQ(a.context.connection.Execute(QStringLiteral("COMMIT")), engine::kOk);
    for (const int id : {3, 60, 122, 123})
        MakeAttachment(path, id);
    a.persistence.SelectDefect(3);

    ui.ExpectMessage(107, Answer::Yes);
    DeleteSelectedDefects(a.context, a.persistence, &a.list);
    EXPECT_TRUE(
        ui.messages.back().text.startsWith(QStringLiteral("Do you really want to delete 120 selected defects?")))
        << "the question says how many";
    EXPECT_EQ(CountDefects(a.context.connection), 5);
    std::int64_t kept = 0;
    ASSERT_EQ(a.context.connection.QueryInt(QStringLiteral("SELECT count(*) FROM defectlist WHERE defect_id IN "
                                                           "(1, 2, 123, 124, 125)"),
                                            {}, kept),
              engine::kOk);
    EXPECT_EQ(kept, 5);
    EXPECT_FALSE(QDir(DefectAttachmentPath(path, 3)).exists());
    EXPECT_FALSE(QDir(DefectAttachmentPath(path, 60)).exists());
    EXPECT_FALSE(QDir(DefectAttachmentPath(path, 122)).exists());
    EXPECT_TRUE(QDir(DefectAttachmentPath(path, 123)).exists());
    // The deletion is announced with the row after the last selected one; the list is not driven.
    std::vector<std::int32_t> deleted;
    for (std::int32_t id = 3; id <= 122; ++id)
        deleted.push_back(id);
    ASSERT_EQ(a.context.deletions.size(), 1u);
    EXPECT_EQ(a.context.deletions.back().defectIds, deleted);
    EXPECT_EQ(a.context.deletions.back().nextCurrentId, 123);
    EXPECT_TRUE(a.list.selectedDefects.empty());

    // One defect, the last row: the nearest unselected row before it comes next.
    for (auto& row : a.list.rows)
        row.selected = row.defectId == 125;
    ui.ExpectMessage(107, Answer::Yes);
    DeleteSelectedDefects(a.context, a.persistence, &a.list);
    EXPECT_TRUE(ui.messages.back().text.startsWith(QStringLiteral("Do you really want to delete defect 125?")));
    EXPECT_EQ(CountDefects(a.context.connection), 4);
    ASSERT_EQ(a.context.deletions.size(), 2u);
    EXPECT_EQ(a.context.deletions.back().defectIds, std::vector<std::int32_t>{125});
    EXPECT_EQ(a.context.deletions.back().nextCurrentId, 124);

    // No: nothing goes, nothing is announced.
    ui.ExpectMessage(107, Answer::No);
    DeleteSelectedDefects(a.context, a.persistence, &a.list);
    EXPECT_EQ(CountDefects(a.context.connection), 4);
    EXPECT_EQ(a.context.deletions.size(), 2u);
    ui.VerifyAllUsed();
}

TEST_F(DefectDeletionTest, OnlyTheAuthorOrAnAdministratorDeletes)
{
    Workstation a(path, ui, 1);
    for (int id = 1; id <= 3; ++id)
        InsertDefectRow(a.context.connection, id, 1, 2);
    a.list.rows = {
        {1, QStringLiteral("Ann"), true}, {2, QStringLiteral("Bob"), true}, {3, QStringLiteral("Bob"), false}};
    MakeAttachment(path, 1);

    ui.ExpectMessage(193);
    DeleteSelectedDefects(a.context, a.persistence, &a.list);
    EXPECT_EQ(CountDefects(a.context.connection), 3);
    EXPECT_TRUE(QDir(DefectAttachmentPath(path, 1)).exists());
    EXPECT_TRUE(a.context.deletions.empty());

    // Nothing selected, or no list: nothing is asked.
    for (auto& row : a.list.rows)
        row.selected = false;
    DeleteSelectedDefects(a.context, a.persistence, &a.list);
    DeleteSelectedDefects(a.context, a.persistence, nullptr);
    EXPECT_TRUE(a.context.deletions.empty());

    a.context.administrator = true;
    a.list.rows[1].selected = true;
    ui.ExpectMessage(107, Answer::Yes);
    DeleteSelectedDefects(a.context, a.persistence, &a.list);
    EXPECT_EQ(CountDefects(a.context.connection), 2);
    ASSERT_EQ(a.context.deletions.size(), 1u);
    EXPECT_EQ(a.context.deletions.back().defectIds, std::vector<std::int32_t>{2});
    EXPECT_EQ(a.context.deletions.back().nextCurrentId, 3);
    ui.VerifyAllUsed();
}

TEST_F(DefectDeletionTest, AFailingStatementKeepsItsDefectsAttachmentsAndTheOthersStillRun)
{
    Workstation a(path, ui, 1);
    ASSERT_EQ(a.context.connection.Execute(QStringLiteral("BEGIN")), engine::kOk);
    for (int id = 1; id <= 120; ++id) {
        InsertDefectRow(a.context.connection, id, 1, 2);
        a.list.rows.push_back({id, QStringLiteral("Ann"), true});
        MakeAttachment(path, id);
    }
    ASSERT_EQ(a.context.connection.Execute(QStringLiteral("COMMIT")), engine::kOk);
    ASSERT_EQ(a.context.connection.Execute(QStringLiteral("CREATE TRIGGER keep BEFORE DELETE ON defectlist WHEN "
                                                          "old.defect_id = 1 BEGIN SELECT RAISE(ABORT, 'kept'); END")),
              engine::kOk);
    const std::vector<DeleteBatch> batches = BuildDeleteBatches([] {
        std::vector<std::int32_t> ids;
        for (int id = 1; id <= 120; ++id)
            ids.push_back(id);
        return ids;
    }());
    const std::size_t firstBatch = batches.front().ids.size();

    ui.ExpectMessage(107, Answer::Yes);
    ui.ExpectMessageText(QStringLiteral("Delete command failed"));
    DeleteSelectedDefects(a.context, a.persistence, &a.list);
    EXPECT_EQ(CountDefects(a.context.connection), static_cast<std::int64_t>(firstBatch));
    EXPECT_TRUE(QDir(DefectAttachmentPath(path, 1)).exists());
    EXPECT_TRUE(
        QFile::exists(DefectAttachmentPath(path, static_cast<int>(firstBatch)) + QStringLiteral("/nested/log.txt")));
    EXPECT_FALSE(QDir(DefectAttachmentPath(path, static_cast<int>(firstBatch) + 1)).exists());
    EXPECT_FALSE(QDir(DefectAttachmentPath(path, 120)).exists());
    // The announcement names only the defects that went, so the list keeps showing the others.
    ASSERT_EQ(a.context.deletions.size(), 1u);
    EXPECT_EQ(a.context.deletions.back().defectIds.size(), 120u - firstBatch);
    EXPECT_EQ(a.context.deletions.back().defectIds.front(), static_cast<std::int32_t>(firstBatch) + 1);
    EXPECT_EQ(a.context.deletions.back().nextCurrentId, static_cast<std::int32_t>(firstBatch))
        << "the last kept defect before the deleted ones";
    ui.VerifyAllUsed();
}

TEST_F(DefectDeletionTest, DeletingNeverReachesPastALinkAndSaysWhichLinksItMet)
{
    Workstation a(path, ui, 1);
    for (int id = 1; id <= 2; ++id) {
        InsertDefectRow(a.context.connection, id, 1, 2);
        a.list.rows.push_back({id, QStringLiteral("Ann"), true});
    }
    // Defect 1's folder is a link to somebody's folder of three files; defect 2's folder is real
    // and holds a link to one of those files beside a file of its own.
    const QString elsewhere = folder.file(QStringLiteral("elsewhere"));
    ASSERT_TRUE(QDir().mkpath(elsewhere));
    for (const char* name : {"a.txt", "b.txt", "c.txt"}) {
        QFile file(elsewhere + QLatin1Char('/') + QLatin1String(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("kept");
    }
    ASSERT_TRUE(QDir().mkpath(QFileInfo(DefectAttachmentPath(path, 1)).path()));
    ASSERT_TRUE(QFile::link(elsewhere, DefectAttachmentPath(path, 1)));
    MakeAttachment(path, 2);
    ASSERT_TRUE(
        QFile::link(elsewhere + QStringLiteral("/a.txt"), DefectAttachmentPath(path, 2) + QStringLiteral("/a.txt")));

    ui.ExpectMessage(107, Answer::Yes);
    ui.ExpectMessage(2305);
    DeleteSelectedDefects(a.context, a.persistence, &a.list);
    EXPECT_EQ(CountDefects(a.context.connection), 0);
    EXPECT_FALSE(QFileInfo::exists(DefectAttachmentPath(path, 2)));
    EXPECT_FALSE(QFileInfo(DefectAttachmentPath(path, 1)).isSymLink());
    EXPECT_EQ(QDir(elsewhere).entryList(QDir::Files), (QStringList{"a.txt", "b.txt", "c.txt"}));
    ASSERT_FALSE(ui.messages.empty());
    EXPECT_TRUE(ui.messages.back().text.contains(DefectAttachmentPath(path, 1) + QStringLiteral(" -> ") + elsewhere));
    EXPECT_TRUE(ui.messages.back().text.contains(DefectAttachmentPath(path, 2) + QStringLiteral("/a.txt -> ")));
    ui.VerifyAllUsed();
}
