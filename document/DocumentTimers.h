#pragma once
// The document's two timers: auto-close (id 1) closes the connection after some idle minutes,
// auto-refresh (id 2) refills the list every few minutes. Both stop while the document waits for
// the file and go on afterwards with what was left of their periods.

#include <QObject>
#include <QTimer>

#include <array>
#include <functional>
#include <optional>

class Clock;

class DocumentTimers : public QObject {
    Q_OBJECT
public:
    static constexpr int kAutoClose = 1;
    static constexpr int kAutoRefresh = 2;

    // periodMinutes(id): the timer's setting, 0 = off.
    DocumentTimers(const Clock& clock, std::function<int(int id)> periodMinutes, QObject* parent = nullptr);

    // Runs the timer for `seconds`, or for its full period when none are given; stops it when
    // `run` is false or its setting is 0. The timer repeats until it is stopped.
    void StartTimer(int id, bool run, std::optional<qint64> seconds = std::nullopt);
    // Pauses nest: the timers go on when the outermost pause ends.
    void PauseTimers();
    void ResumeTimers();
    // Activity: the timer begins its full period again (when paused, once the pause ends).
    void RestartTimer(int id);
    // The document closed: nothing runs and nothing is remembered.
    void Clear();

    bool paused() const { return pauseDepth_ > 0; }
    bool running(int id) const { return Slot(id).running; }
    // The interval the timer runs with, in milliseconds (0: due now); -1 when it is stopped or paused.
    int intervalMs(int id) const;

signals:
    void timeout(int id);

private:
    struct TimerSlot {
        QTimer timer;
        qint64 startedAt = 0; // seconds since 1970
        bool running = false; // started and not stopped; a paused timer stays running
    };
    TimerSlot& Slot(int id) { return slots_[static_cast<std::size_t>(id - 1)]; }
    const TimerSlot& Slot(int id) const { return slots_[static_cast<std::size_t>(id - 1)]; }
    qint64 PeriodSeconds(int id) const;

    const Clock& clock_;
    std::function<int(int)> periodMinutes_;
    std::array<TimerSlot, 2> slots_;
    int pauseDepth_ = 0;
};

// Pauses the document's timers while it lives, for work that waits in a local event loop.
class TimerPause {
public:
    explicit TimerPause(DocumentTimers& timers) : timers_(timers) { timers_.PauseTimers(); }
    ~TimerPause() { timers_.ResumeTimers(); }
    TimerPause(const TimerPause&) = delete;
    TimerPause& operator=(const TimerPause&) = delete;

private:
    DocumentTimers& timers_;
};
