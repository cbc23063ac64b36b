#pragma once
// What the defect record's operations need from the document that composes them. The
// document implements it; tests implement it with doubles.

#include "document/ConnectionProvider.h"
#include "store/LookupEntries.h"

#include <QString>

#include <cstdint>
#include <vector>

class Clock;
class UserInterface;
struct DefectRecord;
enum class LookupList;

class DefectContext : public ConnectionProvider {
public:
    // The port for every message and dialog.
    virtual UserInterface& Ui() = 0;
    // The time that stamps Modified, Opened and lastread.
    virtual const Clock& Time() const = 0;
    // The logged-in stakeholder's id.
    virtual std::int32_t LoggedInId() const = 0;
    // True when the logged-in stakeholder is an administrator.
    virtual bool IsAdministrator() const = 0;
    // The logged-in stakeholder's display name, as the list's From column shows it.
    virtual QString LoggedInDisplayName() const = 0;
    // The name of a lookup list's entry, for texts that show a record to the user.
    virtual QString LookupName(LookupList list, std::int32_t id) const = 0;
    // The status transitions in sys_sortorder order.
    virtual const std::vector<StatusTransition>& StatusTransitions() const = 0;
    // Appends one history line for `statusId` with `comment` to the record (in memory only).
    virtual void AddHistoryEntry(DefectRecord& record, std::int32_t statusId, const QString& comment) = 0;
    // The user's last chosen template id, and setting it.
    virtual std::int32_t LastTemplateId() const = 0;
    virtual void SetLastTemplateId(std::int32_t id) = 0;
    // Events of the record's operations; the document announces them to its listeners.
    // A defect was written: the list shows it, unread tracking knows it is one's own change,
    // the notification mail goes out.
    virtual void DefectSaved(const DefectRecord& record) = 0;
    // Only the defect's read state was written: the list shows it; unread again, the defect is
    // no news to its own reader. No mail, no history.
    virtual void ReadStateChanged(const DefectRecord& record) = 0;
    // A new defect was made from a template: the main window comes to the front.
    virtual void DefectCreated(std::int32_t defectId) = 0;
    // Another defect became the current one (0 or -1: none).
    virtual void CurrentDefectChanged(std::int32_t defectId) = 0;
    // The selected defects were deleted: the list drops their rows and makes `nextCurrentId`
    // current (-1: none).
    virtual void DefectsDeleted(const std::vector<std::int32_t>& defectIds, std::int32_t nextCurrentId) = 0;
    // The database file's path, the base of the attachment directories.
    virtual QString DatabasePath() const = 0;
};

// The defect list as the record's operations see it; rows are identified by their defect id.
// What the list does after a save or a deletion it learns from the document's signals.
class DefectListSeam {
public:
    struct Row {
        std::int32_t defectId = 0;
        QString fromText; // the From cell: the author's display name
        bool selected = false;
    };

    virtual ~DefectListSeam() = default;
    // Every row in list order.
    virtual std::vector<Row> Rows() const = 0;
    // Adds a row for a new defect.
    virtual void AddRow(const DefectRecord& record) = 0;
    // Makes the defect current (-1: none): clears the selection, selects and shows its row, loads it.
    virtual void SelectDefect(std::int32_t defectId) = 0;
};
