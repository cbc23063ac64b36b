#include "document/DefectPersistence.h"

#include "base/ErrorContext.h"
#include "base/ErrorReport.h"
#include "base/UserInterface.h"
#include "document/DefectForm.h"
#include "engine/EngineStatus.h"
#include "platform/OleDate.h"

namespace {

constexpr int kConcurrentChange = 126;
constexpr int kInsertQuestionEvery = 500;

} // namespace

long InsertRetryingKeyCollisions(const std::function<long()>& insert, const std::function<bool()>& keepTrying)
{
    long status = insert();
    // Another workstation may take the same key at the same moment; trying again gets the next one.
    for (int failures = 1; status == engine::kIntegrityViolation; ++failures) {
        if (failures % kInsertQuestionEvery == 0 && !keepTrying())
            break;
        status = insert();
    }
    return status;
}

long DefectPersistence::LoadDefect(std::int32_t id, bool force)
{
    engine::Connection& connection = context_.GetDocumentConnection(RetryMode::Offline);
    engine::UpdatableRowset fresh;
    const long status = fresh.Open(connection, DefectRecord::SelectByIdText(), {std::int64_t{id}},
                                   QStringLiteral("defectlist"), QStringLiteral("Defect_ID"));
    if (engine::Failed(status))
        // Nothing changes: the record, whether it is loaded and the form's edits stay, so the
        // next save either writes the edits or says that it could not.
        return status;
    rowset_ = std::move(fresh);
    const bool found = rowset_.MoveFirst() == engine::kOk;
    record_ = found ? DefectRecord::FromRow(rowset_) : DefectRecord{};
    ShowLoadedRecord(force);
    loaded_ = found;
    if (form_ != nullptr)
        form_->setEnabled(loaded_);
    return status;
}

void DefectPersistence::ShowLoadedRecord(bool force)
{
    if (form_ == nullptr)
        return;
    if (force || !form_->isModified()) {
        form_->showValues(record_);
        return;
    }
    if (record_ == form_->workingCopy())
        return; // nobody else changed it: the user's edits stay
    ShowStringMessage(context_.Ui(), kConcurrentChange, Buttons::Ok, Icon::Warning);
    form_->showValues(record_);
}

long DefectPersistence::ReloadCurrentDefect()
{
    return form_ != nullptr ? LoadDefect(currentDefectId_, false) : engine::kOk;
}

void DefectPersistence::SelectDefect(std::int32_t id)
{
    // A defect that cannot be read does not become current; the shown one stays.
    if (!engine::Failed(LoadDefect(id, false)))
        SetCurrentDefectId(id);
}

std::optional<DefectRecord> DefectPersistence::ReadDefect(std::int32_t id)
{
    engine::Rowset rows;
    if (engine::Failed(context_.GetDocumentConnection(RetryMode::Offline)
                           .Query(DefectRecord::SelectByIdText(), {std::int64_t{id}}, rows)) ||
        rows.MoveFirst() != engine::kOk)
        return std::nullopt;
    return DefectRecord::FromRow(rows);
}

void DefectPersistence::SetCurrentDefectId(std::int32_t id)
{
    if (id == currentDefectId_)
        return;
    currentDefectId_ = id;
    context_.CurrentDefectChanged(id);
}

bool DefectPersistence::SaveRecord(bool interactive)
{
    ErrorContext label("Saving record");
    if (form_ == nullptr)
        return true;
    if (!loaded_) {
        // Edits made while offline meet the concurrency check of the reload here.
        const long status = ReloadCurrentDefect();
        if (!loaded_)
            return !form_->isModified() || GoOnAfterFailedWrite(status, interactive);
    }
    if (!form_->isModified())
        return true;

    DefectRecord taken = record_;
    if (form_->takeValues(taken)) {
        taken.Defect_ID = record_.Defect_ID;
        record_ = taken;
    }
    return WriteRecord(interactive);
}

ReadStateResult DefectPersistence::WriteReadState(bool read)
{
    ErrorContext label(read ? "Marking as read" : "Marking as unread");
    // Offline the record was set aside; reading it again also sees another workstation's change.
    if (!loaded_)
        ReloadCurrentDefect();
    if (!loaded_)
        return ReadStateResult::Failed;
    if ((record_.lastread != 0) == read)
        return ReadStateResult::Unchanged;
    const double lastread = read ? context_.Time().OleNow() : 0;
    // The update still names every value as it was read, so a change by another user is noticed.
    const long status = rowset_.SetData(DefectRecord::LastReadValues(lastread));
    if (status == engine::kConcurrencyViolation)
        return ReadStateResult::ChangedSince;
    if (engine::Failed(status)) {
        ShowOleDbErrors(context_.Ui(), status, rowset_.TakeErrorRecords());
        return ReadStateResult::Failed;
    }
    record_.lastread = lastread;
    if (form_ != nullptr)
        form_->setLastRead(lastread);
    context_.ReadStateChanged(record_);
    return ReadStateResult::Written;
}

KeptEditsResult DefectPersistence::ApplyKeptEdits(const DefectRecord& original, const DefectRecord& edited)
{
    ErrorContext label("Applying kept edits");
    SelectDefect(original.Defect_ID);
    if (!loaded_ || currentDefectId_ != original.Defect_ID)
        return KeptEditsResult::Unreadable;
    // Somebody else's later change must not be overwritten by edits made before it.
    if (!(record_ == original))
        return KeptEditsResult::ChangedSince;
    record_ = edited;
    record_.Defect_ID = original.Defect_ID;
    bool stored = false;
    WriteRecord(true, &stored);
    return stored ? KeptEditsResult::Applied : KeptEditsResult::Unreadable;
}

bool DefectPersistence::WriteRecord(bool interactive, bool* stored)
{
    if (record_.ToID != context_.LoggedInId())
        record_.lastread = 0;
    record_.Modified = context_.Time().OleNow();
    if (record_.History.isEmpty())
        context_.AddHistoryEntry(record_, record_.StatusID, QString());
    record_.FitTexts();

    const long status = rowset_.SetData(record_.ToRowValues());
    if (status == engine::kConcurrencyViolation) {
        if (interactive &&
            ShowStringMessage(context_.Ui(), kConcurrentChange, Buttons::OkCancel, Icon::Warning) != Answer::Ok)
            return false;
        LoadDefect(record_.Defect_ID, true);
        return true;
    }
    if (engine::Failed(status))
        return GoOnAfterFailedWrite(status, interactive);

    if (stored != nullptr)
        *stored = true;
    if (form_ != nullptr)
        form_->showValues(record_);
    if (NotifiesOnSave(record_)) {
        // A listener sends the notification mail, which takes a moment.
        WaitCursor wait(context_.Ui());
        context_.DefectSaved(record_);
    } else {
        context_.DefectSaved(record_);
    }
    return true;
}

void DefectPersistence::InsertDefect(const DefectRecord& templateRecord)
{
    // The insert goes through the record's rowset, which must be open on the live connection.
    LoadDefect(currentDefectId_, false);

    const double now = context_.Time().OleNow();
    record_ = templateRecord;
    const auto& transitions = context_.StatusTransitions();
    record_.StatusID = transitions.empty() ? reserved::kStatusNew : transitions.front().fromStatus;
    record_.FromID = context_.LoggedInId();
    record_.Defect_ID = 0;
    record_.Opened = now;
    record_.Modified = now;
    record_.lastread = now;
    record_.History.clear();
    record_.Closed = 0;
    if (form_ != nullptr) {
        form_->showValues(record_);
        DefectRecord taken = record_;
        if (form_->takeValues(taken)) {
            taken.Defect_ID = 0;
            record_ = taken;
        }
        form_->clearModified();
    }
    record_.FitTexts();

    UserInterface& ui = context_.Ui();
    if (!rowset_.IsOpen()) {
        InsertFailed();
        return;
    }
    const engine::RowValues values = record_.ToRowValues();
    const long status = InsertRetryingKeyCollisions(
        [&] { return rowset_.Insert(values); },
        [&] {
            return ShowTextMessage(ui,
                                   QStringLiteral("Tried 500 inserts but all failed. Do you want to keep on trying?"),
                                   Buttons::YesNo, Icon::Question) == Answer::Yes;
        });
    if (engine::Failed(status)) {
        InsertFailed();
        return;
    }
    record_.Defect_ID = static_cast<std::int32_t>(rowset_.LastInsertId());

    if (list_ != nullptr) {
        list_->AddRow(record_);
        list_->SelectDefect(record_.Defect_ID);
    } else {
        SelectDefect(record_.Defect_ID);
    }
}

bool DefectPersistence::GoOnAfterFailedWrite(long status, bool interactive)
{
    // Without a question nobody chose to drop the edits, so the caller must not go on.
    return interactive && ShowOleDbErrors(context_.Ui(), status, rowset_.TakeErrorRecords()) == Answer::Yes;
}

void DefectPersistence::InsertFailed()
{
    ShowTextMessage(context_.Ui(), QStringLiteral("Insert failed."), Buttons::Ok, Icon::Error);
    // The record holds the defect that was never stored while the rowset still stands on the
    // current defect's row; a save now would write the new values over that defect.
    LoadDefect(currentDefectId_, true);
}

void DefectPersistence::CloseRowset()
{
    rowset_.Close();
    loaded_ = false;
}
