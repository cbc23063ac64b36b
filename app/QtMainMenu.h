#pragma once
// The main menu, the keys without a menu item and the toolbar, each built from its table.

#include "export/ReportFolder.h"

#include <map>
#include <vector>

class QAction;
class QMenu;
class QMenuBar;
class QToolBar;
class QWidget;

using CommandActions = std::map<int, QAction*>;

// The popups whose items the window makes: the Columns popup, which the list fills when it
// opens, and File > Recent databases.
struct MainMenuPopups {
    QMenu* columns = nullptr;
    QMenu* recentDatabases = nullptr;
};

// Fills the bar; each item is disabled and lands in `commands` under its id.
MainMenuPopups BuildMainMenu(QMenuBar& bar, CommandActions& commands);

// The keys of commands without a menu item, as disabled actions of the window.
void AddKeyCommands(QWidget& window, CommandActions& commands);

// The toolbar's buttons carry the menu's actions, with the desktop's icons.
void FillToolBar(QToolBar& bar, const CommandActions& commands);

// Puts the report documents above the Reports menu's own items, each a disabled command under
// its id, with the separators between the folders.
void InsertReportEntries(QMenu& reports, const std::vector<report::MenuEntry>& entries, CommandActions& commands);
