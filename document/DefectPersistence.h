#pragma once
// The current defect: reading it by id into the form, saving it with optimistic concurrency
// and inserting new defects. Several workstations write the same rows; the rowset notices
// when a row changed since it was read, and the user decides whose values win.

#include "document/DefectContext.h"
#include "document/DefectRecord.h"
#include "engine/UpdatableRowset.h"

#include <cstdint>
#include <functional>

class DefectForm;

enum class KeptEditsResult { Applied, ChangedSince, Unreadable };

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
    // the stored defect changed under them (string 126) or `force` is set. Returns the status
    // of opening the statement.
    long LoadDefect(std::int32_t id, bool force);
    // LoadDefect of the current defect, not forced, when a form exists; its status.
    long ReloadCurrentDefect();
    // Loads `id` and makes it the current defect; a defect that cannot be read leaves all as it was.
    void SelectDefect(std::int32_t id);

    // Writes the form's edits. True when the caller may go on: saved, nothing to save, or
    // the user chose to discard the edits; never true while edits were left unwritten unasked.
    bool SaveRecord(bool interactive);

    // Writes edits kept from an earlier session when the defect is still as they found it.
    KeptEditsResult ApplyKeptEdits(const DefectRecord& original, const DefectRecord& edited);

    // Adds a defect made from `templateRecord` and makes it current.
    void InsertDefect(const DefectRecord& templateRecord);

    // The connection is going away: the record stays in memory but is no longer loaded.
    void CloseRowset();

private:
    void ShowLoadedRecord(bool force);
    void InsertFailed();
    bool GoOnAfterFailedWrite(long status, bool interactive);
    // The defect as the file holds it now; an empty record when it cannot be read.
    DefectRecord StoredRecord();
    // Asks before a defect is saved without an addressee; false when the user goes back to it.
    bool ConfirmAddressee(const DefectRecord& taken);
    // Stamps and writes the record into its row, then announces the save; `stored` tells whether
    // the row now holds the record (the result only whether the caller may go on).
    bool WriteRecord(bool interactive, bool* stored = nullptr);

    DefectContext& context_;
    DefectForm* form_ = nullptr;
    DefectListSeam* list_ = nullptr;
    engine::UpdatableRowset rowset_;
    DefectRecord record_;
    std::int32_t currentDefectId_ = 0;
    bool loaded_ = false;
    std::int32_t addresseeConfirmedFor_ = -1; // the defect the user chose to save to nobody
};
