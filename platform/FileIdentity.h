#pragma once
// Which file a name or an open descriptor stands for (device and inode), so that a holder can
// tell whether the name still leads to the file it opened: a file renamed away or replaced
// keeps its descriptor but not its name.

#include <QFile>
#include <QString>

#include <sys/stat.h>

#include <optional>

struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;

    // The file the name leads to now; none when there is none.
    static std::optional<FileIdentity> OfName(const QString& path)
    {
        struct stat status = {};
        if (::stat(QFile::encodeName(path).constData(), &status) != 0)
            return std::nullopt;
        return FileIdentity{status.st_dev, status.st_ino};
    }

    // The file an open descriptor stands for.
    static std::optional<FileIdentity> OfDescriptor(int fd)
    {
        struct stat status = {};
        if (::fstat(fd, &status) != 0)
            return std::nullopt;
        return FileIdentity{status.st_dev, status.st_ino};
    }

    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};
