#pragma once
// Fences a statement built around text that a user typed: while the fence stands, SQLite lets
// the statement read and nothing else, and stops it when it runs longer than a list may take.

#include <chrono>

struct sqlite3;

namespace engine {

class ReadOnlyFence {
public:
    // Longer than any honest condition takes on a large file over a slow share; a filter that
    // every workstation runs at login must not be able to hang them all.
    static constexpr std::chrono::seconds kLongestRun{20};

    explicit ReadOnlyFence(sqlite3* db);
    ReadOnlyFence(const ReadOnlyFence&) = delete;
    ReadOnlyFence& operator=(const ReadOnlyFence&) = delete;
    ~ReadOnlyFence();

    // The statement ran past kLongestRun and was stopped.
    bool timedOut() const { return timedOut_; }

private:
    static int Authorize(void* fence, int action, const char* a, const char* b, const char* database,
                         const char* trigger);
    static int Progress(void* fence);

    sqlite3* db_;
    std::chrono::steady_clock::time_point deadline_;
    bool timedOut_ = false;
};

} // namespace engine
