#include "store/Backups.h"

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
    // A copy never replaces an existing file, and the newest backup must be fresh.
    QFile::remove(BackupName(path, 1));
    return QFile::copy(source, BackupName(path, 1));
}
