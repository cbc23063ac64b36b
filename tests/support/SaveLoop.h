#pragma once
// Workstations saving one shared file at the same time: each process reads its own defect into
// a form and saves it back through the program's save path with a counter raised by one, and
// reports what failed and how long each save took.

#include <QString>

#include <cstdint>
#include <vector>

struct SaveLoopResult {
    int failedLoads = 0;
    int failedSaves = 0;
    std::vector<double> saveMilliseconds;
};

// Adds one defect per workstation (ids 1..processes) with the counter 0 in its subject.
void AddCounterDefects(const QString& path, int processes);

// Runs `processes` children of this program at once, `rounds` saves each, and gathers their
// results. A pragma, when given ("journal_mode=PERSIST"), runs first on each workstation's
// connection; `preload` goes to LD_PRELOAD.
SaveLoopResult RunSaveLoops(const QString& path, int processes, int rounds, const QString& pragma = {},
                            const QString& preload = {});

// The value below which the given fraction of the sorted samples lies.
double Percentile(std::vector<double> samples, double fraction);
