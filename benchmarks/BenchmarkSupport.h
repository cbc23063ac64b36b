#pragma once
// The plain benchmarks' shared parts: a realistic defect file, a document logged in on it, the stopwatch.

#include "document/DefectDoc.h"
#include "platform/OleDate.h"
#include "store/DatabaseAdministration.h"
#include "support/ScriptedUserInterface.h"
#include "support/TempFolder.h"

#include <QString>

#include <functional>

// A fresh database of the current version with defects of realistic size (as many as the first
// argument says, else 100 000; the same ones for the same count), with what the program's first
// open adds, and a document logged in on it as one of its stakeholders. Prints the file's size
// and how long it took to make; ends the program when it cannot be made.
class LoggedInDefectFile {
public:
    static constexpr std::int32_t kListingUser = 1;

    LoggedInDefectFile(int argc, char** argv);

    TempFolder folder;
    const QString path;
    ScriptedUserInterface ui;
    DatabaseAdministration administration{ui, SystemClockInstance()};
    CDefectDoc document{ui, SystemClockInstance(), administration};
};

// Makes a database of the current version at `path` with `defects` defects of realistic size (the
// same ones for the same count); with `openedByProgram`, also what the program's first open adds.
// Prints the file's size and how long it took; ends the program when it cannot be made.
QString MakeDefectFile(const QString& path, int defects, bool openedByProgram = true);
// The file of `defects` defects in `folder`, made there at the first call and used as it is later.
// Like a file that only the administration tools ever wrote, it lacks what the program's first open adds.
QString CachedDefectFile(const QString& folder, int defects);

// Seconds the work took, and the least of `runs` runs.
double TimeSeconds(const std::function<void()>& work);
double BestSeconds(int runs, const std::function<void()>& work);
