#include "document/DefectDoc.h"

#include "app/base/Check.h"
#include "app/base/UserInterface.h"
#include "document/ChangePassword.h"
#include "document/DefectDeletion.h"
#include "document/DefectForm.h"
#include "document/DefectTemplates.h"
#include "document/DocumentStringIds.h"
#include "document/History.h"
#include "document/Login.h"
#include "platform/UserName.h"
#include "app/base/StringTable.h"
#include "store/DatabaseAdministration.h"

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
    : ui_(ui),
      clock_(clock),
      administration_(administration),
      database_(ui_, clock_),
      lookups_(*this, clock_),
      operatingSystemUser_(OperatingSystemUserName)
{
    connect(&lookups_, &LookupLists::reloaded, this, &CDefectDoc::lookupListsReloaded);
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
        form->clearModified();
        defects_.ReloadCurrentDefect();
    }
}

bool CDefectDoc::SaveCurrentRecord()
{
    return defects_.SaveRecord(true);
}

void CDefectDoc::DeleteSelectedRecords(DefectListSeam* list)
{
    const std::vector<std::int32_t> deleted = DeleteSelectedDefects(*this, defects_, list);
    if (!deleted.empty())
        emit defectsDeleted(QList<qint32>(deleted.begin(), deleted.end()));
}

void CDefectDoc::AddHistoryEntry(DefectRecord& record, std::int32_t statusId, const QString& comment)
{
    ::AddHistoryEntry(record.History, lookups_.statuses(), lookups_.stakeholders(), statusId, loggedInId_, comment,
                      clock_.Now().date());
}

void CDefectDoc::DefectSaved(const DefectRecord& record)
{
    emit defectSaved(record.Defect_ID, record.Modified, record);
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
    if (!wasConnected && loggedIn_)
        emit connectionWaitStarted();
    engine::Connection* connection = nullptr;
    try {
        connection = &database_.GetDataConnection(mode);
    } catch (...) {
        if (loggedIn_)
            emit connectionWaitEnded();
        throw;
    }
    if (!wasConnected) {
        lookups_.ForgetLoadTime();
        if (loggedIn_)
            emit connectionWaitEnded();
        emit connectionStateChanged(true);
    }
    if (connectionUse_.useCount == 0 && loggedIn_)
        emit connectionRequested();
    return *connection;
}

void CDefectDoc::GoOffline()
{
    if (!database_.connected())
        return;
    database_.CloseDataConnection();
    lookups_.ForgetLoadTime();
    defects_.CloseRowset();
    emit connectionStateChanged(false);
}

bool CDefectDoc::Login()
{
    LoginEnvironment environment{ui_, lookups_, operatingSystemUser_, listEditor_};
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
    LoadUserSettings();
    const StakeholderEntry* user = lookups_.FindStakeholder(loggedInId_);
    check::abort_if(user == nullptr, "login error - no such stakeholder");
    currentUserIsAdministrator_ = ::IsAdministrator(*user, lookups_.administratorCount());
    loginComplete_ = true;
    connectionUse_.keepOpenCount = 0;
    emit loginCompleted();
    return true;
}

bool CDefectDoc::LoadUserSettings()
{
    const bool found = ::LoadUserSettings(*this, loggedInId_, userSettings_, selection_);
    if (found && defects_.SaveRecord(true))
        defects_.SelectDefect(userSettings_.LastDefectId);
    emit userSettingsLoaded();
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
    if (viewChanges_ != nullptr && viewChanges_->HasUnsavedChanges()) {
        const Answer answer = ShowStringMessage(ui_, string_id::kSaveViewQuestion, Buttons::YesNoCancel, Icon::Question);
        if (answer == Answer::Cancel)
            return false;
        if (answer == Answer::Yes)
            viewChanges_->SaveView();
    }
    if (!SaveUserSettings())
        return false;
    return defects_.SaveRecord(true);
}

void CDefectDoc::OnCloseDocument()
{
    if (loginComplete_) {
        // The maintenance check loads the system settings, giving a database that lacks their row one.
        database_.NeedsCompacting();
        GoOffline();
    }
    defects_.CloseRowset();
    defects_.SetCurrentDefectId(0);
    connectionUse_.useCount = 0;
    loggedIn_ = false;
    path_ = QString::fromLatin1(kDefaultPath);
    selection_ = SessionSelection{};
    emit closed();
}
