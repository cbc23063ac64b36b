// The tables of the main menu, its keys and the toolbar.

#include "app/QtMainMenu.h"

#include "app/QtIcons.h"
#include "base/CommandIds.h"

#include <QAction>
#include <QDir>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>

#include <initializer_list>

namespace {

struct MenuItem {
    const char* text; // nullptr for a separator
    int command;
    const char* keys; // alternatives separated by ";"
};

struct Menu {
    const char* title;
    std::initializer_list<MenuItem> items;
};

constexpr int kColumnsPopup = -1;
constexpr int kRecentPopup = -2;
constexpr MenuItem kSeparator{nullptr, 0, ""};

const Menu kMainMenu[] = {
    {"&File",
     {{"&New database", command::kNewDatabase, ""},
      {"&Database Administration...", command::kDatabaseAdministration, ""},
      {"&Recent databases", kRecentPopup, ""},
      kSeparator,
      {"&Export...", command::kExport, ""},
      {"Export to S&preadsheet", command::kExportToSpreadsheet, ""},
      kSeparator,
      {"&Send email...", command::kSendEmail, ""},
      kSeparator,
      {"E&xit", command::kExit, ""}}},
    {"&Edit",
     {{"&Undo", command::kUndo, "Ctrl+Z;Alt+Backspace"},
      {"&Redo", command::kRedo, ""},
      kSeparator,
      {"Cu&t", command::kCut, "Ctrl+X;Shift+Del"},
      {"&Copy", command::kCopy, "Ctrl+C;Ctrl+Ins"},
      {"&Paste", command::kPaste, "Ctrl+V;Shift+Ins"},
      kSeparator,
      {"&Find...", command::kFind, "Ctrl+F"},
      {"Find &Next", command::kFindNext, "F3"},
      {"Find &Previous", command::kFindPrevious, "Shift+F3"}}},
    {"&Record",
     {{"&First Record", command::kFirstRecord, ""},
      {"&Previous Record", command::kPreviousRecord, "Shift+F8;Alt+Left"},
      {"&Next Record", command::kNextRecord, "F8;Alt+Right"},
      {"&Last Record", command::kLastRecord, ""},
      kSeparator,
      {"&Save Record", command::kSaveRecord, "Ctrl+S;Shift+Return"},
      {"&Insert New", command::kInsertNew, "Ctrl+N"},
      {"&Undo all changes", command::kUndoAllChanges, "Ctrl+R"},
      {"&Delete Record", command::kDeleteRecord, "Ctrl+D"},
      kSeparator,
      {"Mark as 'read'", command::kMarkAsRead, "Ctrl+Q"},
      {"Mark as 'unread'", command::kMarkAsUnread, "Ctrl+Shift+Q"}}},
    {"&View",
     {{"&Refresh", command::kRefresh, "F5"},
      kSeparator,
      {"&Toolbar", command::kToolbar, ""},
      {"&Status Bar", command::kStatusBar, ""},
      {"S&plit", command::kSplit, ""},
      kSeparator,
      {"&Organize Views...", command::kOrganizeViews, "Ctrl+Shift+V"},
      {"Organize &Filters...", command::kOrganizeFilters, "Ctrl+Shift+F"},
      {"&Columns", kColumnsPopup, ""}}},
    {"&Setup",
     {{"&Lists...", command::kSetupLists, "F9"},
      {"&Options...", command::kOptions, ""},
      {"Remove local settings", command::kRemoveLocalSettings, ""},
      {"&Change password", command::kChangePassword, ""}}},
    {"Re&ports",
     {{"&Charts", command::kCharts, ""},
      {"&Lists", command::kReportLists, ""},
      kSeparator,
      {"&Options...", command::kReportOptions, ""}}},
    {"&Help",
     {{"&Help Topics", command::kHelpTopics, ""},
      kSeparator,
      {"&About Vellacord...", command::kAbout, ""},
      {"&Vellacord homepage", command::kHomePage, ""}}},
};

// Commands that only have keys.
const MenuItem kKeyCommands[] = {
    {"Print", command::kPrint, "Ctrl+P"},
    {"Next Pane", command::kNextPane, "F6"},
    {"Previous Pane", command::kPreviousPane, "Shift+F6"},
    {"Help", command::kHelp, "F1;Ctrl+Alt+Shift+F1"},
    {"Context Help", command::kContextHelp, "Shift+F1"},
    {"Go offline", command::kGoOffline, "Ctrl+Alt+C"},
};

struct ToolButton {
    int command; // 0 for a separator
    const char* icon;
};

const ToolButton kToolBar[] = {
    {command::kInsertNew, "document-new"},
    {command::kSaveRecord, "document-save"},
    {command::kDeleteRecord, "edit-delete"},
    {command::kSendEmail, "mail-send"},
    {command::kExportToSpreadsheet, "x-office-spreadsheet"},
    {0, nullptr},
    {command::kCut, "edit-cut"},
    {command::kCopy, "edit-copy"},
    {command::kPaste, "edit-paste"},
    {0, nullptr},
    {command::kCharts, "office-chart-bar"},
};

QList<QKeySequence> Shortcuts(const char* keys)
{
    QList<QKeySequence> shortcuts;
    for (const QString& key : QString::fromLatin1(keys).split(QLatin1Char(';'), Qt::SkipEmptyParts))
        shortcuts << QKeySequence(key);
    return shortcuts;
}

QAction* AddCommand(QWidget& owner, const MenuItem& item, CommandActions& commands)
{
    auto* action = new QAction(QString::fromUtf8(item.text), &owner);
    action->setShortcuts(Shortcuts(item.keys));
    action->setEnabled(false);
    owner.addAction(action);
    commands[item.command] = action;
    return action;
}

} // namespace

MainMenuPopups BuildMainMenu(QMenuBar& bar, CommandActions& commands)
{
    MainMenuPopups popups;
    for (const Menu& menu : kMainMenu) {
        QMenu* popup = bar.addMenu(QString::fromUtf8(menu.title));
        for (const MenuItem& item : menu.items) {
            if (item.text == nullptr)
                popup->addSeparator();
            else if (item.command == kColumnsPopup)
                popups.columns = popup->addMenu(QString::fromUtf8(item.text));
            else if (item.command == kRecentPopup)
                popups.recentDatabases = popup->addMenu(QString::fromUtf8(item.text));
            else
                AddCommand(*popup, item, commands);
        }
    }
    return popups;
}

void AddKeyCommands(QWidget& window, CommandActions& commands)
{
    for (const MenuItem& item : kKeyCommands)
        AddCommand(window, item, commands);
}

void FillToolBar(QToolBar& bar, const CommandActions& commands)
{
    for (const ToolButton& button : kToolBar) {
        if (button.command == 0) {
            bar.addSeparator();
            continue;
        }
        QAction* action = commands.at(button.command);
        action->setIcon(ThemedIcon(QString::fromLatin1(button.icon)));
        bar.addAction(action);
    }
}

void InsertReportEntries(QMenu& reports, const std::vector<report::MenuEntry>& entries, CommandActions& commands)
{
    QAction* first = reports.actions().value(0);
    for (const report::MenuEntry& entry : entries) {
        if (entry.command == 0) {
            reports.insertSeparator(first);
            continue;
        }
        // A file name's "&" is no mnemonic.
        auto* action = new QAction(QString(entry.name).replace(QLatin1Char('&'), QStringLiteral("&&")), &reports);
        action->setStatusTip(QDir::toNativeSeparators(entry.path));
        action->setEnabled(false);
        reports.insertAction(first, action);
        commands[entry.command] = action;
    }
}
