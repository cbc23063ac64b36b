#pragma once
// Opening a document with the desktop's program for its kind, and saying why that failed.

#include <QString>

class UserInterface;

namespace report {

// Opens `path` with the desktop's program; false (after message 201, or 202 for a missing file)
// when that failed.
bool OpenWithDesktopProgram(UserInterface& ui, const QString& path);

} // namespace report
