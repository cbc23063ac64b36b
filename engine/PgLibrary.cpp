// libpq loaded on first use.

#include "engine/PgLibrary.h"

#include "base/Check.h"

#include <dlfcn.h>

#include <string>

namespace engine::pq {

namespace {

// The library's name as the dynamic linker knows it; its interface has kept this name since 2006.
constexpr const char* kLibraryName = "libpq.so.5";

std::string LoadFailure(const char* what)
{
    const char* reason = ::dlerror();
    return std::string("The PostgreSQL client library cannot be used: ") + what +
        (reason != nullptr ? std::string(" (") + reason + ")" : std::string());
}

} // namespace

void* Symbol(const char* name)
{
    // Loaded once and never unloaded: the functions found stay valid as long as the program runs.
    static void* const library = ::dlopen(kLibraryName, RTLD_NOW | RTLD_LOCAL);
    check::abort_if(library == nullptr, LoadFailure(kLibraryName));
    void* const function = ::dlsym(library, name);
    check::abort_if(function == nullptr, LoadFailure(name));
    return function;
}

} // namespace engine::pq
