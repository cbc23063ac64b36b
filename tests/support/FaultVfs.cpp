// The failing file layer: a wrapper of the default one that counts calls and fails the planned one.
#include "support/FaultVfs.h"

#include <sqlite3.h>

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace fault {

namespace {

struct State {
    std::atomic<bool> armed{false};
    std::atomic<bool> fired{false};
    Plan plan;
    std::array<std::atomic<int>, kCallKinds> counts{};
};

State& Current()
{
    static State state;
    return state;
}

// VELLACORD_FAULT_TRACE=1 lists every counted call on stderr, to find which call a run failed.
bool Tracing()
{
    static const bool tracing = std::getenv("VELLACORD_FAULT_TRACE") != nullptr;
    return tracing;
}

// True when this call is to fail.
bool Strike(Call call)
{
    State& state = Current();
    if (!state.armed.load())
        return false;
    const int number = ++state.counts[static_cast<std::size_t>(call)];
    const bool strike =
        call == state.plan.call && (number == state.plan.n || (state.plan.persistent && number > state.plan.n));
    if (Tracing())
        std::fprintf(stderr, "fault layer: %s call %d%s\n", Name(call).c_str(), number, strike ? " fails" : "");
    if (strike)
        state.fired = true;
    return strike;
}

sqlite3_vfs* Real()
{
    static sqlite3_vfs* real = sqlite3_vfs_find(nullptr);
    return real;
}

// Our part of the engine's file object; the wrapped layer's file follows it in the same block.
struct FaultFile {
    sqlite3_file base;
    sqlite3_file* real;
};

sqlite3_file* RealOf(sqlite3_file* file)
{
    return reinterpret_cast<FaultFile*>(file)->real;
}

int Close(sqlite3_file* file)
{
    sqlite3_file* real = RealOf(file);
    return real->pMethods != nullptr ? real->pMethods->xClose(real) : SQLITE_OK;
}

int Read(sqlite3_file* file, void* buffer, int amount, sqlite3_int64 offset)
{
    if (Strike(Call::Read))
        return SQLITE_IOERR_READ;
    sqlite3_file* real = RealOf(file);
    return real->pMethods->xRead(real, buffer, amount, offset);
}

int Write(sqlite3_file* file, const void* buffer, int amount, sqlite3_int64 offset)
{
    sqlite3_file* real = RealOf(file);
    if (Strike(Call::Write)) {
        switch (Current().plan.kind) {
        case Kind::IoError:
            return SQLITE_IOERR_WRITE;
        case Kind::DiskFull:
            return SQLITE_FULL;
        case Kind::ShortWrite:
            // Only the first planned write tears; after it the disk is full.
            if (Current().counts[static_cast<std::size_t>(Call::Write)] == Current().plan.n && amount > 1)
                real->pMethods->xWrite(real, buffer, amount / 2, offset);
            return SQLITE_FULL;
        }
    }
    return real->pMethods->xWrite(real, buffer, amount, offset);
}

int Truncate(sqlite3_file* file, sqlite3_int64 size)
{
    if (Strike(Call::Truncate))
        return SQLITE_IOERR_TRUNCATE;
    sqlite3_file* real = RealOf(file);
    return real->pMethods->xTruncate(real, size);
}

int Sync(sqlite3_file* file, int flags)
{
    if (Strike(Call::Sync))
        return SQLITE_IOERR_FSYNC;
    sqlite3_file* real = RealOf(file);
    return real->pMethods->xSync(real, flags);
}

int FileSize(sqlite3_file* file, sqlite3_int64* size)
{
    sqlite3_file* real = RealOf(file);
    return real->pMethods->xFileSize(real, size);
}

int Lock(sqlite3_file* file, int level)
{
    if (Strike(Call::Lock))
        return SQLITE_IOERR_LOCK;
    sqlite3_file* real = RealOf(file);
    return real->pMethods->xLock(real, level);
}

int Unlock(sqlite3_file* file, int level)
{
    if (Strike(Call::Lock))
        return SQLITE_IOERR_UNLOCK;
    sqlite3_file* real = RealOf(file);
    return real->pMethods->xUnlock(real, level);
}

int CheckReservedLock(sqlite3_file* file, int* reserved)
{
    if (Strike(Call::Lock))
        return SQLITE_IOERR_CHECKRESERVEDLOCK;
    sqlite3_file* real = RealOf(file);
    return real->pMethods->xCheckReservedLock(real, reserved);
}

int FileControl(sqlite3_file* file, int operation, void* argument)
{
    sqlite3_file* real = RealOf(file);
    return real->pMethods->xFileControl(real, operation, argument);
}

int SectorSize(sqlite3_file* file)
{
    sqlite3_file* real = RealOf(file);
    return real->pMethods->xSectorSize(real);
}

int DeviceCharacteristics(sqlite3_file* file)
{
    sqlite3_file* real = RealOf(file);
    return real->pMethods->xDeviceCharacteristics(real);
}

// Version 1: no shared memory (the program never uses a write-ahead log) and no memory mapping,
// so that every page the engine reads passes through Read.
const sqlite3_io_methods kMethods = {
    1,
    Close,
    Read,
    Write,
    Truncate,
    Sync,
    FileSize,
    Lock,
    Unlock,
    CheckReservedLock,
    FileControl,
    SectorSize,
    DeviceCharacteristics,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
};

int Open(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* file, int flags, int* outFlags)
{
    auto* wrapper = reinterpret_cast<FaultFile*>(file);
    wrapper->real = reinterpret_cast<sqlite3_file*>(reinterpret_cast<char*>(file) + sizeof(FaultFile));
    wrapper->real->pMethods = nullptr;
    const int code = Real()->xOpen(Real(), name, wrapper->real, flags, outFlags);
    // The engine closes a file whose methods are set, even after a failed open.
    wrapper->base.pMethods = wrapper->real->pMethods != nullptr ? &kMethods : nullptr;
    return code;
}

int Delete(sqlite3_vfs*, const char* name, int syncDirectory)
{
    if (Strike(Call::Delete))
        return SQLITE_IOERR_DELETE;
    return Real()->xDelete(Real(), name, syncDirectory);
}

int Access(sqlite3_vfs*, const char* name, int flags, int* result)
{
    return Real()->xAccess(Real(), name, flags, result);
}

int FullPathname(sqlite3_vfs*, const char* name, int size, char* out)
{
    return Real()->xFullPathname(Real(), name, size, out);
}

void* DlOpen(sqlite3_vfs*, const char* name)
{
    return Real()->xDlOpen(Real(), name);
}

void DlError(sqlite3_vfs*, int size, char* message)
{
    Real()->xDlError(Real(), size, message);
}

void (*DlSym(sqlite3_vfs*, void* handle, const char* symbol))(void)
{
    return Real()->xDlSym(Real(), handle, symbol);
}

void DlClose(sqlite3_vfs*, void* handle)
{
    Real()->xDlClose(Real(), handle);
}

int Randomness(sqlite3_vfs*, int size, char* out)
{
    return Real()->xRandomness(Real(), size, out);
}

int Sleep(sqlite3_vfs*, int microseconds)
{
    return Real()->xSleep(Real(), microseconds);
}

int CurrentTime(sqlite3_vfs*, double* now)
{
    return Real()->xCurrentTime(Real(), now);
}

int GetLastError(sqlite3_vfs*, int size, char* message)
{
    return Real()->xGetLastError(Real(), size, message);
}

int CurrentTimeInt64(sqlite3_vfs*, sqlite3_int64* now)
{
    return Real()->xCurrentTimeInt64(Real(), now);
}

} // namespace

std::string Name(Call call)
{
    switch (call) {
    case Call::Read:
        return "read";
    case Call::Write:
        return "write";
    case Call::Sync:
        return "sync";
    case Call::Truncate:
        return "truncate";
    case Call::Delete:
        return "delete";
    case Call::Lock:
        return "lock";
    }
    return "?";
}

std::string Name(Kind kind)
{
    switch (kind) {
    case Kind::IoError:
        return "I/O error";
    case Kind::DiskFull:
        return "disk full";
    case Kind::ShortWrite:
        return "short write";
    }
    return "?";
}

void Install()
{
    static std::once_flag once;
    std::call_once(once, [] {
        static sqlite3_vfs vfs = {};
        vfs.iVersion = 2;
        vfs.szOsFile = static_cast<int>(sizeof(FaultFile)) + Real()->szOsFile;
        vfs.mxPathname = Real()->mxPathname;
        vfs.zName = "vellacord-fault";
        vfs.xOpen = Open;
        vfs.xDelete = Delete;
        vfs.xAccess = Access;
        vfs.xFullPathname = FullPathname;
        vfs.xDlOpen = DlOpen;
        vfs.xDlError = DlError;
        vfs.xDlSym = DlSym;
        vfs.xDlClose = DlClose;
        vfs.xRandomness = Randomness;
        vfs.xSleep = Sleep;
        vfs.xCurrentTime = CurrentTime;
        vfs.xGetLastError = GetLastError;
        vfs.xCurrentTimeInt64 = CurrentTimeInt64;
        sqlite3_vfs_register(&vfs, 1);
    });
}

void Arm(const Plan& plan)
{
    State& state = Current();
    state.armed = false;
    for (auto& count : state.counts)
        count = 0;
    state.fired = false;
    state.plan = plan;
    state.armed = true;
}

void Disarm()
{
    Current().armed = false;
}

bool Fired()
{
    return Current().fired.load();
}

int Calls(Call call)
{
    return Current().counts[static_cast<std::size_t>(call)].load();
}

} // namespace fault
