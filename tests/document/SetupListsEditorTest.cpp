// The list editor's logic on a real file: order, passwords, rights, read-only rows, concurrency.
#include "DefectDocFixture.h"

#include "document/PasswordHash.h"
#include "document/SetupListsEditor.h"

#include <QSignalSpy>

#include <algorithm>
#include <set>

namespace {

class SetupListsEditorTest : public DefectDocFixture {
protected:
    SetupListsEditorTest()
    {
        EXPECT_EQ(editorConnection_.Open(path_), engine::kOk);
        doc_.database().SetDatabaseFileName(path_);
    }

    // The list row that shows the id in its first column; -1 when none does.
    static int RowOf(const SetupListsEditor& editor, std::int64_t id)
    {
        for (int row = 0; row < editor.RowCount(); ++row) {
            if (editor.CellText(row, 0) == QString::number(id))
                return row;
        }
        return -1;
    }

    QString Text(const QString& sql) const
    {
        engine::Rowset rows;
        EXPECT_EQ(const_cast<engine::Connection&>(setup_).Query(sql, {}, rows), engine::kOk);
        return rows.MoveFirst() == engine::kOk ? rows.Text(0) : QStringLiteral("<no row>");
    }

    engine::Connection editorConnection_;
};

constexpr int kComponentsPage = 1;

TEST_F(SetupListsEditorTest, MovingARowUpAndClosingWritesTheOrderOnlyWhereItDiffers)
{
    // Stored order: 2, 3, 1, 4 (without the seed's "<none>").
    Exec(setup_, QStringLiteral("DELETE FROM component"));
    for (const auto& [id, order] : {std::pair{1, 2}, {2, 0}, {3, 1}, {4, 3}})
        Exec(setup_, QStringLiteral("INSERT INTO component (component_id, component, sys_sortorder) VALUES (?, ?, ?)"),
             {std::int64_t{id}, QStringLiteral("c%1").arg(id), std::int64_t{order}});
    Exec(setup_, QStringLiteral("CREATE TABLE written (id INTEGER)"));
    Exec(setup_,
         QStringLiteral("CREATE TRIGGER count_writes AFTER UPDATE ON component BEGIN "
                        "INSERT INTO written VALUES (new.component_id); END"));

    SetupListsEditor editor(ui_, editorConnection_, true, 0);
    editor.ShowPage(kComponentsPage);
    ASSERT_EQ(editor.RowCount(), 4);
    EXPECT_EQ(editor.RowTexts(0).at(1), "c2");
    EXPECT_EQ(editor.RowTexts(2).at(1), "c1");
    const std::vector<ListEditorColumn> columns = editor.Columns();
    EXPECT_TRUE(columns[static_cast<std::size_t>(editor.ColumnIndex(QStringLiteral("sys_sortorder")))].hidden);

    ASSERT_EQ(RowOf(editor, 1), 2);
    ASSERT_TRUE(editor.SelectRow(2));
    EXPECT_EQ(editor.MoveRows({2}, true), std::vector<int>{1});
    EXPECT_EQ(editor.MoveRows({0}, true), std::vector<int>{0}); // the top row stays
    EXPECT_EQ(editor.CurrentRow(), 1);
    ASSERT_TRUE(editor.Close());

    EXPECT_EQ(Text(QStringLiteral("SELECT group_concat(id) FROM (SELECT id FROM written ORDER BY id)")), "1,3");
    EXPECT_EQ(Text(QStringLiteral("SELECT group_concat(component_id) FROM (SELECT component_id FROM component "
                                  "ORDER BY sys_sortorder)")),
              "2,1,3,4");
    // Nothing moved since: closing again writes nothing.
    ASSERT_TRUE(editor.Close());
    EXPECT_EQ(QueryNumber(setup_, QStringLiteral("SELECT count(*) FROM written")), 2);
}

TEST_F(SetupListsEditorTest, ThePasswordMarkerKeepsTheStoredHashClearingRemovesItTypingStoresTheHash)
{
    AddStakeholder(setup_, 1, QStringLiteral("Ann"), QStringLiteral("ann"), PasswordHash(QStringLiteral("old")),
                   QStringLiteral("A"));
    SetupListsEditor editor(ui_, editorConnection_, true, 0);
    editor.ShowPage(setup_lists::kUsersPage);
    const int passwd = editor.ColumnIndex(QStringLiteral("passwd"));
    const int name = editor.ColumnIndex(QStringLiteral("displayname"));
    const QString stored = QStringLiteral("SELECT passwd FROM stakeholder WHERE stakeholder_id = 1");

    ASSERT_TRUE(editor.SelectRow(RowOf(editor, 1)));
    EXPECT_EQ(editor.FieldText(passwd), setup_lists::PasswordMarker());
    editor.SetFieldText(name, QStringLiteral("Ann B"));
    ASSERT_TRUE(editor.StorePending());
    EXPECT_EQ(Text(stored), PasswordHash(QStringLiteral("old")));
    EXPECT_EQ(Text(QStringLiteral("SELECT displayname FROM stakeholder WHERE stakeholder_id = 1")), "Ann B");

    editor.SetFieldText(passwd, QString());
    ASSERT_TRUE(editor.StorePending());
    EXPECT_EQ(Text(stored), "");
    EXPECT_EQ(editor.FieldText(passwd), "");

    editor.SetFieldText(passwd, QStringLiteral("new"));
    ASSERT_TRUE(editor.StorePending());
    EXPECT_EQ(Text(stored), PasswordHash(QStringLiteral("new")));
    EXPECT_EQ(editor.FieldText(passwd), setup_lists::PasswordMarker());
    EXPECT_EQ(editor.RowTexts(RowOf(editor, 1)).at(passwd), QStringLiteral("set")) << "the list says it in words";
}

TEST_F(SetupListsEditorTest, TheUsersPageNamesItsColumnsAndTheAdministratorBoxKeepsTheOtherFlags)
{
    AddStakeholder(setup_, 1, QStringLiteral("Ann"), QStringLiteral("ann"), QString(), QStringLiteral("xA"));
    AddStakeholder(setup_, 2, QStringLiteral("Bob"), QStringLiteral("bob"), QString(), QStringLiteral("x"));
    AddStakeholder(setup_, 3, QStringLiteral("Cid"), QStringLiteral("cid"));
    SetupListsEditor editor(ui_, editorConnection_, true, 0);
    editor.ShowPage(setup_lists::kUsersPage);
    const int flags = editor.ColumnIndex(QStringLiteral("userflags"));
    const int passwd = editor.ColumnIndex(QStringLiteral("passwd"));

    QStringList headers;
    for (const ListEditorColumn& column : editor.Columns())
        if (!column.hidden)
            headers << column.header;
    EXPECT_EQ(headers, QStringList({"ID", "E-mail", "Name", "Login name", "Password", "Administrator"}));
    int checkBoxes = 0;
    for (const ListEditorField& field : editor.Fields()) {
        EXPECT_FALSE(field.label.contains(QLatin1Char('_'))) << field.label.toStdString();
        checkBoxes += field.checkBox ? 1 : 0;
        EXPECT_EQ(field.checkBox, field.column == flags);
    }
    EXPECT_EQ(checkBoxes, 1);
    EXPECT_EQ(editor.RowTexts(RowOf(editor, 1)).at(flags), QStringLiteral("yes"));
    EXPECT_EQ(editor.RowTexts(RowOf(editor, 2)).at(flags), QString());
    EXPECT_EQ(editor.RowTexts(RowOf(editor, 2)).at(passwd), QString()) << "no password, no marker";

    // Ticking Bob's box adds the flag and keeps his other one; Save keeps Bob selected.
    ASSERT_TRUE(editor.SelectRow(RowOf(editor, 2)));
    EXPECT_FALSE(editor.FieldChecked(flags));
    editor.SetFieldChecked(flags, true);
    ASSERT_TRUE(editor.Save());
    EXPECT_EQ(Text(QStringLiteral("SELECT userflags FROM stakeholder WHERE stakeholder_id = 2")), "Ax");
    EXPECT_EQ(editor.CurrentRow(), RowOf(editor, 2)) << "the saved row stays selected";
    EXPECT_TRUE(editor.FieldChecked(flags));

    // Unticking Ann's removes only the A.
    ASSERT_TRUE(editor.SelectRow(RowOf(editor, 1)));
    editor.SetFieldChecked(flags, false);
    ASSERT_TRUE(editor.Save());
    EXPECT_EQ(Text(QStringLiteral("SELECT userflags FROM stakeholder WHERE stakeholder_id = 1")), "x");

    // A new entry has no row until it is saved; then it is the selected one.
    ASSERT_TRUE(editor.NewRecord());
    EXPECT_EQ(editor.CurrentRow(), -1);
    editor.SetFieldText(editor.ColumnIndex(QStringLiteral("loginname")), QStringLiteral("dee"));
    editor.SetFieldText(editor.ColumnIndex(QStringLiteral("email")), QStringLiteral("dee@example.org"));
    ASSERT_TRUE(editor.Save());
    ASSERT_NE(editor.CurrentRow(), -1);
    EXPECT_EQ(editor.FieldText(editor.ColumnIndex(QStringLiteral("loginname"))), QStringLiteral("dee"));

    EXPECT_EQ(setup_lists::ColumnCaption(QStringLiteral("component")), QStringLiteral("Component"));
    EXPECT_EQ(setup_lists::ColumnCaption(QStringLiteral("something_new")), QStringLiteral("something_new"));
}

TEST_F(SetupListsEditorTest, RightsAndReadOnlyRowsDecideWhatCanBeEditedAndDeleted)
{
    AddStakeholder(setup_, 1, QStringLiteral("Admin"), QStringLiteral("admin"), QString(), QStringLiteral("A"));
    AddStakeholder(setup_, 2, QStringLiteral("Bob"), QStringLiteral("bob"));
    AddStakeholder(setup_, 3, QStringLiteral("Fixed"), QStringLiteral("fixed"));
    Exec(setup_, QStringLiteral("UPDATE stakeholder SET sys_readonly = -1 WHERE stakeholder_id = 3"));

    // Through the document, as the menu runs it: Bob is no administrator while Admin is one.
    ASSERT_TRUE(doc_.LoginAs(2));
    QSignalSpy edited(&doc_, &CDefectDoc::lookupListsEdited);
    ui_.ExpectListEditor([&](ListEditorActions& actions) {
        EXPECT_EQ(doc_.connectionUse().keepOpenCount, 1);
        auto& editor = static_cast<SetupListsEditor&>(actions);
        for (const ListEditorField& field : editor.Fields()) {
            EXPECT_NE(field.column, editor.ColumnIndex(QStringLiteral("passwd")));
            EXPECT_NE(field.column, editor.ColumnIndex(QStringLiteral("userflags")));
        }
        EXPECT_EQ(editor.Fields().size(), 4u); // id, email, display name, login name
        const int name = editor.ColumnIndex(QStringLiteral("displayname"));
        const int login = editor.ColumnIndex(QStringLiteral("loginname"));
        // The administrator's row is not Bob's to change, nor its place in the list.
        ASSERT_TRUE(editor.SelectRow(RowOf(editor, 1)));
        EXPECT_FALSE(editor.FieldEnabled(name));
        EXPECT_FALSE(editor.FieldEnabled(login));
        EXPECT_FALSE(editor.CanMoveDown());
        editor.SetFieldText(name, QStringLiteral("Renamed by Bob"));
        editor.SetFieldText(login, QStringLiteral("bob2"));
        ASSERT_TRUE(editor.Save());
        EXPECT_EQ(editor.MoveRows({RowOf(editor, 1)}, false), std::vector<int>{RowOf(editor, 1)});
        // His own row is.
        ASSERT_TRUE(editor.SelectRow(RowOf(editor, 2)));
        EXPECT_FALSE(editor.CanDelete());
        ASSERT_TRUE(editor.FieldEnabled(name));
        editor.SetFieldText(name, QStringLiteral("Robert"));
        ASSERT_TRUE(editor.Save());
        // A new entry shows up in the lookups once the editor closed.
        ASSERT_TRUE(editor.ChangePage(kComponentsPage));
        ASSERT_TRUE(editor.NewRecord());
        editor.SetFieldText(editor.ColumnIndex(QStringLiteral("component")), QStringLiteral("engine"));
        ASSERT_TRUE(editor.Close());
    });
    doc_.EditLookupLists();
    EXPECT_EQ(Text(QStringLiteral("SELECT group_concat(displayname || '/' || loginname, ' ') FROM (SELECT * FROM "
                                  "stakeholder WHERE stakeholder_id IN (1, 2) ORDER BY stakeholder_id)")),
              "Admin/admin Robert/bob");
    EXPECT_EQ(QueryNumber(setup_, QStringLiteral("SELECT count(*) FROM stakeholder WHERE sys_readonly <> 0")), 2)
        << "the nobody row and Fixed stay read-only";
    EXPECT_EQ(edited.count(), 1);
    EXPECT_EQ(doc_.connectionUse().keepOpenCount, 0);
    const auto& components = doc_.lookups().components();
    EXPECT_EQ(std::count_if(components.begin(), components.end(),
                            [](const ComponentEntry& entry) { return entry.component == "engine"; }),
              1);

    SetupListsEditor editor(ui_, editorConnection_, true, 0);
    editor.ShowPage(setup_lists::kUsersPage);
    ASSERT_TRUE(editor.SelectRow(RowOf(editor, 3)));
    EXPECT_FALSE(editor.FieldEnabled(editor.ColumnIndex(QStringLiteral("displayname"))));
    EXPECT_FALSE(editor.CanDelete());
    ASSERT_TRUE(editor.SelectRow(RowOf(editor, 2)));
    EXPECT_TRUE(editor.FieldEnabled(editor.ColumnIndex(QStringLiteral("passwd"))));
    ASSERT_TRUE(editor.CanDelete());
    ui_.ExpectMessage(121, Answer::No);
    editor.Delete();
    ui_.ExpectMessage(121, Answer::Yes);
    const int rows = editor.RowCount();
    editor.Delete();
    EXPECT_EQ(editor.RowCount(), rows - 1);
    EXPECT_EQ(RowOf(editor, 2), -1);
    EXPECT_EQ(QueryNumber(setup_, QStringLiteral("SELECT count(*) FROM stakeholder WHERE stakeholder_id = 2")), 0);
    EXPECT_NE(editor.CurrentRow(), -1);
}

TEST_F(SetupListsEditorTest, AChangeByAnotherConnectionShows126AndOkReloadsTheEntry)
{
    AddStakeholder(setup_, 1, QStringLiteral("Ann"), QStringLiteral("ann"));
    SetupListsEditor editor(ui_, editorConnection_, true, 0);
    editor.ShowPage(setup_lists::kUsersPage);
    const int name = editor.ColumnIndex(QStringLiteral("displayname"));
    ASSERT_TRUE(editor.SelectRow(RowOf(editor, 1)));
    Exec(setup_, QStringLiteral("UPDATE stakeholder SET displayname = 'Theirs' WHERE stakeholder_id = 1"));

    editor.SetFieldText(name, QStringLiteral("Mine"));
    ui_.ExpectMessage(126, Answer::Cancel);
    EXPECT_FALSE(editor.StorePending());
    EXPECT_TRUE(editor.modified());
    EXPECT_EQ(editor.FieldText(name), "Mine");

    ui_.ExpectMessage(126, Answer::Ok);
    EXPECT_FALSE(editor.StorePending());
    EXPECT_FALSE(editor.modified());
    EXPECT_EQ(editor.FieldText(name), "Theirs");
    EXPECT_EQ(Text(QStringLiteral("SELECT displayname FROM stakeholder WHERE stakeholder_id = 1")), "Theirs");

    // Reloaded, the entry takes the next change.
    editor.SetFieldText(name, QStringLiteral("Mine again"));
    EXPECT_TRUE(editor.StorePending());
    EXPECT_EQ(Text(QStringLiteral("SELECT displayname FROM stakeholder WHERE stakeholder_id = 1")), "Mine again");
}

} // namespace
