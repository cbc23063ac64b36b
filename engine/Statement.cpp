// One prepared statement: refused when faulty or followed by another, bound in full, stepped, read by column.

#include "engine/Statement.h"

#include "engine/Connection.h"
#include "engine/EngineStatus.h"
#include "engine/PgStatement.h"
#include "engine/ReadOnlyFence.h"

#include <QRegularExpression>

#include <sqlite3.h>

#include <type_traits>

namespace engine {

namespace {

// Whether anything but whitespace, comments and semicolons follows the first statement.
bool HasFurtherStatement(sqlite3* db, const char* tail, const char* end)
{
    sqlite3_stmt* next = nullptr;
    const int code = sqlite3_prepare_v2(db, tail, static_cast<int>(end - tail), &next, nullptr);
    const bool further = code != SQLITE_OK || next != nullptr;
    sqlite3_finalize(next);
    return further;
}

// Whether every parenthesis outside quotes, bracketed names and comments closes one opened before
// it in the text, and every one opened is closed. SQLite's tokenizer does not count parentheses.
bool ParenthesesBalance(const QByteArray& text)
{
    int depth = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const char next = i + 1 < text.size() ? text[i + 1] : '\0';
        if (c == '\'' || c == '"' || c == '`' || c == '[') {
            // A doubled quote inside a quoted text stands for itself: scanning on from it finds
            // the same end.
            const char end = c == '[' ? ']' : c;
            const qsizetype close = text.indexOf(end, i + 1);
            if (close < 0)
                return false;
            i = close;
        } else if (c == '-' && next == '-') {
            const qsizetype close = text.indexOf('\n', i);
            i = close < 0 ? text.size() : close;
        } else if (c == '/' && next == '*') {
            const qsizetype close = text.indexOf("*/", i + 2);
            if (close < 0)
                return false;
            i = close + 1;
        } else if (c == '(') {
            ++depth;
        } else if (c == ')' && --depth < 0) {
            return false;
        }
    }
    return depth == 0;
}

} // namespace

bool IsCompleteFragment(const QString& fragment)
{
    const QByteArray text = (fragment + QStringLiteral("\n;")).toUtf8();
    return sqlite3_complete(text.constData()) != 0 && ParenthesesBalance(fragment.toUtf8());
}

Statement::Statement(Connection& connection, const QString& sql, Access access) : connection_(connection), sql_(sql)
{
    if (!connection.IsOpen()) {
        // The connection was closed when the file could not be reached and the user gave up.
        prepareStatus_ = connection.RecordFailure(
            kFailure, {QStringLiteral("the connection is closed"), SQLITE_MISUSE, sql, FailureKind::Unreachable});
        return;
    }
    if (connection.server_) {
        server_ = std::make_unique<PgStatement>(*connection.server_, sql, access);
        return;
    }
    if (access == Access::ReadOnly)
        fence_ = std::make_unique<ReadOnlyFence>(connection.db_);
    const QByteArray text = sql.toUtf8();
    const char* tail = nullptr;
    const int code =
        sqlite3_prepare_v2(connection.db_, text.constData(), static_cast<int>(text.size()), &statement_, &tail);
    if (code != SQLITE_OK) {
        const long status = connection.Fail(code, sql);
        // A fenced text that tries more than reading is as faulty as one that does not parse.
        prepareStatus_ = (code & 0xff) == SQLITE_ERROR || (code & 0xff) == SQLITE_AUTH ? kFaultyCommand : status;
    } else if (statement_ == nullptr) {
        // Only whitespace or a comment: nothing to run.
        prepareStatus_ =
            connection.RecordFailure(kFaultyCommand, {QStringLiteral("empty statement"), SQLITE_ERROR, sql});
    } else if (HasFurtherStatement(connection.db_, tail, text.constData() + text.size())) {
        // Only the first statement would run, and the rest would be dropped without a word.
        sqlite3_finalize(statement_);
        statement_ = nullptr;
        prepareStatus_ = connection.RecordFailure(
            kFaultyCommand, {QStringLiteral("more than one statement in one command"), SQLITE_ERROR, sql});
    } else if (fence_ && sqlite3_stmt_readonly(statement_) == 0) {
        sqlite3_finalize(statement_);
        statement_ = nullptr;
        prepareStatus_ = connection.RecordFailure(
            kFaultyCommand, {QStringLiteral("the condition does more than read"), SQLITE_AUTH, sql});
    }
}

Statement::~Statement()
{
    sqlite3_finalize(statement_);
}

long Statement::Bind(const std::vector<Value>& parameters)
{
    if (server_)
        return server_->Bind(parameters);
    if (statement_ == nullptr)
        return prepareStatus_;
    // SQLite reads "@name", ":name", "$name" and "?" as parameters and runs an unbound one as
    // NULL; a command with more of them than values is faulty, not a silent empty result.
    const int named = sqlite3_bind_parameter_count(statement_);
    if (named != static_cast<int>(parameters.size()))
        return connection_.RecordFailure(
            kFaultyCommand,
            {QStringLiteral("the command has %1 parameters, %2 values given").arg(named).arg(parameters.size()),
             SQLITE_RANGE, sql_});
    for (std::size_t i = 0; i < parameters.size(); ++i) {
        const int index = static_cast<int>(i) + 1;
        const int code = std::visit(
            [&](const auto& value) -> int {
                using T = std::decay_t<decltype(value)>;
                if constexpr (std::is_same_v<T, std::monostate>)
                    return sqlite3_bind_null(statement_, index);
                else if constexpr (std::is_same_v<T, std::int64_t>)
                    return sqlite3_bind_int64(statement_, index, value);
                else if constexpr (std::is_same_v<T, double>)
                    return sqlite3_bind_double(statement_, index, value);
                else if constexpr (std::is_same_v<T, QString>) {
                    const QByteArray utf8 = value.toUtf8();
                    return sqlite3_bind_text(statement_, index, utf8.constData(), static_cast<int>(utf8.size()),
                                             SQLITE_TRANSIENT);
                } else
                    return sqlite3_bind_blob(statement_, index, value.constData(), static_cast<int>(value.size()),
                                             SQLITE_TRANSIENT);
            },
            parameters[i]);
        if (code != SQLITE_OK)
            return connection_.Fail(code, sql_);
    }
    return kOk;
}

long Statement::Step()
{
    if (server_)
        return server_->Step();
    if (statement_ == nullptr)
        return prepareStatus_;
    const int code = sqlite3_step(statement_);
    connection_.EndWait();
    if (code == SQLITE_ROW)
        return kOk;
    if (code == SQLITE_DONE)
        return kEndOfRowset;
    const long status = connection_.Fail(code, sql_);
    if (fence_ && fence_->timedOut())
        return connection_.RecordFailure(kFaultyCommand,
                                         {QStringLiteral("the condition ran longer than %1 seconds")
                                              .arg(static_cast<double>(ReadOnlyFence::LongestRun().count()) / 1000.0),
                                          SQLITE_INTERRUPT, sql_});
    // A user's condition that fails while it runs (an overflow, a text too big, a bad argument
    // to a function) is as faulty as one that does not parse; the file itself is fine.
    if (fence_ && !connection_.lost())
        return kFaultyCommand;
    return status;
}

bool Statement::WritesInTransaction() const
{
    if (statement_ == nullptr || sqlite3_stmt_readonly(statement_) != 0)
        return false;
    // Transaction control itself, and commands that refuse to run inside a transaction.
    static const QStringList kAlone{QStringLiteral("BEGIN"),    QStringLiteral("COMMIT"),    QStringLiteral("END"),
                                    QStringLiteral("ROLLBACK"), QStringLiteral("SAVEPOINT"), QStringLiteral("RELEASE"),
                                    QStringLiteral("VACUUM"),   QStringLiteral("PRAGMA"),    QStringLiteral("ATTACH"),
                                    QStringLiteral("DETACH")};
    const QString command = sql_.section(QRegularExpression(QStringLiteral("\\W+")), 0, 0, QString::SectionSkipEmpty);
    return !kAlone.contains(command, Qt::CaseInsensitive);
}

int Statement::ColumnCount() const
{
    if (server_)
        return server_->ColumnCount();
    return statement_ == nullptr ? 0 : sqlite3_column_count(statement_);
}

QStringList Statement::ColumnNames() const
{
    if (server_)
        return server_->ColumnNames();
    QStringList names;
    for (int i = 0; i < ColumnCount(); ++i)
        names << QString::fromUtf8(sqlite3_column_name(statement_, i));
    return names;
}

std::int64_t Statement::ColumnInt(int index) const
{
    if (server_)
        return server_->ColumnInt(index);
    return sqlite3_column_int64(statement_, index);
}

double Statement::ColumnReal(int index) const
{
    if (server_)
        return server_->ColumnReal(index);
    return sqlite3_column_double(statement_, index);
}

const char* Statement::ColumnUtf8(int index, int& bytes) const
{
    if (server_)
        return server_->ColumnUtf8(index, bytes);
    // A text as the file keeps it, when that is UTF-8: sqlite3_column_text would copy every text
    // that does not end in a NUL where it lies (most of them) only to add one.
    if (sqlite3_column_type(statement_, index) == SQLITE_TEXT && connection_.TextIsUtf8()) {
        const auto* stored = static_cast<const char*>(sqlite3_column_blob(statement_, index));
        bytes = sqlite3_column_bytes(statement_, index);
        return stored != nullptr ? stored : "";
    }
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement_, index));
    bytes = sqlite3_column_bytes(statement_, index);
    return text;
}

Value Statement::Column(int index) const
{
    if (server_)
        return server_->Column(index);
    switch (sqlite3_column_type(statement_, index)) {
    case SQLITE_INTEGER:
        return static_cast<std::int64_t>(sqlite3_column_int64(statement_, index));
    case SQLITE_FLOAT:
        return sqlite3_column_double(statement_, index);
    case SQLITE_TEXT:
        return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement_, index)),
                                 sqlite3_column_bytes(statement_, index));
    case SQLITE_BLOB:
        return QByteArray(static_cast<const char*>(sqlite3_column_blob(statement_, index)),
                          sqlite3_column_bytes(statement_, index));
    default:
        return std::monostate{};
    }
}

} // namespace engine
