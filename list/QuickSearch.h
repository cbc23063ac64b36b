#pragma once
// The quick search: the defects whose words match, best first, with an excerpt, seen through the
// list's own rule of what a user may see.

#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

namespace engine {
class Connection;
}

struct QuickSearchHit {
    std::int32_t defectId = 0;
    double score = 0; // lower is better
    QString excerpt;  // the matched words in [brackets]
};

struct QuickSearchResult {
    std::vector<QuickSearchHit> hits; // best first
    QString error;                    // for the user; empty when the search ran
    QString details;                  // the engine's words behind the error
};

// Searches the file for `words` as the logged-in user sees it (other users' drafts and templates
// never match), building the index first when the file has none. At most `limit` hits, the first
// `excerpts` of them with their excerpt (an excerpt reads the defect's texts). Hits are ranked by
// relevance, or newest first when the words are in more than 10 000 defects.
QuickSearchResult RunQuickSearch(engine::Connection& connection, std::int32_t loggedInId, const QStringList& words,
                                 int limit, int excerpts);
