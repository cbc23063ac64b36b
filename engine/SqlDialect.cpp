// Translating the program's SQL into the server's dialect, and the names of server databases.

#include "engine/SqlDialect.h"

#include "base/DatabaseName.h"

#include <QRegularExpression>
#include <QUrl>
#include <QUrlQuery>

#include <algorithm>

namespace engine {

namespace {

bool IsWordCharacter(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_');
}

// The word that ends where the output ends (after blanks), and where it begins.
QString LastWord(const QString& out, qsizetype& begin)
{
    qsizetype end = out.size();
    while (end > 0 && out[end - 1].isSpace())
        --end;
    begin = end;
    while (begin > 0 && IsWordCharacter(out[begin - 1]))
        --begin;
    return out.mid(begin, end - begin);
}

// Rewrites "IS" or "IS NOT" just before a parameter into the null-safe comparison.
void NullSafeComparison(QString& out)
{
    qsizetype begin = 0;
    QString word = LastWord(out, begin);
    bool negated = false;
    qsizetype isBegin = begin;
    if (word.compare(QLatin1String("NOT"), Qt::CaseInsensitive) == 0) {
        QString before = out.left(begin);
        const QString previous = LastWord(before, isBegin);
        if (previous.compare(QLatin1String("IS"), Qt::CaseInsensitive) != 0)
            return;
        negated = true;
    } else if (word.compare(QLatin1String("IS"), Qt::CaseInsensitive) != 0) {
        return;
    }
    out.truncate(isBegin);
    out += negated ? QLatin1String("IS DISTINCT FROM ") : QLatin1String("IS NOT DISTINCT FROM ");
}

} // namespace

ServerSql ToServerSql(const QString& sql)
{
    ServerSql result;
    QString& out = result.text;
    out.reserve(sql.size() + 16);
    const qsizetype n = sql.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = sql[i];
        const QChar next = i + 1 < n ? sql[i + 1] : QChar();
        if (c == QLatin1Char('"')) {
            // The file engine compares names without case, quoted or not; the server's schema
            // has its names in lower case, and a quoted name must match them exactly.
            qsizetype close = sql.indexOf(c, i + 1);
            if (close < 0)
                close = n - 1;
            out += QStringView(sql).mid(i, close - i + 1).toString().toLower();
            i = close;
        } else if (c == QLatin1Char('\'')) {
            // A doubled quote inside stands for itself: scanning on from it finds the same end.
            qsizetype close = sql.indexOf(c, i + 1);
            if (close < 0)
                close = n - 1;
            out += QStringView(sql).mid(i, close - i + 1);
            i = close;
        } else if (c == QLatin1Char('-') && next == QLatin1Char('-')) {
            qsizetype close = sql.indexOf(QLatin1Char('\n'), i);
            if (close < 0)
                close = n - 1;
            out += QStringView(sql).mid(i, close - i + 1);
            i = close;
        } else if (c == QLatin1Char('/') && next == QLatin1Char('*')) {
            qsizetype close = sql.indexOf(QLatin1String("*/"), i + 2);
            close = close < 0 ? n - 1 : close + 1;
            out += QStringView(sql).mid(i, close - i + 1);
            i = close;
        } else if (c == QLatin1Char('$') && next == QLatin1Char('$')) {
            // A function body quoted with dollars is the server's own language, left as written.
            qsizetype close = sql.indexOf(QLatin1String("$$"), i + 2);
            close = close < 0 ? n - 1 : close + 1;
            out += QStringView(sql).mid(i, close - i + 1);
            i = close;
        } else if (c == QLatin1Char('[')) {
            qsizetype close = sql.indexOf(QLatin1Char(']'), i + 1);
            if (close < 0)
                close = n;
            out += QuotedIdentifier(sql.mid(i + 1, close - i - 1).toLower());
            i = close;
        } else if (c == QLatin1Char('?')) {
            NullSafeComparison(out);
            // "?3" names the third value; a bare "?" takes the one after the highest so far.
            qsizetype end = i + 1;
            while (end < n && sql[end].isDigit())
                ++end;
            const int number = end > i + 1 ? sql.mid(i + 1, end - i - 1).toInt() : result.parameters + 1;
            result.parameters = std::max(result.parameters, number);
            out += QLatin1Char('$') + QString::number(number);
            i = end - 1;
        } else if (IsWordCharacter(c) && (i == 0 || !IsWordCharacter(sql[i - 1]))) {
            qsizetype end = i;
            while (end < n && IsWordCharacter(sql[end]))
                ++end;
            const QStringView word = QStringView(sql).mid(i, end - i);
            if (word.compare(QLatin1String("LIKE"), Qt::CaseInsensitive) == 0)
                out += QLatin1String("ILIKE");
            else
                out += word;
            i = end - 1;
        } else {
            out += c;
        }
    }
    return result;
}

bool IsServerName(const QString& name)
{
    return IsServerDatabaseName(name);
}

QString DisplayNameOfServer(const QString& uri)
{
    QUrl url(uri, QUrl::TolerantMode);
    if (!url.isValid())
        return QStringLiteral("postgresql://");
    url.setUserInfo(QString());
    QUrlQuery query(url);
    query.removeAllQueryItems(QStringLiteral("password"));
    query.removeAllQueryItems(QStringLiteral("user"));
    url.setQuery(query);
    return url.toString(QUrl::PrettyDecoded);
}

QString ServerUriWithoutPassword(const QString& uri)
{
    QUrl url(uri, QUrl::TolerantMode);
    if (!url.isValid())
        return QStringLiteral("postgresql://");
    url.setPassword(QString());
    QUrlQuery query(url);
    query.removeAllQueryItems(QStringLiteral("password"));
    url.setQuery(query);
    return url.toString(QUrl::FullyEncoded);
}

QString ServerDatabaseName(const QString& uri)
{
    const QUrl url(uri, QUrl::TolerantMode);
    const QString named = QUrlQuery(url).queryItemValue(QStringLiteral("dbname"), QUrl::FullyDecoded);
    if (!named.isEmpty())
        return named;
    const QString path = url.path(QUrl::FullyDecoded).section(QLatin1Char('/'), 1);
    return path.isEmpty() ? DisplayNameOfServer(uri) : path;
}

QString DisplayNameOfDatabase(const QString& name)
{
    return IsServerName(name) ? DisplayNameOfServer(name) : name;
}

QString ServerTableColumnsQuery()
{
    return QStringLiteral(
        "SELECT c.ordinal_position - 1 AS cid, c.column_name AS name, CASE WHEN c.character_maximum_length IS NULL "
        "THEN c.data_type ELSE c.data_type || '(' || c.character_maximum_length || ')' END AS type, CASE WHEN "
        "c.is_nullable = 'NO' THEN 1 ELSE 0 END AS notnull, c.column_default AS dflt_value, COALESCE((SELECT "
        "k.ordinal_position FROM information_schema.table_constraints t JOIN information_schema.key_column_usage k "
        "ON k.constraint_name = t.constraint_name AND k.table_schema = t.table_schema AND k.table_name = t.table_name "
        "WHERE t.constraint_type = 'PRIMARY KEY' AND t.table_schema = c.table_schema AND t.table_name = c.table_name "
        "AND k.column_name = c.column_name), 0) AS pk FROM information_schema.columns c WHERE c.table_schema = "
        "'vellacord' AND c.table_name = lower(?) AND c.column_name <> 'rowid' ORDER BY c.ordinal_position");
}

QString QuotedIdentifier(const QString& name)
{
    QString escaped = name;
    escaped.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + escaped + QLatin1Char('"');
}

} // namespace engine
