#pragma once
// How long the retry dialog still waits before it retries by itself, read from the injectable clock.

#include "platform/OleDate.h"

#include <QDateTime>

class RetryCountdown {
public:
    // The dialog looks at the countdown, and flashes the main window, once per tick.
    static constexpr int kTickMs = 500;

    RetryCountdown(const Clock& clock, int seconds);

    // Counts the time since the last update. Time the clock ran backwards (the system time was
    // set back) counts as none: the countdown pauses for that tick instead of growing by an hour.
    void Update();

    // Whole seconds left as the dialog shows them. The time left is rounded to whole ticks first,
    // so a tick that arrives a little early or late shows what a punctual one would.
    int SecondsLeft() const { return static_cast<int>(TicksLeft() * kTickMs / 1000); }
    bool Expired() const { return TicksLeft() <= 0; }

private:
    qint64 TicksLeft() const;

    const Clock& clock_;
    qint64 remainingMs_;
    QDateTime lastSeen_;
};
