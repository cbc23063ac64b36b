// Removing and copying folder trees without following links.

#include "platform/NoFollowTree.h"

#include "platform/FileCopy.h"
#include "platform/FileDescriptor.h"

#include <QFile>
#include <QFileInfo>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <vector>

namespace {

QString LinkTarget(int folder, const char* name)
{
    char buffer[PATH_MAX];
    const ssize_t got = ::readlinkat(folder, name, buffer, sizeof buffer);
    return got < 0 ? QString() : QFile::decodeName(QByteArray(buffer, static_cast<qsizetype>(got)));
}

void NoteLink(TreeWalkReport& report, int folder, const char* name, const QString& path)
{
    report.links << QStringLiteral("%1 -> %2").arg(path, LinkTarget(folder, name));
}

void NoteFailure(TreeWalkReport& report, const QString& path)
{
    if (report.error == 0) {
        report.error = errno != 0 ? errno : EIO;
        report.failedPath = path;
    }
}

// The names in the open folder, read in full before anything changes the folder.
bool NamesIn(int folder, std::vector<QByteArray>& names)
{
    const int copy = ::fcntl(folder, F_DUPFD_CLOEXEC, 0);
    DIR* dir = copy < 0 ? nullptr : ::fdopendir(copy);
    if (dir == nullptr) {
        if (copy >= 0)
            ::close(copy);
        return false;
    }
    ::rewinddir(dir);
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (name != "." && name != "..")
            names.push_back(name);
    }
    ::closedir(dir);
    return true;
}

void RemoveEntries(int folder, const QString& folderPath, TreeWalkReport& report)
{
    std::vector<QByteArray> names;
    if (!NamesIn(folder, names)) {
        NoteFailure(report, folderPath);
        return;
    }
    for (const QByteArray& name : names) {
        const QString path = folderPath + QLatin1Char('/') + QFile::decodeName(name);
        struct stat info = {};
        if (::fstatat(folder, name.constData(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno != ENOENT)
                NoteFailure(report, path);
            continue;
        }
        if (S_ISDIR(info.st_mode)) {
            const FileDescriptor child(
                ::openat(folder, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
            if (child.fd() < 0) {
                NoteFailure(report, path);
                continue;
            }
            RemoveEntries(child.fd(), path, report);
            if (::unlinkat(folder, name.constData(), AT_REMOVEDIR) != 0)
                NoteFailure(report, path);
            continue;
        }
        if (S_ISLNK(info.st_mode))
            NoteLink(report, folder, name.constData(), path);
        if (::unlinkat(folder, name.constData(), 0) != 0 && errno != ENOENT)
            NoteFailure(report, path);
    }
}

void CopyEntries(int from, const QString& fromPath, int to, TreeWalkReport& report)
{
    std::vector<QByteArray> names;
    if (!NamesIn(from, names)) {
        NoteFailure(report, fromPath);
        return;
    }
    for (const QByteArray& name : names) {
        const QString path = fromPath + QLatin1Char('/') + QFile::decodeName(name);
        struct stat info = {};
        if (::fstatat(from, name.constData(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
            NoteFailure(report, path);
            continue;
        }
        if (S_ISLNK(info.st_mode)) {
            NoteLink(report, from, name.constData(), path);
            continue;
        }
        if (S_ISDIR(info.st_mode)) {
            const FileDescriptor source(
                ::openat(from, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
            if (source.fd() < 0 || (::mkdirat(to, name.constData(), 0700) != 0 && errno != EEXIST)) {
                NoteFailure(report, path);
                continue;
            }
            const FileDescriptor target(
                ::openat(to, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
            if (target.fd() < 0) {
                NoteFailure(report, path);
                continue;
            }
            CopyEntries(source.fd(), path, target.fd(), report);
            continue;
        }
        if (!S_ISREG(info.st_mode)) {
            report.others << path; // never opened: opening a device can act on it
            continue;
        }
        // Opened without waiting, so that a pipe swapped in after the look cannot hold the copy up,
        // and looked at again through the descriptor.
        FileDescriptor source(::openat(from, name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        if (source.fd() < 0 && errno == ELOOP) {
            NoteLink(report, from, name.constData(), path);
            continue;
        }
        if (source.fd() < 0 || ::fstat(source.fd(), &info) != 0) {
            NoteFailure(report, path);
            continue;
        }
        if (!S_ISREG(info.st_mode)) {
            report.others << path;
            continue;
        }
        const int flags = ::fcntl(source.fd(), F_GETFL);
        ::fcntl(source.fd(), F_SETFL, flags & ~O_NONBLOCK);
        FileDescriptor target(
            ::openat(to, name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (target.fd() < 0 || CopyContents(source.fd(), target.fd()) != 0 || target.Close() != 0)
            NoteFailure(report, path);
    }
}

} // namespace

bool IsSymbolicLink(const QString& path, QString* target)
{
    struct stat info = {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0 || !S_ISLNK(info.st_mode))
        return false;
    if (target != nullptr)
        *target = LinkTarget(AT_FDCWD, QFile::encodeName(path).constData());
    return true;
}

int OpenFolderNoFollow(const QString& path)
{
    return ::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

TreeWalkReport RemoveTree(const QString& path)
{
    TreeWalkReport report;
    const QFileInfo info(path);
    const QString cleanPath = info.absoluteFilePath();
    const QByteArray name = QFile::encodeName(info.fileName());
    const FileDescriptor parent(
        ::open(QFile::encodeName(info.absolutePath()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    struct stat found = {};
    if (parent.fd() < 0 || ::fstatat(parent.fd(), name.constData(), &found, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno != ENOENT)
            NoteFailure(report, cleanPath);
        return report;
    }
    if (S_ISLNK(found.st_mode)) {
        NoteLink(report, parent.fd(), name.constData(), cleanPath);
        if (::unlinkat(parent.fd(), name.constData(), 0) != 0)
            NoteFailure(report, cleanPath);
        return report;
    }
    if (!S_ISDIR(found.st_mode)) {
        report.others << cleanPath;
        return report;
    }
    const FileDescriptor folder(
        ::openat(parent.fd(), name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (folder.fd() < 0) {
        NoteFailure(report, cleanPath);
        return report;
    }
    RemoveEntries(folder.fd(), cleanPath, report);
    if (::unlinkat(parent.fd(), name.constData(), AT_REMOVEDIR) != 0)
        NoteFailure(report, cleanPath);
    return report;
}

TreeWalkReport CopyTree(const QString& from, const QString& to)
{
    TreeWalkReport report;
    const FileDescriptor source(OpenFolderNoFollow(from));
    if (source.fd() < 0) {
        NoteFailure(report, from);
        return report;
    }
    if (::mkdir(QFile::encodeName(to).constData(), 0700) != 0 && errno != EEXIST) {
        NoteFailure(report, to);
        return report;
    }
    const FileDescriptor target(OpenFolderNoFollow(to));
    if (target.fd() < 0) {
        NoteFailure(report, to);
        return report;
    }
    CopyEntries(source.fd(), QFileInfo(from).absoluteFilePath(), target.fd(), report);
    return report;
}
