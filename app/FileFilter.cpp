// Turning a "Description|pattern||" filter into the filter string of Qt's file dialog.

#include "app/FileFilter.h"

#include <QStringList>

QString QtFileFilter(const QString& filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList entries;
    for (qsizetype at = 0; at + 1 < parts.size(); at += 2) {
        const QString description = parts.at(at);
        const QString patterns = parts.at(at + 1).split(QLatin1Char(';'), Qt::SkipEmptyParts).join(QLatin1Char(' '));
        if (description.isEmpty() && patterns.isEmpty())
            break;
        entries << QStringLiteral("%1 (%2)").arg(description, patterns);
    }
    return entries.join(QStringLiteral(";;"));
}
