// How long the list takes to fill with 100 000 defects of realistic size, against the sqlite3
// shell running the same statement, and how much memory the filled list holds.

#include "BenchmarkSupport.h"

#include "engine/Statement.h"
#include "list/DefectList.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

constexpr int kRuns = 3;

double Best(const std::function<void()>& work)
{
    return BestSeconds(kRuns, work);
}

// Pages the process got fresh from the system: what a first fill pays for memory that later fills reuse.
long MinorPageFaults()
{
    rusage usage{};
    return ::getrusage(RUSAGE_SELF, &usage) == 0 ? usage.ru_minflt : -1;
}

long ResidentMegabytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (QByteArray line = status.readLine(); !line.isEmpty(); line = status.readLine()) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').front().toLong() / 1024;
    }
    return -1;
}

// The shell's best time for the statement, its output thrown away; negative when it failed.
double ShellSeconds(const QString& path, const QString& statementFile)
{
    bool failed = false;
    const double best = Best([&] {
        QProcess shell;
        shell.setStandardInputFile(statementFile);
        shell.setStandardOutputFile(QProcess::nullDevice());
        shell.start(QStringLiteral("sqlite3"), {path});
        failed |= !shell.waitForFinished(-1) || shell.exitCode() != 0;
    });
    return failed ? -1 : best;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    LoggedInDefectFile bench(argc, argv);
    CDefectDoc& document = bench.document;
    CDefectList list(document);
    const QString& path = bench.path;
    const long baseMegabytes = ResidentMegabytes();

    // The first fill loads the view; the statement is complete only after it.
    const long faultsBefore = MinorPageFaults();
    const double first = TimeSeconds([&] { list.FillList(); });
    const long firstFaults = MinorPageFaults() - faultsBefore;
    const long filledMegabytes = ResidentMegabytes();
    const double second = TimeSeconds([&] { list.Refresh(); });
    const double fill = std::min({first, second, Best([&] { list.Refresh(); })});
    const QString statement = ListStatement(list.BuildListCondition(true), list.ShownMemos());
    std::printf("statement: %s\n", qPrintable(statement));
    std::printf("rows: %d (%s)\n", list.model().rowCount(), qPrintable(list.statusText()));

    // The statement alone in this process: the engine's share of the fill.
    engine::Connection& connection = document.GetDocumentConnection(RetryMode::Offline);
    const double stepping = Best([&] {
        connection.ReadRows(
            statement, {}, engine::Access::Any, [] {}, [](const engine::Statement&) {});
    });

    const double unreadTest = Best([&] { document.TestForNewUnread(); });
    std::printf("unread test (part of every fill), best of %d: %.3f s\n", kRuns, unreadTest);

    const QString statementFile = bench.folder.file(QStringLiteral("list.sql"));
    QFile file(statementFile);
    if (!file.open(QIODevice::WriteOnly) || file.write(statement.toUtf8() + ";\n") < 0)
        return 1;
    file.close();
    const double shell = ShellSeconds(path, statementFile);
    if (shell <= 0)
        return 1;

    std::printf("first fill: %.3f s, %ld minor page faults\n", first, firstFaults);
    std::printf("second fill (refresh): %.3f s\n", second);
    std::printf("fill, best of %d: %.3f s\n", kRuns + 2, fill);
    std::printf("statement stepped in-process, best of %d: %.3f s\n", kRuns, stepping);
    std::printf("sqlite3 shell, best of %d: %.3f s\n", kRuns, shell);
    std::printf("resident memory: %ld MB before the first fill, %ld MB after it, %ld MB now (goal under 250 MB)\n",
                baseMegabytes, filledMegabytes, ResidentMegabytes());
    std::printf("first fill/shell: %.2f\n", first / shell);
    std::printf("fill/shell: %.2f (goal at most 1.3)\n", fill / shell);
    return 0;
}
