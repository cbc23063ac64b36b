// The main window: its bars, panes and commands, its placement, and its life in the
// notification area.

#include "app/MainFrame.h"

#include "app/AboutDialog.h"
#include "app/OptionsDialog.h"
#include "app/QtEditCommands.h"
#include "app/QtHotkey.h"
#include "app/QtIcons.h"
#include "app/QtMainMenu.h"
#include "app/QtNotifications.h"
#include "app/QtSplitTracking.h"
#include "app/QtTrayIcon.h"
#include "app/RemoveLocalSettings.h"
#include "app/TrayIconStates.h"
#include "app/UserGuide.h"
#include "app/WebPage.h"
#include "base/CommandIds.h"
#include "base/Hint.h"
#include "base/StringIds.h"
#include "base/StringTable.h"
#include "base/UserInterface.h"
#include "document/DefectDoc.h"
#include "document/DefectForm.h"
#include "engine/SqlDialect.h"
#include "export/ExportList.h"
#include "export/ReportFolder.h"
#include "export/ReportRunner.h"
#include "list/DefectList.h"
#include "list/OrganizeDialog.h"
#include "mail/NotificationDispatch.h"
#include "mail/SendNotifications.h"
#include "platform/LocalSettings.h"
#include "ui/ColumnsMenu.h"
#include "ui/DefectListView.h"
#include "ui/DefectView.h"
#include "ui/QuickSearchBox.h"
#include "ui/ViewFilterBar.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QScopedValueRollback>
#include <QSplitter>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QToolBar>

namespace {

// Without a saved placement the window opens at a size that shows the list and the form.
const QSize kFirstStartSize(1024, 720);
const QString kOfflineText = QStringLiteral("offline");
const QString kNewEntriesTip = QStringLiteral("new entries");
// Help topics of the panes: sections of the user guide.
const QString kListSection = QStringLiteral("views");
const QString kFormSection = QStringLiteral("defects");

// First, Last, Next and Previous: routed to the list, enabled by its rules.
constexpr int kRecordCommands[] = {command::kFirstRecord, command::kLastRecord, command::kNextRecord,
                                   command::kPreviousRecord};

// The commands this window carries out itself whatever the document's state.
constexpr int kOwnCommands[] = {
    command::kExit,     command::kToolbar,     command::kStatusBar,  command::kSplit, command::kRemoveLocalSettings,
    command::kAbout,    command::kHomePage,    command::kHelpTopics, command::kHelp,  command::kContextHelp,
    command::kNextPane, command::kPreviousPane};

} // namespace

CMainFrame::CMainFrame(CDefectDoc& document, LocalSettings& settings, QWidget* parent)
    : QMainWindow(parent), document_(document), settings_(settings),
      trayAvailable_([] { return QSystemTrayIcon::isSystemTrayAvailable(); })
{
    setWindowIcon(ApplicationIcon());
    const MainMenuPopups popups = BuildMainMenu(*menuBar(), commands_);
    columnsMenu_ = popups.columns;
    recentMenu_ = popups.recentDatabases;
    recentMenu_->setObjectName(QStringLiteral("recentDatabases"));
    FillRecentMenu();
    AddKeyCommands(*this, commands_);
    CreateBars();
    CreateStatusBar();
    CreatePanes();
    CreateTray();
    ConnectCommands();
    resize(kFirstStartSize);
    FollowDocument();
}

CMainFrame::~CMainFrame() = default;

void CMainFrame::CreateBars()
{
    toolBar_ = addToolBar(QStringLiteral("Toolbar"));
    toolBar_->setObjectName(QStringLiteral("toolBar"));
    FillToolBar(*toolBar_, commands_);
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
    splitter_ = new QSplitter(Qt::Vertical, this);
    listView_ = new CDefectListView(splitter_);
    formView_ = new CDefectView(splitter_);
    formView_->SetDocument(document_);
    // Save and Undo all changes follow the user's first edit.
    connect(formView_, &CDefectView::edited, this, &CMainFrame::UpdateDocumentCommands);
    // The list takes one third of the height, the form the rest.
    splitter_->setStretchFactor(0, 1);
    splitter_->setStretchFactor(1, 2);
    splitter_->setSizes({1000, 2000});
    setCentralWidget(splitter_);
    splitTracking_ = new QtSplitTracking(*splitter_);
    formView_->setFocus();
}

void CMainFrame::CreateTray()
{
    trayStates_ = new TrayIconStates(this);
    trayIcon_ = new QtTrayIcon(
        *trayStates_, {commands_.at(command::kAbout), commands_.at(command::kInsertNew), commands_.at(command::kExit)},
        this);
    connect(trayIcon_, &QtTrayIcon::openRequested, this, &CMainFrame::OpenMainWindow);
    notifications_ = new QtNotifications(this);
    connect(notifications_, &QtNotifications::openRequested, this, &CMainFrame::OpenMainWindow);
    // A desktop without the notification service gets the icon's message instead.
    connect(notifications_, &QtNotifications::failed, this, [this] {
        trayIcon_->ShowBalloon(LoadString(string_id::kApplicationTitle), LoadString(string_id::kNewEntriesNotice));
    });
    hotkey_ = new QtHotkey(this);
    connect(hotkey_, &QtHotkey::pressed, this, &CMainFrame::OnHotkey);
}

void CMainFrame::FollowDocument()
{
    // Enabled commands must work by their shortcuts before any menu was opened, so their
    // states follow the document as it changes, not only when a menu opens.
    connect(&document_, &CDefectDoc::loginCompleted, this, &CMainFrame::OnLoginCompleted);
    connect(&document_, &CDefectDoc::closed, this, [this] {
        hotkey_->Unregister();
        UpdateDocumentState();
    });
    connect(&document_, &CDefectDoc::connectionStateChanged, this, &CMainFrame::UpdateStatusPanes);
    connect(&document_, &CDefectDoc::lookupListsReloaded, this, &CMainFrame::UpdateStatusPanes);
    connect(&document_, &CDefectDoc::currentDefectChanged, this, &CMainFrame::UpdateDocumentCommands);
    connect(&document_, &CDefectDoc::defectSaved, this, &CMainFrame::UpdateDocumentCommands);
    connect(&document_, &CDefectDoc::defectCreated, this, &CMainFrame::BringToFront);
    // Posted: the question must not open inside the list fill that found the entries.
    connect(&document_, &CDefectDoc::newUnreadEntries, this, &CMainFrame::AnnounceNewEntries, Qt::QueuedConnection);
    UpdateDocumentState();
}

void CMainFrame::OnLoginCompleted()
{
    // The next plain start opens this database again. Written now: a program that is killed
    // never reaches the save at its end.
    // A password given in a server's URI is not written into the local settings.
    const QString opened = document_.PathName();
    settings_.RememberDatabase(engine::IsServerName(opened) ? engine::ServerUriWithoutPassword(opened) : opened);
    settings_.SaveRecentDatabases();
    FillRecentMenu();
    ApplyTrayMode();
    // Where the desktop offers no key grab the setting stays and the key is idle.
    hotkey_->Register(document_.userSettings().Hotkey);
    UpdateDocumentState();
}

void CMainFrame::SetRecentDatabaseOpener(std::function<void(const QString&)> open)
{
    openRecent_ = std::move(open);
    FillRecentMenu();
}

void CMainFrame::FillRecentMenu()
{
    recentMenu_->clear();
    int number = 0;
    for (const QString& path : settings_.recentDatabases) {
        const QString caption = QStringLiteral("&%1 %2").arg(++number).arg(
            QDir::toNativeSeparators(path).replace(QLatin1Char('&'), QStringLiteral("&&")));
        // Posted: the switch refills this menu, which must not delete the item while it reports.
        QAction* item = recentMenu_->addAction(caption, this, [this, path] {
            QMetaObject::invokeMethod(
                this,
                [this, path] {
                    if (openRecent_)
                        openRecent_(path);
                },
                Qt::QueuedConnection);
        });
        // The open database is listed, but choosing it again would only close and reopen it.
        item->setEnabled(openRecent_ && !(document_.loggedIn() && path == document_.PathName()));
    }
    recentMenu_->menuAction()->setEnabled(openRecent_ && !settings_.recentDatabases.isEmpty());
}

void CMainFrame::OnHotkey()
{
    if (!document_.loggedIn())
        return;
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (QAction* insert = commands_.at(command::kInsertNew); insert->isEnabled())
                insert->trigger();
        },
        Qt::QueuedConnection);
}

void CMainFrame::BringToFront()
{
    if (!isVisible()) {
        OpenMainWindow();
        return;
    }
    if (isMinimized())
        showNormal();
    raise();
    activateWindow();
}

void CMainFrame::UpdateDocumentState()
{
    UpdateTitle();
    UpdateStatusPanes();
    UpdateDocumentCommands();
}

void CMainFrame::UpdateTitle()
{
    const QString title = LoadString(string_id::kApplicationTitle);
    // A server's URI is shown without the login and password it may carry.
    const QString path = document_.PathName();
    const QString name = engine::IsServerName(path) ? engine::DisplayNameOfServer(path) : QFileInfo(path).fileName();
    setWindowTitle(document_.loggedIn() ? title + QStringLiteral(" - ") + name : title);
}

void CMainFrame::UpdateStatusPanes()
{
    userPane_->setText(document_.CurrentUserName());
    connectionPane_->setText(document_.ConnectionStateText());
}

void CMainFrame::ConnectCommands()
{
    for (const int command : kOwnCommands)
        commands_.at(command)->setEnabled(true);
    for (const int prompted : {command::kOptions, command::kRemoveLocalSettings})
        commands_.at(prompted)->setStatusTip(LoadString(prompted));
    ConnectWindowCommands();
    ConnectDocumentCommands();
    new QtEditCommands({commands_.at(command::kUndo), commands_.at(command::kRedo), commands_.at(command::kCut),
                        commands_.at(command::kCopy), commands_.at(command::kPaste)},
                       this);
}

void CMainFrame::ConnectWindowCommands()
{
    // Quitting removes the icon first, so that the close request closes.
    connect(commands_.at(command::kExit), &QAction::triggered, this, [this] {
        trayStates_->SetTrayIcon(false, QString());
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
    });
    const std::pair<int, QWidget*> bars[] = {{command::kToolbar, toolBar_}, {command::kStatusBar, statusBar()}};
    for (const auto& [id, bar] : bars) {
        QAction* item = commands_.at(id);
        item->setCheckable(true);
        item->setChecked(true);
        connect(item, &QAction::toggled, bar, &QWidget::setVisible);
    }
    connect(toolBar_, &QToolBar::visibilityChanged, commands_.at(command::kToolbar), &QAction::setChecked);
    connect(commands_.at(command::kSplit), &QAction::triggered, splitTracking_, &QtSplitTracking::Start);
    connect(commands_.at(command::kRemoveLocalSettings), &QAction::triggered, this,
            [this] { RemoveLocalSettings(TheUserInterface(), settings_); });
    connect(commands_.at(command::kAbout), &QAction::triggered, this, [this] {
        CAboutDialog about(isVisible() ? this : nullptr);
        about.exec();
    });
    // A program built without a home page offers none.
    commands_.at(command::kHomePage)->setVisible(*kHomePageAddress != '\0');
    connect(commands_.at(command::kHomePage), &QAction::triggered, this,
            [] { OpenInBrowser(QLatin1String(kHomePageAddress)); });
    connect(commands_.at(command::kHelpTopics), &QAction::triggered, this, [] { OpenUserGuide(); });
    for (const int help : {command::kHelp, command::kContextHelp})
        connect(commands_.at(help), &QAction::triggered, this, &CMainFrame::ShowHelp);
    for (const int pane : {command::kNextPane, command::kPreviousPane})
        connect(commands_.at(pane), &QAction::triggered, this, &CMainFrame::SwitchPane);
}

void CMainFrame::ConnectDocumentCommands()
{
    connect(commands_.at(command::kChangePassword), &QAction::triggered, this, [this] { document_.ChangePassword(); });
    // The hotkey and the tray menu reach this also while Send email moves through the defects.
    connect(commands_.at(command::kInsertNew), &QAction::triggered, this, [this] {
        if (!sending_)
            document_.InsertNewDefect();
    });
    connect(commands_.at(command::kUndoAllChanges), &QAction::triggered, this, [this] { document_.UndoAllChanges(); });
    connect(commands_.at(command::kSaveRecord), &QAction::triggered, this, [this] { document_.SaveCurrentRecord(); });
    connect(commands_.at(command::kMarkAsRead), &QAction::triggered, this, [this] { document_.MarkAsRead(); });
    connect(commands_.at(command::kMarkAsUnread), &QAction::triggered, this, [this] { document_.MarkAsUnread(); });
    connect(commands_.at(command::kGoOffline), &QAction::triggered, this, [this] { document_.GoOffline(); });
    connect(commands_.at(command::kOptions), &QAction::triggered, this, [this] { RunOptions(OptionsPage::Mail); });
    connect(commands_.at(command::kSendEmail), &QAction::triggered, this, &CMainFrame::SendEmail);
    commands_.at(command::kSendEmail)->setStatusTip(LoadString(command::kSendEmail));
    for (QMenu* menu : menuBar()->findChildren<QMenu*>())
        connect(menu, &QMenu::aboutToShow, this, &CMainFrame::UpdateDocumentCommands);
}

void CMainFrame::UpdateDocumentCommands()
{
    const bool loggedIn = document_.loggedIn();
    const DefectForm* form = document_.defects().Form();
    const bool formModified = form != nullptr && form->isModified();
    commands_.at(command::kChangePassword)->setEnabled(loggedIn);
    commands_.at(command::kInsertNew)->setEnabled(loggedIn);
    commands_.at(command::kGoOffline)->setEnabled(loggedIn);
    commands_.at(command::kSetupLists)->setEnabled(loggedIn);
    commands_.at(command::kOptions)->setEnabled(loggedIn);
    for (const int organize : {command::kOrganizeViews, command::kOrganizeFilters})
        commands_.at(organize)->setEnabled(loggedIn && list_ != nullptr);
    for (const int exporting : {command::kExport, command::kExportToSpreadsheet})
        commands_.at(exporting)->setEnabled(loggedIn && list_ != nullptr);
    commands_.at(command::kUndoAllChanges)->setEnabled(formModified);
    commands_.at(command::kSaveRecord)->setEnabled(formModified);
    commands_.at(command::kMarkAsRead)->setEnabled(document_.CanChangeReadState());
    commands_.at(command::kMarkAsUnread)->setEnabled(document_.CanChangeReadState());
    // Reports read the current list.
    for (int report = command::kFirstReport; report < command::kFirstReport + command::kReportCount; ++report)
        if (const auto found = commands_.find(report); found != commands_.end())
            found->second->setEnabled(loggedIn && reports_ != nullptr);
    for (const int run : {command::kCharts, command::kReportLists})
        commands_.at(run)->setEnabled(loggedIn && reports_ != nullptr);
}

void CMainFrame::AnnounceNewEntries(bool ask)
{
    trayStates_->SetTrayState(TrayIconStates::kStartBlinking, kNewEntriesTip);
    if (!isActiveWindow())
        NotifyDesktop();
    if (!ask || askingAboutNewEntries_)
        return;
    const QScopedValueRollback<bool> asking(askingAboutNewEntries_, true);
    MessageRequest request;
    request.stringId = string_id::kNewEntriesQuestion;
    request.text = LoadString(string_id::kNewEntriesQuestion);
    request.buttons = Buttons::YesNo;
    request.icon = Icon::Information;
    request.foreground = true;
    if (TheUserInterface().ShowMessage(request) != Answer::Yes)
        return;
    OpenMainWindow();
    // "Read them now" shows the first of them.
    if (list_ != nullptr)
        list_->GoToFirstUnread();
}

void CMainFrame::NotifyDesktop()
{
    const QString title = LoadString(string_id::kApplicationTitle);
    const QString text = LoadString(string_id::kNewEntriesNotice);
    if (!notifications_->Show(title, text, LoadString(string_id::kOpenNotice)))
        trayIcon_->ShowBalloon(title, text);
}

void CMainFrame::ApplyTrayMode()
{
    trayStates_->SetTrayIcon(settings_.systray, LoadString(string_id::kApplicationTitle));
}

bool CMainFrame::LivesInTray() const
{
    return trayStates_->shown() && trayAvailable_();
}

void CMainFrame::OpenMainWindow()
{
    settings_.mainWindowIsVisible = true;
    trayStates_->SetTrayState(TrayIconStates::kNormal, LoadString(string_id::kApplicationTitle));
    showNormal();
    raise();
    activateWindow();
    for (const QPointer<QWidget>& popup : std::exchange(hiddenPopups_, {}))
        if (popup)
            popup->show();
    // A question still open stays in front of the window it belongs to.
    if (QWidget* modal = QApplication::activeModalWidget()) {
        modal->raise();
        modal->activateWindow();
    }
}

void CMainFrame::HideInTray()
{
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget != this && widget->parentWidget() == this && widget->isVisible()) {
            hiddenPopups_ << widget;
            widget->hide();
        }
    hide();
}

void CMainFrame::SetList(CDefectList& list)
{
    list_ = &list;
    listView_->SetList(&list);
    listView_->SetDeleteCommand(commands_.at(command::kDeleteRecord));
    commands_[command::kSelectAll] = listView_->selectAllCommand();
    auto* bar = new CViewFilterBar(list, this);
    addToolBar(Qt::TopToolBarArea, bar);
    // The quick search has a line of its own, so that it stays in sight however narrow the window.
    addToolBarBreak(Qt::TopToolBarArea);
    auto* quickSearch = new QToolBar(QStringLiteral("Quick search"), this);
    quickSearch->setObjectName(QStringLiteral("quickSearchBar"));
    quickSearch->addWidget(new CQuickSearchBox(list, quickSearch));
    addToolBar(Qt::TopToolBarArea, quickSearch);
    // The search bar has a line of its own and appears when a search asks for it.
    addToolBarBreak(Qt::TopToolBarArea);
    searchBar_ = new CSearchBar(list, this);
    addToolBar(Qt::TopToolBarArea, searchBar_);
    searchBar_->hide();
    connect(searchBar_, &CSearchBar::dismissed, listView_, [this] { listView_->setFocus(); });
    // A pane of its own: a menu's status tips would wipe a temporary message.
    auto* listPane = new QLabel(statusBar());
    listPane->setObjectName(QStringLiteral("listPane"));
    statusBar()->addWidget(listPane, 1);
    connect(&list, &CDefectList::statusTextChanged, listPane, &QLabel::setText);
    connect(&list, &CDefectList::notFoundBeep, this, [] { QApplication::beep(); });
    connect(&list.model(), &DefectListModel::focusedRowChanged, this, &CMainFrame::UpdateListCommands);
    connect(&list.model(), &QAbstractItemModel::modelReset, this, &CMainFrame::UpdateListCommands);
    // A fill that finds no current row, and rows added or removed, change what Next and Last can do.
    connect(&list, &CDefectList::listFilled, this, &CMainFrame::UpdateListCommands);
    connect(&list.model(), &QAbstractItemModel::rowsInserted, this, &CMainFrame::UpdateListCommands);
    connect(&list.model(), &QAbstractItemModel::rowsRemoved, this, &CMainFrame::UpdateListCommands);
    // After a choice in the view or filter box the keys work on the list again.
    connect(&list, &CDefectList::listFocusRequested, listView_, [this] { listView_->setFocus(); });
    connect(listView_->selectionModel(), &QItemSelectionModel::selectionChanged, this, &CMainFrame::UpdateListCommands);
    ConnectListCommands();
    ConnectReportCommands();
}

void CMainFrame::ConnectReportCommands()
{
    const QString folder = report::ReportFolder();
    reports_ = std::make_unique<CReportRunner>(document_, *list_, folder);
    const std::vector<report::MenuEntry> entries = report::ReportMenuEntries(folder);
    InsertReportEntries(*qobject_cast<QMenu*>(commands_.at(command::kCharts)->parent()), entries, commands_);
    for (const report::MenuEntry& entry : entries)
        if (entry.command != 0)
            connect(commands_.at(entry.command), &QAction::triggered, this,
                    [this, path = entry.path] { reports_->RunReport(path, false, true); });
    connect(commands_.at(command::kCharts), &QAction::triggered, this,
            [this] { reports_->RunReport(QString::fromLatin1(report::kChartsFolder), true, true); });
    connect(commands_.at(command::kReportLists), &QAction::triggered, this,
            [this] { reports_->RunReport(QString::fromLatin1(report::kListsFolder), true, true); });
    commands_.at(command::kReportOptions)->setEnabled(true);
    connect(commands_.at(command::kReportOptions), &QAction::triggered, this, [this] { reports_->OpenReadme(); });
    UpdateDocumentCommands();
}

void CMainFrame::ConnectListCommands()
{
    commands_.at(command::kRefresh)->setEnabled(true);
    connect(commands_.at(command::kRefresh), &QAction::triggered, this, [this] { list_->Refresh(); });
    for (const int navigation : kRecordCommands)
        connect(commands_.at(navigation), &QAction::triggered, this,
                [this, navigation] { list_->Navigate(navigation); });
    for (const int search : {command::kFind, command::kFindNext, command::kFindPrevious})
        commands_.at(search)->setEnabled(true);
    connect(commands_.at(command::kFind), &QAction::triggered, this, [this] { list_->Find(); });
    connect(commands_.at(command::kFindNext), &QAction::triggered, this,
            [this] { list_->FindNext(searchBar_->text()); });
    connect(commands_.at(command::kFindPrevious), &QAction::triggered, this,
            [this] { list_->FindPrevious(searchBar_->text()); });
    connect(commands_.at(command::kDeleteRecord), &QAction::triggered, this,
            [this] { document_.DeleteSelectedRecords(list_); });
    connect(commands_.at(command::kSetupLists), &QAction::triggered, this, [this] { document_.EditLookupLists(); });
    for (const int exporting : {command::kExport, command::kExportToSpreadsheet})
        commands_.at(exporting)->setStatusTip(LoadString(exporting));
    connect(commands_.at(command::kExport), &QAction::triggered, this, [this] { ExportList(document_, *list_); });
    connect(commands_.at(command::kExportToSpreadsheet), &QAction::triggered, this,
            [this] { OpenListInSpreadsheet(document_, *list_); });
    connect(commands_.at(command::kOrganizeViews), &QAction::triggered, this, [this] {
        if (!list_->QuerySaveView())
            return;
        RunOrganizer(Organizer::Kind::Views);
        // The current view stays loaded; only the box shows the new names.
        emit list_->viewChoicesChanged();
    });
    connect(commands_.at(command::kOrganizeFilters), &QAction::triggered, this, [this] {
        RunOrganizer(Organizer::Kind::Filters);
        emit list_->filterChoicesChanged();
        // As if the box's choice had changed: a filter that was deleted is no longer applied.
        const BoxChoices choices = list_->FilterChoices();
        const bool chosen = choices.selected >= 0 && choices.selected < static_cast<int>(choices.items.size());
        list_->ChangeFilter(chosen ? choices.items[static_cast<std::size_t>(choices.selected)].data : -1);
    });
    // The Columns popup lists the view's columns each time the View menu opens.
    connect(qobject_cast<QMenu*>(columnsMenu_->parentWidget()), &QMenu::aboutToShow, this,
            [this] { FillColumnsMenu(*columnsMenu_, *list_); });
    UpdateListCommands();
    UpdateDocumentCommands();
}

void CMainFrame::RunOrganizer(Organizer::Kind kind)
{
    Organizer organizer(kind, document_, TheUserInterface(), document_.loggedInId());
    const DefectPersistence& defects = document_.defects();
    COrganizeDialog dialog(organizer, defects.RecordLoaded() ? &defects.Record() : nullptr, this);
    dialog.exec();
}

void CMainFrame::UpdateListCommands()
{
    if (list_ == nullptr)
        return;
    for (const int navigation : kRecordCommands)
        commands_.at(navigation)->setEnabled(list_->CanNavigate(navigation));
    commands_.at(command::kDeleteRecord)->setEnabled(listView_->selectionModel()->hasSelection());
    commands_.at(command::kSendEmail)
        ->setEnabled(notificationSender_ != nullptr && document_.loggedIn() &&
                     listView_->selectionModel()->hasSelection());
}

void CMainFrame::RunOptions(OptionsPage page)
{
    if (!document_.loggedIn())
        return;
    class FrameEffects : public OptionsEffects {
    public:
        explicit FrameEffects(CMainFrame& frame) : frame_(frame) { }
        void RegisterHotkey(int hotkey) override { frame_.hotkey_->Register(hotkey); }
        void ApplyTrayMode() override { frame_.ApplyTrayMode(); }

    private:
        CMainFrame& frame_;
    } effects(*this);
    OptionsSheet sheet(document_, settings_, effects);
    COptionsDialog dialog(sheet, trayAvailable_(), page, isVisible() ? this : nullptr);
    dialog.exec();
}

void CMainFrame::SetNotificationSender(mail::NotificationSender* sender)
{
    notificationSender_ = sender;
    UpdateListCommands();
}

void CMainFrame::UseNotificationDispatch(mail::NotificationDispatch& dispatch)
{
    SetNotificationSender(&dispatch);
    connect(
        &dispatch, &mail::NotificationDispatch::mailOptionsRequested, this, [this] { RunOptions(OptionsPage::Mail); },
        Qt::DirectConnection);
    // A close that came while the notification of a save went out follows now.
    dispatch_ = &dispatch;
    connect(&dispatch, &mail::NotificationDispatch::dispatchEnded, this, [this] {
        if (!sending_ && std::exchange(closeAfterSending_, false))
            QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
    });
}

void CMainFrame::SendEmail()
{
    if (list_ == nullptr || notificationSender_ == nullptr)
        return;
    mail::SendNotifications command(TheUserInterface(), *notificationSender_, settings_.mailSettings.mailMethod,
                                    settings_.sendMailHistory);
    {
        const QScopedValueRollback<bool> sending(sending_, true);
        command.Run(*list_, document_.defects(), document_.lookups());
    }
    if (std::exchange(closeAfterSending_, false))
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}

void CMainFrame::SwitchPane()
{
    // Two panes: either key moves the focus to the other one.
    if (listView_->hasFocus()) {
        QWidget* field = formView_->nextInFocusChain();
        (formView_->isAncestorOf(field) ? field : static_cast<QWidget*>(formView_))->setFocus(Qt::TabFocusReason);
    } else {
        listView_->setFocus(Qt::TabFocusReason);
    }
}

void CMainFrame::ShowHelp()
{
    const QWidget* focus = QApplication::focusWidget();
    if (focus == listView_)
        OpenUserGuide(kListSection);
    else if (focus != nullptr && formView_->isAncestorOf(focus))
        OpenUserGuide(kFormSection);
    else
        OpenUserGuide();
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
    trayStates_->SetTrayState(TrayIconStates::kAlert, tip);
}

void CMainFrame::ShowNormalState(const QString& tip)
{
    connectionPane_->clear();
    connectionPane_->setToolTip(tip);
    trayStates_->SetTrayState(TrayIconStates::kNormal, tip);
}

void CMainFrame::showEvent(QShowEvent* event)
{
    if (!placementRestored_) {
        placementRestored_ = true;
        ApplySavedPlacement();
    }
    QMainWindow::showEvent(event);
}

void CMainFrame::ApplySavedPlacement()
{
    const WindowPlacement& placement = settings_.windowPlacement;
    if (!settings_.loaded || placement.IsEmpty())
        return;
    setGeometry(placement.NormalRect());
    normalGeometry_ = placement.NormalRect();
    if (placement.showCmd == WindowPlacement::kMaximized)
        setWindowState(windowState() | Qt::WindowMaximized);
    else if (placement.showCmd == WindowPlacement::kMinimized)
        setWindowState(windowState() | Qt::WindowMinimized);
}

void CMainFrame::moveEvent(QMoveEvent* event)
{
    QMainWindow::moveEvent(event);
    RememberNormalGeometry();
}

void CMainFrame::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    RememberNormalGeometry();
}

void CMainFrame::RememberNormalGeometry()
{
    if (isVisible() && !(windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen)))
        normalGeometry_ = geometry();
}

void CMainFrame::StorePlacement()
{
    // A window that was never shown has no placement of its own; the saved one stays.
    if (!placementRestored_)
        return;
    const std::int32_t state = isMaximized() ? WindowPlacement::kMaximized
        : isMinimized()                      ? WindowPlacement::kMinimized
                                             : WindowPlacement::kNormal;
    settings_.windowPlacement = WindowPlacement::Of(normalGeometry_.isValid() ? normalGeometry_ : geometry(), state);
}

void CMainFrame::closeEvent(QCloseEvent* event)
{
    // The progress dialog ends the send loop after the current mail; the close comes then. A
    // notification after a save (its tool waited for, the tray menu still working) ends first too.
    if (sending_ || (dispatch_ != nullptr && dispatch_->busy())) {
        closeAfterSending_ = true;
        event->ignore();
        return;
    }
    if (LivesInTray()) {
        ShowHint(TheUserInterface(), string_id::kHideInTrayHint, settings_.hints, HintStyle::Ok, Answer::Ok, true);
        if (LivesInTray()) {
            HideInTray();
            event->ignore();
            return;
        }
    }
    trayStates_->SetTrayIcon(false, QString());
    if (!document_.CanCloseDocument()) {
        // The program goes on: the icon comes back, or a hidden window could not be reached.
        ApplyTrayMode();
        event->ignore();
        return;
    }
    StorePlacement();
    settings_.mainWindowIsVisible = isVisible();
    document_.OnCloseDocument();
    event->accept();
}
