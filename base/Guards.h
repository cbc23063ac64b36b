#pragma once
// The places where a failure that nobody handled is finally reported.

#include <QString>

#include <functional>

// Runs the start-up body; reports a failure and returns false, else returns the body's result.
bool RunStartupGuard(const std::function<bool()>& body);

// Runs a handler of the administration dialog; reports a failure and returns false (the
// message's result 0), else returns true.
bool RunGuardedHandler(const std::function<void()>& handler);

// The guard around the message loop: a failure is written to the dump and reported, and the
// loop is entered again. The first failure closes the main window after telling the user, and
// from then on nothing waits for the database file; a second one, while closing, quits with exit
// code 1.
class RunGuard {
public:
    enum class State { Running, Closing, Quitting, Done };

    struct Loop {
        std::function<int()> run; // the message loop; returns its exit code
        std::function<bool()> hasMainWindow;
        std::function<void()> destroyMainWindow; // lets the loop drain the closing window
        std::function<void(int)> postQuit;       // the loop returns this code when it gets there
        // The program will close: no timer may run and no call may wait for the file any more,
        // neither while the failure is reported nor while the window closes.
        std::function<void()> stopWaitingForFile;
    };

    explicit RunGuard(Loop loop) : loop_(std::move(loop)) { }

    // The message loop's exit code. An exception of an unknown type is reported and thrown on.
    int Run();
    State state() const { return state_; }

private:
    // Reports a failure that escaped the loop; the first one stops all waiting for the file first.
    void Report(const QString& text, bool crashing);
    void Continue();

    Loop loop_;
    State state_ = State::Running;
};
