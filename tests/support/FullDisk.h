#pragma once
// A full disk for tests: while a FullDisk lives, connections opened meanwhile write through a
// file layer of the engine that fails every write below a folder as a full disk does, as long
// as it is switched on.

#include <QString>

class FullDisk {
public:
    explicit FullDisk(const QString& folder);
    FullDisk(const FullDisk&) = delete;
    FullDisk& operator=(const FullDisk&) = delete;
    ~FullDisk();

    void SetFull(bool full);
    // Writes refused since the disk became full.
    int refusedWrites() const;
};
