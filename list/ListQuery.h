#pragma once
// The one builder of the defect list's statement: the base condition that hides other users'
// drafts and templates, the filter, "My defects" and the view's ORDER BY. The list fills from
// it; exports, the spreadsheet query file and the report view use the same text.

#include <QString>

#include <cstdint>
#include <vector>

struct ListSettings {
    std::int32_t loggedInId = 0;
    bool filterActive = false;
    QString filterText; // as stored; keywords are replaced here
    bool myDefects = false;
    QString orderBy; // " ORDER BY …" or empty
    // The quick search's hits, best first: while it is on, the list shows only these, in this order.
    bool quickSearch = false;
    std::vector<std::int32_t> quickSearchIds;
};

struct ListCondition {
    QString text;               // starts with " WHERE"
    bool filtered = false;      // a filter or "My defects" narrows the list
    bool carriesFilter = false; // the text holds a user's filter and must run fenced
};

// The condition part. Without the filter (the fallback when a filter fails) it keeps the base
// condition and the ORDER BY and drops the filter and "My defects". The filter must be a complete
// fragment (engine::IsCompleteFragment), else it could close the parenthesis it is put in.
ListCondition BuildListCondition(const ListSettings& settings, bool withFilter);

// Which memo columns the list shows. Those it does not show are not read at all, nor is the
// history, which the list never shows: on a server each would cross the network whole.
struct ListMemos {
    bool description = false;
    bool comments = false;
};

// The SELECT of the list's 21 columns from DefectListQuery, ending with a blank; the columns not
// read are NULL in their places.
const QString& ListSelectPart(const ListMemos& memos);

// The whole list statement.
QString ListStatement(const ListCondition& condition, const ListMemos& memos);

// The number of every defect in the file, templates and drafts included.
const QString& TotalCountStatement();
