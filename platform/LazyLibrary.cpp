// Shared libraries loaded on first use.

#include "platform/LazyLibrary.h"

#include "base/Check.h"

#include <dlfcn.h>

#include <string>

namespace {

std::string LoadFailure(const char* library, const char* what)
{
    const char* reason = ::dlerror();
    return std::string("The library ") + library + " cannot be used: " + what + " is missing" +
        (reason != nullptr ? std::string(" (") + reason + ")" : std::string());
}

} // namespace

void* LibrarySymbol(const char* library, const char* name)
{
    // Loaded for good: a loaded library only counts one more user, and the functions found stay
    // valid as long as the program runs.
    void* const handle = ::dlopen(library, RTLD_NOW | RTLD_LOCAL);
    check::abort_if(handle == nullptr, LoadFailure(library, library));
    void* const function = ::dlsym(handle, name);
    check::abort_if(function == nullptr, LoadFailure(library, name));
    return function;
}
