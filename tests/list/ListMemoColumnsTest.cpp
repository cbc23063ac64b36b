// The list on both engines reads the memo texts only of the columns it shows, and sorts by any of them all the same.

#include "document/DocumentTestSupport.h"

#include "document/DefectDoc.h"
#include "list/ColumnCatalogue.h"
#include "list/DefectList.h"
#include "support/PgServer.h"
#include "support/ScriptedUserInterface.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

namespace {

void SortsByMemosItDoesNotRead(const QString& database)
{
    CreateCurrentDatabase(database);
    {
        engine::Connection setup;
        ASSERT_EQ(setup.Open(database), engine::kOk);
        AddStakeholder(setup, 1, QStringLiteral("Ann"), QStringLiteral("ann"));
        // Three orders that differ: by subject, by description, by comments, by history.
        for (const auto& [subject, description, comments, history] :
             {std::array<const char*, 4>{"a", "3 described", "2 commented", "1 line"},
              std::array<const char*, 4>{"b", "1 described", "3 commented", "2 line"},
              std::array<const char*, 4>{"c", "2 described", "1 commented", "3 line"}})
            ASSERT_EQ(setup.Execute(QStringLiteral("INSERT INTO defectlist (statusid, subject, description, comments, "
                                                   "history, toid, fromid) VALUES (1, ?, ?, ?, ?, 1, 1)"),
                                    {QString::fromLatin1(subject), QString::fromLatin1(description),
                                     QString::fromLatin1(comments), QString::fromLatin1(history)}),
                      engine::kOk);
    }
    ScriptedUserInterface ui;
    ManualClock clock;
    NoAdministration administration;
    CDefectDoc doc{ui, clock, administration};
    CDefectList list{doc};
    doc.SetOperatingSystemUser([] { return std::nullopt; });
    doc.SetAutoLogin(QStringLiteral("ann"));
    ASSERT_TRUE(doc.OnOpenDocument(database));
    const auto column = [&](int shown) {
        QStringList texts;
        for (int row = 0; row < list.model().rowCount(); ++row)
            texts << list.model().CellText(row, shown);
        return texts.join(QLatin1Char(' ')).toStdString();
    };
    // The default view shows the description and hides the comments.
    list.SortByClickedColumn(column::kComments);
    EXPECT_EQ(column(column::kSubject), "c a b");
    EXPECT_EQ(column(column::kDescription), "2 described 3 described 1 described");
    EXPECT_EQ(column(column::kComments), "  ") << "a hidden memo column holds no text";
    list.SortByClickedColumn(column::kDescription);
    EXPECT_EQ(column(column::kSubject), "b c a");
    list.SortByClickedColumn(column::kDescription);
    EXPECT_EQ(column(column::kSubject), "a c b") << "the second click sorts descending";
    ui.VerifyAllUsed();
}

} // namespace

TEST(ListMemoColumns, OnAFileSortByMemosTheListDoesNotRead)
{
    TempFolder folder;
    SortsByMemosItDoesNotRead(folder.file(QStringLiteral("team.defl")));
}

TEST(ListMemoColumns, OnAServerSortByMemosTheListDoesNotRead)
{
    SERVER_DATABASE_OR_SKIP(uri);
    SortsByMemosItDoesNotRead(uri);
}
