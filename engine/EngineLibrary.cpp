// Answers about the engine library for the layers that must not call its C API.

#include "engine/EngineLibrary.h"

#include <sqlite3.h>

namespace engine {

int LibraryVersionNumber()
{
    return sqlite3_libversion_number();
}

bool IsReadOnlyRefusal(const ErrorRecord& record)
{
    return record.kind == FailureKind::ReadOnly || KindOfCode(record.extendedCode) == FailureKind::ReadOnly;
}

FailureKind KindOfCode(int code)
{
    switch (code & 0xff) {
    case SQLITE_NOTADB:
        return FailureKind::NotADatabase;
    case SQLITE_CORRUPT:
        return FailureKind::Damaged;
    case SQLITE_FULL:
        return FailureKind::DiskFull;
    case SQLITE_READONLY:
    case SQLITE_PERM:
        return FailureKind::ReadOnly;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return FailureKind::Locked;
    case SQLITE_IOERR:
    case SQLITE_CANTOPEN:
    case SQLITE_PROTOCOL:
        return FailureKind::Unreachable;
    default:
        return FailureKind::Other;
    }
}

bool IsBusyRefusal(const ErrorRecord& record)
{
    return (record.extendedCode & 0xff) == SQLITE_BUSY;
}

} // namespace engine
