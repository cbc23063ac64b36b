// The list's fill against the list statement stepped alone, and the memory the filled list holds
// through several refreshes, for files of 10 000 to 300 000 defects (the scaling benchmark's
// cached files), one child process per size so that each peak is its own. Prints one table with
// the bytes a row costs, text by text.

#include "BenchmarkSupport.h"

#include "engine/EngineStatus.h"
#include "engine/Statement.h"
#include "list/DefectList.h"
#include "store/UnreadIndex.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>

#include <time.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <functional>
#include <map>
#include <vector>

namespace {

constexpr int kRefreshes = 7;
constexpr std::int32_t kListingUser = 1;

double Median(std::vector<double> samples)
{
    std::sort(samples.begin(), samples.end());
    const std::size_t middle = samples.size() / 2;
    return samples.size() % 2 != 0 ? samples[middle] : (samples[middle - 1] + samples[middle]) / 2;
}

// A line of /proc/self/status in kB ("VmRSS", "VmHWM"); -1 when it cannot be read.
double StatusMegabytes(const char* name)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray prefix = QByteArray(name) + ':';
    for (QByteArray line = status.readLine(); !line.isEmpty(); line = status.readLine()) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').front().toDouble() / 1024;
    }
    return -1;
}

// Seconds of processor time the work took: on a busy machine the share of the time that is the
// work's own, whatever else runs.
double CpuSeconds(const std::function<void()>& work)
{
    timespec start{};
    timespec end{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &start);
    work();
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &end);
    return static_cast<double>(end.tv_sec - start.tv_sec) + static_cast<double>(end.tv_nsec - start.tv_nsec) / 1e9;
}

void Report(const char* key, double value)
{
    std::printf("%s=%.6f\n", key, value);
}

// Child: the fill and the memory on one file, as key=value lines.
int Measure(const QString& path)
{
    {
        // The program's own open adds the unread index; the cached files lack it.
        engine::Connection connection;
        if (connection.Open(path) != engine::kOk)
            return 1;
        EnsureUnreadIndex(connection);
    }
    ScriptedUserInterface ui;
    DatabaseAdministration administration{ui, SystemClockInstance()};
    CDefectDoc document{ui, SystemClockInstance(), administration};
    document.database().SetDatabaseFileName(path);
    if (!document.LoginAs(kListingUser))
        return 1;
    CDefectList list(document);
    const double base = StatusMegabytes("VmRSS");
    const double first = TimeSeconds([&] { list.FillList(); });
    const double firstPeak = StatusMegabytes("VmHWM");
    const QString statement = ListStatement(list.BuildListCondition(true), list.ShownMemos());
    engine::Connection& connection = document.GetDocumentConnection(RetryMode::Offline);
    std::vector<double> fills;
    std::vector<double> steps;
    std::vector<double> fillsCpu;
    std::vector<double> stepsCpu;
    const auto step = [&] {
        connection.ReadRows(
            statement, {}, engine::Access::Any, [] {}, [](const engine::Statement&) {});
    };
    // Every value read in its own type, as any reader must: a bare step skips the overflow pages
    // of long texts. The list statement's texts are Comments, Description, Subject, the two
    // versions and Cc; its dates are Closed, Modified, Opened and lastread.
    std::size_t readBytes = 0;
    const auto stepAndRead = [&] {
        static constexpr std::array<bool, 21> kText{false, true,  false, false, true,  false, false,
                                                    false, false, false, false, false, false, false,
                                                    true,  false, false, true,  true,  false, true};
        static constexpr std::array<bool, 21> kDate{true,  false, false, false, false, false, false,
                                                    false, false, true,  true,  false, false, false,
                                                    false, false, true,  false, false, false, false};
        connection.ReadRows(
            statement, {}, engine::Access::Any, [] {},
            [&](const engine::Statement& row) {
                double sum = 0;
                for (std::size_t column = 0; column < kText.size(); ++column) {
                    const int index = static_cast<int>(column);
                    int bytes = 0;
                    if (kText[column]) {
                        row.ColumnUtf8(index, bytes);
                        readBytes += static_cast<std::size_t>(bytes);
                    } else if (kDate[column]) {
                        sum += row.ColumnReal(index);
                    } else {
                        sum += static_cast<double>(row.ColumnInt(index));
                    }
                }
                readBytes += sum < 0 ? 1 : 0;
            });
    };
    std::vector<double> reads;
    // Turn about, so that a busy moment of the machine falls on both.
    for (int run = 0; run < kRefreshes; ++run) {
        double cpu = 0;
        fills.push_back(TimeSeconds([&] { cpu = CpuSeconds([&] { list.Refresh(); }); }));
        fillsCpu.push_back(cpu);
        steps.push_back(TimeSeconds([&] { cpu = CpuSeconds(step); }));
        stepsCpu.push_back(cpu);
        reads.push_back(TimeSeconds(stepAndRead));
    }
    DefectListModel& model = list.model();
    const int rows = model.rowCount();
    Report("rows", rows);
    Report("first_fill", first);
    Report("fill", Median(fills));
    Report("step", Median(steps));
    Report("step_read", Median(reads));
    Report("read_mb", static_cast<double>(readBytes) / kRefreshes / (1024 * 1024));
    Report("fill_cpu", Median(fillsCpu));
    Report("step_cpu", Median(stepsCpu));
    Report("base_mb", base);
    Report("first_peak_mb", firstPeak);
    Report("peak_mb", StatusMegabytes("VmHWM"));
    Report("rss_mb", StatusMegabytes("VmRSS"));
    // What a row holds: its fixed part and each text it keeps.
    std::array<double, ListRow::kTextCount> texts{};
    for (int row = 0; row < rows; ++row) {
        for (int which = 0; which < ListRow::kTextCount; ++which)
            texts[static_cast<std::size_t>(which)] +=
                static_cast<double>(model.row(row).text(static_cast<ListRow::Text>(which)).size());
    }
    const std::array<const char*, ListRow::kTextCount> names{"subject",       "description",   "comments",
                                                             "found_version", "fixed_version", "cc"};
    for (std::size_t which = 0; which < texts.size(); ++which)
        Report((QByteArray("text_") + names[which]).constData(), rows > 0 ? texts[which] / rows : 0);
    Report("row_fixed", sizeof(ListRow));
    // The texts as the arena holds them, once every full block is packed.
    ListTextArena& arena = list.model().textArena();
    arena.WaitForPacking();
    Report("texts_capacity", rows > 0 ? static_cast<double>(arena.capacity()) / rows : 0);
    Report("texts_held", rows > 0 ? static_cast<double>(arena.heldBytes()) / rows : 0);
    return 0;
}

using Figures = std::map<QByteArray, double>;

Figures MeasureSize(const QString& self, const QString& path)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(self, {QStringLiteral("--measure"), path});
    if (!child.waitForFinished(-1) || child.exitCode() != 0) {
        std::fprintf(stderr, "the measuring child failed on %s\n", qPrintable(path));
        std::exit(1);
    }
    Figures figures;
    for (const QByteArray& line : child.readAllStandardOutput().split('\n')) {
        const qsizetype equals = line.indexOf('=');
        if (equals > 0)
            figures[line.left(equals)] = line.mid(equals + 1).toDouble();
    }
    return figures;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments().mid(1);
    if (arguments.value(0) == QLatin1String("--measure"))
        return Measure(arguments.value(1));

    std::vector<int> sizes;
    for (const QString& argument : arguments)
        sizes.push_back(argument.toInt());
    if (sizes.empty())
        sizes = {10000, 100000, 300000};
    std::vector<Figures> all;
    for (const int size : sizes) {
        std::fprintf(stderr, "measuring %d defects...\n", size);
        all.push_back(
            MeasureSize(app.applicationFilePath(), CachedDefectFile(QStringLiteral(VELLACORD_BENCHMARK_CACHE), size)));
    }

    std::printf("\n%-40s", "defects");
    for (const int size : sizes)
        std::printf(" | %-24d", size);
    std::printf("\n");
    const auto line = [&](const char* title, const std::function<QString(const Figures&)>& cell) {
        std::printf("%-40s", title);
        for (const Figures& f : all)
            std::printf(" | %-24s", qPrintable(cell(f)));
        std::printf("\n");
    };
    const auto number = [](const char* key, int decimals) {
        return [key, decimals](const Figures& f) { return QString::number(f.at(key), 'f', decimals); };
    };
    const auto ratio = [](const char* measured, const char* reference) {
        return [measured, reference](const Figures& f) {
            return QStringLiteral("%1x (%2/%3 s)")
                .arg(f.at(measured) / f.at(reference), 0, 'f', 2)
                .arg(f.at(measured), 0, 'f', 3)
                .arg(f.at(reference), 0, 'f', 3);
        };
    };
    const auto perRow = [](const char* key) {
        return [key](const Figures& f) {
            return QString::number((f.at(key) - f.at("base_mb")) * 1024 * 1024 / std::max(f.at("rows"), 1.0), 'f', 0);
        };
    };
    line("rows listed", number("rows", 0));
    line("refresh / statement stepped (median)", ratio("fill", "step"));
    line("the same in processor time", ratio("fill_cpu", "step_cpu"));
    line("refresh / stepped with every value read", ratio("fill", "step_read"));
    line("MB of values read per pass", number("read_mb", 0));
    line("first fill / statement stepped", ratio("first_fill", "step"));
    line("MB before the first fill", number("base_mb", 0));
    line("peak MB after the first fill", number("first_peak_mb", 0));
    line(qPrintable(QStringLiteral("peak MB after %1 refreshes").arg(kRefreshes)), number("peak_mb", 0));
    line("resident MB at the end", number("rss_mb", 0));
    line("peak bytes per row over the base", perRow("peak_mb"));
    line("resident bytes per row over the base", perRow("rss_mb"));
    line("fixed bytes of a row", number("row_fixed", 0));
    for (const char* text : {"subject", "description", "comments", "found_version", "fixed_version", "cc"}) {
        const QByteArray key = QByteArray("text_") + text;
        line(qPrintable(QStringLiteral("text bytes per row: %1").arg(QLatin1String(text))),
             [key](const Figures& f) { return QString::number(f.at(key), 'f', 1); });
    }
    line("text block bytes per row (unpacked)", number("texts_capacity", 0));
    line("text block bytes per row held (packed)", number("texts_held", 0));
    return 0;
}
