// Cell matching and the search over the list's rows.

#include "list/ListSearch.h"

#include "base/StringTable.h"
#include "engine/Connection.h"
#include "engine/EngineStatus.h"
#include "engine/Statement.h"
#include "list/ColumnCatalogue.h"
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

QString Excerpt(const QString& text, qsizetype position, const SearchPattern& pattern)
{
    const qsizetype from = std::max<qsizetype>(position - kExcerptBefore, 0);
    return text.mid(from, pattern.text.size() + kExcerptExtra);
}

bool IsAscii(const QString& text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
}

QString LikeEscaped(const QString& text)
{
    QString escaped;
    for (const QChar c : text) {
        if (c == u'%' || c == u'_' || c == u'\\')
            escaped += u'\\';
        escaped += c;
    }
    return escaped;
}

// The table columns of the memo columns.
QString MemoField(int column)
{
    return column == column::kDescription ? QStringLiteral("Description") : QStringLiteral("Comments");
}

} // namespace

HiddenMatches FindInHiddenMemos(engine::Connection& connection, const QString& pattern, const std::vector<int>& columns)
{
    HiddenMatches matches;
    const SearchPattern parsed = ParsePattern(pattern);
    if (pattern.isEmpty() || parsed.text.isEmpty() || columns.empty())
        return matches;
    // The condition only narrows the rows (LIKE ignores the case of ASCII letters only, so it
    // narrows by a text of ASCII characters); every text it lets through is matched below.
    QStringList fields;
    QStringList conditions;
    engine::Parameters parameters;
    for (const int column : columns)
        fields << MemoField(column);
    if (IsAscii(parsed.text)) {
        for (const QString& field : fields)
            conditions << field + QStringLiteral(" LIKE ?1 ESCAPE '\\'");
        parameters.push_back((parsed.anchored ? QString() : QStringLiteral("%")) + LikeEscaped(parsed.text) +
                             QStringLiteral("%"));
    } else if (parsed.caseSensitive) {
        for (const QString& field : fields)
            conditions << QStringLiteral("instr(%1, ?1) > 0").arg(field);
        parameters.push_back(parsed.text);
    }
    QString sql = QStringLiteral("SELECT Defect_ID, %1 FROM defectlist").arg(fields.join(QStringLiteral(", ")));
    if (!conditions.isEmpty())
        sql += QStringLiteral(" WHERE ") + conditions.join(QStringLiteral(" OR "));
    const long status = connection.ReadRows(
        sql, parameters, engine::Access::Any, [&] { matches.clear(); },
        [&](const engine::Statement& row) {
            for (std::size_t i = 0; i < columns.size(); ++i) {
                int bytes = 0;
                const char* utf8 = row.ColumnUtf8(static_cast<int>(i) + 1, bytes);
                const QString text = utf8 != nullptr ? QString::fromUtf8(utf8, bytes) : QString();
                if (const std::optional<qsizetype> position = Match(parsed, text)) {
                    matches[static_cast<std::int32_t>(row.ColumnInt(0))] = {columns[i],
                                                                            Excerpt(text, *position, parsed)};
                    break;
                }
            }
        });
    // A file that cannot be read now searches what the list shows.
    if (engine::Failed(status))
        matches.clear();
    return matches;
}

std::optional<qsizetype> CellMatch(const QString& pattern, const QString& cell)
{
    if (pattern.isEmpty())
        return std::nullopt;
    return Match(ParsePattern(pattern), cell);
}

SearchOutcome SearchList(DefectListModel& model, const QString& pattern, bool forward, bool continueSearch,
                         const HiddenMatches& hidden)
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
        const auto hiddenMatch = hidden.find(model.DefectIdAt(row));
        for (int column = 0; column < model.columnCount(); ++column) {
            QString excerpt;
            if (hiddenMatch != hidden.end() && hiddenMatch->second.column == column) {
                excerpt = hiddenMatch->second.excerpt;
            } else {
                const QString cell = model.CellText(row, column);
                const std::optional<qsizetype> position = pattern.isEmpty() ? std::nullopt : Match(parsed, cell);
                if (!position)
                    continue;
                excerpt = Excerpt(cell, *position, parsed);
            }
            // The match becomes the only selected row, so that a command on the selection (Delete,
            // Send email) acts on the row the search shows and not on the earlier matches.
            model.ClearSelection();
            model.SetSelected(row, true);
            model.SetFocusedRow(row);
            outcome.found = true;
            outcome.row = row;
            outcome.statusText =
                FormatString(kFoundText, model.headerData(column, Qt::Horizontal).toString().toUtf8().constData(),
                             excerpt.toUtf8().constData());
            return outcome;
        }
    }
    outcome.statusText = LoadString(kNotFoundText);
    return outcome;
}
