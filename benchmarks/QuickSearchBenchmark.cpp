// How long the quick search takes on 100 000 defects of realistic size, beside the list's fill:
// a word in one defect, one in about a hundred, one in a thousand, one in nearly all, and the
// search shown as the list.

#include "BenchmarkSupport.h"

#include "engine/Connection.h"
#include "engine/EngineStatus.h"
#include "list/DefectList.h"
#include "list/QuickSearch.h"
#include "store/SearchIndex.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int kRuns = 5;
constexpr int kHits = 500;     // what the list asks for
constexpr int kShellHits = 50; // what vellacord-admin search prints

// Marks every n-th defect's details with `word`, as real texts carry rare words the generated ones lack.
bool Sprinkle(engine::Connection& db, const QString& word, int every)
{
    return db.Execute(QStringLiteral("UPDATE defectlist SET comments = comments || ' ' || ? WHERE defect_id % ? = 0"),
                      {word, std::int64_t{every}}) == engine::kOk;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    LoggedInDefectFile bench(argc, argv);
    CDefectDoc& document = bench.document;
    engine::Connection& db = document.GetDocumentConnection(RetryMode::Offline);
    if (!Sprinkle(db, QStringLiteral("segfault"), 1000) || !Sprinkle(db, QStringLiteral("flaky"), 100) ||
        db.Execute(QStringLiteral("UPDATE defectlist SET comments = comments || ' kx7731' WHERE defect_id = 4242")) !=
            engine::kOk)
        return 1;

    CDefectList list(document);
    const double fill = BestSeconds(3, [&] { list.FillList(); });
    std::printf("list fill, best of 3: %.0f ms (%d rows)\n", fill * 1000, list.model().rowCount());

    const double size = static_cast<double>(QFileInfo(bench.path).size());
    // The build's steps as the first search takes them; each holds the write lock while it runs.
    double longestStep = 0;
    int steps = 0;
    const double build = TimeSeconds([&] {
        for (bool complete = false; !complete; ++steps) {
            const double step = TimeSeconds([&] {
                if (engine::Failed(BuildSearchIndexStep(db, 2000, complete)))
                    std::exit(1);
            });
            longestStep = std::max(longestStep, step);
        }
        if (!EnsureSearchIndex(db))
            std::exit(1);
    });
    std::printf("index built on first use: %.1f s in %d steps of 2000 defects, the longest %.2f s; file grew by "
                "%.0f%%\n",
                build, steps, longestStep, 100.0 * (static_cast<double>(QFileInfo(bench.path).size()) - size) / size);

    const struct {
        const char* words;
        const char* what;
    } searches[] = {
        {"kx7731", "a word in one defect"}, {"segfault", "a word in 1 in 1000"},
        {"flaky", "a word in 1 in 100"},    {"flaky timeout", "two words"},
        {"seg", "a word's beginning"},      {"crash", "a word in nearly every defect"},
    };
    for (const auto& search : searches) {
        const QStringList words = QString::fromUtf8(search.words).split(QLatin1Char(' '));
        QuickSearchResult result;
        // As the list asks: many hits, the best one's excerpt for the status bar.
        const double best =
            BestSeconds(kRuns, [&] { result = RunQuickSearch(db, LoggedInDefectFile::kListingUser, words, kHits, 1); });
        QuickSearchResult shell;
        // As vellacord-admin search asks: fewer hits, each with its excerpt.
        const double excerpts = BestSeconds(kRuns, [&] {
            shell = RunQuickSearch(db, LoggedInDefectFile::kListingUser, words, kShellHits, kShellHits);
        });
        if (!result.error.isEmpty() || !shell.error.isEmpty()) {
            std::fprintf(stderr, "%s: %s\n", search.words, qPrintable(result.error + shell.error));
            return 1;
        }
        std::printf("search \"%s\" (%s), best of %d: %.1f ms, %zu hits; with %zu excerpts %.1f ms\n", search.words,
                    search.what, kRuns, best * 1000, result.hits.size(), shell.hits.size(), excerpts * 1000);
    }
    const double shown = BestSeconds(3, [&] { list.ApplyQuickSearch(QStringLiteral("segfault")); });
    std::printf("search shown as the list, best of 3: %.0f ms (%d rows)\n", shown * 1000, list.model().rowCount());
    return 0;
}
