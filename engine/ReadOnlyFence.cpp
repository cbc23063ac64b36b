// The authorizer and the run-time limit of statements that carry a user's condition.

#include "engine/ReadOnlyFence.h"

#include <sqlite3.h>

namespace engine {

namespace {

// Every ordinary function reads; these would load code into the process or hand the engine a
// pointer taken from the query.
bool IsForbiddenFunction(const char* name)
{
    return name != nullptr &&
        (sqlite3_stricmp(name, "load_extension") == 0 || sqlite3_stricmp(name, "fts3_tokenizer") == 0);
}

constexpr int kProgressSteps = 10000; // virtual machine steps between two looks at the clock

} // namespace

ReadOnlyFence::ReadOnlyFence(sqlite3* db) : db_(db), deadline_(std::chrono::steady_clock::now() + kLongestRun)
{
    sqlite3_set_authorizer(db_, &ReadOnlyFence::Authorize, this);
    sqlite3_progress_handler(db_, kProgressSteps, &ReadOnlyFence::Progress, this);
}

ReadOnlyFence::~ReadOnlyFence()
{
    sqlite3_progress_handler(db_, 0, nullptr, nullptr);
    sqlite3_set_authorizer(db_, nullptr, nullptr);
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

int ReadOnlyFence::Progress(void* fence)
{
    auto* self = static_cast<ReadOnlyFence*>(fence);
    if (std::chrono::steady_clock::now() < self->deadline_)
        return 0;
    self->timedOut_ = true;
    return 1;
}

} // namespace engine
