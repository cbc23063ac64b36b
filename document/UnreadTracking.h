#pragma once
// Noticing what other workstations addressed to the user: the newest unread entries seen at the
// last test, compared with the newest unread entries now.

#include <cstdint>
#include <optional>
#include <set>
#include <utility>

class ConnectionProvider;

class KnownUnreadSet {
public:
    static constexpr int kCompared = 25; // only the newest unread entries count

    using Entry = std::pair<std::int32_t, double>; // defect id, modified

    // One's own save: its new state is not news.
    void Add(std::int32_t defectId, double modified) { entries_.insert({defectId, modified}); }
    void Forget();
    bool known() const { return known_; }
    const std::set<Entry>& entries() const { return entries_; }

    // Reads the newest unread entries addressed to the user; true when one of them was not known
    // (never at the first test). The read entries become the known ones. A failed read raises the
    // provider failure and leaves the set as it was. With `fileUnchanged` (nothing was committed
    // to the file since the last test for this user) the entries of that read stand, unread again.
    bool TestForNewUnread(ConnectionProvider& connections, std::int32_t loggedInId, bool fileUnchanged = false);

private:
    std::set<Entry> entries_;
    bool known_ = false;
    // What the last read found, and for whom.
    std::optional<std::set<Entry>> lastRead_;
    std::int32_t lastReader_ = 0;
};
