// The main window with a real document: menus, panes, placement, the tray, blinking and closing while mail goes out.

#include "app/MainFrame.h"
#include "app/TrayIconStates.h"
#include "base/CommandIds.h"
#include "base/ProductInfo.h"
#include "document/DefectDoc.h"
#include "document/DefectRecord.h"
#include "document/DefectTestDoubles.h"
#include "document/DocumentTestSupport.h"
#include "list/DefectList.h"
#include "mail/NotificationDispatch.h"
#include "mail/NotificationSender.h"
#include "platform/LocalSettings.h"
#include "platform/OleDate.h"
#include "platform/Profile.h"
#include "support/ScriptedUserInterface.h"
#include "support/TempFolder.h"
#include "support/TestDatabase.h"
#include "ui/DefectListView.h"
#include "ui/DefectView.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSplitter>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

QStringList Titles(const QList<QAction*>& actions)
{
    QStringList titles;
    for (const QAction* action : actions)
        if (!action->isSeparator())
            titles << action->text();
    return titles;
}

// A message box runs its own event loop: what is posted while it is open arrives meanwhile.
class ModalUserInterface : public ScriptedUserInterface {
public:
    Answer ShowMessage(const MessageRequest& request) override
    {
        if (whileOpen)
            std::exchange(whileOpen, nullptr)();
        QEventLoop box;
        QTimer::singleShot(0, &box, &QEventLoop::quit);
        box.exec();
        return ScriptedUserInterface::ShowMessage(request);
    }

    std::function<void()> whileOpen;
};

// A database with the stakeholder Ann, who logs in when the document opens it.
struct AnnsDatabase {
    AnnsDatabase()
    {
        engine::Connection setup;
        EXPECT_EQ(setup.Open(path), engine::kOk);
        AddStakeholder(setup, 1, QStringLiteral("Ann"), QStringLiteral("ann"));
        document.SetOperatingSystemUser([] { return std::nullopt; });
        document.SetAutoLogin(QStringLiteral("ann"));
    }
    bool Open() { return document.OnOpenDocument(path); }

    TempFolder folder;
    const QString path = CreateCurrentDatabase(folder.file(QStringLiteral("frame.defl")));
    ScriptedUserInterface ui;
    ManualClock clock;
    NoAdministration administration;
    CDefectDoc document{ui, clock, administration};
};

} // namespace

TEST(MainFrame, MenusHoldTheirItemsWithKeysAndOnlyBuiltOnesAreEnabled)
{
    ScriptedUserInterface ui;
    CDefectDoc document;
    LocalSettings settings;
    CMainFrame frame(document, settings);
    const QList<QAction*> menus = frame.menuBar()->actions();
    EXPECT_EQ(Titles(menus), (QStringList{"&File", "&Edit", "&Record", "&View", "&Setup", "Re&ports", "&Help"}));
    EXPECT_EQ(Titles(menus[0]->menu()->actions()),
              (QStringList{"&New database", "&Database Administration...", "&Recent databases", "&Export...",
                           "Export to S&preadsheet", "&Send email...", "E&xit"}));
    EXPECT_EQ(
        Titles(menus[2]->menu()->actions()),
        (QStringList{"&First Record", "&Previous Record", "&Next Record", "&Last Record", "&Save Record", "&Insert New",
                     "&Undo all changes", "&Delete Record", "Mark as 'read'", "Mark as 'unread'"}));
    EXPECT_EQ(Titles(menus[6]->menu()->actions()),
              (QStringList{"&Help Topics", "&About Vellacord...", "&Vellacord homepage"}));
    // The one home page setting: shown when the program was built with one.
    EXPECT_EQ(frame.CommandAction(command::kHomePage)->isVisible(), QString::fromUtf8(kHomePageAddress).size() > 0);

    EXPECT_EQ(
        frame.CommandAction(32776)->shortcuts(),
        (QList<QKeySequence>{QKeySequence(QStringLiteral("Ctrl+S")), QKeySequence(QStringLiteral("Shift+Return"))}));
    EXPECT_EQ(frame.CommandAction(59651)->shortcuts().value(1), QKeySequence(QStringLiteral("Alt+Left")));
    EXPECT_EQ(frame.CommandAction(243)->shortcut(), QKeySequence(QStringLiteral("Ctrl+Shift+Q")));
    EXPECT_EQ(frame.CommandAction(185)->shortcut(), QKeySequence(QStringLiteral("F9")));

    for (const int enabled : {57664, 208, 57665})
        EXPECT_TRUE(frame.CommandAction(enabled)->isEnabled()) << enabled;
    for (const int disabled : {32798, 246, 133, 32776, 185, 203, 57643})
        EXPECT_FALSE(frame.CommandAction(disabled)->isEnabled()) << disabled;
    EXPECT_EQ(frame.CommandAction(208)->statusTip(),
              QStringLiteral("Removes Vellacord's entries from the local registry. Resets all local settings to their "
                             "default values."));
    EXPECT_EQ(frame.CommandAction(4711), nullptr);
}

TEST(MainFrame, PanesAndClosingKeepsPlacementAndVisibility)
{
    ScriptedUserInterface ui;
    CDefectDoc document;
    LocalSettings settings;
    settings.loaded = true;
    settings.windowPlacement = WindowPlacement::Of(QRect(40, 50, 640, 480), WindowPlacement::kNormal);
    CMainFrame frame(document, settings);

    auto* splitter = qobject_cast<QSplitter*>(frame.centralWidget());
    ASSERT_NE(splitter, nullptr);
    EXPECT_EQ(splitter->orientation(), Qt::Vertical);
    EXPECT_EQ(splitter->widget(0), frame.listView());
    EXPECT_EQ(splitter->widget(1), frame.formView());

    auto* connection = frame.findChild<QLabel*>(QStringLiteral("connectionPane"));
    ASSERT_NE(connection, nullptr);
    frame.ShowOfflineState(QStringLiteral("offline tip"));
    EXPECT_EQ(connection->text(), QStringLiteral("offline"));
    frame.ShowNormalState(QStringLiteral("Vellacord"));
    EXPECT_TRUE(connection->text().isEmpty());

    frame.show();
    EXPECT_EQ(frame.geometry().size(), QSize(640, 480));
    frame.resize(700, 500);
    EXPECT_TRUE(frame.close());
    EXPECT_TRUE(settings.mainWindowIsVisible);
    EXPECT_EQ(settings.windowPlacement.NormalRect().size(), QSize(700, 500));
    EXPECT_EQ(settings.windowPlacement.showCmd, WindowPlacement::kNormal);
}

TEST(MainFrame, DocumentCommandsAndTheUserPaneFollowTheLogin)
{
    AnnsDatabase database;
    CDefectDoc& document = database.document;
    LocalSettings settings;
    CMainFrame frame(document, settings);
    auto* user = frame.findChild<QLabel*>(QStringLiteral("currentUserPane"));
    ASSERT_NE(user, nullptr);
    EXPECT_FALSE(frame.CommandAction(133)->isEnabled());
    EXPECT_FALSE(frame.CommandAction(32804)->isEnabled());

    ASSERT_TRUE(database.Open());
    EXPECT_TRUE(frame.CommandAction(133)->isEnabled()) << "the shortcut works before any menu was opened";
    EXPECT_TRUE(frame.CommandAction(32804)->isEnabled());
    EXPECT_FALSE(frame.CommandAction(32776)->isEnabled()) << "no form with changes";
    EXPECT_EQ(user->text(), QStringLiteral("Ann"));

    // The panes follow the document at once, with no timer to wait for.
    auto* connection = frame.findChild<QLabel*>(QStringLiteral("connectionPane"));
    document.GoOffline();
    EXPECT_EQ(connection->text(), QStringLiteral("offline"));
    document.GetDocumentConnection(RetryMode::None);
    EXPECT_TRUE(connection->text().isEmpty());
    document.OnCloseDocument();
    EXPECT_FALSE(frame.CommandAction(133)->isEnabled());
    EXPECT_TRUE(user->text().isEmpty());
}

TEST(MainFrame, AnOpenedDatabaseIsRememberedAtOnceAndTheRecentMenuOpensTheOthers)
{
    AnnsDatabase database;
    LocalSettings settings;
    settings.recentDatabases = {QStringLiteral("/share/a&b.defl"), database.path};
    CMainFrame frame(database.document, settings);
    auto* recent = frame.findChild<QMenu*>(QStringLiteral("recentDatabases"));
    ASSERT_NE(recent, nullptr);
    EXPECT_FALSE(recent->menuAction()->isEnabled()) << "nothing opens them yet";
    QStringList opened;
    frame.SetRecentDatabaseOpener([&](const QString& path) { opened << path; });

    ASSERT_TRUE(database.Open());
    EXPECT_EQ(settings.recentDatabases, (QStringList{database.path, QStringLiteral("/share/a&b.defl")}));
    EXPECT_EQ(OpenProfile()->value(QStringLiteral("Settings/recentDatabases")).toStringList(), settings.recentDatabases)
        << "written when the database opened, not only at the end";
    ASSERT_EQ(recent->actions().size(), 2);
    EXPECT_EQ(recent->actions()[0]->text(), QStringLiteral("&1 ") + QDir::toNativeSeparators(database.path));
    EXPECT_FALSE(recent->actions()[0]->isEnabled()) << "the open database";
    EXPECT_EQ(recent->actions()[1]->text(), QStringLiteral("&2 /share/a&&b.defl"));
    ASSERT_TRUE(recent->actions()[1]->isEnabled());
    recent->actions()[1]->trigger();
    EXPECT_TRUE(opened.isEmpty()) << "posted, so the menu is not refilled under its own item";
    QCoreApplication::processEvents();
    EXPECT_EQ(opened, QStringList{QStringLiteral("/share/a&b.defl")});
}

TEST(MainFrame, TheTrayModeHidesOnCloseOnlyWhereTheDesktopShowsTheIcon)
{
    ScriptedUserInterface ui;
    CDefectDoc document;
    LocalSettings settings;
    settings.systray = true;
    CMainFrame frame(document, settings);
    bool desktopShowsIcons = false;
    frame.SetTrayAvailability([&] { return desktopShowsIcons; });
    frame.ApplyTrayMode();
    frame.show();
    EXPECT_TRUE(frame.close()) << "without a tray nobody could get a hidden window back";
    EXPECT_FALSE(frame.trayStates().shown());

    desktopShowsIcons = true;
    frame.ApplyTrayMode();
    frame.show();
    ui.ExpectHint(1002, HintAnswer{Answer::Ok, true});
    EXPECT_FALSE(frame.close());
    EXPECT_FALSE(frame.isVisible());
    EXPECT_TRUE(frame.trayStates().shown());
    EXPECT_EQ(settings.hints, std::vector<int>{1002});
    frame.OpenMainWindow();
    EXPECT_TRUE(frame.isVisible());
    EXPECT_FALSE(frame.close()) << "hidden again, without the hint the user turned off";
    EXPECT_EQ(ui.CountOf("hint"), 1);

    frame.CommandAction(57665)->trigger();
    QCoreApplication::processEvents();
    EXPECT_FALSE(frame.trayStates().shown());
    EXPECT_FALSE(settings.mainWindowIsVisible) << "quitting from the background closed for real";
}

TEST(MainFrame, NewEntriesBlinkTheIconAndAskOneQuestionAtATime)
{
    ModalUserInterface ui;
    CDefectDoc document;
    LocalSettings settings;
    settings.systray = true;
    CMainFrame frame(document, settings);
    frame.ApplyTrayMode();

    emit document.newUnreadEntries(false);
    QCoreApplication::processEvents();
    EXPECT_TRUE(frame.trayStates().blinking());
    EXPECT_EQ(frame.trayStates().tip(), QStringLiteral("new entries"));

    ui.ExpectMessage(170, Answer::Yes);
    ui.whileOpen = [&] { emit document.newUnreadEntries(true); };
    emit document.newUnreadEntries(true);
    QCoreApplication::processEvents();
    EXPECT_EQ(ui.CountOf("message"), 1) << "the second arrived while the question was open";
    EXPECT_TRUE(frame.isVisible()) << "Yes opens the window";
    EXPECT_EQ(frame.trayStates().state(), TrayIconStates::kNormal);
    EXPECT_FALSE(frame.trayStates().blinking());
}

TEST(MainFrame, AClosingWhileTheNotificationOfASaveGoesOutWaitsForItsEnd)
{
    AnnsDatabase database;
    CDefectDoc& document = database.document;
    ASSERT_TRUE(database.Open());
    LocalSettings settings;
    CMainFrame frame(document, settings);
    mail::NotificationDispatch dispatch(document, database.ui);
    frame.UseNotificationDispatch(dispatch);
    QFile tool(database.folder.file(QStringLiteral("tool")));
    ASSERT_TRUE(tool.open(QIODevice::WriteOnly));
    tool.write("#!/bin/sh\nsleep 0.3\n");
    tool.setPermissions(QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    tool.close();
    document.database().settings().sendmailTool = tool.fileName();
    frame.show();

    bool closedAtOnce = true;
    QTimer::singleShot(50, [&] { closedAtOnce = frame.close(); }); // from the tray menu, say
    DefectRecord defect;
    defect.FromID = defect.ToID = 1;
    mail::DispatchRequest request;
    request.method = mail::kMethodExternalTool;
    request.recipients = QStringLiteral("bob@example.org");
    EXPECT_TRUE(dispatch.Dispatch(defect, request));
    EXPECT_FALSE(closedAtOnce) << "the save that sent the mail is still running";
    QCoreApplication::processEvents();
    EXPECT_FALSE(frame.isVisible());
}

TEST(MainFrame, TheHotkeyAndTheTrayAddNoDefectWhileNotificationsGoOut)
{
    AnnsDatabase database;
    {
        engine::Connection setup;
        ASSERT_EQ(setup.Open(database.path), engine::kOk);
        ASSERT_EQ(setup.Execute(QStringLiteral("UPDATE stakeholder SET email = 'ann@x' WHERE stakeholder_id = 1")),
                  engine::kOk);
        InsertDefectRow(setup, 1, 1, 1);
    }
    CDefectDoc& document = database.document;
    ScriptedUserInterface& ui = database.ui;
    struct : mail::NotificationSender {
        bool Dispatch(const DefectRecord&, const mail::DispatchRequest&) override { return ++sent > 0; }
        int sent = 0;
    } sender;
    LocalSettings settings;
    CMainFrame frame(document, settings);
    CDefectList list(document);
    frame.SetList(list);
    frame.SetNotificationSender(&sender);
    ASSERT_TRUE(database.Open());
    auto* view = frame.findChild<CDefectListView*>();
    view->selectionModel()->select(view->model()->index(0, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    int created = 0;
    QObject::connect(&document, &CDefectDoc::defectCreated, [&created] { ++created; });
    ui.ExpectSendMailDialog([&frame](SendMailChoices&) {
        frame.CommandAction(command::kInsertNew)->trigger();
        return true;
    });
    frame.CommandAction(command::kSendEmail)->trigger();
    EXPECT_EQ(sender.sent, 1);
    EXPECT_EQ(created, 0);
}

TEST(MainFrame, ReadingNewEntriesNowShowsTheFirstUnreadRowInBold)
{
    AnnsDatabase database;
    {
        engine::Connection setup;
        ASSERT_EQ(setup.Open(database.path), engine::kOk);
        AddStakeholder(setup, 2, QStringLiteral("Bob"), QStringLiteral("bob"));
        InsertDefectRow(setup, 1, 1, 1); // Ann's, read
        InsertDefectRow(setup, 2, 1, 2); // Bob's, unread
        InsertDefectRow(setup, 3, 1, 1); // Ann's, unread
        InsertDefectRow(setup, 4, 1, 1); // Ann's, unread
        ASSERT_EQ(setup.Execute(QStringLiteral("UPDATE defectlist SET lastread = 0 WHERE defect_id > 1")), engine::kOk);
    }
    CDefectDoc& document = database.document;
    LocalSettings settings;
    CMainFrame frame(document, settings);
    CDefectList list(document);
    frame.SetList(list);
    ASSERT_TRUE(database.Open());
    const DefectListModel& model = list.model();
    ASSERT_EQ(model.rowCount(), 4);
    const auto unread = [&](std::int32_t id) {
        return model.index(model.RowOf(id), 0).data(DefectListModel::kUnreadRole).toBool();
    };
    EXPECT_FALSE(unread(1));
    EXPECT_FALSE(unread(2)) << "another user's unread defect is not the reader's news";
    EXPECT_TRUE(unread(3));
    EXPECT_TRUE(unread(4));
    list.SelectDefect(1);

    database.ui.ExpectMessage(170, Answer::No);
    emit document.newUnreadEntries(true);
    QCoreApplication::processEvents();
    EXPECT_EQ(document.defects().CurrentDefectId(), 1) << "No leaves the list as it is";

    database.ui.ExpectMessage(170, Answer::Yes);
    emit document.newUnreadEntries(true);
    QCoreApplication::processEvents();
    EXPECT_EQ(document.defects().CurrentDefectId(), model.DefectIdAt(model.FirstUnreadRow()));
    EXPECT_TRUE(document.defects().CurrentDefectId() == 3 || document.defects().CurrentDefectId() == 4);
    EXPECT_TRUE(frame.isVisible());
}
