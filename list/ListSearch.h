#pragma once
// Text search over the defect list: the match of a search text against one cell, and the walk
// over the rows that selects the first row with a matching cell.

#include <QString>

#include <optional>

class DefectListModel;

// The position of `pattern` in `cell`, or none. Leading marks: "=" matches case-sensitively, "^"
// only at the start of the cell (each once, in either order); a backslash before "=" or "^"
// after the marks searches for that character itself.
std::optional<qsizetype> CellMatch(const QString& pattern, const QString& cell);

struct SearchOutcome {
    bool found = false;
    QString statusText; // for the status bar; empty for an empty list
    int row = -1;       // the row found
};

// Searches from the focused row forward or backward. A search that does not continue starts at
// the first (last) row and checks it; one that continues starts after the focused row. A match
// becomes the focused and only selected row; a search that finds nothing changes neither.
SearchOutcome SearchList(DefectListModel& model, const QString& pattern, bool forward, bool continueSearch);
