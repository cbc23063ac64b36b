// The about box's memory figures: fields of /proc and the change since they were last shown.

#include "app/MemoryStatus.h"

#include <gtest/gtest.h>

#include <memory>

TEST(MemoryStatus, ProcFieldsAndTheTrendSinceTheLastShowing)
{
    const QString status =
        QStringLiteral("Name:\tvellacord\nVmPeak:\t  300000 kB\nVmSize:\t  251234 kB\nVmRSS:\t 1 kB\n");
    EXPECT_EQ(ProcField(status, QStringLiteral("VmSize")), 251234);
    EXPECT_EQ(ProcField(status, QStringLiteral("MemAvailable")), std::nullopt);
    EXPECT_GT(VirtualMemoryInUseKiB(), 0);
    EXPECT_GT(AvailableVirtualMemoryKiB(), 0);

    // Reserving address space lowers what is available to the process at once, before a page of
    // it is touched; a system-wide free-memory figure would not move.
    constexpr long kReservedKiB = 512 * 1024;
    const long availableBefore = AvailableVirtualMemoryKiB();
    const std::unique_ptr<char[]> reserved(new char[kReservedKiB * 1024]);
    volatile char* first = reserved.get();
    *first = 1;
    EXPECT_GE(availableBefore - AvailableVirtualMemoryKiB(), kReservedKiB);

    AvailableMemoryTrend trend;
    EXPECT_EQ(trend.Change(1000), QStringLiteral("0"));
    EXPECT_EQ(trend.Change(900), QStringLiteral("100"));
    EXPECT_EQ(trend.Change(950), QStringLiteral("-50"));
    EXPECT_EQ(trend.Change(950), QStringLiteral("0"));
}
