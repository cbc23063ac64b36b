// The authorizer that lets only one named view be created or dropped.

#include "engine/ViewFence.h"

#include <sqlite3.h>

namespace engine {

namespace {

bool IsMain(const char* database)
{
    return database != nullptr && sqlite3_stricmp(database, "main") == 0;
}

// Creating or dropping any object writes its row of the schema table.
bool IsSchemaTable(const char* table)
{
    return table != nullptr &&
        (sqlite3_stricmp(table, "sqlite_master") == 0 || sqlite3_stricmp(table, "sqlite_schema") == 0);
}

} // namespace

ViewFence::ViewFence(sqlite3* db, const QString& viewName) : db_(db), viewName_(viewName.toUtf8())
{
    sqlite3_set_authorizer(db_, &ViewFence::Authorize, this);
}

ViewFence::~ViewFence()
{
    sqlite3_set_authorizer(db_, nullptr, nullptr);
}

bool ViewFence::IsTheView(const char* name, const char* database) const
{
    return IsMain(database) && name != nullptr && sqlite3_stricmp(name, viewName_.constData()) == 0;
}

int ViewFence::Authorize(void* fence, int action, const char* a, const char*, const char* database, const char* trigger)
{
    const auto* self = static_cast<const ViewFence*>(fence);
    if (trigger != nullptr)
        return SQLITE_DENY;
    switch (action) {
    case SQLITE_CREATE_VIEW:
    case SQLITE_DROP_VIEW:
        return self->IsTheView(a, database) ? SQLITE_OK : SQLITE_DENY;
    case SQLITE_DELETE: // dropping names the schema table and the dropped view
        return (IsMain(database) && IsSchemaTable(a)) || self->IsTheView(a, database) ? SQLITE_OK : SQLITE_DENY;
    case SQLITE_INSERT:
    case SQLITE_UPDATE:
    case SQLITE_READ:
        return IsMain(database) && IsSchemaTable(a) ? SQLITE_OK : SQLITE_DENY;
    default:
        // Tables, indexes, triggers, other views, ATTACH, PRAGMA, functions, and anything SQLite adds later.
        return SQLITE_DENY;
    }
}

} // namespace engine
