#pragma once
// The ids of the program's commands: menu items, shortcuts and the buttons that carry them out.
//
// Glossary: a command id is the number one command keeps for good; menus, toolbar, shortcuts and
// the enabled-state updates find a command by it, and the same number has always stood for the
// same command in the program's resources. Never renumber one; a new command takes a free number.

namespace command {

// File
constexpr int kNewDatabase = 32798;
constexpr int kDatabaseAdministration = 246;
constexpr int kExport = 247;
constexpr int kExportToSpreadsheet = 32811;
constexpr int kSendEmail = 32795;
constexpr int kExit = 57665;
// Edit
constexpr int kUndo = 57643;
constexpr int kRedo = 57644;
constexpr int kCut = 57635;
constexpr int kCopy = 57634;
constexpr int kPaste = 57637;
constexpr int kFind = 32820;
constexpr int kFindNext = 32815;
constexpr int kFindPrevious = 32816;
constexpr int kSelectAll = 57642; // the list view's, Ctrl+A
// Record
constexpr int kFirstRecord = 59648;
constexpr int kPreviousRecord = 59651;
constexpr int kNextRecord = 59650;
constexpr int kLastRecord = 59649;
constexpr int kSaveRecord = 32776;
constexpr int kInsertNew = 133;
constexpr int kUndoAllChanges = 134;
constexpr int kDeleteRecord = 138;
constexpr int kMarkAsRead = 242;
constexpr int kMarkAsUnread = 243;
constexpr int kGoOffline = 222; // no menu item: Ctrl+Alt+C
constexpr int kOpenMainWindow = 224;
// View
constexpr int kRefresh = 32781;
constexpr int kToolbar = 59392;
constexpr int kStatusBar = 59393;
constexpr int kSplit = 57653;
constexpr int kOrganizeViews = 57696;
constexpr int kOrganizeFilters = 140;
// The Columns popup: column p of the view is command kFirstColumn + p.
constexpr int kFirstColumn = 14599;
// Setup
constexpr int kSetupLists = 185;
constexpr int kOptions = 203;
constexpr int kRemoveLocalSettings = 208;
constexpr int kChangePassword = 32804;
// Reports
constexpr int kCharts = 32807;
constexpr int kReportLists = 32808;
constexpr int kReportOptions = 32809;
// The report documents of the report folder: entry e of the Reports menu is kFirstReport + e.
constexpr int kFirstReport = 14799;
constexpr int kReportCount = 200;
// Help
constexpr int kHelpTopics = 57667;
constexpr int kAbout = 57664;
constexpr int kHomePage = 199;
constexpr int kContextHelp = 57669; // Shift+F1
constexpr int kHelp = 57670;        // F1
// Keys without a menu item.
constexpr int kPrint = 57607;
constexpr int kNextPane = 57680;
constexpr int kPreviousPane = 57681;

} // namespace command
