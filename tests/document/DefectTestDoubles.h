#pragma once
// Doubles for the defect record's tests: a workstation (context with its own connection), a
// form that edits its controls like a user, and a list that records what it was asked.

#include "document/DefectContext.h"
#include "document/DefectForm.h"
#include "document/DefectPersistence.h"
#include "document/DefectRecord.h"
#include "engine/Connection.h"
#include "engine/EngineStatus.h"
#include "platform/OleDate.h"
#include "support/TestDatabase.h"

#include <QString>

#include <functional>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

class FakeDefectList;

class FakeDefectContext : public DefectContext {
public:
    FakeDefectContext(const QString& databasePath, UserInterface& ui) : ui_(ui), path_(databasePath)
    {
        EXPECT_EQ(connection.Open(databasePath), engine::kOk);
    }

    engine::Connection& GetDocumentConnection(RetryMode) override
    {
        ++connectionRequests;
        return connection;
    }
    UserInterface& Ui() override { return ui_; }
    const Clock& Time() const override { return clock; }
    std::int32_t LoggedInId() const override { return loggedInId; }
    bool IsAdministrator() const override { return administrator; }
    QString LoggedInDisplayName() const override { return displayName; }
    QString LookupName(LookupList, std::int32_t id) const override { return QStringLiteral("#%1").arg(id); }
    const std::vector<StatusTransition>& StatusTransitions() const override { return transitions; }
    void AddHistoryEntry(DefectRecord& record, std::int32_t statusId, const QString& comment) override
    {
        record.History += QStringLiteral("line status %1 (%2)\t%3\n").arg(statusId).arg(displayName, comment);
        ++historyCalls;
    }
    std::int32_t LastTemplateId() const override { return lastTemplateId; }
    void SetLastTemplateId(std::int32_t id) override { lastTemplateId = id; }
    // What the document's listeners do with a save: unread tracking, mail, the list.
    void DefectSaved(const DefectRecord& record) override;
    void ReadStateChanged(const DefectRecord& record) override
    {
        readStates.emplace_back(record.Defect_ID, record.lastread);
    }
    void DefectCreated(std::int32_t) override { ++broughtToFront; }
    void CurrentDefectChanged(std::int32_t) override { }
    void DefectsDeleted(const std::vector<std::int32_t>& defectIds, std::int32_t nextCurrentId) override
    {
        deletions.push_back({defectIds, nextCurrentId});
    }
    QString DatabasePath() const override { return path_; }

    engine::Connection connection;
    ManualClock clock;
    std::int32_t loggedInId = 1;
    bool administrator = false;
    QString displayName = QStringLiteral("Ann");
    std::vector<StatusTransition> transitions{{5, 6, 10, 0}, {1, 2, 20, 0}};
    std::int32_t lastTemplateId = 0;
    int historyCalls = 0;
    int connectionRequests = 0;
    int broughtToFront = 0;
    FakeDefectList* list = nullptr;
    std::vector<std::pair<std::int32_t, double>> knownUnread;
    std::vector<std::int32_t> notified;
    // Each announced deletion: the deleted ids and the defect that becomes current.
    struct Deletion {
        std::vector<std::int32_t> defectIds;
        std::int32_t nextCurrentId = 0;
    };
    std::vector<Deletion> deletions;
    std::vector<std::pair<std::int32_t, double>> readStates;

private:
    UserInterface& ui_;
    QString path_;
};

// The controls hold a record; Edit changes them the way the user would and marks the form.
class FakeDefectForm : public DefectForm {
public:
    FakeDefectForm(std::int32_t loggedInId, UserInterface& ui) : loggedInId_(loggedInId), ui_(ui) { }

    void Edit(const std::function<void(DefectRecord&)>& change)
    {
        change(controls);
        modified_ = true;
    }

    bool isModified() const override { return modified_; }
    bool takeValues(DefectRecord& record) override
    {
        DefectRecord taken = controls;
        if (!ApplyTemplateOwnerRule(taken, loggedInId_, ui_))
            return false;
        taken.Defect_ID = record.Defect_ID;
        record = taken;
        return true;
    }
    DefectRecord asEdited() override
    {
        DefectRecord edited = controls;
        edited.Defect_ID = loaded_.Defect_ID;
        return edited;
    }
    void showValues(const DefectRecord& record) override
    {
        controls = record;
        loaded_ = record;
        modified_ = false;
        ++shown;
    }
    void showEdits(const DefectRecord& loaded, const DefectRecord& edited) override
    {
        controls = edited;
        loaded_ = loaded;
        modified_ = true;
    }
    const DefectRecord& asLoaded() const override { return loaded_; }
    void clearModified() override { modified_ = false; }
    void setLastRead(double lastread) override
    {
        controls.lastread = lastread;
        loaded_.lastread = lastread;
    }
    void setEnabled(bool enabled) override { this->enabled = enabled; }

    DefectRecord controls;
    bool enabled = false;
    int shown = 0;

private:
    std::int32_t loggedInId_;
    UserInterface& ui_;
    DefectRecord loaded_;
    bool modified_ = false;
};

class FakeDefectList : public DefectListSeam {
public:
    explicit FakeDefectList(DefectPersistence& persistence) : persistence_(persistence) { }

    std::vector<Row> Rows() const override { return rows; }
    // What the list does when the document announces a save.
    void UpdateRow(const DefectRecord& record) { updated.push_back(record.Defect_ID); }
    void AddRow(const DefectRecord& record) override { added.push_back(record.Defect_ID); }
    void SelectDefect(std::int32_t defectId) override
    {
        selectedDefects.push_back(defectId);
        persistence_.SelectDefect(defectId);
    }

    std::vector<Row> rows;
    std::vector<std::int32_t> updated;
    std::vector<std::int32_t> added;
    std::vector<std::int32_t> selectedDefects;

private:
    DefectPersistence& persistence_;
};

inline void FakeDefectContext::DefectSaved(const DefectRecord& record)
{
    knownUnread.emplace_back(record.Defect_ID, record.Modified);
    if (NotifiesOnSave(record))
        notified.push_back(record.Defect_ID);
    if (list != nullptr)
        list->UpdateRow(record);
}

// One workstation: its own connection, form and list over the shared file.
struct Workstation {
    Workstation(const QString& path, UserInterface& ui, std::int32_t loggedInId = 1)
        : context(path, ui), form(loggedInId, ui), persistence(context), list(persistence)
    {
        context.loggedInId = loggedInId;
        persistence.SetForm(&form);
        persistence.SetList(&list);
        context.list = &list;
    }

    FakeDefectContext context;
    FakeDefectForm form;
    DefectPersistence persistence;
    FakeDefectList list;
};

inline std::int64_t CountDefects(engine::Connection& connection)
{
    return QueryNumber(connection, QStringLiteral("SELECT count(*) FROM defectlist"));
}

// Adds a defect row with the given id directly, the way another program version might.
inline void InsertDefectRow(engine::Connection& connection, std::int32_t id, std::int32_t statusId, std::int32_t toId,
                            std::int32_t fromId = 1, const QString& subject = QStringLiteral("subject"))
{
    ASSERT_EQ(connection.Execute(
                  QStringLiteral("INSERT INTO defectlist (defect_id, statusid, toid, fromid, subject, "
                                 "description, comments, history, opened, modified, closed, lastread, "
                                 "priorityid, severityid, componentid, categoryid, foundbuild, "
                                 "fixedbuild, foundversion, fixedversion, cc) "
                                 "VALUES (?, ?, ?, ?, ?, 'description', 'comments', '', 46000.5, "
                                 "46000.5, 0, 46001.25, 2, 3, 4, 5, 100, 0, '1.0', '', 'cc@x')"),
                  {std::int64_t{id}, std::int64_t{statusId}, std::int64_t{toId}, std::int64_t{fromId}, subject}),
              engine::kOk);
}
