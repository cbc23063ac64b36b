#pragma once
// The current defect: reading it by id into the form, saving it with optimistic concurrency
// and inserting new defects. Several workstations write the same rows; the rowset notices
// when a row changed since it was read, and the user decides whose values win.

#include "document/DefectContext.h"
#include "document/DefectRecord.h"
#include "engine/UpdatableRowset.h"

#include <cstdint>
#include <functional>
#include <optional>

class DefectForm;
struct RecoveredEdits;

// Applied: the file holds the edits now. Discarded: the user threw them away. KeptForLater: the
// user wants them offered again. Unreadable: the defect could not be read or written.
enum class KeptEditsResult { Applied, Discarded, KeptForLater, Unreadable };
enum class ReadStateResult { Written, Unchanged, ChangedSince, Failed };

// Who changed `stored` since it was `mine`: the user of the newest history entry the other change
// added (only status changes add entries), else "Another user".
QString ChangedByName(const DefectRecord& stored, const DefectRecord& mine);

// Runs `insert` until it reports anything but a key collision; after every 500 collisions
// `keepTrying` decides whether to go on. Returns the last status.
long InsertRetryingKeyCollisions(const std::function<long()>& insert, const std::function<bool()>& keepTrying);

class DefectPersistence {
public:
    explicit DefectPersistence(DefectContext& context) : context_(context) { }

    // The form registers itself when it is first shown; none when it is gone.
    void SetForm(DefectForm* form) { form_ = form; }
    DefectForm* Form() const { return form_; }
    // The list whose rows follow inserts; none while there is no list. Saves reach it as events.
    void SetList(DefectListSeam* list) { list_ = list; }

    std::int32_t CurrentDefectId() const { return currentDefectId_; }
    void SetCurrentDefectId(std::int32_t id);
    bool RecordLoaded() const { return loaded_; }
    const DefectRecord& Record() const { return record_; }
    DefectRecord& Record() { return record_; }

    // Reads defect `id` into the record and shows it. A modified form keeps its edits unless
    // the stored defect changed under them or `force` is set: after a save that did not store the
    // edits the user chooses between them and the stored defect, otherwise string 126 says that
    // the edits go. Returns the status of opening the statement.
    long LoadDefect(std::int32_t id, bool force);
    // LoadDefect of the current defect, not forced, when a form exists; its status.
    long ReloadCurrentDefect();
    // Loads `id` and makes it the current defect; a defect that cannot be read leaves all as it was.
    void SelectDefect(std::int32_t id);
    // Defect `id` as stored, read without showing it or making it current; none when it cannot
    // be read.
    std::optional<DefectRecord> ReadDefect(std::int32_t id);

    // Writes the form's edits. True when the caller may go on: saved, nothing to save, or
    // the user chose to discard the edits; never true while edits were left unwritten unasked.
    bool SaveRecord(bool interactive);

    // Marks the current defect read (lastread now) or unread (0) in the file and nothing else:
    // Modified, the history and the form's unsaved edits stay, and no mail goes out. A defect
    // already in that state is not written; one that changed since it was read is not marked
    // (ChangedSince), as its reader has not seen the change.
    ReadStateResult WriteReadState(bool read);

    // Writes edits kept from an earlier session when the defect is still as they found it; when
    // another user changed it since, the user sees both versions and chooses.
    KeptEditsResult ApplyKeptEdits(const RecoveredEdits& kept);

    // Adds a defect made from `templateRecord` and makes it current.
    void InsertDefect(const DefectRecord& templateRecord);

    // The connection is going away: the record stays in memory but is no longer loaded.
    void CloseRowset();

private:
    void ShowLoadedRecord(bool force);
    // The form shows `record` as loaded; edits it held are gone.
    void ShowInForm(const DefectRecord& record);
    // The stored defect changed under edits that a save could not store: the user keeps the
    // edits (over the stored defect) or takes the stored defect.
    void KeepEditsOrTakeStored();
    QString Differences(const DefectRecord& stored, const DefectRecord& edited) const;
    void InsertFailed();
    bool GoOnAfterFailedWrite(long status, bool interactive);
    // The defect as the file holds it now; an empty record when it cannot be read.
    DefectRecord StoredRecord();
    // Asks before a defect is saved without an addressee; false when the user goes back to it.
    bool ConfirmAddressee(const DefectRecord& taken);
    // Stamps `record` and writes it into the current row, then announces the save; the record
    // as loaded changes only when the row holds it. `stored` tells whether it does (the result
    // only whether the caller may go on).
    bool WriteRecord(DefectRecord record, bool interactive, bool* stored = nullptr);

    DefectContext& context_;
    DefectForm* form_ = nullptr;
    DefectListSeam* list_ = nullptr;
    engine::UpdatableRowset rowset_;
    DefectRecord record_; // the current defect as last read from or written to the file
    std::int32_t currentDefectId_ = 0;
    bool loaded_ = false;
    std::int32_t addresseeConfirmedFor_ = -1; // the defect the user chose to save to nobody
    // A save did not store the form's edits (it failed, was cancelled or met another user's
    // change); a reload that finds the defect changed then asks instead of discarding them.
    bool saveFailed_ = false;
    // The record as last sent by a write that failed: its commit may have reached the file.
    std::optional<DefectRecord> unconfirmed_;
};
