#pragma once
// Folder trees handled without ever following a symbolic link: each step opens the next name
// relative to the folder already open and refuses links, so a link planted anywhere in a tree on
// a share, or swapped in while the work runs, is met as a link and never as the place it names.

#include <QString>
#include <QStringList>

struct TreeWalkReport {
    QStringList links;  // "<path> -> <target>" for every link met: removed or left out, never followed
    QStringList others; // devices, pipes and sockets: left alone
    int error = 0;      // errno of the first failure, 0 when none
    QString failedPath; // where it failed
};

// What `path` is without following a link at its end: true when it is a link, with its target.
bool IsSymbolicLink(const QString& path, QString* target = nullptr);

// Opens the folder `path` for reading, refusing a link at its last component (errno ELOOP) and
// anything that is not a folder (ENOTDIR). The folders above it are followed as the system does.
// A descriptor, or -1 with errno set.
int OpenFolderNoFollow(const QString& path);

// Removes `path` and everything in it. A link is removed as a link, also when `path` itself is
// one; nothing behind a link is touched. A path that does not exist is no failure. A file, pipe
// or device at `path` itself is left alone.
TreeWalkReport RemoveTree(const QString& path);

// Copies the folders and regular files below the folder `from` into the folder `to`, which is made
// when missing. Links and other special files are left out and reported. `from` itself must not be
// a link.
TreeWalkReport CopyTree(const QString& from, const QString& to);
