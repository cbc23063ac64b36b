// Eight workstations saving one shared file against one alone, with 10 ms disk syncs, for each
// rollback journal mode: save latencies (p50, p99, the longest), their ratio and every failed load or save.

#include "support/ChildProcess.h"
#include "support/SaveLoop.h"
#include "support/TempFolder.h"
#include "support/TestDatabase.h"

#include <QCoreApplication>

#include <cstdio>

namespace {

constexpr int kRounds = 400;
constexpr int kWorkstations = 8;

SaveLoopResult Measure(const QString& journalMode, int processes)
{
    TempFolder folder;
    const QString path = CreateCurrentDatabase(folder.file(QStringLiteral("bench.defl")));
    AddCounterDefects(path, processes);
    return RunSaveLoops(path, processes, kRounds, QStringLiteral("journal_mode=") + journalMode,
                        QStringLiteral(FSYNC_DELAY_LIBRARY));
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    int exitCode = 0;
    if (RunChildActionFromCommandLine(argc, argv, exitCode))
        return exitCode;
    const QStringList modes = argc > 1 ? app.arguments().mid(1) : QStringList{"DELETE", "TRUNCATE", "PERSIST"};
    for (const QString& mode : modes) {
        const SaveLoopResult alone = Measure(mode, 1);
        const SaveLoopResult shared = Measure(mode, kWorkstations);
        const double p50alone = Percentile(alone.saveMilliseconds, 0.5);
        const double p99shared = Percentile(shared.saveMilliseconds, 0.99);
        std::printf("%-8s 1x%d: p50 %6.1f ms p99 %6.1f ms | %dx%d: p50 %6.1f ms p99 %6.1f ms max %6.1f ms failed loads "
                    "%d saves %d | p99(%d)/p50(1) %.1f\n",
                    qPrintable(mode), kRounds, p50alone, Percentile(alone.saveMilliseconds, 0.99), kWorkstations,
                    kRounds, Percentile(shared.saveMilliseconds, 0.5), p99shared,
                    Percentile(shared.saveMilliseconds, 1.0), shared.failedLoads + alone.failedLoads,
                    shared.failedSaves + alone.failedSaves, kWorkstations, p99shared / p50alone);
        std::fflush(stdout);
    }
    return 0;
}
