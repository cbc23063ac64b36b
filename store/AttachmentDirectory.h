#pragma once
// Finding, creating and removing a defect's attachment directory. Directories are made only
// when asked for: looking at a defect never creates one. Attachments never leave their tree: a
// defect directory that is a link is never used, and removal never follows a link.

#include <QString>
#include <QStringList>

// The defect's directory. Without `create` it is empty when the directory does not exist;
// with it the root and the directory are made as needed, and a failure throws a CBResult with
// the operating system's error under the label "creating root attachment directory" or
// "creating defect attachment directory". Empty when the path cannot be examined for any
// other reason, is not a directory, is a link, or the database has no root (AttachmentDirectoryRefusal
// says so).
QString AttachmentDirectory(const QString& databasePath, int defectId, bool create);

// Why the defect's directory is not used, in words for the user: it is a link (anyone who can
// write to the share can plant one, and it would take attachments wherever it points), or the
// server database names no attachment root. Empty when there is nothing to refuse.
QString AttachmentDirectoryRefusal(const QString& databasePath, int defectId);

// Why the file at `path` in the defect directory `directory` is not opened: it is a link, or
// does not lie in that directory. Empty when it may be opened.
QString AttachmentFileRefusal(const QString& directory, const QString& path);

// What removing a defect's directory did not do.
struct AttachmentRemoval {
    bool removed = true; // false: a failure, with the system's error in `error`
    int error = 0;
    QStringList notFollowed; // links met, as "<link> -> <target>": removed themselves, their targets left alone
};

// Removes the directory with everything in it, never following a link: a link (the directory
// itself or anything in it) is removed as a link and listed. A path that does not exist (or an
// empty one) succeeds without doing anything.
AttachmentRemoval DeleteAttachmentDirectory(const QString& path);
