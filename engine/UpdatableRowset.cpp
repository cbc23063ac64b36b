// Writing a rowset's rows back into their table: updates that check the values as read, inserts, deletes.

#include "engine/UpdatableRowset.h"

#include "base/Check.h"
#include "engine/EngineStatus.h"

namespace engine {

namespace {

QString Quoted(const QString& name)
{
    QString escaped = name;
    escaped.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + escaped + QLatin1Char('"');
}

} // namespace

long UpdatableRowset::Open(Connection& connection, const QString& select, const Parameters& parameters,
                           const QString& table, const QString& keyColumn)
{
    Close();
    const long status = connection.Query(select, parameters, *this);
    if (Failed(status))
        return status;
    keyIndex_ = ColumnIndex(keyColumn);
    check::precondition(keyIndex_ >= 0, "the key column is not part of the rowset");
    connection_ = &connection;
    table_ = table;
    return kOk;
}

void UpdatableRowset::Close()
{
    connection_ = nullptr;
    Reset({}, {});
}

ErrorRecords UpdatableRowset::TakeErrorRecords()
{
    return connection_ != nullptr ? connection_->TakeErrorRecords() : ErrorRecords{};
}

long UpdatableRowset::SetData(const RowValues& values)
{
    check::precondition(IsOpen() && !AtEnd(), "no current row to write");
    // The row as read is what the file holds until the transaction commits: a transaction run again
    // (after the file was held locked beyond the busy limit) or rolled back compares with it.
    const Row read = CurrentRow();
    const std::size_t current = current_;
    // The probe after an update that changed nothing must see the same state of the file.
    const long status = connection_->WriteTransaction([&] {
        rows_[current] = read;
        return WriteCurrentRow(values);
    });
    if (Failed(status))
        rows_[current] = read;
    return status;
}

long UpdatableRowset::WriteCurrentRow(const RowValues& values)
{
    check::precondition(values.size() == static_cast<std::size_t>(ColumnCount()), "one value per column");

    QStringList assignments;
    Parameters parameters;
    Row written = CurrentRow();
    // A compared value as read is what the row holds when the update finds it, so it is left out:
    // a long text nobody edited is not copied into the journal and the file again. An uncompared
    // one may have been changed by somebody else and is written as given. Values all as read
    // are written all the same, so that the write still finds a change made by somebody else.
    for (const bool changedOnly : {true, false}) {
        for (int i = 0; i < ColumnCount(); ++i) {
            const auto& value = values[static_cast<std::size_t>(i)];
            if (i == keyIndex_ || !value ||
                (changedOnly && *value == Get(i) && !uncompared_.contains(columns_[i], Qt::CaseInsensitive)))
                continue;
            assignments << Quoted(columns_[i]) + QStringLiteral(" = ?");
            parameters.push_back(*value);
            written[static_cast<std::size_t>(i)] = *value;
        }
        if (!assignments.isEmpty())
            break;
    }
    if (assignments.isEmpty())
        return kOk;

    // Every value as it was read must still be there; otherwise someone else changed the row.
    QStringList conditions{Quoted(columns_[keyIndex_]) + QStringLiteral(" = ?")};
    parameters.push_back(Get(keyIndex_));
    for (int i = 0; i < ColumnCount(); ++i) {
        if (i == keyIndex_ || uncompared_.contains(columns_[i], Qt::CaseInsensitive))
            continue;
        conditions << Quoted(columns_[i]) + QStringLiteral(" IS ?");
        parameters.push_back(Get(i));
    }
    const QString sql =
        QStringLiteral("UPDATE %1 SET %2 WHERE %3")
            .arg(Quoted(table_), assignments.join(QStringLiteral(", ")), conditions.join(QStringLiteral(" AND ")));
    const long status = connection_->Execute(sql, parameters);
    if (Failed(status))
        return status;
    if (connection_->Changes() == 0) {
        std::int64_t exists = 0;
        // A commit reported as failed may have reached the file all the same (the lock could not
        // be released after it, say): a row that already holds these values was changed by nobody else.
        QStringList same{Quoted(columns_[keyIndex_]) + QStringLiteral(" = ?")};
        Parameters sameValues{Get(keyIndex_)};
        for (int i = 0; i < ColumnCount(); ++i) {
            const auto& value = values[static_cast<std::size_t>(i)];
            if (i == keyIndex_ || !value)
                continue;
            same << Quoted(columns_[i]) + QStringLiteral(" IS ?");
            sameValues.push_back(*value);
        }
        const QString landed =
            QStringLiteral("SELECT 1 FROM %1 WHERE %2").arg(Quoted(table_), same.join(QStringLiteral(" AND ")));
        if (connection_->QueryInt(landed, sameValues, exists) == kOk) {
            rows_[current_] = std::move(written);
            return kOk;
        }
        const QString probe =
            QStringLiteral("SELECT 1 FROM %1 WHERE %2 = ?").arg(Quoted(table_), Quoted(columns_[keyIndex_]));
        if (connection_->QueryInt(probe, {Get(keyIndex_)}, exists) == kOk)
            return connection_->RecordFailure(kConcurrencyViolation,
                                              {QStringLiteral("the row was changed by another user"), 0, sql});
        return connection_->RecordFailure(kDeletedRow, {QStringLiteral("the row was deleted by another user"), 0, sql});
    }
    rows_[current_] = std::move(written);
    return kOk;
}

long UpdatableRowset::Insert(const RowValues& values)
{
    check::precondition(IsOpen(), "the rowset is not open");
    check::precondition(values.size() == static_cast<std::size_t>(ColumnCount()), "one value per column");

    QStringList names;
    QStringList marks;
    Parameters parameters;
    Row inserted(static_cast<std::size_t>(ColumnCount()));
    for (int i = 0; i < ColumnCount(); ++i) {
        const auto& value = values[static_cast<std::size_t>(i)];
        if (!value)
            continue;
        names << Quoted(columns_[i]);
        marks << QStringLiteral("?");
        parameters.push_back(*value);
        inserted[static_cast<std::size_t>(i)] = *value;
    }
    const QString sql = names.isEmpty()
        ? QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(Quoted(table_))
        : QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
              .arg(Quoted(table_), names.join(QStringLiteral(", ")), marks.join(QStringLiteral(", ")));
    const long status = connection_->Execute(sql, parameters);
    if (Failed(status))
        return status;
    if (!values[static_cast<std::size_t>(keyIndex_)])
        inserted[static_cast<std::size_t>(keyIndex_)] = connection_->LastInsertId();
    rows_.push_back(std::move(inserted));
    current_ = rows_.size() - 1;
    stayOnNextMove_ = false;
    return kOk;
}

long UpdatableRowset::ReloadCurrentRow()
{
    check::precondition(IsOpen() && !AtEnd(), "no current row to reload");
    QStringList names;
    for (const QString& column : columns_)
        names << Quoted(column);
    const QString sql = QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ?")
                            .arg(names.join(QStringLiteral(", ")), Quoted(table_), Quoted(columns_[keyIndex_]));
    Rowset fresh;
    const long status = connection_->Query(sql, {Get(keyIndex_)}, fresh);
    if (Failed(status))
        return status;
    if (fresh.MoveFirst() != kOk)
        return connection_->RecordFailure(kDeletedRow, {QStringLiteral("the row was deleted by another user"), 0, sql});
    rows_[current_] = fresh.CurrentRow();
    return kOk;
}

long UpdatableRowset::Delete()
{
    check::precondition(IsOpen() && !AtEnd(), "no current row to delete");
    const QString sql = QStringLiteral("DELETE FROM %1 WHERE %2 = ?").arg(Quoted(table_), Quoted(columns_[keyIndex_]));
    const long status = connection_->Execute(sql, {Get(keyIndex_)});
    if (Failed(status))
        return status;
    rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(current_));
    stayOnNextMove_ = true;
    return kOk;
}

std::int64_t UpdatableRowset::LastInsertId() const
{
    return connection_ != nullptr ? connection_->LastInsertId() : 0;
}

} // namespace engine
