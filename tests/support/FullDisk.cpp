// A file layer of the engine that fails writes below a folder as a full disk does.

#include "support/FullDisk.h"

#include <QFile>

#include <sqlite3.h>

#include <atomic>
#include <cstring>
#include <string>

namespace {

std::string folder;
std::atomic<bool> full{false};
std::atomic<int> refused{0};
sqlite3_vfs* real = nullptr;
sqlite3_vfs layer;
sqlite3_io_methods methods;

struct LayerFile {
    sqlite3_file base;
    bool watched;
    sqlite3_file* real() { return reinterpret_cast<sqlite3_file*>(this + 1); }
};

LayerFile* Of(sqlite3_file* file)
{
    return reinterpret_cast<LayerFile*>(file);
}

int Close(sqlite3_file* file)
{
    return Of(file)->real()->pMethods->xClose(Of(file)->real());
}

int Read(sqlite3_file* file, void* buffer, int amount, sqlite3_int64 offset)
{
    return Of(file)->real()->pMethods->xRead(Of(file)->real(), buffer, amount, offset);
}

int Write(sqlite3_file* file, const void* buffer, int amount, sqlite3_int64 offset)
{
    if (Of(file)->watched && full) {
        ++refused;
        return SQLITE_FULL;
    }
    return Of(file)->real()->pMethods->xWrite(Of(file)->real(), buffer, amount, offset);
}

int Truncate(sqlite3_file* file, sqlite3_int64 size)
{
    return Of(file)->real()->pMethods->xTruncate(Of(file)->real(), size);
}

int Sync(sqlite3_file* file, int flags)
{
    return Of(file)->real()->pMethods->xSync(Of(file)->real(), flags);
}

int FileSize(sqlite3_file* file, sqlite3_int64* size)
{
    return Of(file)->real()->pMethods->xFileSize(Of(file)->real(), size);
}

int Lock(sqlite3_file* file, int level)
{
    return Of(file)->real()->pMethods->xLock(Of(file)->real(), level);
}

int Unlock(sqlite3_file* file, int level)
{
    return Of(file)->real()->pMethods->xUnlock(Of(file)->real(), level);
}

int CheckReservedLock(sqlite3_file* file, int* out)
{
    return Of(file)->real()->pMethods->xCheckReservedLock(Of(file)->real(), out);
}

int FileControl(sqlite3_file* file, int op, void* argument)
{
    return Of(file)->real()->pMethods->xFileControl(Of(file)->real(), op, argument);
}

int SectorSize(sqlite3_file* file)
{
    return Of(file)->real()->pMethods->xSectorSize(Of(file)->real());
}

int DeviceCharacteristics(sqlite3_file* file)
{
    return Of(file)->real()->pMethods->xDeviceCharacteristics(Of(file)->real());
}

int Open(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* file, int flags, int* outFlags)
{
    LayerFile* layerFile = Of(file);
    std::memset(layerFile, 0, sizeof(LayerFile));
    const int code = real->xOpen(real, name, layerFile->real(), flags, outFlags);
    if (code != SQLITE_OK)
        return code;
    layerFile->watched = name != nullptr && std::string(name).rfind(folder, 0) == 0;
    layerFile->base.pMethods = &methods;
    return SQLITE_OK;
}

int Delete(sqlite3_vfs*, const char* name, int syncFolder)
{
    return real->xDelete(real, name, syncFolder);
}

int Access(sqlite3_vfs*, const char* name, int flags, int* out)
{
    return real->xAccess(real, name, flags, out);
}

int FullPathname(sqlite3_vfs*, const char* name, int size, char* out)
{
    return real->xFullPathname(real, name, size, out);
}

int Randomness(sqlite3_vfs*, int size, char* out)
{
    return real->xRandomness(real, size, out);
}

int Sleep(sqlite3_vfs*, int microseconds)
{
    return real->xSleep(real, microseconds);
}

int CurrentTime(sqlite3_vfs*, double* now)
{
    return real->xCurrentTime(real, now);
}

int GetLastError(sqlite3_vfs*, int size, char* out)
{
    return real->xGetLastError(real, size, out);
}

int CurrentTimeInt64(sqlite3_vfs*, sqlite3_int64* now)
{
    return real->xCurrentTimeInt64(real, now);
}

} // namespace

FullDisk::FullDisk(const QString& watchedFolder)
{
    folder = QFile::encodeName(watchedFolder).toStdString();
    full = false;
    refused = 0;
    real = sqlite3_vfs_find(nullptr);
    // Version 1 of the file methods: no shared memory, which the program never uses.
    methods = {};
    methods.iVersion = 1;
    methods.xClose = Close;
    methods.xRead = Read;
    methods.xWrite = Write;
    methods.xTruncate = Truncate;
    methods.xSync = Sync;
    methods.xFileSize = FileSize;
    methods.xLock = Lock;
    methods.xUnlock = Unlock;
    methods.xCheckReservedLock = CheckReservedLock;
    methods.xFileControl = FileControl;
    methods.xSectorSize = SectorSize;
    methods.xDeviceCharacteristics = DeviceCharacteristics;
    layer = {};
    layer.iVersion = 2;
    layer.szOsFile = static_cast<int>(sizeof(LayerFile)) + real->szOsFile;
    layer.mxPathname = real->mxPathname;
    layer.zName = "vellacord-test-full-disk";
    layer.xOpen = Open;
    layer.xDelete = Delete;
    layer.xAccess = Access;
    layer.xFullPathname = FullPathname;
    layer.xRandomness = Randomness;
    layer.xSleep = Sleep;
    layer.xCurrentTime = CurrentTime;
    layer.xGetLastError = GetLastError;
    layer.xCurrentTimeInt64 = CurrentTimeInt64;
    sqlite3_vfs_register(&layer, 1);
}

FullDisk::~FullDisk()
{
    sqlite3_vfs_unregister(&layer);
    sqlite3_vfs_register(real, 1);
}

void FullDisk::SetFull(bool isFull)
{
    full = isFull;
}

int FullDisk::refusedWrites() const
{
    return refused;
}
