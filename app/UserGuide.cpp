// Finding and opening the user guide.

#include "app/UserGuide.h"

#include "app/WebPage.h"
#include "base/StringIds.h"
#include "base/StringTable.h"
#include "base/UserInterface.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

QStringList UserGuideCandidates(const QString& programFolder)
{
    const QDir folder(programFolder);
    return {folder.filePath(QStringLiteral("guide.html")),
            QDir::cleanPath(folder.filePath(QStringLiteral("../share/doc/vellacord/guide.html")))};
}

void OpenUserGuide(const QString& section)
{
    const QStringList candidates = UserGuideCandidates(QCoreApplication::applicationDirPath());
    for (const QString& candidate : candidates) {
        if (!QFileInfo::exists(candidate))
            continue;
        QUrl address = QUrl::fromLocalFile(candidate);
        if (!section.isEmpty())
            address.setFragment(section);
        OpenInBrowser(address.toString());
        return;
    }
    ShowTextMessage(TheUserInterface(),
                    FormatString(string_id::kGuideMissing, candidates.constLast().toUtf8().constData()), Buttons::Ok,
                    Icon::Warning, string_id::kGuideMissing);
}
