// The engine's full-text tables over the defects, their triggers, and the statements that search them.

#include "store/SearchIndex.h"

#include "engine/Connection.h"
#include "engine/EngineStatus.h"
#include "store/AttachmentPaths.h"

#include <QDir>
#include <QDirIterator>
#include <QRegularExpression>

#include <limits>

namespace {

// The texts of defectlist, indexed without a second copy: the index reads them from the table.
// unicode61 without diacritics lets "Große" find "grosse"; the prefix indexes make a word's
// beginning as fast as the word. The index is filled in steps, defect ids up to
// defect_search_state.upto first; the triggers keep what is indexed current and leave the rest to
// the steps, so that every step is a short write transaction of its own.
const char* const kCreateStatements[] = {
    "CREATE VIRTUAL TABLE defect_search USING fts5(subject, description, comments, history, "
    "content='defectlist', content_rowid='defect_id', tokenize='unicode61 remove_diacritics 2', prefix='2 3')",
    // Attachments live in folders beside the file, so their names are kept here by the program.
    "CREATE VIRTUAL TABLE defect_search_attachments USING fts5(names, "
    "tokenize='unicode61 remove_diacritics 2 tokenchars ''.-_''', prefix='2 3')",
    "CREATE TABLE defect_search_state (upto INTEGER NOT NULL)",
    "INSERT INTO defect_search_state (upto) VALUES (0)",
    "CREATE TRIGGER defect_search_insert AFTER INSERT ON defectlist "
    "WHEN new.defect_id <= (SELECT upto FROM defect_search_state) BEGIN "
    "INSERT INTO defect_search (rowid, subject, description, comments, history) "
    "VALUES (new.defect_id, new.subject, new.description, new.comments, new.history); END",
    "CREATE TRIGGER defect_search_delete AFTER DELETE ON defectlist BEGIN "
    "INSERT INTO defect_search (defect_search, rowid, subject, description, comments, history) "
    "SELECT 'delete', old.defect_id, old.subject, old.description, old.comments, old.history "
    "WHERE old.defect_id <= (SELECT upto FROM defect_search_state); "
    "DELETE FROM defect_search_attachments WHERE rowid = old.defect_id; END",
    // Marking read writes only lastread and leaves the index alone.
    "CREATE TRIGGER defect_search_update AFTER UPDATE OF subject, description, comments, history ON defectlist "
    "WHEN old.defect_id <= (SELECT upto FROM defect_search_state) BEGIN "
    "INSERT INTO defect_search (defect_search, rowid, subject, description, comments, history) "
    "VALUES ('delete', old.defect_id, old.subject, old.description, old.comments, old.history); "
    "INSERT INTO defect_search (rowid, subject, description, comments, history) "
    "VALUES (new.defect_id, new.subject, new.description, new.comments, new.history); END",
};

// defect_search_state.upto once every defect is indexed.
constexpr std::int64_t kComplete = std::numeric_limits<std::int64_t>::max();
constexpr int kDefectsPerStep = 2000;

bool HasSearchTables(engine::Connection& connection)
{
    std::int64_t present = 0;
    if (engine::Failed(connection.QueryInt(
            QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type='table' AND name='defect_search_state'"), {},
            present))) {
        connection.TakeErrorRecords();
        return false;
    }
    return present != 0;
}

std::int64_t IndexedUpTo(engine::Connection& connection)
{
    std::int64_t upto = 0;
    if (engine::Failed(connection.QueryInt(QStringLiteral("SELECT upto FROM defect_search_state"), {}, upto))) {
        connection.TakeErrorRecords();
        return -1;
    }
    return upto;
}

// Where the attachment folders of the file are: <file>.attach/<defect id>.
void IndexAttachmentFolders(engine::Connection& connection)
{
    const QString root = AttachmentRootFor(connection.path());
    QDirIterator folders(root, QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks);
    while (folders.hasNext()) {
        const QString folder = folders.next();
        bool ok = false;
        const std::int32_t id = QFileInfo(folder).fileName().toInt(&ok);
        if (!ok)
            continue;
        const QStringList names = QDir(folder).entryList(QDir::Files | QDir::NoSymLinks | QDir::Hidden, QDir::Name);
        if (!names.isEmpty())
            IndexAttachmentNames(connection, id, names);
    }
}

} // namespace

bool HasSearchIndex(engine::Connection& connection)
{
    return HasSearchTables(connection) && IndexedUpTo(connection) == kComplete;
}

long BuildSearchIndexStep(engine::Connection& connection, int defects, bool& complete)
{
    complete = false;
    const long status = connection.WriteTransaction([&] {
        // Read again under the write lock: another workstation may have made or filled it meanwhile.
        if (!HasSearchTables(connection)) {
            for (const char* sql : kCreateStatements) {
                if (const long step = connection.Execute(QString::fromUtf8(sql)); engine::Failed(step))
                    return step;
            }
        }
        const std::int64_t upto = IndexedUpTo(connection);
        if (upto < 0)
            return engine::kFailure;
        if (upto == kComplete) {
            complete = true;
            return engine::kOk;
        }
        std::int64_t next = 0;
        long found = connection.QueryInt(QStringLiteral("SELECT defect_id FROM defectlist WHERE defect_id > ? "
                                                        "ORDER BY defect_id LIMIT 1 OFFSET ?"),
                                         {upto, std::int64_t{defects - 1}}, next);
        if (found == engine::kEndOfRowset) {
            next = kComplete;
            found = engine::kOk;
        }
        if (engine::Failed(found))
            return found;
        long written = connection.Execute(
            QStringLiteral("INSERT INTO defect_search (rowid, subject, description, comments, history) "
                           "SELECT defect_id, subject, description, comments, history FROM defectlist "
                           "WHERE defect_id > ? AND defect_id <= ?"),
            {upto, next});
        if (!engine::Failed(written))
            written = connection.Execute(QStringLiteral("UPDATE defect_search_state SET upto = ?"), {next});
        complete = next == kComplete;
        return written;
    });
    if (engine::Failed(status))
        complete = false;
    return status;
}

bool EnsureSearchIndex(engine::Connection& connection)
{
    // The index is the file engine's full-text table; a server has none of its kind yet.
    if (connection.IsServer())
        return false;
    if (HasSearchIndex(connection))
        return true;
    // Step by step, so that the other workstations' saves wait for one step at most; a build that
    // stops goes on from there at the next search.
    bool complete = false;
    while (!complete) {
        if (engine::Failed(BuildSearchIndexStep(connection, kDefectsPerStep, complete))) {
            connection.TakeErrorRecords();
            return false;
        }
    }
    IndexAttachmentFolders(connection);
    return true;
}

QString SearchExpression(const QStringList& words)
{
    const QString text = words.join(QLatin1Char(' ')).simplified();
    static const QRegularExpression syntax(QStringLiteral("[\"()*:^+]|\\b(AND|OR|NOT|NEAR)\\b"));
    if (syntax.match(text).hasMatch())
        return text;
    QStringList terms;
    // A word the tokenizer splits ("don't", "v1.2") is a phrase of its pieces.
    for (const QString& word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        terms << QStringLiteral("\"%1\"*").arg(word);
    return terms.join(QLatin1Char(' '));
}

QString SearchCountStatement()
{
    return QStringLiteral("SELECT count(*) FROM defect_search WHERE defect_search MATCH ?1");
}

QString SearchRankedStatement(const QString& visible)
{
    // Subject weighs most, then description, details and history.
    return QStringLiteral("SELECT m.defect_id, min(m.score) AS best FROM ("
                          "SELECT rowid AS defect_id, bm25(defect_search, 8.0, 3.0, 2.0, 1.0) AS score "
                          "FROM defect_search WHERE defect_search MATCH ?1 "
                          "UNION ALL "
                          "SELECT rowid, 0.0 FROM defect_search_attachments WHERE defect_search_attachments MATCH ?1"
                          ") m JOIN defectlist ON defectlist.defect_id = m.defect_id") +
        visible + QStringLiteral(" GROUP BY m.defect_id ORDER BY best, m.defect_id DESC LIMIT ?2");
}

QString SearchNewestStatement(const QString& visible)
{
    // The index walks its rows backwards and stops at the limit.
    return QStringLiteral("SELECT defect_search.rowid, 0.0 FROM defect_search JOIN defectlist ON "
                          "defectlist.defect_id = defect_search.rowid") +
        visible +
        QStringLiteral(" AND defect_search MATCH ?1 "
                       "UNION "
                       "SELECT defect_search_attachments.rowid, 0.0 FROM defect_search_attachments JOIN defectlist ON "
                       "defectlist.defect_id = defect_search_attachments.rowid") +
        visible + QStringLiteral(" AND defect_search_attachments MATCH ?1 ORDER BY 1 DESC LIMIT ?2");
}

QString SearchExcerptsSelect(const std::vector<std::int32_t>& defectIds)
{
    // The ids are numbers the search read from the file.
    QStringList ids;
    for (const std::int32_t id : defectIds)
        ids << QString::number(id);
    const QString in = ids.isEmpty() ? QStringLiteral("NULL") : ids.join(QLatin1Char(','));
    return QStringLiteral("SELECT rowid, snippet(defect_search, -1, '[', ']', '…', 12) FROM defect_search "
                          "WHERE defect_search MATCH ?1 AND rowid IN (%1) "
                          "UNION ALL "
                          "SELECT rowid, snippet(defect_search_attachments, 0, '[', ']', '…', 12) FROM "
                          "defect_search_attachments WHERE defect_search_attachments MATCH ?1 AND rowid IN (%1)")
        .arg(in);
}

long IndexAttachmentNames(engine::Connection& connection, std::int32_t defectId, const QStringList& names)
{
    if (!HasSearchIndex(connection))
        return engine::kOk;
    return connection.WriteTransaction([&] {
        long status = connection.Execute(QStringLiteral("DELETE FROM defect_search_attachments WHERE rowid = ?"),
                                         {std::int64_t{defectId}});
        if (!engine::Failed(status) && !names.isEmpty())
            status = connection.Execute(QStringLiteral("INSERT INTO defect_search_attachments (rowid, names) VALUES "
                                                       "(?, ?)"),
                                        {std::int64_t{defectId}, names.join(QLatin1Char(' '))});
        return status;
    });
}
