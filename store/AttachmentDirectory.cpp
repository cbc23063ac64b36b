// Finding, creating and removing a defect's attachment directory.
#include "store/AttachmentDirectory.h"

#include "base/ErrorContext.h"
#include "base/Result.h"
#include "base/StringTable.h"
#include "engine/SqlDialect.h"
#include "platform/FileCopy.h"
#include "platform/NoFollowTree.h"
#include "store/AttachmentPaths.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

#include <cerrno>

namespace {

constexpr int kFolderIsALink = 2302;
constexpr int kFileIsALink = 2303;
constexpr int kFileOutsideFolder = 2304;
constexpr int kServerWithoutRoot = 2750;

enum class Presence { Directory, Missing, Link, Unusable };

Presence Examine(const QString& path)
{
    struct stat info = {};
    if (::lstat(QFile::encodeName(path).constData(), &info) == 0) {
        if (S_ISLNK(info.st_mode))
            return Presence::Link;
        return S_ISDIR(info.st_mode) ? Presence::Directory : Presence::Unusable;
    }
    return errno == ENOENT ? Presence::Missing : Presence::Unusable;
}

void Create(const QString& path, const char* operation)
{
    ErrorContext label(operation);
    CheckedCall(MakeDirectory(path));
}

} // namespace

QString AttachmentDirectory(const QString& databasePath, int defectId, bool create)
{
    const QString path = DefectAttachmentPath(databasePath, defectId);
    // A server database without its root has no place for attachments: the working folder is none.
    if (path.isEmpty())
        return QString();
    const Presence presence = Examine(path);
    if (presence == Presence::Directory)
        return path;
    if (!create || presence != Presence::Missing)
        return QString();
    // The root may be a link: whoever sets up the share decides where the attachments lie.
    const QString root = AttachmentRootFor(databasePath);
    if (Examine(root) == Presence::Missing)
        Create(root, "creating root attachment directory");
    Create(path, "creating defect attachment directory");
    return path;
}

QString AttachmentDirectoryRefusal(const QString& databasePath, int defectId)
{
    const QString path = DefectAttachmentPath(databasePath, defectId);
    if (path.isEmpty())
        return FormatString(kServerWithoutRoot, engine::DisplayNameOfServer(databasePath).toUtf8().constData());
    QString target;
    if (!IsSymbolicLink(path, &target))
        return QString();
    return FormatString(kFolderIsALink, QDir::toNativeSeparators(path).toUtf8().constData(),
                        target.toUtf8().constData());
}

QString AttachmentFileRefusal(const QString& directory, const QString& path)
{
    const QString native = QDir::toNativeSeparators(path);
    QString target;
    if (IsSymbolicLink(path, &target))
        return FormatString(kFileIsALink, native.toUtf8().constData(), target.toUtf8().constData());
    // Checked on the resolved paths: a link in between, or ".." in the name, could lead out.
    const QString folder = QFileInfo(directory).canonicalFilePath();
    const QString resolved = QFileInfo(path).canonicalFilePath();
    if (folder.isEmpty() || IsSymbolicLink(directory) || !resolved.startsWith(folder + QLatin1Char('/')))
        return FormatString(kFileOutsideFolder, native.toUtf8().constData(),
                            QDir::toNativeSeparators(directory).toUtf8().constData());
    return QString();
}

AttachmentRemoval DeleteAttachmentDirectory(const QString& path)
{
    AttachmentRemoval removal;
    if (path.isEmpty())
        return removal;
    const TreeWalkReport report = RemoveTree(path);
    removal.notFollowed = report.links;
    removal.error = report.error;
    removal.removed = report.error == 0;
    return removal;
}
