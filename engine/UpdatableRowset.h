#pragma once
// A rowset whose rows can be written back into one table with optimistic concurrency: an
// update names the key and every value as it was read, so a row that another connection
// changed in the meantime is not overwritten but reported as kConcurrencyViolation.

#include "engine/Connection.h"
#include "engine/Rowset.h"

#include <optional>

namespace engine {

// One value per column of the rowset; none leaves that column alone (the key, for example).
using RowValues = std::vector<std::optional<Value>>;

class UpdatableRowset : public Rowset {
public:
    // `select` names the table's columns (the key among them); writes go to `table`.
    long Open(Connection& connection, const QString& select, const Parameters& parameters, const QString& table,
              const QString& keyColumn);
    void Close();
    bool IsOpen() const { return connection_ != nullptr; }

    // Writes into the current row, in a transaction of its own unless one is open.
    long SetData(const RowValues& values);

    // Adds a row and makes it current; a key collision is kIntegrityViolation.
    long Insert(const RowValues& values);

    // Reads the current row again from the table, dropping what the rowset remembered of it;
    // kDeletedRow when the row is gone.
    long ReloadCurrentRow();

    // Deletes the current row; it stays current until the next move.
    long Delete();

    std::int64_t LastInsertId() const;

    // The records of the last failure on the rowset's connection.
    ErrorRecords TakeErrorRecords();

private:
    long WriteCurrentRow(const RowValues& values);

    Connection* connection_ = nullptr;
    QString table_;
    int keyIndex_ = -1;
};

} // namespace engine
