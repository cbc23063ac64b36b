#pragma once
// The rows of one query, read completely when it was opened.

#include "engine/EngineValue.h"

#include <QStringList>

#include <vector>

namespace engine {

using Row = std::vector<Value>;

class Rowset {
public:
    void Reset(QStringList columnNames, std::vector<Row> rows);

    // Both return kOk on a row and kEndOfRowset past the last one.
    long MoveFirst();
    long MoveNext();
    bool AtEnd() const { return current_ >= rows_.size(); }
    // Makes the first row whose column holds the value current; kEndOfRowset when none does.
    long Locate(int column, const Value& value);

    int ColumnCount() const { return static_cast<int>(columns_.size()); }
    const QStringList& ColumnNames() const { return columns_; }
    int ColumnIndex(const QString& name) const; // -1 when there is no such column

    const Row& CurrentRow() const;
    const Value& Get(int column) const;
    std::int64_t Int(int column) const { return AsInt(Get(column)); }
    std::int32_t Int32(int column) const { return static_cast<std::int32_t>(Int(column)); }
    double Real(int column) const { return AsReal(Get(column)); }
    QString Text(int column) const { return AsText(Get(column)); }
    bool IsNull(int column) const { return engine::IsNull(Get(column)); }

    std::size_t size() const { return rows_.size(); }

protected:
    QStringList columns_;
    std::vector<Row> rows_;
    std::size_t current_ = 0;
    bool stayOnNextMove_ = false; // the current row was removed; the next move lands on its successor
};

} // namespace engine
