#pragma once
// Held while an operation works with the connection: the use count marks a long operation
// that asks for the connection repeatedly; the keep-open count forbids the auto-close.

class ConnectionUseCounts {
public:
    int useCount = 0;
    int keepOpenCount = 0;
};

class ConnectionUse {
public:
    ConnectionUse(ConnectionUseCounts& counts, bool use, bool keepOpen)
        : counts_(counts), use_(use), keepOpen_(keepOpen)
    {
        counts_.useCount += use_ ? 1 : 0;
        counts_.keepOpenCount += keepOpen_ ? 1 : 0;
    }
    ConnectionUse(const ConnectionUse&) = delete;
    ConnectionUse& operator=(const ConnectionUse&) = delete;
    // The document resets the counts at login and close; a guard that outlives a reset must not
    // drive them below zero.
    ~ConnectionUse()
    {
        if (use_ && counts_.useCount > 0)
            --counts_.useCount;
        if (keepOpen_ && counts_.keepOpenCount > 0)
            --counts_.keepOpenCount;
    }

private:
    ConnectionUseCounts& counts_;
    bool use_;
    bool keepOpen_;
};
