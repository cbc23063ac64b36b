#pragma once
// The report folder next to the program, with the report documents in its subfolders "charts"
// and "lists", and the entries of the Reports menu made from them.

#include <QString>
#include <QStringList>

#include <vector>

namespace report {

inline constexpr char kChartsFolder[] = "charts";
inline constexpr char kListsFolder[] = "lists";
inline constexpr char kReadme[] = "readme.htm";

// Where the folder may be, in order: next to the program, and where an installation puts it.
QStringList ReportFolderCandidates(const QString& programFolder);
// The first candidate that exists (the first one when none does).
QString ReportFolder();

// A document of the Reports menu, or a separator (command 0).
struct MenuEntry {
    int command = 0;
    QString name; // the file name without its extension
    QString path;
};

// Every file with an extension in "charts", then in "lists", numbered from the first report
// command and at most as many as there are report commands; a separator after each subfolder
// that gave an entry.
std::vector<MenuEntry> ReportMenuEntries(const QString& folder);

} // namespace report
