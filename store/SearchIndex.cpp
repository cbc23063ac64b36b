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

// On a server the words of each defect are kept in a table of their own by a trigger, so that
// defectlist keeps the columns every reader of it expects. The 'simple' configuration neither
// stems nor drops words, so words of any language match as typed. A build is one transaction:
// the lock makes writers (and another workstation building too) wait until it is whole.
const char* const kServerCreateStatements[] = {
    "LOCK TABLE defectlist IN SHARE ROW EXCLUSIVE MODE",
    "CREATE TABLE defect_search (defect_id integer PRIMARY KEY, words tsvector NOT NULL)",
    "CREATE INDEX defect_search_words ON defect_search USING gin (words)",
    "CREATE TABLE defect_search_attachments (defect_id integer PRIMARY KEY, names text NOT NULL, "
    "words tsvector NOT NULL)",
    "CREATE INDEX defect_search_attachments_words ON defect_search_attachments USING gin (words)",
    // Subject weighs most, then description, details and history.
    "CREATE FUNCTION defect_search_words(text, text, text, text) RETURNS tsvector LANGUAGE sql IMMUTABLE AS "
    "'SELECT setweight(to_tsvector(''simple'', coalesce($1, '''')), ''A'') || "
    "setweight(to_tsvector(''simple'', coalesce($2, '''')), ''B'') || "
    "setweight(to_tsvector(''simple'', coalesce($3, '''')), ''C'') || "
    "setweight(to_tsvector(''simple'', coalesce($4, '''')), ''D'')'",
    // Every writer of defectlist writes the index as its maker, so that a user without rights on the
    // index tables (made by whoever searched first) can still save; with a search path of its own,
    // since a writer's may lack the program's schema (an administrator's, say), and with the
    // writer's temporary tables last, where they cannot stand in for the index's.
    "CREATE FUNCTION defect_search_follow() RETURNS trigger LANGUAGE plpgsql SECURITY DEFINER "
    "SET search_path = vellacord, pg_catalog, pg_temp AS '"
    "BEGIN "
    "IF TG_OP = ''DELETE'' THEN "
    "DELETE FROM defect_search WHERE defect_id = OLD.defect_id; "
    "DELETE FROM defect_search_attachments WHERE defect_id = OLD.defect_id; "
    "RETURN NULL; "
    "END IF; "
    "INSERT INTO defect_search (defect_id, words) VALUES (NEW.defect_id, "
    "defect_search_words(NEW.subject, NEW.description, NEW.comments, NEW.history)) "
    "ON CONFLICT (defect_id) DO UPDATE SET words = EXCLUDED.words; "
    "RETURN NULL; "
    "END'",
    // Marking read writes only lastread and leaves the index alone.
    "CREATE TRIGGER defect_search_write AFTER INSERT OR UPDATE OF subject, description, comments, history "
    "ON defectlist FOR EACH ROW EXECUTE FUNCTION defect_search_follow()",
    "CREATE TRIGGER defect_search_delete AFTER DELETE ON defectlist FOR EACH ROW EXECUTE FUNCTION "
    "defect_search_follow()",
    // The users' role of a server set up for the program reads the index and writes attachment names.
    "DO $$BEGIN IF EXISTS (SELECT FROM pg_roles WHERE rolname = 'vellacord_users') THEN "
    "GRANT SELECT, INSERT, UPDATE, DELETE ON defect_search, defect_search_attachments TO vellacord_users; "
    "END IF; END$$",
    "INSERT INTO defect_search (defect_id, words) SELECT defect_id, "
    "defect_search_words(subject, description, comments, history) FROM defectlist",
};

// The user's words as the server's query, the same text in every statement.
constexpr QLatin1String kServerQuery("to_tsquery('simple', ?1)");

// defect_search_state.upto once every defect is indexed.
constexpr std::int64_t kComplete = std::numeric_limits<std::int64_t>::max();
constexpr int kDefectsPerStep = 2000;

bool HasSearchTables(engine::Connection& connection)
{
    std::int64_t present = 0;
    const QString sql = connection.IsServer()
        ? QStringLiteral("SELECT CASE WHEN to_regclass('defect_search_attachments') IS NULL THEN 0 ELSE 1 END")
        : QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type='table' AND name='defect_search_state'");
    if (engine::Failed(connection.QueryInt(sql, {}, present))) {
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
    if (connection.IsServer())
        return HasSearchTables(connection);
    return HasSearchTables(connection) && IndexedUpTo(connection) == kComplete;
}

namespace {

long BuildServerSearchIndex(engine::Connection& connection, bool& complete)
{
    complete = false;
    const long status = connection.WriteTransaction([&] {
        for (const char* sql : kServerCreateStatements) {
            if (const long step = connection.Execute(QString::fromUtf8(sql)); engine::Failed(step))
                return step;
            // Under the lock: another workstation may have built it meanwhile.
            if (sql == kServerCreateStatements[0] && HasSearchTables(connection))
                break;
        }
        complete = true;
        return engine::kOk;
    });
    if (engine::Failed(status))
        complete = false;
    return status;
}

} // namespace

long BuildSearchIndexStep(engine::Connection& connection, int defects, bool& complete)
{
    // A server builds it whole: writers wait for one transaction, readers not at all.
    if (connection.IsServer())
        return BuildServerSearchIndex(connection, complete);
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
    // A server has no folder beside a file: its attachment names come as attachments are added.
    if (!connection.IsServer())
        IndexAttachmentFolders(connection);
    return true;
}

namespace {

QString ServerSearchExpression(const QString& text)
{
    // The server's query syntax: and, or, not, followed by, groups, prefixes, weights.
    static const QRegularExpression syntax(QStringLiteral("[&|!()<>:*]"));
    if (syntax.match(text).hasMatch())
        return text;
    static const QRegularExpression separators(QStringLiteral("[^\\w]+"),
                                               QRegularExpression::UseUnicodePropertiesOption);
    QStringList terms;
    for (const QString& word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        // A word the parser splits ("don't", "v1.2") is a phrase of its pieces, each also a beginning.
        QStringList pieces;
        for (const QString& piece : word.split(separators, Qt::SkipEmptyParts))
            pieces << QStringLiteral("'%1':*").arg(piece);
        if (!pieces.isEmpty())
            terms << QLatin1Char('(') + pieces.join(QStringLiteral(" <-> ")) + QLatin1Char(')');
    }
    return terms.join(QStringLiteral(" & "));
}

} // namespace

QString SearchExpression(engine::Connection& connection, const QStringList& words)
{
    const QString text = words.join(QLatin1Char(' ')).simplified();
    if (connection.IsServer())
        return ServerSearchExpression(text);
    static const QRegularExpression syntax(QStringLiteral("[\"()*:^+]|\\b(AND|OR|NOT|NEAR)\\b"));
    if (syntax.match(text).hasMatch())
        return text;
    QStringList terms;
    // A word the tokenizer splits ("don't", "v1.2") is a phrase of its pieces.
    for (const QString& word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        terms << QStringLiteral("\"%1\"*").arg(word);
    return terms.join(QLatin1Char(' '));
}

QString SearchCountStatement(engine::Connection& connection)
{
    if (connection.IsServer())
        return QStringLiteral("SELECT count(*) FROM defect_search WHERE words @@ %1").arg(kServerQuery);
    return QStringLiteral("SELECT count(*) FROM defect_search WHERE defect_search MATCH ?1");
}

QString SearchRankedStatement(engine::Connection& connection, const QString& visible)
{
    if (connection.IsServer())
        return QStringLiteral("SELECT m.defect_id, min(m.score) AS best FROM ("
                              "SELECT defect_id, CAST(-ts_rank(words, %1) AS double precision) AS score "
                              "FROM defect_search WHERE words @@ %1 "
                              "UNION ALL "
                              "SELECT defect_id, CAST(0 AS double precision) FROM defect_search_attachments "
                              "WHERE words @@ %1"
                              ") m JOIN defectlist ON defectlist.defect_id = m.defect_id")
                   .arg(kServerQuery) +
            visible + QStringLiteral(" GROUP BY m.defect_id ORDER BY best, m.defect_id DESC LIMIT ?2");
    // Subject weighs most, then description, details and history.
    return QStringLiteral("SELECT m.defect_id, min(m.score) AS best FROM ("
                          "SELECT rowid AS defect_id, bm25(defect_search, 8.0, 3.0, 2.0, 1.0) AS score "
                          "FROM defect_search WHERE defect_search MATCH ?1 "
                          "UNION ALL "
                          "SELECT rowid, 0.0 FROM defect_search_attachments WHERE defect_search_attachments MATCH ?1"
                          ") m JOIN defectlist ON defectlist.defect_id = m.defect_id") +
        visible + QStringLiteral(" GROUP BY m.defect_id ORDER BY best, m.defect_id DESC LIMIT ?2");
}

QString SearchNewestStatement(engine::Connection& connection, const QString& visible)
{
    if (connection.IsServer())
        return QStringLiteral("SELECT defect_search.defect_id, CAST(0 AS double precision) FROM defect_search JOIN "
                              "defectlist ON defectlist.defect_id = defect_search.defect_id") +
            visible +
            QStringLiteral(" AND defect_search.words @@ %1 "
                           "UNION "
                           "SELECT defect_search_attachments.defect_id, CAST(0 AS double precision) FROM "
                           "defect_search_attachments JOIN defectlist ON defectlist.defect_id = "
                           "defect_search_attachments.defect_id")
                .arg(kServerQuery) +
            visible +
            QStringLiteral(" AND defect_search_attachments.words @@ %1 ORDER BY 1 DESC LIMIT ?2").arg(kServerQuery);
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

QString SearchExcerptsSelect(engine::Connection& connection, const std::vector<std::int32_t>& defectIds)
{
    // The ids are numbers the search read from the file.
    QStringList ids;
    for (const std::int32_t id : defectIds)
        ids << QString::number(id);
    const QString in = ids.isEmpty() ? QStringLiteral("NULL") : ids.join(QLatin1Char(','));
    // The third column puts a match in the texts before one in the attachment names.
    if (connection.IsServer())
        return QStringLiteral(
                   "SELECT s.defect_id, ts_headline('simple', concat_ws(' ', d.subject, d.description, d.comments, "
                   "d.history), %2, 'StartSel=[, StopSel=], MaxWords=12, MinWords=4, ShortWord=1, MaxFragments=1, "
                   "FragmentDelimiter=…'), 0 FROM defect_search s JOIN defectlist d ON d.defect_id = s.defect_id "
                   "WHERE s.defect_id IN (%1) AND s.words @@ %2 "
                   "UNION ALL "
                   "SELECT defect_id, ts_headline('simple', names, %2, 'StartSel=[, StopSel=]'), 1 FROM "
                   "defect_search_attachments WHERE defect_id IN (%1) AND words @@ %2 ORDER BY 1, 3")
            .arg(in, kServerQuery);
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
    const bool server = connection.IsServer();
    return connection.WriteTransaction([&] {
        long status =
            connection.Execute(server ? QStringLiteral("DELETE FROM defect_search_attachments WHERE defect_id = ?")
                                      : QStringLiteral("DELETE FROM defect_search_attachments WHERE rowid = ?"),
                               {std::int64_t{defectId}});
        const QString joined = names.join(QLatin1Char(' '));
        // The server's parser takes "core-dump-0815.txt" as one word: its pieces are indexed as well.
        if (server && !engine::Failed(status) && !names.isEmpty())
            return connection.Execute(
                QStringLiteral("INSERT INTO defect_search_attachments (defect_id, names, words) VALUES (?1, ?2, "
                               "to_tsvector('simple', ?2) || to_tsvector('simple', regexp_replace(?2, '[-._]', ' ', "
                               "'g')))"),
                {std::int64_t{defectId}, joined});
        if (!engine::Failed(status) && !names.isEmpty())
            status = connection.Execute(QStringLiteral("INSERT INTO defect_search_attachments (rowid, names) VALUES "
                                                       "(?, ?)"),
                                        {std::int64_t{defectId}, joined});
        return status;
    });
}
