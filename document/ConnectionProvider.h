#pragma once
// How the document's parts obtain the data connection.

#include "engine/Connection.h"
#include "store/RetryMode.h"

// Where the document's parts obtain the data connection: the document's wrapper around the
// database access, which reopens the file on demand and pauses the timers while it waits.
class ConnectionProvider {
public:
    virtual ~ConnectionProvider() = default;
    virtual engine::Connection& GetDocumentConnection(RetryMode mode) = 0;
};
