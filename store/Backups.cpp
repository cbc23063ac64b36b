// Numbered backups beside a file: rotating them when a new one arrives, and copying one safely.

#include "store/Backups.h"

#include "platform/DurableFiles.h"

#include <QFile>

namespace {
QString BackupName(const QString& path, int n)
{
    return QString::asprintf("%s.%d", path.toUtf8().constData(), n);
}
} // namespace

bool RotateBackups(const QString& source, const QString& path, int count)
{
    if (count <= 0)
        return true;
    QFile::remove(BackupName(path, count));
    for (int n = count - 1; n >= 1; --n)
        QFile::rename(BackupName(path, n), BackupName(path, n + 1));
    const bool moved = ReplaceByRename(source, BackupName(path, 1));
    SyncFolderOf(path);
    return moved;
}

bool CopyBackup(const QString& source, const QString& backup)
{
    // Written aside and renamed, so that the earlier backup stays until the new one is whole.
    const QString partial = backup + QStringLiteral(".partial");
    QFile::remove(partial);
    const bool copied = QFile::copy(source, partial) && SyncFile(partial) && ReplaceByRename(partial, backup);
    if (!copied)
        QFile::remove(partial);
    return copied && SyncFolderOf(backup);
}
