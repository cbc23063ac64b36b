// A library preloaded into a program under test that kills the process with SIGKILL at its N-th
// file-system operation that changes what a crash leaves behind: creating a file, renaming,
// linking, removing, truncating or syncing. KILL_AT_OPERATION=N picks the operation;
// KILL_AFTER_OPERATION=1 lets it happen first. Every operation is counted on standard error as
// "kill-shim: N name" when KILL_SHIM_TRACE is set, so that a run without a kill tells how many
// there are.

#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/types.h>
#include <unistd.h>

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace {

std::atomic<long> operations{0};

long Setting(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr ? std::atol(value) : 0;
}

// Counts the operation and kills the process before it when it is the chosen one.
bool Before(const char* name)
{
    const long number = ++operations;
    if (std::getenv("KILL_SHIM_TRACE") != nullptr)
        std::fprintf(stderr, "kill-shim: %ld %s\n", number, name);
    if (number != Setting("KILL_AT_OPERATION"))
        return false;
    if (Setting("KILL_AFTER_OPERATION") == 0)
        ::kill(::getpid(), SIGKILL);
    return true;
}

template <typename Result>
Result After(bool chosen, Result result)
{
    if (chosen)
        ::kill(::getpid(), SIGKILL);
    return result;
}

template <typename Function>
Function Next(const char* name)
{
    return reinterpret_cast<Function>(::dlsym(RTLD_NEXT, name));
}

// An open that creates a file is a file operation of its own; any other open passes untouched.
template <typename Function, typename... Leading>
int OpenThrough(Function next, int flags, mode_t mode, Leading... leading)
{
    if ((flags & O_CREAT) == 0)
        return next(leading..., flags);
    const bool chosen = Before("open-create");
    return After(chosen, next(leading..., flags, mode));
}

} // namespace

// The mode argument is there only when the flags ask for a creation.
#define KILL_SHIM_CREATION_MODE(flags, mode)                                                                           \
    mode_t mode = 0;                                                                                                   \
    if (((flags)&O_CREAT) != 0) {                                                                                      \
        va_list arguments;                                                                                             \
        va_start(arguments, flags);                                                                                    \
        mode = static_cast<mode_t>(va_arg(arguments, int));                                                            \
        va_end(arguments);                                                                                             \
    }

extern "C" {

int open(const char* path, int flags, ...)
{
    KILL_SHIM_CREATION_MODE(flags, mode)
    static const auto next = Next<int (*)(const char*, int, ...)>("open");
    return OpenThrough(next, flags, mode, path);
}

int open64(const char* path, int flags, ...)
{
    KILL_SHIM_CREATION_MODE(flags, mode)
    static const auto next = Next<int (*)(const char*, int, ...)>("open64");
    return OpenThrough(next, flags, mode, path);
}

int openat(int folder, const char* path, int flags, ...)
{
    KILL_SHIM_CREATION_MODE(flags, mode)
    static const auto next = Next<int (*)(int, const char*, int, ...)>("openat");
    return OpenThrough(next, flags, mode, folder, path);
}

int openat64(int folder, const char* path, int flags, ...)
{
    KILL_SHIM_CREATION_MODE(flags, mode)
    static const auto next = Next<int (*)(int, const char*, int, ...)>("openat64");
    return OpenThrough(next, flags, mode, folder, path);
}

int rename(const char* from, const char* to)
{
    static const auto next = Next<int (*)(const char*, const char*)>("rename");
    const bool chosen = Before("rename");
    return After(chosen, next(from, to));
}

int renameat(int fromFolder, const char* from, int toFolder, const char* to)
{
    static const auto next = Next<int (*)(int, const char*, int, const char*)>("renameat");
    const bool chosen = Before("rename");
    return After(chosen, next(fromFolder, from, toFolder, to));
}

int renameat2(int fromFolder, const char* from, int toFolder, const char* to, unsigned flags)
{
    static const auto next = Next<int (*)(int, const char*, int, const char*, unsigned)>("renameat2");
    const bool chosen = Before("rename");
    return After(chosen, next(fromFolder, from, toFolder, to, flags));
}

int link(const char* from, const char* to)
{
    static const auto next = Next<int (*)(const char*, const char*)>("link");
    const bool chosen = Before("link");
    return After(chosen, next(from, to));
}

int unlink(const char* path)
{
    static const auto next = Next<int (*)(const char*)>("unlink");
    const bool chosen = Before("unlink");
    return After(chosen, next(path));
}

int unlinkat(int folder, const char* path, int flags)
{
    static const auto next = Next<int (*)(int, const char*, int)>("unlinkat");
    const bool chosen = Before("unlink");
    return After(chosen, next(folder, path, flags));
}

int ftruncate(int fd, off_t length)
{
    static const auto next = Next<int (*)(int, off_t)>("ftruncate");
    const bool chosen = Before("truncate");
    return After(chosen, next(fd, length));
}

int ftruncate64(int fd, off64_t length)
{
    static const auto next = Next<int (*)(int, off64_t)>("ftruncate64");
    const bool chosen = Before("truncate");
    return After(chosen, next(fd, length));
}

int fsync(int fd)
{
    static const auto next = Next<int (*)(int)>("fsync");
    const bool chosen = Before("fsync");
    return After(chosen, next(fd));
}

int fdatasync(int fd)
{
    static const auto next = Next<int (*)(int)>("fdatasync");
    const bool chosen = Before("fsync");
    return After(chosen, next(fd));
}

} // extern "C"
