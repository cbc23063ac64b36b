// Translating the program's SQL into the server's dialect, and the names of server databases.

#include "engine/SqlDialect.h"

#include <QRegularExpression>
#include <QUrl>
#include <QUrlQuery>

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
        if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
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
            out += QuotedIdentifier(sql.mid(i + 1, close - i - 1));
            i = close;
        } else if (c == QLatin1Char('?')) {
            NullSafeComparison(out);
            out += QLatin1Char('$') + QString::number(++result.parameters);
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
    return name.startsWith(QLatin1String("postgresql://"), Qt::CaseInsensitive) ||
        name.startsWith(QLatin1String("postgres://"), Qt::CaseInsensitive);
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

QString QuotedIdentifier(const QString& name)
{
    QString escaped = name;
    escaped.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + escaped + QLatin1Char('"');
}

} // namespace engine
