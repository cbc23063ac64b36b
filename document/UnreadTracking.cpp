// The test for new unread entries.

#include "document/UnreadTracking.h"

#include "base/ErrorContext.h"
#include "base/Result.h"
#include "document/ConnectionProvider.h"
#include "engine/EngineStatus.h"
#include "engine/Rowset.h"

#include <algorithm>

void KnownUnreadSet::Forget()
{
    entries_.clear();
    known_ = false;
    lastRead_.reset();
}

bool KnownUnreadSet::TestForNewUnread(ConnectionProvider& connections, std::int32_t loggedInId, bool fileUnchanged)
{
    if (fileUnchanged && lastRead_ && lastReader_ == loggedInId) {
        std::set<Entry> newest = *lastRead_;
        const bool news = known_ && !std::includes(entries_.begin(), entries_.end(), newest.begin(), newest.end());
        entries_ = std::move(newest);
        known_ = true;
        return news;
    }
    ErrorContext context("testing for new unread entries");
    engine::Connection& connection = connections.GetDocumentConnection(RetryMode::Offline);
    engine::Rowset rows;
    const long status = connection.Query(
        QStringLiteral(
            "SELECT defect_id, modified FROM defectlist WHERE lastread=0 AND toid=? ORDER BY modified DESC LIMIT ?"),
        {std::int64_t{loggedInId}, std::int64_t{kCompared}}, rows);
    CHResult result(status, connection.errorRecords());
    result.check();

    ErrorContext building("building list of last modified and unread entries");
    std::set<Entry> newest;
    for (long row = rows.MoveFirst(); row == engine::kOk; row = rows.MoveNext())
        newest.insert({rows.Int32(0), rows.Real(1)});
    const bool news = known_ && !std::includes(entries_.begin(), entries_.end(), newest.begin(), newest.end());
    lastRead_ = newest;
    lastReader_ = loggedInId;
    entries_ = std::move(newest);
    known_ = true;
    return news;
}
