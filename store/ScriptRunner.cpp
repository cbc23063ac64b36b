// Cutting the compiled-in SQL scripts into statements at "go" and "!", and running them.

#include "store/ScriptRunner.h"

#include "base/Check.h"
#include "base/ErrorContext.h"
#include "base/ErrorReport.h"
#include "engine/Connection.h"
#include "engine/EngineStatus.h"

#include <QFile>
#include <QString>

#include <functional>

namespace {

bool IsWhitespace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Bytes above 0x7f belong to multi-byte letters, so "go" followed by one is inside a word.
bool IsWordCharacter(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return (u >= '0' && u <= '9') || (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || u >= 0x80;
}

bool IsGoTerminator(const char* pos, const char* end)
{
    return (pos[0] == 'g' || pos[0] == 'G') && (pos[1] == 'o' || pos[1] == 'O') &&
        (pos + 2 == end || !IsWordCharacter(pos[2]));
}

bool IsBangTerminator(const char* pos)
{
    return pos[0] == '!' && (pos[1] == '\r' || pos[1] == '\n');
}

QByteArray Trimmed(const char* begin, const char* end)
{
    while (begin < end && IsWhitespace(*begin))
        ++begin;
    while (end > begin && IsWhitespace(end[-1]))
        --end;
    return QByteArray(begin, end - begin);
}

} // namespace

QByteArray LoadScript(int id, bool server)
{
    ErrorContext context("Loading resource from .EXE");
    const QString serverScript = QStringLiteral(":/SQL_SCRIPT_SERVER/%1").arg(id);
    QFile resource(server && QFile::exists(serverScript) ? serverScript : QStringLiteral(":/SQL_SCRIPT/%1").arg(id));
    check::assertion(resource.open(QIODevice::ReadOnly), "could not load sql commands from resource file");
    return resource.readAll();
}

ScriptStatement NextStatement(const char* begin, const char* end)
{
    enum class State { Between, Inside };
    ScriptStatement result;
    const char* pos = begin;
    const char* start = nullptr;
    State state = State::Between;
    while (pos < end && result.text.isEmpty()) {
        if (state == State::Between) {
            if (end - pos >= 3 && pos[0] == '-' && pos[1] == '-') {
                while (pos < end && *pos != '\n')
                    ++pos;
            } else if (IsWhitespace(*pos)) {
                ++pos;
            } else {
                start = pos;
                state = State::Inside;
            }
            continue;
        }
        if (end - pos == 1) {
            pos = end;
            break;
        }
        const char* terminator = pos;
        if (IsGoTerminator(pos, end)) {
            pos += 2;
        } else if (IsBangTerminator(pos)) {
            pos += 1;
        } else {
            ++pos;
            continue;
        }
        result.text = Trimmed(start, terminator);
        result.ignoreErrors = result.text.endsWith('-');
        if (result.ignoreErrors) {
            while (!result.text.isEmpty() && (result.text.back() == '-' || IsWhitespace(result.text.back())))
                result.text.chop(1);
        }
        // A terminator right after another leaves nothing to run; its mark must not carry over
        // to the statement that follows.
        if (result.text.isEmpty())
            result.ignoreErrors = false;
        state = State::Between;
    }
    result.next = pos;
    return result;
}

namespace {

// Runs every statement of the text; `failed` hears each failure not marked to be ignored and says
// whether to go on. False when it said no.
bool RunEach(const char* begin, const char* end, engine::Connection& connection,
             const std::function<bool(const QString& sql, long status)>& failed)
{
    const char* pos = begin;
    while (pos < end) {
        const ScriptStatement statement = NextStatement(pos, end);
        pos = statement.next;
        if (statement.text.isEmpty())
            continue;
        const QString sql = QString::fromUtf8(statement.text);
        const long status = connection.Execute(sql);
        if (!engine::Failed(status))
            continue;
        if (statement.ignoreErrors) {
            // The records of an expected failure must not show up in a later report.
            connection.TakeErrorRecords();
            continue;
        }
        if (!failed(sql, status))
            return false;
    }
    return true;
}

} // namespace

bool RunStatements(const char* begin, const char* end, engine::Connection& connection, UserInterface& ui,
                   bool continueOnError)
{
    return RunEach(begin, end, connection, [&](const QString&, long status) {
        // The statement is in the records, behind "Details".
        ShowOleDbErrors(ui, status, connection.TakeErrorRecords(),
                        QStringLiteral("A statement of a database script failed; the details show which."));
        return continueOnError;
    });
}

bool RunScript(int id, engine::Connection& connection, UserInterface& ui, bool continueOnError)
{
    const QByteArray script = LoadScript(id, connection.IsServer());
    return RunStatements(script.constData(), script.constData() + script.size(), connection, ui, continueOnError);
}

bool RunScriptUntilFailure(int id, engine::Connection& connection, ScriptFailure& failure)
{
    const QByteArray script = LoadScript(id, connection.IsServer());
    return RunEach(script.constData(), script.constData() + script.size(), connection,
                   [&](const QString& sql, long status) {
                       failure = {sql, status, connection.TakeErrorRecords()};
                       return false;
                   });
}
