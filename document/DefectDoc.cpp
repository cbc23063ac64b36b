#include "document/DefectDoc.h"

#include "app/base/Check.h"
#include "app/base/UserInterface.h"
#include "document/ChangePassword.h"
#include "document/DefectDeletion.h"
#include "document/DefectForm.h"
#include "document/DefectTemplates.h"
#include "document/History.h"
#include "document/Login.h"
#include "platform/UserName.h"
#include "app/base/StringTable.h"
#include "store/DatabaseAdministration.h"

namespace {

constexpr int kSaveViewQuestion = 136;

} // namespace

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
    ConnectDefectSeams();
}

CDefectDoc::~CDefectDoc() = default;

void CDefectDoc::ConnectDefectSeams()
{
    seams_.saveCurrentDefect = [this] { return defects_.SaveRecord(true); };
    seams_.selectDefect = [this](std::int32_t defectId) {
        if (defects_.SaveRecord(true))
            defects_.SelectDefect(defectId);
    };
    seams_.releaseRecord = [this] { defects_.CloseRowset(); };
}

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
    DeleteSelectedDefects(*this, defects_, list);
}

void CDefectDoc::AddHistoryEntry(DefectRecord& record, std::int32_t statusId, const QString& comment)
{
    ::AddHistoryEntry(record.History, lookups_.statuses(), lookups_.stakeholders(), statusId, loggedInId_, comment,
                      clock_.Now().date());
}

void CDefectDoc::AddKnownUnread(std::int32_t defectId, double modified)
{
    CallSeam(seams_.addKnownUnread, defectId, modified);
}

void CDefectDoc::SendNotification(const DefectRecord& record)
{
    CallSeam(seams_.sendNotification, record);
}

void CDefectDoc::BringMainWindowToFront()
{
    CallSeam(seams_.bringMainWindowToFront);
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
        CallSeam(seams_.pauseTimers);
    engine::Connection* connection = nullptr;
    try {
        connection = &database_.GetDataConnection(mode);
    } catch (...) {
        if (loggedIn_)
            CallSeam(seams_.resumeTimers);
        throw;
    }
    if (!wasConnected) {
        lookups_.ForgetLoadTime();
        if (loggedIn_)
            CallSeam(seams_.resumeTimers);
    }
    if (connectionUse_.useCount == 0 && loggedIn_)
        CallSeam(seams_.restartAutoClose);
    return *connection;
}

void CDefectDoc::GoOffline()
{
    if (!database_.connected())
        return;
    database_.CloseDataConnection();
    lookups_.ForgetLoadTime();
    CallSeam(seams_.releaseRecord);
}

bool CDefectDoc::Login()
{
    LoginEnvironment environment{ui_, lookups_, operatingSystemUser_, seams_.runListEditor};
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
    ui_.NotifyLoginCompleted();
    return true;
}

bool CDefectDoc::LoadUserSettings()
{
    const bool found = ::LoadUserSettings(*this, loggedInId_, userSettings_, selection_);
    if (found)
        CallSeam(seams_.selectDefect, userSettings_.LastDefectId);
    CallSeam(seams_.startTimers);
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
    if (seams_.viewHasUnsavedChanges && seams_.viewHasUnsavedChanges()) {
        const Answer answer = ShowStringMessage(ui_, kSaveViewQuestion, Buttons::YesNoCancel, Icon::Question);
        if (answer == Answer::Cancel)
            return false;
        if (answer == Answer::Yes)
            CallSeam(seams_.saveView);
    }
    if (!SaveUserSettings())
        return false;
    return !seams_.saveCurrentDefect || seams_.saveCurrentDefect();
}

void CDefectDoc::OnCloseDocument()
{
    if (loginComplete_) {
        // The maintenance check loads the system settings, giving a database that lacks their row one.
        database_.NeedsCompacting();
        GoOffline();
    }
    CallSeam(seams_.clearTimers);
    defects_.CloseRowset();
    defects_.SetCurrentDefectId(0);
    CallSeam(seams_.forgetOnClose);
    connectionUse_.useCount = 0;
    loggedIn_ = false;
    path_ = QString::fromLatin1(kDefaultPath);
    selection_ = SessionSelection{};
}
