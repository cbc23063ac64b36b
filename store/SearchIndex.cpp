// The engine's full-text tables over the defects, their triggers, and the statements that search them.

#include "store/SearchIndex.h"

#include "engine/Connection.h"
#include "engine/EngineStatus.h"
#include "store/AttachmentPaths.h"

#include <QDir>
#include <QDirIterator>
#include <QRegularExpression>

namespace {

// The texts of defectlist, indexed without a second copy: the index reads them from the table.
// unicode61 without diacritics lets "Große" find "grosse"; the prefix indexes make a word's
// beginning as fast as the word.
const char* const kCreateStatements[] = {
    "CREATE VIRTUAL TABLE defect_search USING fts5(subject, description, comments, history, "
    "content='defectlist', content_rowid='defect_id', tokenize='unicode61 remove_diacritics 2', prefix='2 3')",
    // Attachments live in folders beside the file, so their names are kept here by the program.
    "CREATE VIRTUAL TABLE defect_search_attachments USING fts5(names, "
    "tokenize='unicode61 remove_diacritics 2 tokenchars ''.-_''', prefix='2 3')",
    "CREATE TRIGGER defect_search_insert AFTER INSERT ON defectlist BEGIN "
    "INSERT INTO defect_search (rowid, subject, description, comments, history) "
    "VALUES (new.defect_id, new.subject, new.description, new.comments, new.history); END",
    "CREATE TRIGGER defect_search_delete AFTER DELETE ON defectlist BEGIN "
    "INSERT INTO defect_search (defect_search, rowid, subject, description, comments, history) "
    "VALUES ('delete', old.defect_id, old.subject, old.description, old.comments, old.history); "
    "DELETE FROM defect_search_attachments WHERE rowid = old.defect_id; END",
    // Marking read writes only lastread and leaves the index alone.
    "CREATE TRIGGER defect_search_update AFTER UPDATE OF subject, description, comments, history ON defectlist "
    "BEGIN "
    "INSERT INTO defect_search (defect_search, rowid, subject, description, comments, history) "
    "VALUES ('delete', old.defect_id, old.subject, old.description, old.comments, old.history); "
    "INSERT INTO defect_search (rowid, subject, description, comments, history) "
    "VALUES (new.defect_id, new.subject, new.description, new.comments, new.history); END",
    "INSERT INTO defect_search (defect_search) VALUES ('rebuild')",
};

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
    std::int64_t present = 0;
    if (engine::Failed(connection.QueryInt(
            QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type='table' AND name='defect_search'"), {},
            present))) {
        connection.TakeErrorRecords();
        return false;
    }
    return present != 0;
}

bool EnsureSearchIndex(engine::Connection& connection)
{
    if (HasSearchIndex(connection))
        return true;
    const long status = connection.WriteTransaction([&] {
        // Another workstation may have built it while this one waited for the write lock.
        if (HasSearchIndex(connection))
            return engine::kOk;
        for (const char* sql : kCreateStatements) {
            if (const long step = connection.Execute(QString::fromUtf8(sql)); engine::Failed(step))
                return step;
        }
        return engine::kOk;
    });
    if (engine::Failed(status)) {
        connection.TakeErrorRecords();
        return false;
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
