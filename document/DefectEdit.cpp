// Loading, changing and saving a defect without a window, through the document's own save.

#include "document/DefectEdit.h"

#include "base/StringTable.h"
#include "document/DefectDoc.h"
#include "document/ShellStringIds.h"
#include "document/StatusChange.h"
#include "document/StatusTransitionModel.h"
#include "platform/OleDate.h"

#include <QLocale>
#include <QStringList>

bool HeadlessForm::takeValues(DefectRecord& record)
{
    const std::int32_t key = record.Defect_ID;
    record = working_;
    record.Defect_ID = key;
    return true;
}

DefectRecord HeadlessForm::asEdited()
{
    DefectRecord edited = working_;
    edited.Defect_ID = loaded_.Defect_ID;
    return edited;
}

void HeadlessForm::showValues(const DefectRecord& record)
{
    loaded_ = record;
    working_ = record;
    modified_ = false;
}

void HeadlessForm::showEdits(const DefectRecord& loaded, const DefectRecord& edited)
{
    loaded_ = loaded;
    working_ = edited;
    modified_ = true;
}

void HeadlessForm::setLastRead(double lastread)
{
    loaded_.lastread = lastread;
    working_.lastread = lastread;
}

DefectRecord& HeadlessForm::Edit()
{
    modified_ = true;
    return working_;
}

DefectEditor::DefectEditor(CDefectDoc& doc) : doc_(doc)
{
    doc_.RegisterForm(&form_);
}

DefectEditor::~DefectEditor()
{
    doc_.RegisterForm(nullptr);
}

bool DefectEditor::Load(std::int32_t defectId)
{
    DefectPersistence& defects = doc_.defects();
    defects.SelectDefect(defectId);
    return defects.RecordLoaded() && defects.CurrentDefectId() == defectId && form_.asLoaded().Defect_ID == defectId;
}

EditOutcome DefectEditor::Outcome(EditOutcome::Result result, const QString& message) const
{
    EditOutcome outcome;
    outcome.result = result;
    outcome.message = message;
    outcome.defectId = form_.asLoaded().Defect_ID;
    return outcome;
}

EditOutcome DefectEditor::ChangeStatus(std::int32_t status, const QString& comment)
{
    const LookupLists& lookups = doc_.lookups();
    const std::int32_t from = form_.working().StatusID;
    const QByteArray fromName = lookups.LookupName(LookupList::Status, from).toUtf8();
    const QByteArray toName = lookups.LookupName(LookupList::Status, status).toUtf8();
    if (lookups.FindStatus(status) == nullptr)
        return Outcome(EditOutcome::Result::Refused, FormatString(string_id::kNoSuchStatus, toName.constData()));

    // The dialog's own model decides which statuses the workflow offers; a file without a
    // workflow offers every status, as the dialog's "show all" does.
    StatusTransitionModel model(lookups.statuses(), lookups.transitions(), from, doc_.Ui());
    if (lookups.transitions().empty())
        model.SetShowAll(true);
    int index = -1;
    QStringList offered;
    for (std::size_t i = 0; i < model.Items().size(); ++i) {
        if (model.Items()[i].data == status)
            index = static_cast<int>(i);
        offered << lookups.LookupName(LookupList::Status, model.Items()[i].data);
    }
    if (index < 0) {
        const QString allowed = offered.isEmpty() ? LoadString(string_id::kNoStatusAllowed) : offered.join(", ");
        return Outcome(EditOutcome::Result::Refused,
                       FormatString(string_id::kTransitionNotAllowed, fromName.constData(), toName.constData(),
                                    fromName.constData(), allowed.toUtf8().constData()));
    }
    // The dialog lets its user go on without the words the workflow asks for; a command has
    // nobody to ask, so the rule holds.
    for (const StatusTransition& transition : lookups.transitions()) {
        if (transition.fromStatus == from && transition.toStatus == status &&
            CountCommentWords(comment) < transition.commentWordsRequired)
            return Outcome(EditOutcome::Result::Refused,
                           FormatString(string_id::kCommentTooShort, transition.commentWordsRequired,
                                        fromName.constData(), toName.constData()));
    }
    model.Select(index);
    model.SetComment(comment);
    if (!model.Accept())
        return Outcome(EditOutcome::Result::Refused, QString());
    ApplyStatusChange(doc_, form_.Edit(), model.CurrentStatus(), comment);
    return Outcome(EditOutcome::Result::Saved, QString());
}

void DefectEditor::AddComment(const QString& comment)
{
    DefectRecord& record = form_.Edit();
    doc_.AddHistoryEntry(record, record.StatusID, comment);
}

EditOutcome DefectEditor::Save()
{
    const DefectRecord read = form_.asLoaded();
    if (doc_.SaveCurrentRecord() && !form_.isModified())
        return Outcome(EditOutcome::Result::Saved, QString());

    // Nothing was written. Whether somebody else's save is the reason, the defect as stored tells.
    const std::optional<DefectRecord> stored = doc_.defects().ReadDefect(read.Defect_ID);
    if (!stored)
        return Outcome(EditOutcome::Result::Failed, FormatString(string_id::kDefectNotWritten, read.Defect_ID));
    DefectRecord storedRead = *stored;
    // Marking read is the addressee's own business and no change of the defect.
    storedRead.lastread = read.lastread;
    if (storedRead == read)
        return Outcome(EditOutcome::Result::Failed, FormatString(string_id::kDefectNotWritten, read.Defect_ID));
    const QString when = QLocale().toString(DateTimeFromOleDate(stored->Modified), QLocale::ShortFormat);
    return Outcome(EditOutcome::Result::ChangedMeanwhile,
                   FormatString(string_id::kChangedMeanwhile, read.Defect_ID,
                                ChangedByName(*stored, read).toUtf8().constData(), when.toUtf8().constData()));
}

EditOutcome DefectEditor::Add(const DefectRecord& fields)
{
    DefectPersistence& defects = doc_.defects();
    const std::int32_t before = defects.CurrentDefectId();
    defects.InsertDefect(fields);
    const std::int32_t id = defects.CurrentDefectId();
    if (id == before || !defects.RecordLoaded() || form_.asLoaded().Defect_ID != id)
        return Outcome(EditOutcome::Result::Failed, LoadString(string_id::kNewDefectNotStored));
    // The window's user edits the new defect and saves it: that save writes the first history
    // line, makes it unread for its addressee and sends the notification.
    form_.Edit();
    return Save();
}
