// Reading the lookup tables into memory at most every 15 seconds, and finding names and choices in them.

#include "document/LookupLists.h"

#include "engine/EngineStatus.h"
#include "engine/Rowset.h"
#include "platform/OleDate.h"
#include "platform/Utf8Text.h"

#include <algorithm>

namespace {

// Runs one list's query; a list whose query fails keeps what it held.
template <typename Entry, typename MakeEntry>
long LoadList(engine::Connection& connection, const char* sql, std::vector<Entry>& list, MakeEntry makeEntry)
{
    engine::Rowset rows;
    const long status = connection.Query(QString::fromLatin1(sql), {}, rows);
    if (engine::Failed(status))
        return status;
    list.clear();
    for (long moved = rows.MoveFirst(); moved == engine::kOk; moved = rows.MoveNext())
        list.push_back(makeEntry(rows));
    return status;
}

QString Text(const engine::Rowset& rows, int column, int bufferSize)
{
    return FitToBuffer(rows.Text(column), bufferSize);
}

template <typename Entry, typename Id>
const Entry* FindById(const std::vector<Entry>& list, std::int32_t id, Id idOf)
{
    const auto found = std::find_if(list.begin(), list.end(), [&](const Entry& e) { return idOf(e) == id; });
    return found == list.end() ? nullptr : &*found;
}

} // namespace

QString StakeholderDisplayName(const StakeholderEntry& entry)
{
    if (!entry.displayname.isEmpty())
        return entry.displayname;
    if (!entry.loginname.isEmpty())
        return entry.loginname;
    return entry.email;
}

const StatusEntry* FindStatus(const std::vector<StatusEntry>& statuses, std::int32_t id)
{
    return FindById(statuses, id, [](const StatusEntry& e) { return e.status_id; });
}

const StakeholderEntry* FindStakeholder(const std::vector<StakeholderEntry>& stakeholders, std::int32_t id)
{
    return FindById(stakeholders, id, [](const StakeholderEntry& e) { return e.stakeholder_id; });
}

LookupLists::LookupLists(ConnectionProvider& connections, const Clock& clock) : connections_(connections), clock_(clock)
{
}

void LookupLists::LoadLookups(bool force)
{
    // A load time of 0 means the tables were never read (or the connection was reopened).
    if (!force && lookupsLoadedAt_ != 0 && clock_.SecondsSince1970() - lookupsLoadedAt_ <= kMinimumIntervalSeconds)
        return;

    // One read lock for all the tables: each lock and each look at the file is a round trip on a share.
    engine::Connection& connection = connections_.GetDocumentConnection(RetryMode::Offline);
    // After a failed read the engine fails every read of the transaction: then each list is read
    // on its own, so that one failing list does not empty the others.
    if (engine::Failed(connection.ReadTogether([&] { return LoadTables(connection); })))
        LoadTables(connection);
    lookupsLoadedAt_ = clock_.SecondsSince1970();
    administratorCount_ =
        static_cast<int>(std::count_if(stakeholders_.begin(), stakeholders_.end(), [](const StakeholderEntry& e) {
            return e.userflags.contains(QLatin1Char('a')) || e.userflags.contains(QLatin1Char('A'));
        }));
    emit reloaded();
}

long LookupLists::LoadTables(engine::Connection& connection)
{
    long failed = engine::kOk;
    const auto note = [&failed](long status) {
        if (engine::Failed(status) && !engine::Failed(failed))
            failed = status;
    };
    note(LoadList(connection,
                  "SELECT status_id, status, sys_sortorder, statusdescription FROM status ORDER BY sys_sortorder",
                  statuses_, [](const engine::Rowset& r) {
                      return StatusEntry{r.Int32(0), Text(r, 1, StatusEntry::kStatusSize), r.Int32(2),
                                         Text(r, 3, StatusEntry::kDescriptionSize)};
                  }));
    note(LoadList(connection,
                  "SELECT fromStatus, toStatus, sys_sortorder, commentWordsRequired FROM statustransitions ORDER BY "
                  "sys_sortorder",
                  transitions_, [](const engine::Rowset& r) {
                      return StatusTransition{r.Int32(0), r.Int32(1), r.Int32(2), r.Int32(3)};
                  }));
    note(LoadList(connection, "Select component_id, component from component order by sys_sortorder", components_,
                  [](const engine::Rowset& r) {
                      return ComponentEntry{Text(r, 1, ComponentEntry::kComponentSize), r.Int32(0)};
                  }));
    note(LoadList(connection, "select severity_id, severity from severity order by sys_sortorder", severities_,
                  [](const engine::Rowset& r) {
                      return RatingEntry{Text(r, 1, RatingEntry::kNameSize), r.Int32(0)};
                  }));
    note(LoadList(connection,
                  "SELECT stakeholder_id, email, displayname, loginname, passwd, userflags FROM stakeholder ORDER BY "
                  "sys_sortorder",
                  stakeholders_, [](const engine::Rowset& r) {
                      StakeholderEntry entry;
                      entry.stakeholder_id = r.Int32(0);
                      entry.email = Text(r, 1, StakeholderEntry::kEmailSize);
                      entry.displayname = Text(r, 2, StakeholderEntry::kDisplayNameSize);
                      entry.loginname = Text(r, 3, StakeholderEntry::kLoginNameSize);
                      entry.passwd = Text(r, 4, StakeholderEntry::kPasswdSize);
                      entry.userflags = Text(r, 5, StakeholderEntry::kUserFlagsSize);
                      return entry;
                  }));
    note(LoadList(connection, "select priority_id, priority from priority order by sys_sortorder", priorities_,
                  [](const engine::Rowset& r) {
                      return RatingEntry{Text(r, 1, RatingEntry::kNameSize), r.Int32(0)};
                  }));
    note(LoadList(connection, "Select category_id, category, categorydescription from category order by sys_sortorder",
                  categories_, [](const engine::Rowset& r) {
                      return CategoryEntry{r.Int32(0), Text(r, 1, CategoryEntry::kCategorySize),
                                           Text(r, 2, CategoryEntry::kDescriptionSize)};
                  }));
    return failed;
}

const StatusEntry* LookupLists::FindStatus(std::int32_t id) const
{
    return ::FindStatus(statuses_, id);
}

const StakeholderEntry* LookupLists::FindStakeholder(std::int32_t id) const
{
    return ::FindStakeholder(stakeholders_, id);
}

const StakeholderEntry* LookupLists::FindStakeholderByLogin(const QString& name) const
{
    for (const StakeholderEntry& entry : stakeholders_)
        if (entry.loginname == name)
            return &entry;
    for (const StakeholderEntry& entry : stakeholders_)
        if (entry.loginname.compare(name, Qt::CaseInsensitive) == 0)
            return &entry;
    return nullptr;
}

template <typename Visitor>
auto LookupLists::Visit(LookupList list, Visitor visit) const
{
    // Each list with how its entries give their id and their name.
    switch (list) {
    case LookupList::Component:
        return visit(
            components_, [](const ComponentEntry& e) { return e.component_id; },
            [](const ComponentEntry& e) { return e.component; });
    case LookupList::Category:
        return visit(
            categories_, [](const CategoryEntry& e) { return e.category_id; },
            [](const CategoryEntry& e) { return e.category; });
    case LookupList::Severity:
        return visit(
            severities_, [](const RatingEntry& e) { return e.id; }, [](const RatingEntry& e) { return e.name; });
    case LookupList::Priority:
        return visit(
            priorities_, [](const RatingEntry& e) { return e.id; }, [](const RatingEntry& e) { return e.name; });
    case LookupList::Stakeholder:
        return visit(
            stakeholders_, [](const StakeholderEntry& e) { return e.stakeholder_id; },
            [](const StakeholderEntry& e) { return StakeholderDisplayName(e); });
    case LookupList::Status:
        break;
    }
    return visit(
        statuses_, [](const StatusEntry& e) { return e.status_id; }, [](const StatusEntry& e) { return e.status; });
}

QString LookupLists::LookupName(LookupList list, std::int32_t id) const
{
    return Visit(list, [id](const auto& entries, auto idOf, auto nameOf) {
        const auto* entry = FindById(entries, id, idOf);
        return entry != nullptr ? nameOf(*entry) : QStringLiteral("-- %1 --").arg(id);
    });
}

std::vector<ChoiceItem> LookupLists::Choices(LookupList list) const
{
    return Visit(list, [](const auto& entries, auto idOf, auto nameOf) {
        std::vector<ChoiceItem> choices;
        choices.reserve(entries.size());
        for (const auto& entry : entries)
            choices.push_back({nameOf(entry), idOf(entry)});
        return choices;
    });
}

void LookupLists::SetStakeholderPasswd(std::int32_t id, const QString& passwd)
{
    for (StakeholderEntry& entry : stakeholders_)
        if (entry.stakeholder_id == id)
            entry.passwd = FitToBuffer(passwd, StakeholderEntry::kPasswdSize);
}
