#pragma once
// The open database as the logged-in user sees it. The document composes its parts: the
// database access, the lookup lists, the login and the user settings; it announces what
// happens through signals and knows its windows only as listeners.
//
// One of the three hubs (with CDefectList and CMainFrame). Its responsibilities:
// - the file: opening it, the data connection that the auto-close timer closes when idle and
//   any request opens again, the auto-refresh timer, closing without losing the user's edits;
// - the user: the login, the user settings, the password, the administrator's rights, the
//   lookup lists and which entries addressed to the user are new;
// - the current defect: its record's operations (save, new from a template, undo, delete,
//   read or unread) through DefectPersistence.
// It emits loginCompleted, closed, currentDefectChanged, defectSaved, defectCreated,
// defectsDeleted, connectionStateChanged, lookupListsReloaded, lookupListsEdited,
// newUnreadEntries and autoRefreshDue. It listens only to its own parts (the lookup lists'
// reloaded, the timers' timeout). It asks back through ViewChanges (does the view have unsaved
// changes?) and DefectListSeam (which rows are selected?; the row of a new defect).

#include "document/ConnectionProvider.h"
#include "document/ConnectionUse.h"
#include "document/DefectContext.h"
#include "document/DefectPersistence.h"
#include "document/DocumentTimers.h"
#include "document/LookupLists.h"
#include "document/UnreadTracking.h"
#include "document/UserSettings.h"
#include "store/DatabaseAccess.h"
#include "store/OpenDatabase.h"

#include <QList>
#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>

class AdministrationActions;
class QSocketNotifier;
struct RecoveredEdits;
class Clock;
class UserInterface;

// What the document asks of the current view before it closes.
class ViewChanges {
public:
    virtual ~ViewChanges() = default;
    // When the current view has column changes that were not saved (the list's widths and order
    // are read back first), asks whether to keep them, in words that say where they go, and keeps
    // them on Yes. False when the user cancelled.
    virtual bool QuerySaveView() = 0;
};

class CDefectDoc : public QObject, public DefectContext {
    Q_OBJECT
public:
    static constexpr const char* kDefaultPath = "default.defl";

    // The running program: the installed port, the system clock, administration as built.
    CDefectDoc();
    CDefectDoc(UserInterface& ui, const Clock& clock, AdministrationActions& administration);
    ~CDefectDoc() override;

    // The framework's document operations.
    bool OnNewDocument();
    bool OnOpenDocument(const QString& path);
    bool CanCloseDocument();
    void OnCloseDocument();
    // Quitting while the file cannot be reached: the current defect's unsaved edits go to a
    // recovery file in the user's data folder, and the user is told where.
    void KeepUnsavedEdits();
    // The program closes after a failure nobody handled: the timers stop, and a file that cannot
    // be reached is given up at once instead of waited for, so the close asks nothing more of it.
    void StopWaitingForFile();

    engine::Connection& GetDocumentConnection(RetryMode mode) override;
    // Closes the connection (and with it the presence lock, so that another workstation may
    // compact the file); the current record stays in memory.
    void GoOffline();
    bool connected() const { return database_.connected(); }
    // Empty while connected, else "offline".
    QString ConnectionStateText() const;
    ConnectionUseCounts& connectionUse() { return connectionUse_; }

    // The database this workstation opened last: the first open without a path takes it.
    void SetLastDatabase(const QString& path) { openState_.lastDatabase = path; }
    // The stakeholder to log in without asking, used once (the command line's -autologin).
    void SetAutoLogin(const QString& loginName) { autoLogin_ = loginName; }
    // The login name of the process's user, for the login dialog's preselection.
    void SetOperatingSystemUser(std::function<std::optional<QString>()> source)
    {
        operatingSystemUser_ = std::move(source);
    }

    bool Login();
    // Logs the stakeholder in without the login dialog or a password, for a tool that has the
    // file in hand anyway (vellacord-admin); false when there is no such stakeholder.
    bool LoginAs(std::int32_t stakeholderId);
    bool LoadUserSettings();
    bool SaveUserSettings();
    void ChangePassword();
    // The list editor (Setup > Lists): edits the lookup tables, then reloads them by force and
    // announces lookupListsEdited.
    void EditLookupLists();

    bool loggedIn() const { return loggedIn_; }
    bool loginComplete() const { return loginComplete_; }
    std::int32_t loggedInId() const { return loggedInId_; }
    bool currentUserIsAdministrator() const { return currentUserIsAdministrator_; }
    // The display name of the logged-in stakeholder; empty when nobody is logged in.
    QString CurrentUserName() const;

    const QString& PathName() const { return path_; }
    CDatabaseAccess& database() { return database_; }
    LookupLists& lookups() { return lookups_; }
    SessionSelection& selection() { return selection_; }
    UserSettingsRecord& userSettings() { return userSettings_; }
    DefectPersistence& defects() { return defects_; }

    // The current view, asked before the document closes; none while there is no view.
    void SetViewChanges(ViewChanges* view) { viewChanges_ = view; }
    // The list editor that "<add user...>" in the login dialog runs; it reloads the lists itself.
    void SetListEditor(std::function<void()> editor) { listEditor_ = std::move(editor); }

    // The form registers itself when it is first shown and is shown the current defect.
    void RegisterForm(DefectForm* form);

    // The auto-close (1) and auto-refresh (2) timers; the main frame need not forward anything.
    DocumentTimers& timers() { return timers_; }
    void HandleTimer(int id);
    // The options changed the periods: both timers start again.
    void RestartTimers();
    // The user changed the defect in the form: that is activity, the auto-close countdown restarts.
    void UserChangedDefect();

    // Announces newUnreadEntries when entries addressed to the user arrived since the last test.
    // `fileUnchanged`: nothing was committed to the file since the last test, whose read then stands.
    bool TestForNewUnread(bool fileUnchanged = false);
    // A document that only lists (vellacord-admin list) never tells of new unread entries, so it
    // need not look for them: on a file without the unread index that reads every defect.
    void SetUnreadTests(bool on) { unreadTests_ = on; }
    const KnownUnreadSet& knownUnread() const { return knownUnread_; }

    // Commands of the current defect.
    void MarkAsRead();
    void MarkAsUnread();
    // Both are for the addressee of a loaded defect only.
    bool CanChangeReadState() const;
    void InsertNewDefect();
    void UndoAllChanges();
    bool SaveCurrentRecord();
    // Deletes the rows selected in `list` and announces defectsDeleted.
    void DeleteSelectedRecords(const DefectListSeam* list);
    // The comments given with the status changes of a defect since its last save, one line per
    // change; taking them forgets them (the notification of the save carries them).
    QString TakeStatusComments(std::int32_t defectId);

    // What the defect record's operations need of the document.
    UserInterface& Ui() override { return ui_; }
    const Clock& Time() const override { return clock_; }
    std::int32_t LoggedInId() const override { return loggedInId_; }
    bool IsAdministrator() const override { return currentUserIsAdministrator_; }
    QString LoggedInDisplayName() const override { return CurrentUserName(); }
    QString LookupName(LookupList list, std::int32_t id) const override { return lookups_.LookupName(list, id); }
    const std::vector<StatusTransition>& StatusTransitions() const override { return lookups_.transitions(); }
    void AddHistoryEntry(DefectRecord& record, std::int32_t statusId, const QString& comment) override;
    std::int32_t LastTemplateId() const override { return userSettings_.LastTemplateId; }
    void SetLastTemplateId(std::int32_t id) override { userSettings_.LastTemplateId = id; }
    void DefectSaved(const DefectRecord& record) override;
    void ReadStateChanged(const DefectRecord& record) override;
    void DefectCreated(std::int32_t defectId) override;
    void CurrentDefectChanged(std::int32_t defectId) override;
    void DefectsDeleted(const std::vector<std::int32_t>& defectIds, std::int32_t nextCurrentId) override;
    QString DatabasePath() const override;

signals:
    // A login completed; the user and the commands that need one follow.
    void loginCompleted();
    // The document was closed: timers stop, known unread entries are forgotten.
    void closed();
    void currentDefectChanged(qint32 defectId);
    // A defect was written; `record` holds what was written.
    void defectSaved(qint32 defectId, double modified, const DefectRecord& record);
    // Only the read state of a defect was written (Mark as read / unread); `record` is as stored.
    void readStateChanged(const DefectRecord& record);
    // A new defect was made from a template and is current.
    void defectCreated(qint32 defectId);
    // The defects were deleted from the file; `nextCurrentId` becomes current (-1: none).
    void defectsDeleted(const QList<qint32>& defectIds, qint32 nextCurrentId);
    // The data connection was opened or closed.
    void connectionStateChanged(bool connected);
    void lookupListsReloaded();
    // The list editor closed: names and orders may have changed, the list shows them anew.
    void lookupListsEdited();
    // Entries addressed to the user arrived; `ask`: the user wants to be asked to read them.
    void newUnreadEntries(bool ask);
    // The auto-refresh timer ran out: the list refills (if the file changed) and tests for news.
    void autoRefreshDue();

private:
    explicit CDefectDoc(std::unique_ptr<AdministrationActions> ownAdministration);
    bool Open(std::optional<QString> path);
    bool CanCloseReachableDocument();
    // The login's common end: user settings, administrator rights, the signal.
    void CompleteLogin();
    // At login: edits kept when the file could not be reached are offered again.
    void OfferKeptEdits();
    void OfferKeptEdits(const QString& file);
    void ApplyKeptEdits(const RecoveredEdits& edits, const QString& file);
    void SetReadState(bool read);
    // On a server: watches the connection's socket for other workstations' commits, which make
    // the refresh due at once instead of at the next period.
    void WatchServerChanges(engine::Connection& connection);
    void ServerChanged();

    std::unique_ptr<AdministrationActions> ownAdministration_;
    std::unique_ptr<QSocketNotifier> changeNotifier_;
    engine::Connection* watched_ = nullptr; // the connection whose socket changeNotifier_ watches
    UserInterface& ui_;
    const Clock& clock_;
    AdministrationActions& administration_;
    CDatabaseAccess database_;
    OpenState openState_;
    LookupLists lookups_;
    ConnectionUseCounts connectionUse_;
    DocumentTimers timers_;
    KnownUnreadSet knownUnread_;
    bool unreadTests_ = true;
    DefectPersistence defects_{*this};
    ViewChanges* viewChanges_ = nullptr;
    std::function<void()> listEditor_;
    std::map<std::int32_t, QString> statusComments_; // defect -> comments of unsaved status changes
    bool fileUnreachable_ = false;                   // the user gave up waiting for the file while closing

    QString path_ = QString::fromLatin1(kDefaultPath);
    QString autoLogin_;
    std::function<std::optional<QString>()> operatingSystemUser_;
    bool loggedIn_ = false;
    bool loginComplete_ = false;
    bool currentUserIsAdministrator_ = false;
    std::int32_t loggedInId_ = 0;
    SessionSelection selection_;
    UserSettingsRecord userSettings_;
};
