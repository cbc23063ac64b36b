#include "app/base/ErrorRecord.h"

#include <utility>

namespace engine {

namespace {
std::vector<ErrorRecord>& PendingRecords()
{
    static std::vector<ErrorRecord> records;
    return records;
}
} // namespace

void RecordError(ErrorRecord record)
{
    auto& records = PendingRecords();
    records.clear();
    records.push_back(std::move(record));
}

std::vector<ErrorRecord> TakeErrorRecords()
{
    return std::exchange(PendingRecords(), {});
}

} // namespace engine
