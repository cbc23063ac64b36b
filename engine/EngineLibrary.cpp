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
    return record.extendedCode == SQLITE_READONLY;
}

bool IsBusyRefusal(const ErrorRecord& record)
{
    return (record.extendedCode & 0xff) == SQLITE_BUSY;
}

} // namespace engine
