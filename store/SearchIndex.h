#pragma once
// The full-text index of the defects (subject, description, details, history and attachment names):
// every statement that knows the engine's full-text tables lives here, so that another engine gets
// its own variant in one place.

#include <QString>
#include <QStringList>

#include <cstdint>

namespace engine {
class Connection;
}

// Adds the index, its triggers and its content to a file that lacks them, on the first search.
// Best effort, like the unread index: a file that cannot be written now gets it at a later
// search; false while the file has no index. The triggers keep it current for every writer.
bool EnsureSearchIndex(engine::Connection& connection);

// Whether the file has the index (nothing is written).
bool HasSearchIndex(engine::Connection& connection);

// The index's query text for the words a user typed. Plain words must all occur, each also as
// the beginning of a longer word; words that use the query syntax (double quotes, parentheses,
// a star, a column name with ":", AND, OR, NOT, NEAR) are taken as they are.
QString SearchExpression(const QStringList& words);

// A SELECT of the matches of the expression in parameter ?1: one row per match with the columns
// defect_id, score (lower is better) and excerpt (the match in brackets).
QString SearchMatchesSelect();

// Replaces the attachment names the index holds for a defect; nothing when the file has no index.
long IndexAttachmentNames(engine::Connection& connection, std::int32_t defectId, const QStringList& names);
