// The administration dialog: its commands and texts, create, repair and open, and the port.

#include "store/DatabaseAdministrationDialog.h"
#include "app/QtUserInterface.h"
#include "base/AdministrationActions.h"
#include "base/Check.h"
#include "support/ScriptedUserInterface.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

class RecordingActions : public AdministrationActions {
public:
    bool CreateDatabase(const QString& path) override
    {
        created << path;
        return createSucceeds;
    }
    bool CompactAndRepair(const QString& path) override
    {
        if (failRepair)
            check::assertion(false, "compaction went wrong");
        repaired << path;
        return true;
    }
    bool ConvertDatabase(const QString& path) override
    {
        converted << path;
        return true;
    }

    bool createSucceeds = true;
    QStringList created;
    QStringList repaired;
    QStringList converted;
    bool failRepair = false;
};

void Click(QDialog& dialog, const char* name)
{
    auto* button = dialog.findChild<QPushButton*>(QString::fromLatin1(name));
    ASSERT_NE(button, nullptr) << name;
    button->click();
}

QString Text(QDialog& dialog, const char* name)
{
    const auto* widget = dialog.findChild<QAbstractButton*>(QString::fromLatin1(name));
    if (widget != nullptr)
        return widget->text();
    const auto* label = dialog.findChild<QLabel*>(QString::fromLatin1(name));
    return label != nullptr ? label->text() : QStringLiteral("<none>");
}

TEST(DatabaseAdministrationDialogTest, ShowsItsCommandsWithTheirTexts)
{
    ScriptedUserInterface ui;
    RecordingActions actions;
    CDatabaseAdministration dialog(ui, actions);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Database administration"));
    const auto* group = dialog.findChild<QGroupBox*>();
    ASSERT_NE(group, nullptr);
    EXPECT_EQ(group->title(), QStringLiteral("Database commands"));
    EXPECT_EQ(Text(dialog, "createNew"), QStringLiteral("&Create new"));
    EXPECT_EQ(Text(dialog, "repair"), QStringLiteral("&Repair"));
    EXPECT_EQ(Text(dialog, "open"), QStringLiteral("&Open"));
    EXPECT_EQ(Text(dialog, "close"), QStringLiteral("Close"));
    EXPECT_EQ(Text(dialog, "help"), QStringLiteral("Help"));
    EXPECT_EQ(Text(dialog, "createNewText"),
              QStringLiteral("Create a new database. Optional: fill it with data from an existing database."));
    EXPECT_EQ(Text(dialog, "repairText"), QStringLiteral("Attempt to compact and repair a database."));
    EXPECT_EQ(Text(dialog, "openText"), QStringLiteral("Open a database and start using it."));

    dialog.findChild<QPushButton*>(QStringLiteral("help"))->click();
    EXPECT_EQ(ui.helpSections, std::vector<QString>{QStringLiteral("first-start")});
    EXPECT_TRUE(actions.created.isEmpty() && actions.repaired.isEmpty()) << "help runs no command";
}

TEST(DatabaseAdministrationDialogTest, CreateNewAsksForANameCreatesAndEndsWithIt)
{
    ScriptedUserInterface ui;
    RecordingActions actions;
    CDatabaseAdministration dialog(ui, actions, QStringLiteral("/data/default.defl"));
    EXPECT_EQ(Text(dialog, "missingDatabase"), QStringLiteral("No database found at /data/default.defl."));

    ui.ExpectFile(std::nullopt);
    Click(dialog, "createNew");
    EXPECT_TRUE(actions.created.isEmpty());
    EXPECT_EQ(dialog.result(), 0);

    // A creation cancelled in the workflow chooser, or failed, opens nothing: the dialog stays.
    actions.createSucceeds = false;
    ui.ExpectFile(QStringLiteral("/data/old.defl"));
    Click(dialog, "createNew");
    EXPECT_EQ(dialog.result(), 0);
    EXPECT_FALSE(dialog.chosenPath());

    actions.createSucceeds = true;
    actions.created.clear();
    ui.ExpectFile(QStringLiteral("/data/team.defl"));
    Click(dialog, "createNew");
    ui.VerifyAllUsed();
    // The new file is opened next.
    EXPECT_EQ(actions.created, QStringList(QStringLiteral("/data/team.defl")));
    EXPECT_EQ(dialog.result(), CDatabaseAdministration::kOpenCode);
    EXPECT_EQ(dialog.chosenPath(), QStringLiteral("/data/team.defl"));
    EXPECT_EQ(ui.waitCursorUses, 2);
    EXPECT_EQ(ui.waitCursorDepth, 0);

    ASSERT_EQ(ui.fileRequests.size(), 3u);
    const FileDialogRequest& request = ui.fileRequests.back();
    EXPECT_EQ(request.kind, FileDialogRequest::Kind::Save);
    EXPECT_EQ(request.initialPath, QStringLiteral("/data/default.defl")) << "a new database goes where none was found";
    EXPECT_TRUE(request.overwritePrompt);
    EXPECT_EQ(request.filter, QStringLiteral("*.defl|*.defl|*.mdb|*.mdb||"));
    EXPECT_EQ(request.defaultExtension, QStringLiteral("defl"));
}

TEST(DatabaseAdministrationDialogTest, RepairStaysOpenAndAFailureIsReportedWithoutClosing)
{
    ScriptedUserInterface ui;
    RecordingActions actions;
    CDatabaseAdministration dialog(ui, actions);

    ui.ExpectFile(QStringLiteral("/data/team.defl"));
    Click(dialog, "repair");
    EXPECT_EQ(actions.repaired, QStringList(QStringLiteral("/data/team.defl")));
    EXPECT_EQ(dialog.result(), 0);
    EXPECT_EQ(ui.fileRequests.back().kind, FileDialogRequest::Kind::Open);
    EXPECT_FALSE(ui.fileRequests.back().overwritePrompt);

    actions.failRepair = true;
    ui.ExpectFile(QStringLiteral("/data/other.defl"));
    ui.ExpectMessageText(QStringLiteral("exception raised:"));
    Click(dialog, "repair");
    ui.VerifyAllUsed();
    EXPECT_TRUE(ui.messages.back().text.contains(QStringLiteral("compaction went wrong")));
    EXPECT_EQ(ui.waitCursorDepth, 0);
    EXPECT_EQ(dialog.result(), 0);
    EXPECT_FALSE(dialog.chosenPath());
}

TEST(DatabaseAdministrationDialogTest, OpenEndsWithThePathAndThePortReturnsNothingOnClose)
{
    ScriptedUserInterface ui;
    RecordingActions actions;
    CDatabaseAdministration dialog(ui, actions);
    ui.ExpectFile(QStringLiteral("/data/team.defl"));
    Click(dialog, "open");
    EXPECT_EQ(ui.fileRequests.back().initialPath, QStringLiteral("./*.defl"));
    EXPECT_EQ(dialog.result(), CDatabaseAdministration::kOpenCode);
    EXPECT_EQ(dialog.chosenPath(), QStringLiteral("/data/team.defl"));
    EXPECT_TRUE(actions.created.isEmpty());

    QtUserInterface qtUi;
    bool closed = false;
    QTimer::singleShot(50, [&] {
        auto* shown = qobject_cast<CDatabaseAdministration*>(QApplication::activeModalWidget());
        if (shown != nullptr) {
            closed = true;
            Click(*shown, "close");
        }
    });
    EXPECT_FALSE(qtUi.RunAdministrationDialog(actions, QString()));
    EXPECT_TRUE(closed);
}

} // namespace

TEST(DatabaseAdministrationDialogTest, AServerUriTypedAboveTheButtonsIsWhatTheyActOnWithoutAFileChooser)
{
    ScriptedUserInterface ui;
    RecordingActions actions;
    CDatabaseAdministration dialog(ui, actions);
    auto* server = dialog.findChild<QLineEdit*>(QStringLiteral("serverUri"));
    ASSERT_NE(server, nullptr);
    const QString uri = QStringLiteral("postgresql://dbhost/team");

    // Text that names no server is refused before anything runs.
    server->setText(QStringLiteral("dbhost/team"));
    ui.ExpectMessageText(QStringLiteral("postgresql://"));
    Click(dialog, "repair");
    EXPECT_TRUE(actions.repaired.isEmpty());

    server->setText(QStringLiteral(" ") + uri);
    Click(dialog, "repair");
    EXPECT_EQ(actions.repaired, QStringList{uri});
    EXPECT_FALSE(dialog.chosenPath()) << "a repair opens nothing";

    actions.createSucceeds = false;
    Click(dialog, "createNew");
    EXPECT_EQ(actions.created, QStringList{uri});
    EXPECT_FALSE(dialog.chosenPath()) << "a failed creation opens nothing";

    Click(dialog, "open");
    EXPECT_EQ(dialog.chosenPath(), std::optional<QString>(uri));
    EXPECT_TRUE(ui.fileRequests.empty());
    ui.VerifyAllUsed();
}

TEST(DatabaseAdministrationDialogTest, AServerThatCouldNotBeOpenedIsOfferedAgainWithoutItsLogin)
{
    ScriptedUserInterface ui;
    RecordingActions actions;
    const QString uri = QStringLiteral("postgresql://ann@dbhost/team");
    CDatabaseAdministration dialog(ui, actions, uri);
    EXPECT_EQ(Text(dialog, "missingDatabase"), QStringLiteral("postgresql://dbhost/team could not be opened."));
    Click(dialog, "open");
    EXPECT_EQ(dialog.chosenPath(), std::optional<QString>(uri));
}
