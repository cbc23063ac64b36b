// An auto-refresh of 100 000 defects: unchanged file (refill skipped) against a commit elsewhere, connected and
// offline.

#include "BenchmarkSupport.h"

#include "engine/EngineStatus.h"
#include "list/DefectList.h"

#include <QCoreApplication>

#include <algorithm>
#include <cstdio>
#include <limits>

namespace {

constexpr int kRuns = 5;
constexpr std::int64_t kEditedDefect = 1;

struct Setup {
    bool offline = false;
    bool changed = false;
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    LoggedInDefectFile bench(argc, argv);
    CDefectList list(bench.document);
    // The toolbar refills its boxes whenever the list says so, as the main window does.
    QObject::connect(&list, &CDefectList::filterChoicesChanged, [&] { list.FilterChoices(); });
    QObject::connect(&list, &CDefectList::viewChoicesChanged, [&] { list.ViewChoices(); });
    int fills = 0;
    QObject::connect(&list, &CDefectList::listFilled, [&] { ++fills; });
    list.FillList();

    engine::Connection otherWorkstation;
    if (otherWorkstation.Open(bench.path) != engine::kOk)
        return 1;
    int edits = 0;

    // Best of the runs; the commit elsewhere and the going offline before each run are not timed.
    const auto best = [&](Setup setup) {
        const int fillsBefore = fills;
        double best = std::numeric_limits<double>::max();
        for (int run = 0; run < kRuns; ++run) {
            if (setup.changed &&
                otherWorkstation.Execute(QStringLiteral("UPDATE defectlist SET subject=? WHERE defect_id=?"),
                                         {QStringLiteral("edited elsewhere %1").arg(++edits), kEditedDefect}) !=
                    engine::kOk)
                std::exit(1);
            if (setup.offline)
                bench.document.GoOffline();
            best = std::min(best, TimeSeconds([&] { list.AutoRefresh(); }));
        }
        // The figures mean nothing unless the refill ran exactly when the file changed.
        if (fills - fillsBefore != (setup.changed ? kRuns : 0) || bench.document.connected() == setup.offline) {
            std::fprintf(stderr, "unexpected refresh: %d fills, connected %d\n", fills - fillsBefore,
                         bench.document.connected());
            std::exit(1);
        }
        return best;
    };
    const double unchanged = best({false, false});
    const double changed = best({false, true});
    const double offlineUnchanged = best({true, false});
    const double offlineChanged = best({true, true});

    std::printf("rows: %d (%s)\n", list.model().rowCount(), qPrintable(list.statusText()));
    std::printf("auto-refresh, best of %d    unchanged (skip)   one row committed elsewhere (refill)\n", kRuns);
    std::printf("connected                  %10.4f s       %10.4f s\n", unchanged, changed);
    std::printf("offline (reconnects)       %10.4f s       %10.4f s\n", offlineUnchanged, offlineChanged);
    std::printf("changed/unchanged: %.0f\n", changed / unchanged);
    return 0;
}
