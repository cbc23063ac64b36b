// The document's commands: opening and login, the current defect's edits, read states, timers, going offline.

#include "document/DefectDoc.h"

#include "base/Check.h"
#include "base/DatabaseUnavailable.h"
#include "base/ErrorContext.h"
#include "base/StringTable.h"
#include "base/UserInterface.h"
#include "document/ChangePassword.h"
#include "document/DefectDeletion.h"
#include "document/DefectForm.h"
#include "document/DefectTemplates.h"
#include "document/EditRecovery.h"
#include "document/History.h"
#include "document/Login.h"
#include "document/SetupListsEditor.h"
#include "platform/LastLogin.h"
#include "platform/UserName.h"
#include "store/DatabaseAdministration.h"

#include <QFile>
#include <QLocale>
#include <QSocketNotifier>

CDefectDoc::CDefectDoc()
    : CDefectDoc(std::make_unique<DatabaseAdministration>(TheUserInterface(), SystemClockInstance()))
{
}

CDefectDoc::CDefectDoc(std::unique_ptr<AdministrationActions> ownAdministration)
    : CDefectDoc(TheUserInterface(), SystemClockInstance(), *ownAdministration)
{
    ownAdministration_ = std::move(ownAdministration);
}

CDefectDoc::CDefectDoc(UserInterface& ui, const Clock& clock, AdministrationActions& administration)
    : ui_(ui), clock_(clock), administration_(administration), database_(ui_, clock_), lookups_(*this, clock_),
      timers_(clock_,
              [this](int id) {
                  return id == DocumentTimers::kAutoClose ? userSettings_.AutoCloseDB : userSettings_.AutoRefreshList;
              }),
      operatingSystemUser_(OperatingSystemUserName)
{
    listEditor_ = [this] { EditLookupLists(); };
    connect(&lookups_, &LookupLists::reloaded, this, &CDefectDoc::lookupListsReloaded);
    connect(&timers_, &DocumentTimers::timeout, this, &CDefectDoc::HandleTimer);
    // However a call came to wait for the file, no timer may close or refill under it.
    database_.SetWaitObserver([this](bool waiting) {
        if (waiting)
            timers_.PauseTimers();
        else
            timers_.ResumeTimers();
    });
}

CDefectDoc::~CDefectDoc() = default;

void CDefectDoc::RegisterForm(DefectForm* form)
{
    defects_.SetForm(form);
    if (form != nullptr)
        defects_.ReloadCurrentDefect();
}

void CDefectDoc::InsertNewDefect()
{
    if (defects_.SaveRecord(true))
        NewDefectFromTemplate(*this, defects_);
}

void CDefectDoc::UndoAllChanges()
{
    if (DefectForm* form = defects_.Form()) {
        statusComments_.erase(defects_.CurrentDefectId());
        form->clearModified();
        defects_.ReloadCurrentDefect();
    }
}

bool CDefectDoc::SaveCurrentRecord()
{
    return defects_.SaveRecord(true);
}

void CDefectDoc::DeleteSelectedRecords(const DefectListSeam* list)
{
    DeleteSelectedDefects(*this, defects_, list);
}

void CDefectDoc::AddHistoryEntry(DefectRecord& record, std::int32_t statusId, const QString& comment)
{
    ::AddHistoryEntry(record.History, lookups_.statuses(), lookups_.stakeholders(), statusId, loggedInId_, comment,
                      clock_.Now().date());
    if (comment.trimmed().isEmpty())
        return;
    QString& comments = statusComments_[record.Defect_ID];
    if (!comments.isEmpty())
        comments += QLatin1Char('\n');
    comments += QStringLiteral("%1: %2").arg(lookups_.LookupName(LookupList::Status, statusId), comment.trimmed());
}

QString CDefectDoc::TakeStatusComments(std::int32_t defectId)
{
    const auto found = statusComments_.find(defectId);
    if (found == statusComments_.end())
        return {};
    const QString comments = found->second;
    statusComments_.erase(found);
    return comments;
}

void CDefectDoc::DefectSaved(const DefectRecord& record)
{
    // One's own save is no news to oneself.
    knownUnread_.Add(record.Defect_ID, record.Modified);
    emit defectSaved(record.Defect_ID, record.Modified, record);
}

void CDefectDoc::ReadStateChanged(const DefectRecord& record)
{
    // Marking one's own defect unread is no news either.
    if (record.lastread == 0)
        knownUnread_.Add(record.Defect_ID, record.Modified);
    emit readStateChanged(record);
}

void CDefectDoc::DefectCreated(std::int32_t defectId)
{
    emit defectCreated(defectId);
}

void CDefectDoc::CurrentDefectChanged(std::int32_t defectId)
{
    selection_.currentDefectId = defectId;
    emit currentDefectChanged(defectId);
}

void CDefectDoc::DefectsDeleted(const std::vector<std::int32_t>& defectIds, std::int32_t nextCurrentId)
{
    emit defectsDeleted(QList<qint32>(defectIds.begin(), defectIds.end()), nextCurrentId);
}

QString CDefectDoc::DatabasePath() const
{
    return database_.DatabaseFileName();
}

bool CDefectDoc::OnNewDocument()
{
    return Open(std::nullopt);
}

bool CDefectDoc::OnOpenDocument(const QString& path)
{
    return Open(path);
}

bool CDefectDoc::Open(std::optional<QString> path)
{
    // A document opened again starts from a closed connection, so that the open procedure runs.
    GoOffline();
    loggedIn_ = false;
    if (!OpenDatabase(database_, std::move(path), administration_, openState_))
        return false;
    path_ = database_.DatabaseFileName();
    return Login();
}

engine::Connection& CDefectDoc::GetDocumentConnection(RetryMode mode)
{
    const bool wasConnected = database_.connected();
    // Opening the file may wait for it; no timer may close or refill meanwhile, and the pause
    // ends however the opening ends.
    std::optional<TimerPause> pause;
    if (!wasConnected && loggedIn_)
        pause.emplace(timers_);
    engine::Connection& connection = database_.GetDataConnection(mode);
    if (!wasConnected) {
        lookups_.ForgetLoadTime();
        pause.reset();
        emit connectionStateChanged(true);
    }
    WatchServerChanges(connection);
    // A request outside a long operation is activity: the auto-close countdown starts again.
    if (connectionUse_.useCount == 0 && loggedIn_)
        timers_.StartTimer(DocumentTimers::kAutoClose, true);
    return connection;
}

QString CDefectDoc::ConnectionStateText() const
{
    return database_.connected() ? QString() : QStringLiteral("offline");
}

void CDefectDoc::HandleTimer(int id)
{
    if (!loggedIn_ || timers_.paused())
        return;
    if (id == DocumentTimers::kAutoClose) {
        if (connectionUse_.keepOpenCount == 0) {
            GoOffline();
            timers_.StartTimer(DocumentTimers::kAutoClose, false);
        }
        return;
    }
    emit autoRefreshDue();
}

void CDefectDoc::RestartTimers()
{
    timers_.StartTimer(DocumentTimers::kAutoClose, loggedIn_);
    timers_.StartTimer(DocumentTimers::kAutoRefresh, loggedIn_);
}

void CDefectDoc::UserChangedDefect()
{
    timers_.RestartTimer(DocumentTimers::kAutoClose);
}

bool CDefectDoc::TestForNewUnread(bool fileUnchanged)
{
    if (!loggedIn_ || !unreadTests_)
        return false;
    if (!knownUnread_.TestForNewUnread(*this, loggedInId_, fileUnchanged))
        return false;
    emit newUnreadEntries(userSettings_.NotifyOfChanges != 0);
    return true;
}

bool CDefectDoc::CanChangeReadState() const
{
    // The record in memory decides: offline, the shown defect is no longer "loaded" but still current.
    const DefectRecord& record = defects_.Record();
    return loggedIn_ && defects_.Form() != nullptr && record.Defect_ID != 0 &&
        record.Defect_ID == defects_.CurrentDefectId() && record.ToID == loggedInId_;
}

void CDefectDoc::MarkAsRead()
{
    SetReadState(true);
}

void CDefectDoc::MarkAsUnread()
{
    SetReadState(false);
}

void CDefectDoc::SetReadState(bool read)
{
    if (!CanChangeReadState())
        return;
    // The read state is the reader's own business: only lastread is written, and the form's
    // unsaved edits stay unsaved.
    if (defects_.WriteReadState(read) != ReadStateResult::ChangedSince)
        return;
    const std::int32_t id = defects_.CurrentDefectId();
    defects_.LoadDefect(id, false);
    ShowTextMessage(ui_,
                    QStringLiteral("Defect %1 was changed by another user after it was shown to you, so it was not "
                                   "marked as %2. It now shows the changed entry.")
                        .arg(id)
                        .arg(read ? QStringLiteral("read") : QStringLiteral("unread")),
                    Buttons::Ok, Icon::Information);
}

void CDefectDoc::WatchServerChanges(engine::Connection& connection)
{
    const int socket = connection.ChangeNotificationSocket();
    // A connection opened again (after the retry path, say) has a socket of its own.
    if (changeNotifier_ && changeNotifier_->socket() == socket)
        return;
    changeNotifier_.reset();
    if (socket < 0)
        return;
    watched_ = &connection;
    changeNotifier_ = std::make_unique<QSocketNotifier>(socket, QSocketNotifier::Read);
    connect(changeNotifier_.get(), &QSocketNotifier::activated, this, [this] { ServerChanged(); });
}

void CDefectDoc::ServerChanged()
{
    // The announcement is read in any case; only a logged-in user who wants refreshes gets one.
    const bool announced = database_.connected() && watched_->TakeChangeNotifications();
    // A session that ended leaves its socket readable for ever: it is watched no longer.
    if (!database_.connected() || watched_->ChangeNotificationSocket() != changeNotifier_->socket()) {
        // Deleted once its signal is over.
        changeNotifier_->setEnabled(false);
        changeNotifier_.release()->deleteLater();
        return;
    }
    if (announced && loggedIn_ && !timers_.paused() && userSettings_.AutoRefreshList != 0)
        emit autoRefreshDue();
}

void CDefectDoc::GoOffline()
{
    changeNotifier_.reset();
    if (!database_.connected())
        return;
    database_.CloseDataConnection();
    lookups_.ForgetLoadTime();
    defects_.CloseRowset();
    emit connectionStateChanged(false);
}

bool CDefectDoc::Login()
{
    LoginEnvironment environment{ui_, lookups_, operatingSystemUser_, listEditor_, LastLoginName(DatabasePath())};
    loggedIn_ = false;
    if (!autoLogin_.isEmpty()) {
        if (const std::optional<std::int32_t> id = AutoLogin(environment, autoLogin_)) {
            loggedInId_ = *id;
            loggedIn_ = true;
        }
    }
    if (!loggedIn_) {
        const std::optional<std::int32_t> id = RunLoginLoop(environment);
        if (!id)
            return false;
        loggedInId_ = *id;
        loggedIn_ = true;
    }
    if (const StakeholderEntry* user = lookups_.FindStakeholder(loggedInId_))
        RememberLastLogin(DatabasePath(), user->loginname);
    CompleteLogin();
    OfferKeptEdits();
    return true;
}

bool CDefectDoc::LoginAs(std::int32_t stakeholderId)
{
    lookups_.LoadLookups(true);
    if (lookups_.FindStakeholder(stakeholderId) == nullptr)
        return false;
    loggedInId_ = stakeholderId;
    loggedIn_ = true;
    CompleteLogin();
    return true;
}

void CDefectDoc::CompleteLogin()
{
    LoadUserSettings();
    const StakeholderEntry* user = lookups_.FindStakeholder(loggedInId_);
    check::abort_if(user == nullptr, "login error - no such stakeholder");
    currentUserIsAdministrator_ = ::IsAdministrator(*user, lookups_.administratorCount());
    loginComplete_ = true;
    connectionUse_.keepOpenCount = 0;
    fileUnreachable_ = false;
    emit loginCompleted();
}

bool CDefectDoc::LoadUserSettings()
{
    const bool found = ::LoadUserSettings(*this, loggedInId_, userSettings_, selection_);
    if (found && defects_.SaveRecord(true))
        defects_.SelectDefect(userSettings_.LastDefectId);
    RestartTimers();
    return found;
}

bool CDefectDoc::SaveUserSettings()
{
    if (!loginComplete_)
        return true;
    return ::SaveUserSettings(*this, ui_, clock_, loggedInId_, selection_, userSettings_);
}

void CDefectDoc::ChangePassword()
{
    ::ChangePassword(ui_, *this, lookups_, loggedInId_);
}

void CDefectDoc::EditLookupLists()
{
    ErrorContext context("editing the lookup lists");
    {
        // The editor's rowset lives on the connection; the auto-close must not take it away.
        ConnectionUse use(connectionUse_, false, true);
        engine::Connection& connection = GetDocumentConnection(RetryMode::Offline);
        lookups_.LoadLookups(false);
        const StakeholderEntry* user = loggedIn_ ? lookups_.FindStakeholder(loggedInId_) : nullptr;
        const bool administrator = lookups_.administratorCount() == 0 ||
            (user != nullptr && ::IsAdministrator(*user, lookups_.administratorCount()));
        SetupListsEditor editor(ui_, connection, administrator, loggedIn_ ? loggedInId_ : 0);
        editor.ShowPage(setup_lists::kUsersPage);
        ui_.RunListEditorDialog(editor);
    }
    lookups_.LoadLookups(true);
    emit lookupListsEdited();
}

QString CDefectDoc::CurrentUserName() const
{
    if (!loggedIn_)
        return QString();
    const StakeholderEntry* user = lookups_.FindStakeholder(loggedInId_);
    // The same fallbacks as every other place that names a stakeholder, so the list's From
    // cells and the delete rights compare equal texts.
    return user != nullptr ? StakeholderDisplayName(*user) : QString();
}

bool CDefectDoc::CanCloseDocument()
{
    try {
        return CanCloseReachableDocument();
    } catch (const database_unavailable&) {
        // The user gave up waiting for the file; quitting must stay possible without losing edits.
        fileUnreachable_ = true;
        KeepUnsavedEdits();
        return true;
    }
}

bool CDefectDoc::CanCloseReachableDocument()
{
    if (viewChanges_ != nullptr && !viewChanges_->QuerySaveView())
        return false;
    if (!SaveUserSettings())
        return false;
    return defects_.SaveRecord(true);
}

void CDefectDoc::OnCloseDocument()
{
    // A close that nobody asked about (after a failure) must not lose the current defect's edits.
    KeepUnsavedEdits();
    if (loginComplete_ && !fileUnreachable_) {
        try {
            // The maintenance check loads the system settings, giving a database that lacks their row one.
            database_.NeedsCompacting();
        } catch (const database_unavailable&) {
            // Nothing to check on a file that cannot be reached; the close goes on.
        }
    }
    GoOffline();
    defects_.CloseRowset();
    defects_.SetCurrentDefectId(0);
    connectionUse_.useCount = 0;
    loggedIn_ = false;
    path_ = QString::fromLatin1(kDefaultPath);
    selection_ = SessionSelection{};
    timers_.Clear();
    knownUnread_.Forget();
    emit closed();
}

void CDefectDoc::StopWaitingForFile()
{
    timers_.Clear();
    database_.StopWaitingForFile();
}

void CDefectDoc::KeepUnsavedEdits()
{
    DefectForm* form = defects_.Form();
    if (form == nullptr || !form->isModified())
        return;
    RecoveredEdits edits;
    edits.databasePath = database_.DatabaseFileName();
    edits.userId = loggedInId_;
    // The record as last read from the file, so that the next login can tell whether anybody
    // changed the defect since; the edits as the user left them, without asking anything.
    edits.original = form->asLoaded();
    edits.edited = form->asEdited();
    edits.edited.Defect_ID = edits.original.Defect_ID;
    edits.keptAt = clock_.Now();
    const QString file = NewKeptEditsFile(edits.databasePath, loggedInId_);
    if (!KeepEdits(file, edits)) {
        ShowTextMessage(ui_,
                        QStringLiteral("Your changes to defect %1 could not be saved to the database, and they "
                                       "could not be kept in %2 either. They are lost.")
                            .arg(edits.original.Defect_ID)
                            .arg(file),
                        Buttons::Ok, Icon::Error);
        return;
    }
    form->clearModified();
    ShowTextMessage(ui_,
                    QStringLiteral("The database %1 cannot be reached, so your changes to defect %2 were not "
                                   "saved there. They were kept in\n%3\nand will be offered again the next "
                                   "time you open this database.")
                        .arg(edits.databasePath)
                        .arg(edits.original.Defect_ID)
                        .arg(file),
                    Buttons::Ok, Icon::Warning);
}

void CDefectDoc::OfferKeptEdits()
{
    // Edits belong to the user who made them; another user's login leaves them for that user.
    for (const QString& file : KeptEditsFiles(database_.DatabaseFileName(), loggedInId_))
        OfferKeptEdits(file);
}

void CDefectDoc::OfferKeptEdits(const QString& file)
{
    const std::optional<RecoveredEdits> edits = ReadKeptEdits(file);
    if (!edits)
        return;
    const Answer answer =
        ShowTextMessage(ui_,
                        QStringLiteral("Your changes to defect %1 could not be saved on %2 because the database could "
                                       "not be reached. Apply them now?\n\nYes applies them, No throws them away, "
                                       "Cancel keeps them for later.")
                            .arg(edits->original.Defect_ID)
                            .arg(QLocale::system().toString(edits->keptAt, QLocale::ShortFormat)),
                        Buttons::YesNoCancel, Icon::Question);
    if (answer == Answer::No)
        QFile::remove(file);
    else if (answer == Answer::Yes)
        ApplyKeptEdits(*edits, file);
}

void CDefectDoc::ApplyKeptEdits(const RecoveredEdits& edits, const QString& file)
{
    switch (defects_.ApplyKeptEdits(edits)) {
    case KeptEditsResult::Applied:
    case KeptEditsResult::Discarded:
        QFile::remove(file);
        return;
    case KeptEditsResult::KeptForLater:
        return;
    case KeptEditsResult::Unreadable:
        break;
    }
    ShowTextMessage(ui_,
                    QStringLiteral("Defect %1 could not be read or written, so your changes were not applied. They "
                                   "stay in %2.")
                        .arg(edits.original.Defect_ID)
                        .arg(file),
                    Buttons::Ok, Icon::Warning);
}
