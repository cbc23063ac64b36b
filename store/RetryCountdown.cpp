// The retry dialog's countdown on the injectable clock, which ignores the clock being set back.

#include "store/RetryCountdown.h"

#include <algorithm>

namespace {
constexpr qint64 kMsPerSecond = 1000;
} // namespace

RetryCountdown::RetryCountdown(const Clock& clock, int seconds)
    : clock_(clock), remainingMs_(static_cast<qint64>(seconds) * kMsPerSecond), lastSeen_(clock.Now())
{
}

void RetryCountdown::Update()
{
    const QDateTime now = clock_.Now();
    remainingMs_ -= std::max<qint64>(lastSeen_.msecsTo(now), 0);
    lastSeen_ = now;
}

qint64 RetryCountdown::TicksLeft() const
{
    // Rounds half a tick up: 1 750 ms left are 4 ticks, 1 749 ms are 3.
    return remainingMs_ <= 0 ? 0 : (remainingMs_ + kTickMs / 2) / kTickMs;
}
