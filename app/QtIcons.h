#pragma once
// The program's icons: the application icon (window, tray, desktop), the new-entries icon and
// the toolbar's, taken from the desktop theme where it has them.

#include <QIcon>

QIcon ApplicationIcon();
// The notification-area icon by its resource id (220 normal, 192 new entries).
QIcon TrayIcon(int iconId);
// The theme's icon of that name, else the one shipped under the same name.
QIcon ThemedIcon(const QString& themeName);
