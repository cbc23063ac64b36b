#pragma once
// Text search over the defect list: the match of a search text against one cell, the texts of
// memo columns the list does not show, and the walk over the rows that selects the first row
// with a matching cell.

#include <QString>

#include <cstdint>
#include <map>
#include <optional>
#include <vector>

class DefectListModel;
namespace engine {
class Connection;
}

// The position of `pattern` in `cell`, or none. Leading marks: "=" matches case-sensitively, "^"
// only at the start of the cell (each once, in either order); a backslash before "=" or "^"
// after the marks searches for that character itself.
std::optional<qsizetype> CellMatch(const QString& pattern, const QString& cell);

// Where a search text matched in a memo column the list does not show.
struct HiddenMatch {
    int column = -1; // the catalogue id of the column
    QString excerpt; // the part of the text the status bar shows
};
// Defect id -> its first match among the hidden memo columns, in column order.
using HiddenMatches = std::map<std::int32_t, HiddenMatch>;

// The defects whose texts in the given memo columns (Description, Details) match `pattern` as a
// cell of the list would, over the whole text. The list does not hold the texts of hidden memo
// columns, so the file is asked with a parameterised statement that narrows the rows, and each
// text it returns is matched and dropped at once. Empty for an empty pattern or no columns.
HiddenMatches FindInHiddenMemos(engine::Connection& connection, const QString& pattern,
                                const std::vector<int>& columns);

struct SearchOutcome {
    bool found = false;
    QString statusText; // for the status bar; empty for an empty list
    int row = -1;       // the row found
};

// Searches from the focused row forward or backward. A search that does not continue starts at
// the first (last) row and checks it; one that continues starts after the focused row. A match
// becomes the focused and only selected row; a search that finds nothing changes neither. The
// cells of hidden memo columns match where `hidden` says they do.
SearchOutcome SearchList(DefectListModel& model, const QString& pattern, bool forward, bool continueSearch,
                         const HiddenMatches& hidden = {});
