#pragma once
// A prepared statement that lives only for one call: finalised when the guard ends, so that no
// read lock on the shared file outlasts the call.

#include "engine/EngineValue.h"

#include <QString>
#include <QStringList>

#include <cstdint>

#include <memory>
#include <vector>

struct sqlite3_stmt;

namespace engine {

class Connection;
class PgStatement;
class ReadOnlyFence;

// What a statement may do to the file. A statement that carries text a user typed (a filter)
// is prepared ReadOnly: anything but reading makes it a faulty command, and so does a run
// beyond the fence's time limit.
enum class Access { Any, ReadOnly };

// Whether a piece of SQL closes every comment, quote, bracketed name and parenthesis it opens and
// closes no parenthesis it did not open, so that text put after it is read as SQL and a condition
// put in parentheses stays inside them.
bool IsCompleteFragment(const QString& fragment);

class Statement {
public:
    Statement(Connection& connection, const QString& sql, Access access = Access::Any);
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    ~Statement();

    // Without a prepared statement, Bind and Step return the status of the preparation:
    // kFaultyCommand when the text was not understood or holds more than one statement.
    long Bind(const std::vector<Value>& parameters);

    // kOk for a row, kEndOfRowset at the end, a failure status otherwise.
    long Step();

    // A statement that changes the database and may run inside a transaction.
    bool WritesInTransaction() const;

    int ColumnCount() const;
    QStringList ColumnNames() const;
    Value Column(int index) const;
    // Direct reads of the current row for callers that read many rows.
    std::int64_t ColumnInt(int index) const;
    double ColumnReal(int index) const;
    // The column's UTF-8 bytes; valid until the next step.
    const char* ColumnUtf8(int index, int& bytes) const;

private:
    Connection& connection_;
    QString sql_;
    sqlite3_stmt* statement_ = nullptr;
    long prepareStatus_ = 0;
    std::unique_ptr<ReadOnlyFence> fence_; // stands from the preparation to the end of the statement
    std::unique_ptr<PgStatement> server_;  // the statement on a server, when the connection is to one
};

} // namespace engine
