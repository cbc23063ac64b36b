// The authorizer, the limits and the watchdog of statements that carry a user's condition.

#include "engine/ReadOnlyFence.h"

#include <sqlite3.h>

#include <algorithm>

namespace engine {

namespace {

// Every ordinary function reads; these would load code into the process or hand the engine a
// pointer taken from the query, and printf (format is its other name) repeats a character as
// often as its precision says, up to two thousand million times in one call that no interrupt
// reaches, whatever the length limit.
bool IsForbiddenFunction(const char* name)
{
    if (name == nullptr)
        return false;
    for (const char* forbidden : {"load_extension", "fts3_tokenizer", "printf", "format"})
        if (sqlite3_stricmp(name, forbidden) == 0)
            return true;
    return false;
}

std::atomic<std::chrono::milliseconds::rep>& LongestRunSetting()
{
    static std::atomic<std::chrono::milliseconds::rep> limit{
        std::chrono::duration_cast<std::chrono::milliseconds>(ReadOnlyFence::kLongestRun).count()};
    return limit;
}

std::atomic<std::int64_t>& HeapAllowanceSetting()
{
    static std::atomic<std::int64_t> allowance{ReadOnlyFence::kHeapAllowance};
    return allowance;
}

// The engine's heap limit belongs to the whole process: the first fence to stand sets it, the last
// to come down puts back what was there before.
class HeapLimit {
public:
    static void Raise()
    {
        const std::lock_guard lock(Mutex());
        if (Standing()++ > 0)
            return;
        Previous() = sqlite3_hard_heap_limit64(-1);
        const sqlite3_int64 limit = sqlite3_memory_used() + HeapAllowanceSetting().load();
        sqlite3_hard_heap_limit64(Previous() > 0 ? std::min(Previous(), limit) : limit);
    }

    static void Lower()
    {
        const std::lock_guard lock(Mutex());
        if (--Standing() == 0)
            sqlite3_hard_heap_limit64(Previous());
    }

private:
    static std::mutex& Mutex()
    {
        static std::mutex mutex;
        return mutex;
    }
    static int& Standing()
    {
        static int standing = 0;
        return standing;
    }
    static sqlite3_int64& Previous()
    {
        static sqlite3_int64 previous = 0;
        return previous;
    }
};

} // namespace

std::chrono::milliseconds ReadOnlyFence::LongestRun()
{
    return std::chrono::milliseconds(LongestRunSetting().load());
}

void ReadOnlyFence::SetLongestRun(std::chrono::milliseconds limit)
{
    LongestRunSetting() = limit.count();
}

std::int64_t ReadOnlyFence::HeapAllowance()
{
    return HeapAllowanceSetting().load();
}

void ReadOnlyFence::SetHeapAllowance(std::int64_t bytes)
{
    HeapAllowanceSetting() = bytes;
}

ReadOnlyFence::ReadOnlyFence(sqlite3* db)
    : db_(db), previousLength_(sqlite3_limit(db, SQLITE_LIMIT_LENGTH, kLongestValue)),
      previousPattern_(sqlite3_limit(db, SQLITE_LIMIT_LIKE_PATTERN_LENGTH, kLongestPattern))
{
    sqlite3_set_authorizer(db_, &ReadOnlyFence::Authorize, this);
    HeapLimit::Raise();
    watchdog_ = std::thread(&ReadOnlyFence::Watch, this, std::chrono::steady_clock::now() + LongestRun());
}

ReadOnlyFence::~ReadOnlyFence()
{
    // The watchdog must be gone before the statement is finalised and the connection may close.
    StopWatching();
    HeapLimit::Lower();
    sqlite3_set_authorizer(db_, nullptr, nullptr);
    sqlite3_limit(db_, SQLITE_LIMIT_LIKE_PATTERN_LENGTH, previousPattern_);
    sqlite3_limit(db_, SQLITE_LIMIT_LENGTH, previousLength_);
}

void ReadOnlyFence::Watch(std::chrono::steady_clock::time_point deadline)
{
    std::unique_lock lock(mutex_);
    if (down_.wait_until(lock, deadline, [this] { return !standing_; }))
        return;
    timedOut_ = true;
    // Safe from another thread while the connection is open; the statement ends with
    // SQLITE_INTERRUPT at the engine's next look at the flag.
    sqlite3_interrupt(db_);
}

void ReadOnlyFence::StopWatching()
{
    {
        const std::lock_guard lock(mutex_);
        standing_ = false;
    }
    down_.notify_all();
    if (watchdog_.joinable())
        watchdog_.join();
}

int ReadOnlyFence::Authorize(void*, int action, const char*, const char* b, const char*, const char*)
{
    switch (action) {
    case SQLITE_SELECT:
    case SQLITE_READ:
    case SQLITE_RECURSIVE: // a query that never ends meets the time limit
        return SQLITE_OK;
    case SQLITE_FUNCTION:
        return IsForbiddenFunction(b) ? SQLITE_DENY : SQLITE_OK;
    default:
        // Writes, schema changes, ATTACH, PRAGMA, transactions and anything SQLite adds later.
        return SQLITE_DENY;
    }
}

} // namespace engine
