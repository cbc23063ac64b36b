// The list editor's window: its grid of fields, and a first user added to a new file from nothing.
#include "DefectDocFixture.h"

#include "document/LoginDialog.h"
#include "document/MultilineCanvas.h"
#include "document/PasswordHash.h"
#include "document/SetupListsDialog.h"
#include "document/SetupListsEditor.h"
#include "store/DatabaseAdministration.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTest>
#include <QTreeWidget>

#include <stdexcept>

namespace {

TEST(MultilineCanvasTest, ATakenCellRefusesASecondChildAndStretchingEntriesShareTheRoom)
{
    MultilineCanvas canvas;
    canvas.resize(200, 100);
    canvas.Add(1, 0, new QLabel(QStringLiteral("a")));
    auto* second = new QLabel(QStringLiteral("b"));
    try {
        canvas.Add(1, 0, second);
        ADD_FAILURE() << "a taken cell took a second child";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(),
                     "MultilineCanvas::Add attempt to add a child control to a position taken by another control.");
    }
    EXPECT_EQ(second->parent(), nullptr);
    delete second;

    canvas.SetColumn(0, 50, false);
    canvas.SetColumn(1, 10, false);
    canvas.SetColumn(2, -1, true);
    canvas.SetRow(1, 20, false);
    canvas.SetRow(2, -1, false); // the last row stretches without its flag
    auto* edit = new QLineEdit;
    canvas.Add(1, 2, edit);
    EXPECT_EQ(canvas.ColumnGeometry(2), std::make_pair(60, 140));
    EXPECT_EQ(canvas.RowGeometry(1), std::make_pair(5, 20));
    EXPECT_EQ(canvas.RowGeometry(2), std::make_pair(25, 75));
    EXPECT_EQ(edit->geometry(), QRect(60, 5, 140, 20));
}

class SetupListsDialogTest : public DefectDocFixture { };

TEST_F(SetupListsDialogTest, TheUsersPageSpeaksPlainlyAndKeepsTheSavedRowSelected)
{
    AddStakeholder(setup_, 1, QStringLiteral("Ann"), QStringLiteral("ann"), PasswordHash(QStringLiteral("pw")),
                   QStringLiteral("A"));
    AddStakeholder(setup_, 2, QStringLiteral("Bob"), QStringLiteral("bob"));
    engine::Connection connection;
    ASSERT_EQ(connection.Open(path_), engine::kOk);
    SetupListsEditor editor(ui_, connection, true, 0);
    editor.ShowPage(setup_lists::kUsersPage);
    CSetupListsDialog dialog(editor);
    dialog.show();
    const int flags = editor.ColumnIndex(QStringLiteral("userflags"));
    const int passwd = editor.ColumnIndex(QStringLiteral("passwd"));
    QTreeWidget* list = dialog.list();
    EXPECT_EQ(list->headerItem()->text(flags), QStringLiteral("Administrator"));
    EXPECT_EQ(list->headerItem()->text(passwd), QStringLiteral("Password"));
    QTreeWidgetItem* ann = list->findItems(QStringLiteral("Ann"), Qt::MatchExactly, 2).value(0);
    ASSERT_NE(ann, nullptr);
    EXPECT_EQ(ann->text(passwd), QStringLiteral("set")) << "no raw marker in the list";
    EXPECT_EQ(ann->text(flags), QStringLiteral("yes"));
    auto* values = dialog.findChild<QGroupBox*>(QStringLiteral("values1046"));
    EXPECT_TRUE(values->title().startsWith(QStringLiteral("New entry"))) << "nothing selected: the fields make one";

    // Bob becomes an administrator with the box; Save keeps him selected.
    QTreeWidgetItem* bob = list->findItems(QStringLiteral("Bob"), Qt::MatchExactly, 2).value(0);
    list->setCurrentItem(bob);
    EXPECT_EQ(values->title(), QStringLiteral("Values"));
    QCheckBox* administrator = dialog.checkBox(flags);
    ASSERT_NE(administrator, nullptr);
    EXPECT_FALSE(administrator->isChecked());
    administrator->click();
    dialog.findChild<QPushButton*>(QStringLiteral("save1035"))->click();
    EXPECT_EQ(list->currentItem(), bob);
    EXPECT_TRUE(bob->isSelected());
    EXPECT_EQ(bob->text(flags), QStringLiteral("yes"));
    EXPECT_EQ(QueryNumber(setup_, QStringLiteral("SELECT count(*) FROM stakeholder WHERE userflags = 'A'")), 2);

    // New: the selection goes, the frame says what the fields are for.
    dialog.findChild<QPushButton*>(QStringLiteral("new1047"))->click();
    EXPECT_TRUE(list->selectedItems().isEmpty());
    EXPECT_TRUE(values->title().startsWith(QStringLiteral("New entry")));
    EXPECT_FALSE(administrator->isChecked());

    // Help, by button and by F1, opens the guide's section of the page.
    dialog.findChild<QPushButton*>(QStringLiteral("help"))->click();
    dialog.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    QTest::keyClick(list, Qt::Key_F1);
    dialog.tabs()->setCurrentIndex(1);
    dialog.findChild<QPushButton*>(QStringLiteral("help"))->click();
    EXPECT_EQ(ui_.helpSections,
              std::vector<QString>(
                  {QStringLiteral("first-user"), QStringLiteral("first-user"), QStringLiteral("setup-lists")}));
}

TEST_F(SetupListsDialogTest, FromANewFileToLoggedInThroughTheListEditor)
{
    // A file created as the program creates it, holding no user yet.
    const QString path = folder_.file(QStringLiteral("new.defl"));
    DatabaseAdministration administration(ui_, clock_);
    ui_.ExpectWorkflowChoice(0);
    ASSERT_TRUE(administration.CreateDatabase(path));
    doc_.database().SetDatabaseFileName(path);

    // First the editor opens by itself; its close box stores nothing.
    ui_.ExpectMessage(40145);
    ui_.ExpectListEditor([](ListEditorActions& actions) {
        auto& editor = static_cast<SetupListsEditor&>(actions);
        CSetupListsDialog dialog(editor);
        dialog.show();
        EXPECT_EQ(dialog.tabs()->count(), 6);
        EXPECT_EQ(dialog.tabs()->tabText(0), "&Users");
        EXPECT_TRUE(dialog.list()->isColumnHidden(editor.ColumnIndex(QStringLiteral("sys_sortorder"))));
        dialog.findChild<QPushButton*>(QStringLiteral("new1047"))->click();
        QTest::keyClicks(dialog.field(editor.ColumnIndex(QStringLiteral("loginname"))), QStringLiteral("typed"));
        dialog.close();
    });
    // Then "<add user...>" in the login dialog opens it again.
    ui_.ExpectLoginScript([](const LoginDialogRequest& request) {
        CLoginDialog dialog(request);
        EXPECT_EQ(dialog.users()->count(), 1);
        dialog.users()->setCurrentIndex(dialog.users()->findText(QStringLiteral("<add user...>")));
        return std::optional<LoginDialogAnswer>(dialog.Result());
    });
    ui_.ExpectListEditor([](ListEditorActions& actions) {
        auto& editor = static_cast<SetupListsEditor&>(actions);
        CSetupListsDialog dialog(editor);
        dialog.show();
        dialog.findChild<QPushButton*>(QStringLiteral("new1047"))->click();
        const auto type = [&](const char* column, const QString& text) {
            QLineEdit* field = dialog.field(editor.ColumnIndex(QString::fromLatin1(column)));
            ASSERT_NE(field, nullptr) << column;
            QTest::keyClicks(field, text);
        };
        type("loginname", QStringLiteral("me"));
        type("displayname", QStringLiteral("Me Myself"));
        type("email", QStringLiteral("me@example.org"));
        type("passwd", QStringLiteral("secret"));
        dialog.findChild<QPushButton*>(QStringLiteral("close1"))->click();
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
    });
    ui_.ExpectLoginScript([](const LoginDialogRequest& request) {
        CLoginDialog dialog(request);
        dialog.users()->setCurrentIndex(dialog.users()->findText(QStringLiteral("Me Myself")));
        dialog.password()->setText(QStringLiteral("secret"));
        return std::optional<LoginDialogAnswer>(dialog.Result());
    });
    ASSERT_TRUE(doc_.Login());
    EXPECT_EQ(doc_.CurrentUserName(), "Me Myself");
    EXPECT_EQ(QueryNumber(path, QStringLiteral("SELECT count(*) FROM stakeholder WHERE loginname = 'typed'")), 0);
    engine::Rowset rows;
    engine::Connection check;
    ASSERT_EQ(check.Open(path), engine::kOk);
    ASSERT_EQ(check.Query(QStringLiteral("SELECT passwd FROM stakeholder WHERE loginname = 'me'"), {}, rows),
              engine::kOk);
    ASSERT_EQ(rows.MoveFirst(), engine::kOk);
    EXPECT_EQ(rows.Text(0), PasswordHash(QStringLiteral("secret")));
}

} // namespace
