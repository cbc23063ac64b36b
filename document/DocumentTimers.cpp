// Auto-close and auto-refresh timers with pauses on the injectable clock.

#include "document/DocumentTimers.h"

#include "platform/OleDate.h"

#include <algorithm>

namespace {

constexpr qint64 kSecondsPerMinute = 60;
constexpr qint64 kMillisecondsPerSecond = 1000;

} // namespace

DocumentTimers::DocumentTimers(const Clock& clock, std::function<int(int id)> periodMinutes, QObject* parent)
    : QObject(parent), clock_(clock), periodMinutes_(std::move(periodMinutes))
{
    for (const int id : {kAutoClose, kAutoRefresh})
        connect(&Slot(id).timer, &QTimer::timeout, this, [this, id] {
            // A period shortened by a pause was a one-off; from here on the full period repeats.
            TimerSlot& slot = Slot(id);
            slot.startedAt = clock_.SecondsSince1970();
            slot.timer.setInterval(
                static_cast<int>(std::min<qint64>(PeriodSeconds(id) * kMillisecondsPerSecond, INT32_MAX)));
            emit timeout(id);
        });
}

qint64 DocumentTimers::PeriodSeconds(int id) const
{
    return static_cast<qint64>(periodMinutes_(id)) * kSecondsPerMinute;
}

void DocumentTimers::StartTimer(int id, bool run, std::optional<qint64> seconds)
{
    TimerSlot& slot = Slot(id);
    if (!run || PeriodSeconds(id) == 0) {
        slot.timer.stop();
        slot.running = false;
        return;
    }
    slot.startedAt = clock_.SecondsSince1970();
    slot.running = true;
    if (paused())
        return; // the pause ends with a full period
    const qint64 wait = std::max<qint64>(seconds.value_or(PeriodSeconds(id)), 0);
    slot.timer.start(static_cast<int>(std::min<qint64>(wait * kMillisecondsPerSecond, INT32_MAX)));
}

void DocumentTimers::PauseTimers()
{
    if (pauseDepth_++ > 0)
        return;
    for (TimerSlot& slot : slots_)
        slot.timer.stop();
}

void DocumentTimers::ResumeTimers()
{
    if (pauseDepth_ == 0 || --pauseDepth_ > 0)
        return;
    for (const int id : {kAutoClose, kAutoRefresh}) {
        TimerSlot& slot = Slot(id);
        if (!slot.running)
            continue;
        // The time of the wait counts, and a period that ran out during it is due now: an
        // auto-refresh must not be put off for a whole period because the file was slow to answer.
        const qint64 elapsed = clock_.SecondsSince1970() - slot.startedAt;
        const qint64 startedAt = slot.startedAt;
        StartTimer(id, true, std::max<qint64>(PeriodSeconds(id) - elapsed, 0));
        slot.startedAt = startedAt;
    }
}

void DocumentTimers::RestartTimer(int id)
{
    // While paused this only notes the new start: the full period runs from now.
    StartTimer(id, true);
}

void DocumentTimers::Clear()
{
    for (TimerSlot& slot : slots_) {
        slot.timer.stop();
        slot.startedAt = 0;
        slot.running = false;
    }
    pauseDepth_ = 0;
}

int DocumentTimers::intervalMs(int id) const
{
    const TimerSlot& slot = Slot(id);
    return slot.timer.isActive() ? slot.timer.interval() : -1;
}
