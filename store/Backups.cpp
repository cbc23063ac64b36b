// Numbered backups beside a file: rotating them when a new one arrives, and copying one safely.

#include "store/Backups.h"

#include "platform/DurableFiles.h"

#include <QFile>
#include <QFileInfo>

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

bool IsCopyOf(const QString& backup, const QString& file)
{
    constexpr qint64 kChunk = 1 << 20;
    QFile a(backup);
    QFile b(file);
    if (QFileInfo(backup).size() != QFileInfo(file).size() || !a.open(QIODevice::ReadOnly) ||
        !b.open(QIODevice::ReadOnly))
        return false;
    while (!a.atEnd()) {
        if (a.read(kChunk) != b.read(kChunk))
            return false;
    }
    return b.atEnd();
}
