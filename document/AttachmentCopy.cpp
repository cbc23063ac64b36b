// Copying files into a defect's attachment directory.
#include "document/AttachmentCopy.h"

#include "base/Check.h"
#include "base/StringTable.h"
#include "base/UserInterface.h"
#include "document/ConnectionProvider.h"
#include "engine/Connection.h"
#include "engine/EngineStatus.h"
#include "platform/FileCopy.h"
#include "store/AttachmentDirectory.h"
#include "store/DatabaseAdministration.h"
#include "store/SearchIndex.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <optional>

namespace {

constexpr int kCopyFailed = 158;
constexpr int kNoProgram = 40241;
constexpr int kRemoveOne = 40242;
constexpr int kRemoveSeveral = 40243;
constexpr int kRemoveFailed = 40244;
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

bool OpenAttachment(UserInterface& ui, const QString& path)
{
    if (ui.OpenWithDesktop(path, false))
        return true;
    const QString text = LoadString(kNoProgram).replace(QLatin1String("%s"), QFileInfo(path).fileName());
    ShowTextMessage(ui, text, Buttons::Ok, Icon::Warning, kNoProgram);
    return false;
}

int RemoveAttachments(UserInterface& ui, const QStringList& paths)
{
    if (paths.isEmpty())
        return 0;
    const QString question = paths.size() == 1
        ? LoadString(kRemoveOne).replace(QLatin1String("%s"), QFileInfo(paths.front()).fileName())
        : LoadString(kRemoveSeveral).replace(QLatin1String("%d"), QString::number(paths.size()));
    if (ShowTextMessage(ui, question, Buttons::YesNo, Icon::Question,
                        paths.size() == 1 ? kRemoveOne : kRemoveSeveral) != Answer::Yes)
        return 0;
    int removed = 0;
    QStringList failed;
    for (const QString& path : paths) {
        if (DatabaseAdministration::MoveToTrashOrDelete(path))
            ++removed;
        else
            failed << QFileInfo(path).fileName();
    }
    if (!failed.isEmpty())
        ShowTextMessage(ui, LoadString(kRemoveFailed).replace(QLatin1String("%s"), failed.join(QStringLiteral(", "))),
                        Buttons::Ok, Icon::Error, kRemoveFailed);
    return removed;
}

void IndexAttachments(ConnectionProvider& connections, const QString& databasePath, int defectId)
{
    const QString folder = AttachmentDirectory(databasePath, defectId, false);
    const QStringList names = folder.isEmpty()
        ? QStringList()
        : QDir(folder).entryList(QDir::Files | QDir::NoSymLinks | QDir::Hidden, QDir::Name);
    engine::Connection& connection = connections.GetDocumentConnection(RetryMode::Offline);
    if (engine::Failed(IndexAttachmentNames(connection, defectId, names)))
        connection.TakeErrorRecords();
}
