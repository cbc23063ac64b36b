// Copying files into a defect's attachment directory.
#include "document/AttachmentCopy.h"

#include "base/Check.h"
#include "base/StringTable.h"
#include "base/UserInterface.h"
#include "platform/FileCopy.h"
#include "store/AttachmentDirectory.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <optional>

namespace {

constexpr int kCopyFailed = 158;

} // namespace

bool AddAttachment(UserInterface& ui, const QString& databasePath, int defectId, const QString& source)
{
    const QString directory = AttachmentDirectory(databasePath, defectId, true);
    check::assertion(!directory.isEmpty(), "failed to create attachment folder");
    const QString target = directory + QDir::separator() + QFileInfo(source).fileName();
    int error = CopyFileTo(source, target, false);
    if (error == EEXIST) {
        FileDialogRequest request;
        request.kind = FileDialogRequest::Kind::Save;
        request.initialPath = target;
        request.overwritePrompt = true;
        if (const std::optional<QString> chosen = ui.ChooseFile(request))
            error = CopyFileTo(source, *chosen, true);
    }
    if (error == 0)
        return true;
    const QString text = LoadString(kCopyFailed).replace(QLatin1String("%s"), SystemErrorText(error));
    ShowTextMessage(ui, text, Buttons::Ok, Icon::Error, kCopyFailed);
    return false;
}

bool ChooseAndAddAttachment(UserInterface& ui, const QString& databasePath, int defectId)
{
    FileDialogRequest request;
    request.kind = FileDialogRequest::Kind::Open;
    const std::optional<QString> source = ui.ChooseFile(request);
    return source && AddAttachment(ui, databasePath, defectId, *source);
}
