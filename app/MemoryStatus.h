#pragma once
// The memory figures of the about box, read from the operating system.

#include <QString>

#include <optional>

// The value in KiB of a "Name:   1234 kB" line of a /proc status file's text.
std::optional<long> ProcField(const QString& text, const QString& name);

// The process's virtual memory in use (VmSize), in KiB; 0 when unreadable.
long VirtualMemoryInUseKiB();
// The process's virtual address space still available, in KiB: its limit minus what is in use.
long AvailableVirtualMemoryKiB();

// The change of available memory since the previous showing: "%s%d" with "-" in front when
// more is available now. The first call takes the value as reference and gives "0".
class AvailableMemoryTrend {
public:
    QString Change(long availableNowKiB);

private:
    std::optional<long> reference_;
};

// The trend of the about box, kept for the whole process.
AvailableMemoryTrend& TheAvailableMemoryTrend();
