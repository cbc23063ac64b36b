// Moving through the rows of a query read in full, and reading and locating their values.

#include "engine/Rowset.h"

#include "base/Check.h"
#include "engine/EngineStatus.h"

namespace engine {

void Rowset::Reset(QStringList columnNames, std::vector<Row> rows)
{
    columns_ = std::move(columnNames);
    rows_ = std::move(rows);
    current_ = 0;
    stayOnNextMove_ = false;
}

long Rowset::MoveFirst()
{
    current_ = 0;
    stayOnNextMove_ = false;
    return AtEnd() ? kEndOfRowset : kOk;
}

long Rowset::MoveNext()
{
    if (stayOnNextMove_)
        stayOnNextMove_ = false;
    else if (!AtEnd())
        ++current_;
    return AtEnd() ? kEndOfRowset : kOk;
}

int Rowset::ColumnIndex(const QString& name) const
{
    for (int i = 0; i < columns_.size(); ++i)
        if (columns_[i].compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

const Row& Rowset::CurrentRow() const
{
    check::precondition(!AtEnd(), "rowset has no current row");
    return rows_[current_];
}

const Value& Rowset::Get(int column) const
{
    const Row& row = CurrentRow();
    check::precondition(column >= 0 && column < static_cast<int>(row.size()), "rowset column out of range");
    return row[static_cast<std::size_t>(column)];
}

long Rowset::Locate(int column, const Value& value)
{
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        if (rows_[i][static_cast<std::size_t>(column)] == value) {
            current_ = i;
            stayOnNextMove_ = false;
            return kOk;
        }
    }
    current_ = rows_.size();
    return kEndOfRowset;
}

} // namespace engine
