#pragma once
// Finding, creating and removing a defect's attachment directory. Directories are made only
// when asked for: looking at a defect never creates one.

#include <QString>

// The defect's directory. Without `create` it is empty when the directory does not exist;
// with it the root and the directory are made as needed, and a failure throws a CBResult with
// the operating system's error under the label "creating root attachment directory" or
// "creating defect attachment directory". Empty when the path cannot be examined for any
// other reason, or is not a directory.
QString AttachmentDirectory(const QString& databasePath, int defectId, bool create);

// Removes the directory with everything in it; a path that does not exist (or an empty one)
// succeeds without doing anything.
bool DeleteAttachmentDirectory(const QString& path);
