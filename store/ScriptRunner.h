#pragma once
// The SQL scripts compiled into the program: fetching one by id, cutting it into statements and
// running them on a connection.
//
// A statement ends at "go" (either case, followed by a character that is neither a letter nor a
// digit, or by the end) or at "!" followed by CR or LF. Two dashes start a comment only between
// statements. A statement whose text ends in "-" runs without the trailing blanks and dashes,
// and its failure is silent. A statement without a terminator before the end is not run.

#include "base/ErrorRecord.h"

#include <QByteArray>
#include <QString>

class UserInterface;

namespace engine {
class Connection;
}

struct ScriptStatement {
    const char* next = nullptr; // where scanning continues
    QByteArray text;            // trimmed; empty when no further statement was found
    bool ignoreErrors = false;
};

// The bytes of script `id`; an assertion failure when the program does not carry it. A server
// database has scripts of its own where its dialect differs; the others are shared.
QByteArray LoadScript(int id, bool server = false);

ScriptStatement NextStatement(const char* begin, const char* end);

// Runs every statement of the text. A failure not marked to be ignored shows the engine's error
// report with the statement; without continueOnError the run then stops and returns false.
bool RunStatements(const char* begin, const char* end, engine::Connection& connection, UserInterface& ui,
                   bool continueOnError);

bool RunScript(int id, engine::Connection& connection, UserInterface& ui, bool continueOnError);

// The first statement of a script that failed, for the caller to explain in its own words.
struct ScriptFailure {
    QString statement;
    long status = 0;
    engine::ErrorRecords records;
};

// Runs the statements of script `id` up to the first failure not marked to be ignored, without a
// word to the user; false then, with that failure in `failure`.
bool RunScriptUntilFailure(int id, engine::Connection& connection, ScriptFailure& failure);
