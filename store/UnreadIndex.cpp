// Creating the unread index once per file.

#include "store/UnreadIndex.h"

#include "engine/Connection.h"
#include "engine/EngineStatus.h"

long CreateUnreadIndex(engine::Connection& connection)
{
    return connection.Execute(
        QStringLiteral("CREATE INDEX IF NOT EXISTS defectlist_unread ON defectlist (toid, lastread, modified)"));
}

void EnsureUnreadIndex(engine::Connection& connection)
{
    std::int64_t present = 0;
    // Looked up first, so that opening a file that has it never asks for the write lock.
    if (engine::Failed(connection.QueryInt(
            QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type='index' AND name='defectlist_unread'"), {},
            present)) ||
        present != 0)
        return;
    if (engine::Failed(CreateUnreadIndex(connection)))
        connection.TakeErrorRecords();
}
