#include "app/MainFrame.h"

#include "app/AboutDialog.h"
#include "app/base/CommandIds.h"
#include "app/base/StringIds.h"
#include "platform/LocalSettings.h"
#include "app/RemoveLocalSettings.h"
#include "app/base/UserInterface.h"
#include "app/WebPage.h"
#include "document/DefectDoc.h"
#include "document/DefectForm.h"
#include "app/base/StringTable.h"
#include "list/DefectList.h"
#include "ui/DefectListView.h"
#include "ui/DefectView.h"
#include "ui/ViewFilterBar.h"

#include <QCloseEvent>
#include <QLabel>
#include <QMenuBar>
#include <QApplication>
#include <QSplitter>
#include <QStatusBar>

namespace {

struct MenuItem {
    const char* text; // nullptr for a separator
    int command;
    const char* keys; // alternatives separated by ";"
};

struct Menu {
    const char* title;
    std::initializer_list<MenuItem> items;
};

constexpr int kColumnsPopup = -1;

const Menu kMainMenu[] = {
    {"&File",
     {{"&New database", command::kNewDatabase, ""},
      {"&Database Administration...", command::kDatabaseAdministration, ""},
      {nullptr, 0, ""},
      {"&Export...", command::kExport, ""},
      {"Export to MS-Excel", command::kExportToSpreadsheet, ""},
      {nullptr, 0, ""},
      {"&Send email...", command::kSendEmail, ""},
      {nullptr, 0, ""},
      {"E&xit", command::kExit, ""}}},
    {"&Edit",
     {{"&Undo", command::kUndo, "Ctrl+Z;Alt+Backspace"},
      {"&Redo", command::kRedo, ""},
      {nullptr, 0, ""},
      {"Cu&t", command::kCut, "Ctrl+X;Shift+Del"},
      {"&Copy", command::kCopy, "Ctrl+C;Ctrl+Ins"},
      {"&Paste", command::kPaste, "Ctrl+V;Shift+Ins"},
      {nullptr, 0, ""},
      {"&Find...", command::kFind, "Ctrl+F"},
      {"Find &Next", command::kFindNext, "F3"},
      {"Find &Previous", command::kFindPrevious, "Shift+F3"}}},
    {"&Record",
     {{"&First Record", command::kFirstRecord, ""},
      {"&Previous Record", command::kPreviousRecord, "Shift+F8;Alt+Left"},
      {"&Next Record", command::kNextRecord, "F8;Alt+Right"},
      {"&Last Record", command::kLastRecord, ""},
      {nullptr, 0, ""},
      {"&Save Record", command::kSaveRecord, "Ctrl+S;Shift+Return"},
      {"&Insert New", command::kInsertNew, "Ctrl+N"},
      {"&Undo all changes", command::kUndoAllChanges, "Ctrl+R"},
      {"&Delete Record", command::kDeleteRecord, "Ctrl+D"},
      {nullptr, 0, ""},
      {"Mark as 'read'", command::kMarkAsRead, "Ctrl+Q"},
      {"Mark as 'unread'", command::kMarkAsUnread, "Ctrl+Shift+Q"}}},
    {"&View",
     {{"&Refresh", command::kRefresh, "F5"},
      {nullptr, 0, ""},
      {"&Toolbar", command::kToolbar, ""},
      {"&Status Bar", command::kStatusBar, ""},
      {"S&plit", command::kSplit, ""},
      {nullptr, 0, ""},
      {"&Organize Views...", command::kOrganizeViews, "Ctrl+Shift+V"},
      {"Organize &Filters...", command::kOrganizeFilters, "Ctrl+Shift+F"},
      {"&Columns", kColumnsPopup, ""}}},
    {"&Setup",
     {{"&Lists...", command::kSetupLists, "F9"},
      {"&Options...", command::kOptions, ""},
      {"Remove local settings", command::kRemoveLocalSettings, ""},
      {"&Change password", command::kChangePassword, ""}}},
    {"Re&ports", {{"&Charts", command::kCharts, ""}, {"&Lists", command::kReportLists, ""}, {nullptr, 0, ""}, {"&Options...", command::kReportOptions, ""}}},
    {"&Help",
     {{"&Help Topics", command::kHelpTopics, ""},
      {nullptr, 0, ""},
      {"&About Vellacord...", command::kAbout, ""},
      {"&Vellacord homepage", command::kHomePage, ""},
      {"www.vellacordteam.example", command::kMakerPage, ""}}},
};


// Without a saved placement the window opens at a size that shows the list and the form.
const QSize kFirstStartSize(1024, 720);
const QString kOfflineText = QStringLiteral("offline");

// The commands this window carries out itself; the others wait for their areas.
constexpr int kNewEntriesQuestion = 170;

constexpr int kOwnCommands[] = {command::kExit, command::kStatusBar, command::kRemoveLocalSettings, command::kAbout,
                                command::kHomePage, command::kMakerPage};

QList<QKeySequence> Shortcuts(const char* keys)
{
    QList<QKeySequence> shortcuts;
    for (const QString& key : QString::fromLatin1(keys).split(QLatin1Char(';'), Qt::SkipEmptyParts))
        shortcuts << QKeySequence(key);
    return shortcuts;
}

} // namespace

CMainFrame::CMainFrame(CDefectDoc& document, LocalSettings& settings, QWidget* parent)
    : QMainWindow(parent), document_(document), settings_(settings)
{
    setWindowTitle(LoadString(string_id::kApplicationTitle));
    CreateMenus();
    CreateStatusBar();
    CreatePanes();
    ConnectCommands();
    resize(kFirstStartSize);
    FollowDocument();
}

void CMainFrame::FollowDocument()
{
    // Enabled commands must work by their shortcuts before any menu was opened, so their
    // states follow the document as it changes, not only when a menu opens.
    connect(&document_, &CDefectDoc::loginCompleted, this, &CMainFrame::UpdateDocumentState);
    connect(&document_, &CDefectDoc::closed, this, &CMainFrame::UpdateDocumentState);
    connect(&document_, &CDefectDoc::connectionStateChanged, this, &CMainFrame::UpdateStatusPanes);
    connect(&document_, &CDefectDoc::lookupListsReloaded, this, &CMainFrame::UpdateStatusPanes);
    connect(&document_, &CDefectDoc::currentDefectChanged, this, &CMainFrame::UpdateDocumentCommands);
    connect(&document_, &CDefectDoc::defectSaved, this, &CMainFrame::UpdateDocumentCommands);
    connect(&document_, &CDefectDoc::defectCreated, this, &CMainFrame::BringToFront);
    // Posted: the question must not open inside the list fill that found the entries.
    connect(&document_, &CDefectDoc::newUnreadEntries, this, &CMainFrame::AnnounceNewEntries, Qt::QueuedConnection);
    UpdateDocumentState();
}

void CMainFrame::BringToFront()
{
    if (isMinimized())
        showNormal();
    raise();
    activateWindow();
}

void CMainFrame::UpdateDocumentState()
{
    UpdateStatusPanes();
    UpdateDocumentCommands();
}

void CMainFrame::UpdateStatusPanes()
{
    userPane_->setText(document_.CurrentUserName());
    connectionPane_->setText(document_.ConnectionStateText());
}

void CMainFrame::CreateMenus()
{
    for (const Menu& menu : kMainMenu) {
        QMenu* popup = menuBar()->addMenu(QString::fromUtf8(menu.title));
        for (const MenuItem& item : menu.items) {
            if (item.text == nullptr) {
                popup->addSeparator();
                continue;
            }
            if (item.command == kColumnsPopup) {
                QMenu* columns = popup->addMenu(QString::fromUtf8(item.text));
                columnsMenu_ = columns;
                QAction* first = columns->addAction(QStringLiteral("_first_column_"));
                first->setEnabled(false);
                commands_[command::kFirstColumn] = first;
                continue;
            }
            QAction* action = popup->addAction(QString::fromUtf8(item.text));
            action->setShortcuts(Shortcuts(item.keys));
            action->setEnabled(false);
            commands_[item.command] = action;
        }
    }
    for (const int command : kOwnCommands)
        commands_.at(command)->setEnabled(true);
    for (const int prompted : {command::kOptions, command::kRemoveLocalSettings})
        commands_.at(prompted)->setStatusTip(LoadString(prompted));
}

void CMainFrame::CreateStatusBar()
{
    QStatusBar* bar = statusBar();
    auto addPane = [&](const QString& sizingText) {
        auto* pane = new QLabel(bar);
        pane->setMinimumWidth(pane->fontMetrics().horizontalAdvance(sizingText) + 8);
        pane->setAlignment(Qt::AlignCenter);
        bar->addPermanentWidget(pane);
        return pane;
    };
    userPane_ = addPane(LoadString(string_id::kUserPaneSizing));
    userPane_->setObjectName(QStringLiteral("currentUserPane"));
    connectionPane_ = addPane(LoadString(string_id::kConnectionPaneSizing));
    connectionPane_->setObjectName(QStringLiteral("connectionPane"));
    // The key indicators stay greyed: the platform gives no portable lock-key state.
    for (const char* indicator : {"CAP", "NUM", "SCRL"}) {
        QLabel* pane = addPane(QString::fromLatin1(indicator));
        pane->setText(QString::fromLatin1(indicator));
        pane->setEnabled(false);
    }
}

void CMainFrame::CreatePanes()
{
    auto* splitter = new QSplitter(Qt::Vertical, this);
    listView_ = new CDefectListView(splitter);
    formView_ = new CDefectView(splitter);
    // The list takes one third of the height, the form the rest.
    splitter->setStretchFactor(0, 1);
    splitter->setStretchFactor(1, 2);
    setCentralWidget(splitter);
    formView_->setFocus();
}

void CMainFrame::ConnectCommands()
{
    connect(commands_.at(command::kExit), &QAction::triggered, this, [this] {
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
    });
    QAction* statusBarItem = commands_.at(command::kStatusBar);
    statusBarItem->setCheckable(true);
    statusBarItem->setChecked(true);
    connect(statusBarItem, &QAction::toggled, statusBar(), &QWidget::setVisible);
    connect(commands_.at(command::kRemoveLocalSettings), &QAction::triggered, this,
            [this] { RemoveLocalSettings(TheUserInterface(), settings_); });
    connect(commands_.at(command::kAbout), &QAction::triggered, this, [this] {
        CAboutDialog about(this);
        about.exec();
    });
    connect(commands_.at(command::kHomePage), &QAction::triggered, this,
            [] { OpenWebPage(QLatin1String(kHomePageAddress), QStringLiteral("homepage")); });
    connect(commands_.at(command::kMakerPage), &QAction::triggered, this,
            [] { OpenWebPage(QLatin1String(kMakerAddress), QStringLiteral("homepage")); });
    ConnectDocumentCommands();
}

void CMainFrame::ConnectDocumentCommands()
{
    connect(commands_.at(command::kChangePassword), &QAction::triggered, this, [this] { document_.ChangePassword(); });
    connect(commands_.at(command::kInsertNew), &QAction::triggered, this, [this] { document_.InsertNewDefect(); });
    connect(commands_.at(command::kUndoAllChanges), &QAction::triggered, this, [this] { document_.UndoAllChanges(); });
    connect(commands_.at(command::kSaveRecord), &QAction::triggered, this, [this] { document_.SaveCurrentRecord(); });
    connect(commands_.at(command::kMarkAsRead), &QAction::triggered, this, [this] { document_.MarkAsRead(); });
    connect(commands_.at(command::kMarkAsUnread), &QAction::triggered, this, [this] { document_.MarkAsUnread(); });
    auto* goOffline = new QAction(this);
    goOffline->setShortcut(QKeySequence(QStringLiteral("Ctrl+Alt+C")));
    addAction(goOffline);
    commands_[command::kGoOffline] = goOffline;
    connect(goOffline, &QAction::triggered, this, [this] { document_.GoOffline(); });
    for (QMenu* menu : menuBar()->findChildren<QMenu*>())
        connect(menu, &QMenu::aboutToShow, this, &CMainFrame::UpdateDocumentCommands);
    UpdateDocumentCommands();
}

void CMainFrame::UpdateDocumentCommands()
{
    const bool loggedIn = document_.loggedIn();
    const DefectForm* form = document_.defects().Form();
    const bool formModified = form != nullptr && form->isModified();
    commands_.at(command::kChangePassword)->setEnabled(loggedIn);
    commands_.at(command::kInsertNew)->setEnabled(loggedIn);
    commands_.at(command::kUndoAllChanges)->setEnabled(formModified);
    commands_.at(command::kSaveRecord)->setEnabled(formModified);
    commands_.at(command::kMarkAsRead)->setEnabled(document_.CanChangeReadState());
    commands_.at(command::kMarkAsUnread)->setEnabled(document_.CanChangeReadState());
}

void CMainFrame::AnnounceNewEntries(bool ask)
{
    if (!ask || askingAboutNewEntries_)
        return;
    askingAboutNewEntries_ = true;
    MessageRequest request;
    request.stringId = kNewEntriesQuestion;
    request.text = LoadString(kNewEntriesQuestion);
    request.buttons = Buttons::YesNo;
    request.icon = Icon::Information;
    request.foreground = true;
    const Answer answer = TheUserInterface().ShowMessage(request);
    askingAboutNewEntries_ = false;
    if (answer == Answer::Yes) {
        showNormal();
        raise();
        activateWindow();
    }
}

void CMainFrame::SetList(CDefectList& list)
{
    list_ = &list;
    listView_->SetList(&list);
    auto* bar = new CViewFilterBar(list, this);
    addToolBar(Qt::TopToolBarArea, bar);
    searchBar_ = new CSearchBar(list, this);
    addToolBar(Qt::TopToolBarArea, searchBar_);
    // A pane of its own: a menu's status tips would wipe a temporary message.
    auto* listPane = new QLabel(statusBar());
    listPane->setObjectName(QStringLiteral("listPane"));
    statusBar()->addWidget(listPane, 1);
    connect(&list, &CDefectList::statusTextChanged, listPane, &QLabel::setText);
    connect(&list, &CDefectList::notFoundBeep, this, [] { QApplication::beep(); });
    connect(&list.model(), &DefectListModel::focusedRowChanged, this, &CMainFrame::UpdateListCommands);
    connect(&list.model(), &QAbstractItemModel::modelReset, this, &CMainFrame::UpdateListCommands);
    ConnectListCommands();
}

void CMainFrame::ConnectListCommands()
{
    commands_.at(command::kRefresh)->setEnabled(true);
    connect(commands_.at(command::kRefresh), &QAction::triggered, this, [this] { list_->Refresh(); });
    for (const int navigation : {command::kFirstRecord, command::kLastRecord, command::kNextRecord, command::kPreviousRecord})
        connect(commands_.at(navigation), &QAction::triggered, this, [this, navigation] { list_->Navigate(navigation); });
    for (const int search : {command::kFind, command::kFindNext, command::kFindPrevious})
        commands_.at(search)->setEnabled(true);
    connect(commands_.at(command::kFind), &QAction::triggered, this, [this] { list_->Find(); });
    connect(commands_.at(command::kFindNext), &QAction::triggered, this, [this] { list_->FindNext(searchBar_->text()); });
    connect(commands_.at(command::kFindPrevious), &QAction::triggered, this,
            [this] { list_->FindPrevious(searchBar_->text()); });
    // The Columns popup lists the view's columns each time it opens; its placeholder goes.
    commands_.erase(command::kFirstColumn);
    connect(columnsMenu_, &QMenu::aboutToShow, this, [this] { FillColumnsMenu(columnsMenu_); });
    UpdateListCommands();
}

void CMainFrame::FillColumnsMenu(QMenu* menu)
{
    menu->clear();
    for (const ColumnMenuItem& item : list_->ColumnMenu()) {
        QAction* action = menu->addAction(item.text);
        action->setCheckable(true);
        action->setChecked(item.checked);
        const int commandId = item.commandId;
        connect(action, &QAction::triggered, this, [this, commandId] { list_->ToggleColumn(commandId); });
    }
}

void CMainFrame::UpdateListCommands()
{
    if (list_ == nullptr)
        return;
    for (const int navigation : {command::kFirstRecord, command::kLastRecord, command::kNextRecord, command::kPreviousRecord})
        commands_.at(navigation)->setEnabled(list_->CanNavigate(navigation));
}

QAction* CMainFrame::CommandAction(int commandId) const
{
    const auto found = commands_.find(commandId);
    return found == commands_.end() ? nullptr : found->second;
}

void CMainFrame::ShowOfflineState(const QString& tip)
{
    connectionPane_->setText(kOfflineText);
    connectionPane_->setToolTip(tip);
}

void CMainFrame::ShowNormalState(const QString& tip)
{
    connectionPane_->clear();
    connectionPane_->setToolTip(tip);
}

void CMainFrame::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!placementRestored_) {
        placementRestored_ = true;
        ApplySavedPlacement();
    }
}

void CMainFrame::ApplySavedPlacement()
{
    const WindowPlacement& placement = settings_.windowPlacement;
    if (!settings_.loaded || placement.IsEmpty())
        return;
    setGeometry(placement.NormalRect());
    if (placement.showCmd == WindowPlacement::kMaximized)
        setWindowState(windowState() | Qt::WindowMaximized);
    else if (placement.showCmd == WindowPlacement::kMinimized)
        setWindowState(windowState() | Qt::WindowMinimized);
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    if (!document_.CanCloseDocument()) {
        event->ignore();
        return;
    }
    // A window that was never shown has no placement of its own; the saved one stays.
    if (placementRestored_) {
        const std::int32_t state = isMaximized()   ? WindowPlacement::kMaximized
                                   : isMinimized() ? WindowPlacement::kMinimized
                                                   : WindowPlacement::kNormal;
        settings_.windowPlacement = WindowPlacement::Of(normalGeometry(), state);
    }
    settings_.mainWindowIsVisible = isVisible();
    document_.OnCloseDocument();
    event->accept();
}
