// Finding, creating and removing a defect's attachment directory.
#include "store/AttachmentDirectory.h"

#include "base/ErrorContext.h"
#include "base/Result.h"
#include "platform/FileCopy.h"
#include "store/AttachmentPaths.h"

#include <QDir>
#include <QFileInfo>

#include <sys/stat.h>

#include <cerrno>

namespace {

enum class Presence { Directory, Missing, Unusable };

Presence Examine(const QString& path)
{
    struct stat info = {};
    if (::stat(path.toLocal8Bit().constData(), &info) == 0)
        return S_ISDIR(info.st_mode) ? Presence::Directory : Presence::Unusable;
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
    const Presence presence = Examine(path);
    if (presence == Presence::Directory)
        return path;
    if (!create || presence == Presence::Unusable)
        return QString();
    const QString root = AttachmentRootFor(databasePath);
    if (Examine(root) == Presence::Missing)
        Create(root, "creating root attachment directory");
    Create(path, "creating defect attachment directory");
    return path;
}

bool DeleteAttachmentDirectory(const QString& path)
{
    if (path.isEmpty() || !QFileInfo::exists(path))
        return true;
    return QDir(path).removeRecursively();
}
