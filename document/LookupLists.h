#pragma once
// The in-memory copy of the small tables that give the numbers in a defect their names. They
// are read in one batch and refreshed at most every 15 seconds unless a caller forces it.

#include "base/UserInterface.h"
#include "document/ConnectionProvider.h"
#include "store/LookupEntries.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <vector>

class Clock;

enum class LookupList { Status, Component, Category, Severity, Priority, Stakeholder };

// The display name, else the login name, else the e-mail address.
QString StakeholderDisplayName(const StakeholderEntry& entry);

// The entry of a list with the id; none when no entry has it.
const StatusEntry* FindStatus(const std::vector<StatusEntry>& statuses, std::int32_t id);
const StakeholderEntry* FindStakeholder(const std::vector<StakeholderEntry>& stakeholders, std::int32_t id);

class LookupLists : public QObject {
    Q_OBJECT
public:
    static constexpr qint64 kMinimumIntervalSeconds = 15;

    LookupLists(ConnectionProvider& connections, const Clock& clock);

    // Announces `reloaded` when the tables were read.
    void LoadLookups(bool force);
    // The next load reads the tables whatever the interval (the connection was reopened).
    void ForgetLoadTime() { lookupsLoadedAt_ = 0; }
    qint64 lookupsLoadedAt() const { return lookupsLoadedAt_; }

    const std::vector<StatusEntry>& statuses() const { return statuses_; }
    const std::vector<StatusTransition>& transitions() const { return transitions_; }
    const std::vector<ComponentEntry>& components() const { return components_; }
    const std::vector<RatingEntry>& severities() const { return severities_; }
    const std::vector<StakeholderEntry>& stakeholders() const { return stakeholders_; }
    const std::vector<RatingEntry>& priorities() const { return priorities_; }
    const std::vector<CategoryEntry>& categories() const { return categories_; }
    int administratorCount() const { return administratorCount_; }

    const StatusEntry* FindStatus(std::int32_t id) const;
    const StakeholderEntry* FindStakeholder(std::int32_t id) const;
    // Exact match first; then the first match ignoring case.
    const StakeholderEntry* FindStakeholderByLogin(const QString& name) const;

    // The entry's name, or "-- <id> --" when no entry has the id.
    QString LookupName(LookupList list, std::int32_t id) const;
    // Every entry in list order: its name (a stakeholder's display name) and its id.
    std::vector<ChoiceItem> Choices(LookupList list) const;

    // The only change of an entry in place: a password change that the database accepted.
    void SetStakeholderPasswd(std::int32_t id, const QString& passwd);

private:
    // Runs each list's query; a list whose query fails keeps what it held. The first failure, if any.
    long LoadTables(engine::Connection& connection);
    // Calls visit(entries, idOf, nameOf) with the list's entries.
    template <typename Visitor>
    auto Visit(LookupList list, Visitor visit) const;

    ConnectionProvider& connections_;
    const Clock& clock_;
    qint64 lookupsLoadedAt_ = 0;
    int administratorCount_ = 0;

    std::vector<StatusEntry> statuses_;
    std::vector<StatusTransition> transitions_;
    std::vector<ComponentEntry> components_;
    std::vector<RatingEntry> severities_;
    std::vector<StakeholderEntry> stakeholders_;
    std::vector<RatingEntry> priorities_;
    std::vector<CategoryEntry> categories_;

signals:
    void reloaded();
};
