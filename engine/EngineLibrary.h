#pragma once
// What the layers above may ask of the database engine's library itself, without its C API.

#include "base/ErrorRecord.h"

namespace engine {

// The version of the engine library linked in, as major * 1000000 + minor * 1000 + patch.
int LibraryVersionNumber();

// Whether the record says the file or its folder may not be written by this user.
bool IsReadOnlyRefusal(const ErrorRecord& record);

// Whether the record says another connection held the file locked beyond the busy limit.
bool IsBusyRefusal(const ErrorRecord& record);

// What an engine result code (primary or extended) means to the user.
FailureKind KindOfCode(int code);

} // namespace engine
