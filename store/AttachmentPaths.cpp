// The attachment root named after the database file, and each defect's directory below it.

#include "store/AttachmentPaths.h"

#include <QDir>

QString AttachmentRootFor(const QString& databasePath)
{
    const QString extension = QStringLiteral(".DEFL");
    QString root = databasePath;
    if (root.size() >= extension.size() && root.right(extension.size()).compare(extension, Qt::CaseInsensitive) == 0)
        root.chop(extension.size());
    return root + QStringLiteral(".attach");
}

QString DefectAttachmentPath(const QString& databasePath, int defectId)
{
    return AttachmentRootFor(databasePath) + QDir::separator() +
        QStringLiteral("%1").arg(defectId, 10, 10, QLatin1Char('0'));
}
