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
constexpr int kStayInFolder = 2306;

// Whether `path` names a file directly in `directory`, the folders compared as resolved.
bool LiesIn(const QString& path, const QString& directory)
{
    const QString folder = QFileInfo(QFileInfo(path).absolutePath()).canonicalFilePath();
    return !folder.isEmpty() && folder == QFileInfo(directory).canonicalFilePath();
}

} // namespace

bool AddAttachment(UserInterface& ui, const QString& databasePath, int defectId, const QString& source)
{
    const QString directory = AttachmentDirectory(databasePath, defectId, true);
    if (directory.isEmpty()) {
        // A link planted in the defect's place would take the file wherever it points.
        const QString refusal = AttachmentDirectoryRefusal(databasePath, defectId);
        check::assertion(!refusal.isEmpty(), "failed to create attachment folder");
        ShowTextMessage(ui, refusal, Buttons::Ok, Icon::Error);
        return false;
    }
    const QString target = directory + QDir::separator() + QFileInfo(source).fileName();
    int error = CopyFileTo(source, target, false);
    if (error == EEXIST) {
        FileDialogRequest request;
        request.kind = FileDialogRequest::Kind::Save;
        request.initialPath = target;
        request.overwritePrompt = true;
        std::optional<QString> chosen = ui.ChooseFile(request);
        while (chosen && !LiesIn(*chosen, directory)) {
            ShowTextMessage(ui, FormatString(kStayInFolder, QDir::toNativeSeparators(directory).toUtf8().constData()),
                            Buttons::Ok, Icon::Warning, kStayInFolder);
            chosen = ui.ChooseFile(request);
        }
        if (chosen)
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
