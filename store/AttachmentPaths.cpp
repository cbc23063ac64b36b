// The attachment root named after the database file, and each defect's directory below it.

#include "store/AttachmentPaths.h"

#include "engine/SqlDialect.h"

#include <QDir>
#include <QHash>
#include <QMutex>

namespace {

// One process may open several server databases; their roots are kept apart by URI.
QMutex serverRootsMutex;
QHash<QString, QString>& ServerRoots()
{
    static QHash<QString, QString> roots;
    return roots;
}

} // namespace

void RememberServerAttachmentRoot(const QString& uri, const QString& root)
{
    const QMutexLocker locker(&serverRootsMutex);
    ServerRoots().insert(uri, root);
}

QString AttachmentRootFor(const QString& databasePath)
{
    if (engine::IsServerName(databasePath)) {
        const QMutexLocker locker(&serverRootsMutex);
        return ServerRoots().value(databasePath);
    }
    const QString extension = QStringLiteral(".DEFL");
    QString root = databasePath;
    if (root.size() >= extension.size() && root.right(extension.size()).compare(extension, Qt::CaseInsensitive) == 0)
        root.chop(extension.size());
    return root + QStringLiteral(".attach");
}

QString DefectAttachmentPath(const QString& databasePath, int defectId)
{
    const QString root = AttachmentRootFor(databasePath);
    if (root.isEmpty())
        return QString();
    return root + QDir::separator() + QStringLiteral("%1").arg(defectId, 10, 10, QLatin1Char('0'));
}
