// The about box's memory figures from /proc/self/status and the address-space limit.

#include "app/MemoryStatus.h"

#include <QFile>
#include <QRegularExpression>

#include <sys/resource.h>

#include <cstdint>
#include <cstdlib>

namespace {

long ReadProcField(const QString& path, const QString& name)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return 0;
    return ProcField(QString::fromLatin1(file.readAll()), name).value_or(0);
}

} // namespace

std::optional<long> ProcField(const QString& text, const QString& name)
{
    const QRegularExpression line(QStringLiteral("^%1:\\s*(\\d+)\\s*kB\\s*$").arg(QRegularExpression::escape(name)),
                                  QRegularExpression::MultilineOption);
    const QRegularExpressionMatch match = line.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    return match.captured(1).toLong();
}

long VirtualMemoryInUseKiB()
{
    return ReadProcField(QStringLiteral("/proc/self/status"), QStringLiteral("VmSize"));
}

long AvailableVirtualMemoryKiB()
{
    // Without a limit the user half of the pointer range stands for the total; the about box
    // shows only changes of this figure, which do not depend on the total.
    long totalKiB = static_cast<long>((std::uintptr_t(1) << (sizeof(void*) * 8 - 1)) / 1024);
    rlimit limit{};
    if (getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
        totalKiB = static_cast<long>(limit.rlim_cur / 1024);
    return totalKiB - VirtualMemoryInUseKiB();
}

QString AvailableMemoryTrend::Change(long availableNowKiB)
{
    const long reference = reference_.value_or(availableNowKiB);
    reference_ = availableNowKiB;
    const long used = reference - availableNowKiB;
    return QString::asprintf("%s%ld", used < 0 ? "-" : "", std::labs(used));
}

AvailableMemoryTrend& TheAvailableMemoryTrend()
{
    static AvailableMemoryTrend trend;
    return trend;
}
