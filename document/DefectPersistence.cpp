// Reading, saving and inserting the current defect, with the concurrency check and the user's say on conflicts.

#include "document/DefectPersistence.h"

#include "base/ErrorContext.h"
#include "base/ErrorReport.h"
#include "base/StringTable.h"
#include "base/UserInterface.h"
#include "document/DefectForm.h"
#include "document/DocumentStringIds.h"
#include "document/EditConflict.h"
#include "document/EditRecovery.h"
#include "engine/EngineStatus.h"
#include "platform/OleDate.h"
#include "store/LookupEntries.h"

#include <QLocale>
#include <QRegularExpression>

#include <QLocale>

#include <optional>

namespace {

constexpr int kConcurrentChange = 126;
constexpr int kNoAddresseeQuestion = 40240;
constexpr int kInsertQuestionEvery = 500;

// Question 126 naming who changed the defect and when.
QString ConcurrentChangeText(const DefectRecord& stored, const DefectRecord& mine)
{
    const QString who = ChangedByName(stored, mine);
    QString text = LoadString(kConcurrentChange).replace(QLatin1String("%s"), who);
    if (stored.Modified != 0)
        text.replace(QLatin1String(" while you were editing it."),
                     QStringLiteral(" at %1 while you were editing it.")
                         .arg(QLocale().toString(DateTimeFromOleDate(stored.Modified), QLocale::ShortFormat)));
    return text;
}

} // namespace

QString ChangedByName(const DefectRecord& stored, const DefectRecord& mine)
{
    QString who = QStringLiteral("Another user");
    qsizetype common = 0;
    while (common < stored.History.size() && common < mine.History.size() &&
           stored.History[common] == mine.History[common])
        ++common;
    // Whole lines only: the entries the other change added.
    const qsizetype lineStart = common == 0 ? 0 : stored.History.lastIndexOf(QLatin1Char('\n'), common - 1) + 1;
    const QString added = stored.History.mid(lineStart);
    // An entry reads "date<tab>status (user)<tab>comment".
    static const QRegularExpression entryUser(QStringLiteral("\\(([^()\t\n]+)\\)\t"));
    QRegularExpressionMatchIterator matches = entryUser.globalMatch(added);
    while (matches.hasNext())
        who = matches.next().captured(1).trimmed();
    return who;
}

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
    // The read state is the addressee's own business: that they marked the defect read or unread
    // since it was loaded here does not make a save here a conflict.
    fresh.SetUncomparedColumns({QStringLiteral("lastread")});
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
        ShowInForm(record_);
        return;
    }
    const DefectRecord& loaded = form_->asLoaded();
    if (record_ == loaded)
        return; // nobody else changed it: the user's edits stay
    if (saveFailed_ && record_.Defect_ID != 0 && record_.Defect_ID == loaded.Defect_ID) {
        KeepEditsOrTakeStored();
        return;
    }
    ShowTextMessage(context_.Ui(), ConcurrentChangeText(record_, loaded), Buttons::Ok, Icon::Warning,
                    kConcurrentChange);
    ShowInForm(record_);
}

void DefectPersistence::ShowInForm(const DefectRecord& record)
{
    saveFailed_ = false;
    if (form_ != nullptr)
        form_->showValues(record);
}

void DefectPersistence::KeepEditsOrTakeStored()
{
    const DefectRecord merged = MergeEdits(form_->asLoaded(), form_->asEdited(), record_);
    if (SameContent(merged, record_)) {
        // The file already holds everything the user changed.
        ShowInForm(record_);
        return;
    }
    const QString text = FormatString(string_id::kKeepEditsQuestion, static_cast<int>(record_.Defect_ID),
                                      Differences(record_, merged).toUtf8().constData());
    if (ShowTextMessage(context_.Ui(), text, Buttons::YesNo, Icon::Warning, string_id::kKeepEditsQuestion) ==
        Answer::Yes)
        form_->showEdits(record_, merged);
    else
        ShowInForm(record_);
}

QString DefectPersistence::Differences(const DefectRecord& stored, const DefectRecord& edited) const
{
    return DescribeDifferences(stored, edited,
                               [this](LookupList list, std::int32_t id) { return context_.LookupName(list, id); });
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
        if (!loaded_) {
            if (!form_->isModified())
                return true;
            saveFailed_ = true;
            return GoOnAfterFailedWrite(status, interactive);
        }
    }
    if (!form_->isModified())
        return true;

    DefectRecord taken = record_;
    if (form_->takeValues(taken)) {
        if (interactive && !ConfirmAddressee(taken))
            return false;
        taken.Defect_ID = record_.Defect_ID;
    }
    return WriteRecord(taken, interactive);
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

DefectRecord DefectPersistence::StoredRecord()
{
    engine::UpdatableRowset fresh;
    const long status =
        fresh.Open(context_.GetDocumentConnection(RetryMode::Offline), DefectRecord::SelectByIdText(),
                   {std::int64_t{record_.Defect_ID}}, QStringLiteral("defectlist"), QStringLiteral("Defect_ID"));
    if (engine::Failed(status) || fresh.MoveFirst() != engine::kOk)
        return {};
    return DefectRecord::FromRow(fresh);
}

bool DefectPersistence::ConfirmAddressee(const DefectRecord& taken)
{
    // A defect addressed to nobody reaches nobody's unread list and sends no mail; that is
    // rarely meant, so the user says so once per defect.
    const bool template_or_draft =
        taken.StatusID == reserved::kStatusTemplate || taken.StatusID == reserved::kStatusDraft;
    if (taken.ToID != reserved::kNobody || template_or_draft || addresseeConfirmedFor_ == record_.Defect_ID)
        return true;
    if (ShowStringMessage(context_.Ui(), kNoAddresseeQuestion, Buttons::YesNo, Icon::Question) != Answer::Yes)
        return false;
    addresseeConfirmedFor_ = record_.Defect_ID;
    return true;
}

KeptEditsResult DefectPersistence::ApplyKeptEdits(const RecoveredEdits& kept)
{
    ErrorContext label("Applying kept edits");
    const std::int32_t id = kept.original.Defect_ID;
    SelectDefect(id);
    if (!loaded_ || currentDefectId_ != id)
        return KeptEditsResult::Unreadable;
    if (SameContent(record_, kept.edited))
        return KeptEditsResult::Applied; // a save that seemed to fail reached the file after all

    DefectRecord toWrite = kept.edited;
    // Somebody else's later change must not be overwritten by edits made before it unasked. A
    // file that holds the defect exactly as the kept original is safe to write over, even when an
    // older recovery file's original holds the edits of a save that failed.
    if (!(record_ == kept.original)) {
        const std::optional<DefectRecord> base =
            kept.originalAsRead ? std::optional<DefectRecord>(kept.original) : std::nullopt;
        toWrite = MergeEdits(base, kept.edited, record_);
        if (SameContent(toWrite, record_))
            return KeptEditsResult::Applied;
        const int question =
            kept.originalAsRead ? string_id::kKeptEditsChangedSince : string_id::kKeptEditsOfOlderVersion;
        const QString text =
            FormatString(question, static_cast<int>(id),
                         QLocale::system().toString(kept.keptAt, QLocale::ShortFormat).toUtf8().constData(),
                         Differences(record_, toWrite).toUtf8().constData());
        const Answer answer = ShowTextMessage(context_.Ui(), text, Buttons::YesNoCancel, Icon::Question, question);
        if (answer == Answer::No)
            return KeptEditsResult::Discarded;
        if (answer != Answer::Yes)
            return KeptEditsResult::KeptForLater;
    }
    toWrite.Defect_ID = id;
    bool stored = false;
    WriteRecord(toWrite, true, &stored);
    return stored ? KeptEditsResult::Applied : KeptEditsResult::Unreadable;
}

bool DefectPersistence::WriteRecord(DefectRecord record, bool interactive, bool* stored)
{
    if (record.ToID != context_.LoggedInId())
        record.lastread = 0;
    record.Modified = context_.Time().OleNow();
    if (record.History.isEmpty())
        context_.AddHistoryEntry(record, record.StatusID, QString());
    record.FitTexts();
    // The same edits sent again after a failed write keep that write's stamp: its commit may have
    // reached the file all the same, and a row holding exactly this record is then this save's
    // own, not another user's change.
    if (unconfirmed_) {
        DefectRecord again = record;
        again.Modified = unconfirmed_->Modified;
        if (again == *unconfirmed_)
            record = again;
    }

    // Until the row holds the edits, a reload must not take them for discarded.
    saveFailed_ = true;
    const long status = rowset_.SetData(record.ToRowValues());
    unconfirmed_.reset();
    if (status == engine::kConcurrencyViolation) {
        if (interactive &&
            ShowTextMessage(context_.Ui(), ConcurrentChangeText(StoredRecord(), record_), Buttons::OkCancel,
                            Icon::Warning, kConcurrentChange) != Answer::Ok)
            return false;
        LoadDefect(record.Defect_ID, true);
        return true;
    }
    if (engine::Failed(status)) {
        unconfirmed_ = record;
        return GoOnAfterFailedWrite(status, interactive);
    }

    record_ = record;
    if (stored != nullptr)
        *stored = true;
    ShowInForm(record_);
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
        ShowInForm(record_);
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
