#pragma once
// The one top-level window: the menus, the toolbar and the list's bars, the status bar, the
// list over the form, the window's placement, and the notification-area icon with which the
// program lives on in the background.
//
// One of the three hubs (with CDefectDoc and CDefectList). Its responsibilities:
// - the commands: every menu item, toolbar button and shortcut is a QAction found by its command
//   id; their enabled states follow the document and the list;
// - the panes: the list view and its view/filter and search bars over the defect form, split as
//   the user left them, and the status bar's panes (user, connection, list status);
// - the window's life: placement, the tray icon and its blinking, the hotkey, the desktop
//   notification about new entries, Options, reports and exports started from the menus.
// It only listens: to CDefectDoc (loginCompleted, closed, connectionStateChanged,
// lookupListsReloaded, currentDefectChanged, defectSaved, defectCreated, newUnreadEntries), to
// CDefectList (statusTextChanged, notFoundBeep, listFilled, listFocusRequested and the model's
// focus and row signals) and to the mail dispatch (mailOptionsRequested, dispatchEnded). It
// emits no signals; what it starts, it calls on the document or the list.

#include "list/Organizer.h"

#include <QList>
#include <QMainWindow>
#include <QPointer>

#include <functional>
#include <map>
#include <memory>

class CDefectDoc;
class CDefectList;
class CDefectListView;
class CDefectView;
class QtHotkey;
class CReportRunner;
class QtNotifications;
class QtSplitTracking;
class QtTrayIcon;
class CSearchBar;
class LocalSettings;
class QAction;
class QLabel;
class QMenu;
class QSplitter;
class QToolBar;
class TrayIconStates;
enum class OptionsPage;
namespace mail {
class NotificationDispatch;
class NotificationSender;
} // namespace mail

class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    CMainFrame(CDefectDoc& document, LocalSettings& settings, QWidget* parent = nullptr);
    ~CMainFrame() override;

    // The command with the given id; null for an id the window does not carry.
    QAction* CommandAction(int commandId) const;

    // The list pane, its bars and the list commands work on this list from now on.
    void SetList(CDefectList& list);

    CDefectListView* listView() const { return listView_; }
    CDefectView* formView() const { return formView_; }
    TrayIconStates& trayStates() const { return *trayStates_; }

    // The database's connection state: the status pane and the notification-area icon.
    void ShowOfflineState(const QString& tip);
    void ShowNormalState(const QString& tip);

    // Shows or removes the notification-area icon as the local settings say.
    void ApplyTrayMode();
    // "&Open Vellacord": the window comes back from the background, the icon calms down.
    void OpenMainWindow();
    // Whether a close request now only hides the window: the icon is shown on a desktop that
    // shows such icons, so the user can get the window back.
    bool LivesInTray() const;
    // Tests decide for themselves whether the desktop shows notification-area icons.
    void SetTrayAvailability(std::function<bool()> available) { trayAvailable_ = std::move(available); }
    // Writes the window's position and show state into the local settings, which every later
    // save of the settings then carries.
    void StorePlacement();

    // Setup > Options: the options sheet opened on `page`; OK applies it.
    void RunOptions(OptionsPage page);
    // File > Recent databases opens the chosen database through `open`; without it the menu only
    // lists them.
    void SetRecentDatabaseOpener(std::function<void(const QString&)> open);
    // Send email sends through `sender`; without one the command stays disabled.
    void SetNotificationSender(mail::NotificationSender* sender);
    // The dispatch sends for Send email, and its question about unset mail settings opens the
    // options on the Mail page before it reads the setting again.
    void UseNotificationDispatch(mail::NotificationDispatch& dispatch);

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void CreateBars();
    void CreateStatusBar();
    void CreatePanes();
    void CreateTray();
    void ConnectCommands();
    void ConnectDocumentCommands();
    void ConnectWindowCommands();
    void FollowDocument();
    void UpdateDocumentCommands();
    void UpdateTitle();
    // After a new defect: to the front, restored unless maximised.
    void BringToFront();
    void ApplySavedPlacement();
    void RememberNormalGeometry();
    void UpdateStatusPanes();
    void UpdateDocumentState();
    void ConnectListCommands();
    // The Reports menu: its documents and commands run on the current list.
    void ConnectReportCommands();
    void UpdateListCommands();
    void RunOrganizer(Organizer::Kind kind);
    // New entries addressed to the user: the icon blinks, the desktop is told while the
    // window is in the background, and the user is asked, once at a time, whether to read them.
    void AnnounceNewEntries(bool ask);
    void NotifyDesktop();
    void HideInTray();
    void SwitchPane();
    void ShowHelp();
    void OnLoginCompleted();
    void OnHotkey();
    void FillRecentMenu();
    void SendEmail();

    CDefectDoc& document_;
    LocalSettings& settings_;
    std::map<int, QAction*> commands_;
    QSplitter* splitter_ = nullptr;
    CDefectListView* listView_ = nullptr;
    CDefectView* formView_ = nullptr;
    CDefectList* list_ = nullptr;
    std::unique_ptr<CReportRunner> reports_;
    QToolBar* toolBar_ = nullptr;
    CSearchBar* searchBar_ = nullptr;
    QMenu* columnsMenu_ = nullptr;
    QMenu* recentMenu_ = nullptr;
    std::function<void(const QString&)> openRecent_;
    QLabel* userPane_ = nullptr;
    QLabel* connectionPane_ = nullptr;
    TrayIconStates* trayStates_ = nullptr;
    QtTrayIcon* trayIcon_ = nullptr;
    QtNotifications* notifications_ = nullptr;
    QtHotkey* hotkey_ = nullptr;
    QtSplitTracking* splitTracking_ = nullptr;
    std::function<bool()> trayAvailable_;
    mail::NotificationSender* notificationSender_ = nullptr;
    QList<QPointer<QWidget>> hiddenPopups_; // hidden with the window, shown again with it
    QRect normalGeometry_;                  // the last geometry while neither maximised nor minimised
    bool placementRestored_ = false;
    bool askingAboutNewEntries_ = false;
    bool sending_ = false;           // Send email is running: the window must not go away under it
    bool closeAfterSending_ = false; // a close came while sending; it follows when the sending ends
    const mail::NotificationDispatch* dispatch_ = nullptr; // busy while a notification goes out
};
