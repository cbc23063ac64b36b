// How long File > Export takes to write 100 000 defects of realistic size as CSV, against the
// sqlite3 shell writing the same query as CSV, and the times of the other formats.

#include "BenchmarkSupport.h"

#include "export/ExportList.h"
#include "list/DefectList.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <cstdio>

namespace {

constexpr int kRuns = 3;

// The shell's best time for writing the query's rows as CSV into a file; negative when it failed.
double ShellCsvSeconds(const QString& database, const QString& query, const QString& output)
{
    bool failed = false;
    const double best = BestSeconds(kRuns, [&] {
        QProcess shell;
        shell.start(QStringLiteral("sqlite3"), {QStringLiteral("-csv"), QStringLiteral("-header"), database});
        shell.write(QStringLiteral(".output %1\n%2;\n").arg(output, query).toUtf8());
        shell.closeWriteChannel();
        failed |= !shell.waitForFinished(-1) || shell.exitCode() != 0;
    });
    return failed ? -1 : best;
}

double MegabytesOf(const QString& path)
{
    return static_cast<double>(QFileInfo(path).size()) / (1024.0 * 1024.0);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    LoggedInDefectFile bench(argc, argv);
    CDefectList list(bench.document);
    list.FillList();
    engine::Connection& connection = bench.document.GetDocumentConnection(RetryMode::Offline);
    const QString query = QStringLiteral("SELECT * FROM DefectListQuery ") + list.BuildListCondition(true).text;
    std::printf("query: %s\nrows: %d\n", qPrintable(query), list.model().rowCount());

    const auto timeExport = [&](const QString& name, ListExportKind kind) {
        const QString path = bench.folder.file(name);
        const double seconds = BestSeconds(kRuns, [&] { WriteListExport(path, kind, connection, list); });
        std::printf("%-5s export, best of %d: %.3f s, %.1f MB\n", qPrintable(QFileInfo(name).suffix()), kRuns, seconds,
                    MegabytesOf(path));
        return seconds;
    };
    const double csv = timeExport(QStringLiteral("list.csv"), ListExportKind::Csv);
    timeExport(QStringLiteral("list.txt"), ListExportKind::Text);
    timeExport(QStringLiteral("list.xml"), ListExportKind::Xml);
    timeExport(QStringLiteral("list.xlsx"), ListExportKind::Workbook);

    const QString shellOutput = bench.folder.file(QStringLiteral("shell.csv"));
    const double shell = ShellCsvSeconds(bench.path, query, shellOutput);
    if (shell <= 0)
        return 1;
    std::printf("sqlite3 shell, the same query as CSV, best of %d: %.3f s, %.1f MB\n", kRuns, shell,
                MegabytesOf(shellOutput));
    std::printf("csv export/shell: %.2f\n", csv / shell);
    return 0;
}
