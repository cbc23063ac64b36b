// Cell matching and the search over the list's rows.

#include "list/ListSearch.h"

#include "base/StringTable.h"
#include "list/DefectListModel.h"

namespace {

constexpr int kFoundText = 205;
constexpr int kNotFoundText = 206;
constexpr int kExcerptBefore = 5;
constexpr int kExcerptExtra = 10;

struct SearchPattern {
    QString text;
    bool caseSensitive = false;
    bool anchored = false;
};

SearchPattern ParsePattern(const QString& pattern)
{
    SearchPattern parsed;
    qsizetype at = 0;
    for (bool more = true; more && at < pattern.size();) {
        more = false;
        if (pattern[at] == u'=' && !parsed.caseSensitive) {
            parsed.caseSensitive = true;
            more = true;
            ++at;
        } else if (pattern[at] == u'^' && !parsed.anchored) {
            parsed.anchored = true;
            more = true;
            ++at;
        }
    }
    if (at + 1 < pattern.size() && pattern[at] == u'\\' && (pattern[at + 1] == u'=' || pattern[at + 1] == u'^'))
        ++at;
    parsed.text = pattern.mid(at);
    return parsed;
}

std::optional<qsizetype> Match(const SearchPattern& pattern, const QString& cell)
{
    if (pattern.text.isEmpty())
        return std::nullopt;
    const Qt::CaseSensitivity sensitivity = pattern.caseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive;
    if (pattern.anchored)
        return cell.startsWith(pattern.text, sensitivity) ? std::optional<qsizetype>(0) : std::nullopt;
    const qsizetype position = cell.indexOf(pattern.text, 0, sensitivity);
    return position >= 0 ? std::optional<qsizetype>(position) : std::nullopt;
}

} // namespace

std::optional<qsizetype> CellMatch(const QString& pattern, const QString& cell)
{
    if (pattern.isEmpty())
        return std::nullopt;
    return Match(ParsePattern(pattern), cell);
}

SearchOutcome SearchList(DefectListModel& model, const QString& pattern, bool forward, bool continueSearch)
{
    SearchOutcome outcome;
    const int rows = model.rowCount();
    if (rows == 0)
        return outcome;
    const SearchPattern parsed = ParsePattern(pattern);
    const int focused = model.focusedRow();
    const bool continuing = continueSearch && focused >= 0;
    int row = 0;
    if (continuing)
        row = forward ? focused + 1 : focused - 1;
    else
        row = forward ? 0 : rows - 1;
    // The walk leaves the selection alone: a match moves it, and a search that finds nothing
    // keeps what the user had selected.
    for (; row >= 0 && row < rows; row += forward ? 1 : -1) {
        for (int column = 0; column < model.columnCount(); ++column) {
            const QString cell = model.CellText(row, column);
            const std::optional<qsizetype> position = pattern.isEmpty() ? std::nullopt : Match(parsed, cell);
            if (!position)
                continue;
            // The match becomes the only selected row, so that a command on the selection (Delete,
            // Send email) acts on the row the search shows and not on the earlier matches.
            model.ClearSelection();
            model.SetSelected(row, true);
            model.SetFocusedRow(row);
            const qsizetype from = std::max<qsizetype>(*position - kExcerptBefore, 0);
            outcome.found = true;
            outcome.row = row;
            outcome.statusText =
                FormatString(kFoundText, model.headerData(column, Qt::Horizontal).toString().toUtf8().constData(),
                             cell.mid(from, parsed.text.size() + kExcerptExtra).toUtf8().constData());
            return outcome;
        }
    }
    outcome.statusText = LoadString(kNotFoundText);
    return outcome;
}
