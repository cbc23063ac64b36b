#pragma once
// The full-text index of the defects (subject, description, details, history and attachment names):
// every statement that knows the engine's full-text tables lives here, so that another engine gets
// its own variant in one place.

#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

namespace engine {
class Connection;
}

// Adds the index, its triggers and its content to a file that lacks them, on the first search,
// in steps of a short write transaction each; on a server in one transaction, since there writers
// wait for it and readers do not. Best effort, like the unread index: a file that
// cannot be written now gets the rest at a later search; false while the index is not whole.
// The triggers keep what is indexed current for every writer.
bool EnsureSearchIndex(engine::Connection& connection);

// Whether the file has the whole index (nothing is written).
bool HasSearchIndex(engine::Connection& connection);

// One step of the build in a write transaction of its own: makes the tables and triggers when the
// file lacks them, then indexes up to `defects` more defects; `complete` tells whether every
// defect is indexed now. The engine status.
long BuildSearchIndexStep(engine::Connection& connection, int defects, bool& complete);

// The index's query text for the words a user typed. Plain words must all occur, each also as
// the beginning of a longer word; words that use the query syntax are taken as they are: in a file
// double quotes, parentheses, a star, a column name with ":", AND, OR, NOT, NEAR; on a server
// & | ! <-> ( ) :* (words match as typed there, accents included).
QString SearchExpression(engine::Connection& connection, const QStringList& words);

// The number of defects whose texts match the expression in ?1 (visible or not): cheap, and
// tells whether ranking the matches is worth its time.
QString SearchCountStatement(engine::Connection& connection);

// The matches of the expression in ?1 that `visible` (the list's condition, " WHERE …" on
// defectlist's own columns) lets through, at most ?2 of them: defect_id and score. Ranked by
// relevance (lower score first), a match in attachment names alone after every text match.
QString SearchRankedStatement(engine::Connection& connection, const QString& visible);
// The same newest first (score 0), which costs nearly nothing when words are in most defects.
QString SearchNewestStatement(engine::Connection& connection, const QString& visible);

// A SELECT of the excerpts (the matched words in brackets) of the expression in ?1 in the given
// defects: defect_id and excerpt (and on a server a third column to order by), one row per defect that matches in its
// texts or else in its attachment names. Computed only for the defects shown, as it reads their texts.
QString SearchExcerptsSelect(engine::Connection& connection, const std::vector<std::int32_t>& defectIds);

// Replaces the attachment names the index holds for a defect; nothing when the file has no index.
long IndexAttachmentNames(engine::Connection& connection, std::int32_t defectId, const QStringList& names);
