#pragma once
// A prepared statement that lives only for one call: finalised when the guard ends, so that no
// read lock on the shared file outlasts the call.

#include "store/EngineValue.h"

#include <QString>
#include <QStringList>

#include <vector>

struct sqlite3_stmt;

namespace engine {

class Connection;

class Statement {
public:
    Statement(Connection& connection, const QString& sql);
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

private:
    Connection& connection_;
    QString sql_;
    sqlite3_stmt* statement_ = nullptr;
    long prepareStatus_ = 0;
};

} // namespace engine
