// Opening a document with the desktop's program for its kind, and saying why that failed.

#include "export/DesktopDocument.h"

#include "base/StringTable.h"
#include "base/UserInterface.h"

#include <QFileInfo>

#include <cerrno>

namespace report {
namespace {

constexpr int kNoAssociatedProgram = 201;
constexpr int kShellError = 202;

} // namespace

bool OpenWithDesktopProgram(UserInterface& ui, const QString& path)
{
    if (ui.OpenWithDesktop(path, false))
        return true;
    // A file that is there but did not open has no program for its kind.
    if (QFileInfo::exists(path))
        ShowStringMessage(ui, kNoAssociatedProgram, Buttons::Ok, Icon::Warning);
    else
        ShowTextMessage(ui, FormatString(kShellError, ENOENT), Buttons::Ok, Icon::Warning, kShellError);
    return false;
}

} // namespace report
