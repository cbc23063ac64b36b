// Finding the report folder and listing its documents.

#include "export/ReportFolder.h"

#include "base/CommandIds.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace report {

QStringList ReportFolderCandidates(const QString& programFolder)
{
    const QDir folder(programFolder);
    return {folder.filePath(QStringLiteral("reports")),
            QDir::cleanPath(folder.filePath(QStringLiteral("../share/vellacord/reports")))};
}

QString ReportFolder()
{
    const QStringList candidates = ReportFolderCandidates(QCoreApplication::applicationDirPath());
    for (const QString& candidate : candidates)
        if (QFileInfo(candidate).isDir())
            return candidate;
    return candidates.constFirst();
}

std::vector<MenuEntry> ReportMenuEntries(const QString& folder)
{
    std::vector<MenuEntry> entries;
    int command = command::kFirstReport;
    for (const char* subfolder : {kChartsFolder, kListsFolder}) {
        const QDir documents(QDir(folder).filePath(QString::fromLatin1(subfolder)));
        bool any = false;
        for (const QFileInfo& file : documents.entryInfoList(QDir::Files, QDir::Name)) {
            if (command >= command::kFirstReport + command::kReportCount)
                break;
            if (file.suffix().isEmpty())
                continue;
            entries.push_back({command++, file.completeBaseName(), file.absoluteFilePath()});
            any = true;
        }
        if (any)
            entries.push_back({});
    }
    return entries;
}

} // namespace report
