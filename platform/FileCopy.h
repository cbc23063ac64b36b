#pragma once
// Copying a file and making a directory with the operating system's error code on failure, so
// that callers can tell a name clash from other failures and show the system's own text.

#include <QString>

// Copies `source` to `target`, keeping the modification time. Without `overwrite` an existing
// target is left alone and the result is EEXIST; with it the target is replaced in one rename,
// so a failed copy (or a copy of a file onto itself) never destroys what was there. 0 on
// success, else the errno of the failing step; a partly written target is removed. A link as
// the target's folder is refused (ELOOP), and so is a link as the target itself unless
// `overwrite` replaces it; the source is read wherever it is.
int CopyFileTo(const QString& source, const QString& target, bool overwrite);

// Copies what remains of the open `from` to the open `to`: 0, or the errno of the failing step.
int CopyContents(int from, int to);

// Makes one directory; true also when another workstation made it a moment before. A link of
// that name is in the way (EEXIST) even when it points to a directory. On failure errno says why.
bool MakeDirectory(const QString& path);

// The operating system's text for an errno value.
QString SystemErrorText(int error);
