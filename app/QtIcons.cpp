// Icons from the compiled-in PNGs, in every size that was rendered.

#include "app/QtIcons.h"

#include "app/TrayIconStates.h"

#include <QDir>

namespace {

// Every rendered size of one icon: folder/stem-16.png, folder/stem-24.png and so on.
QIcon Sizes(const QString& folder, const QString& stem)
{
    QIcon icon;
    const QDir dir(folder);
    for (const QString& file : dir.entryList({stem + QStringLiteral("-[0-9]*.png")}, QDir::Files))
        icon.addFile(dir.filePath(file));
    return icon;
}

} // namespace

QIcon ApplicationIcon()
{
    return Sizes(QStringLiteral(":/icons"), QStringLiteral("vellacord"));
}

QIcon TrayIcon(int iconId)
{
    return iconId == TrayIconStates::kNewEntriesIcon
        ? Sizes(QStringLiteral(":/icons"), QStringLiteral("vellacord-new-entries"))
        : ApplicationIcon();
}

QIcon ThemedIcon(const QString& themeName)
{
    return QIcon::fromTheme(themeName, Sizes(QStringLiteral(":/icons/toolbar"), themeName));
}
