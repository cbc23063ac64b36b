#pragma once
// The shared database file cannot be reached. `status` is the failing engine status,
// or kMaintenanceLockStatus when the file is locked for maintenance.

#include <cstdint>
#include <stdexcept>

class database_unavailable : public std::runtime_error {
public:
    static constexpr std::int32_t kMaintenanceLockStatus = 5;

    explicit database_unavailable(std::int32_t failingStatus)
        : std::runtime_error("database unavailable"), status(failingStatus)
    {
    }

    std::int32_t status;
};
