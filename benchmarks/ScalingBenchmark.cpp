// How the list, the exports and a save keep pace with the engine as the file grows: for files of
// 10 000 to 1 000 000 defects (made once, kept in a cache folder), each measure against the
// sqlite3 shell or the bare statement, side by side in one run, medians, printed as one table.
// The files are as the tools make them; the program's measures add the unread index its open
// adds, and remove it again for vellacord-admin.

#include "BenchmarkSupport.h"

#include "document/DefectTestDoubles.h"
#include "engine/EngineStatus.h"
#include "engine/Rowset.h"
#include "engine/Statement.h"
#include "export/ExportList.h"
#include "list/DefectList.h"
#include "store/UnreadIndex.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <vector>

namespace {

constexpr int kRuns = 5;
constexpr int kExportRuns = 3;
constexpr int kSaves = 15;
constexpr std::int32_t kListingUser = 1;

double Median(std::vector<double> samples)
{
    if (samples.empty())
        return -1;
    std::sort(samples.begin(), samples.end());
    const std::size_t middle = samples.size() / 2;
    return samples.size() % 2 != 0 ? samples[middle] : (samples[middle - 1] + samples[middle]) / 2;
}

// A line of /proc/self/status in kB ("VmRSS", "VmHWM"); -1 when it cannot be read.
long StatusKilobytes(const char* name)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray prefix = QByteArray(name) + ':';
    for (QByteArray line = status.readLine(); !line.isEmpty(); line = status.readLine()) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').front().toLong();
    }
    return -1;
}

// Seconds a program took from start to end with its output thrown away; negative when it failed.
double ProcessSeconds(const QString& program, const QStringList& arguments, const QString& input = {})
{
    QProcess process;
    if (!input.isEmpty())
        process.setStandardInputFile(input);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    bool failed = false;
    const double seconds = TimeSeconds([&] {
        process.start(program, arguments);
        failed =
            !process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0;
    });
    return failed ? -1 : seconds;
}

void Report(const char* key, double value)
{
    std::printf("%s=%.6f\n", key, value);
    std::fflush(stdout);
}

// Child: the in-process measures on one file; prints key=value lines. Writes the list statement
// to `statementFile`.
int Measure(const QString& path, const QString& statementFile, bool openedByProgram)
{
    // The program's open adds the unread index, which the cached files lack as the tools made
    // them; it goes again at the end, so that the tool is measured on such a file.
    struct ProgramIndex {
        engine::Connection connection;
        bool made = false;
        ~ProgramIndex()
        {
            if (made)
                connection.Execute(QStringLiteral("DROP INDEX IF EXISTS defectlist_unread"));
        }
    } index;
    if (openedByProgram) {
        std::int64_t present = 0;
        if (index.connection.Open(path) != engine::kOk ||
            index.connection.QueryInt(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE "
                                                     "name='defectlist_unread'"),
                                      {}, present) != engine::kOk)
            return 1;
        index.made = present == 0;
        EnsureUnreadIndex(index.connection);
    }
    const long baseKilobytes = StatusKilobytes("VmRSS");
    ScriptedUserInterface ui;
    DatabaseAdministration administration{ui, SystemClockInstance()};
    CDefectDoc document{ui, SystemClockInstance(), administration};
    document.database().SetDatabaseFileName(path);
    if (!document.LoginAs(kListingUser))
        return 1;
    CDefectList list(document);
    const double first = TimeSeconds([&] { list.FillList(); });
    const QString statement = ListStatement(list.BuildListCondition(true), list.ShownMemos());
    engine::Connection& connection = document.GetDocumentConnection(RetryMode::Offline);
    std::vector<double> fills;
    std::vector<double> steps;
    for (int run = 0; run < kRuns; ++run) {
        fills.push_back(TimeSeconds([&] { list.Refresh(); }));
        steps.push_back(TimeSeconds([&] {
            connection.ReadRows(
                statement, {}, engine::Access::Any, [] {}, [](const engine::Statement&) {});
        }));
    }
    const int rows = list.model().rowCount();
    Report("rows", rows);
    Report("first_fill", first);
    Report("fill", Median(fills));
    Report("step", Median(steps));
    Report("base_mb", static_cast<double>(baseKilobytes) / 1024);
    Report("peak_mb", static_cast<double>(StatusKilobytes("VmHWM")) / 1024);
    Report("row_bytes", rows > 0 ? static_cast<double>(StatusKilobytes("VmHWM") - baseKilobytes) * 1024 / rows : 0);
    {
        QFile file(statementFile);
        if (!file.open(QIODevice::WriteOnly) || file.write(statement.toUtf8() + ";\n") < 0)
            return 1;
    }

    // Exports against the shell writing the same query as CSV, turn about.
    QTemporaryDir folder;
    const QString query = QStringLiteral("SELECT * FROM DefectListQuery ") + list.BuildListCondition(true).text;
    const QString shellScript = folder.filePath(QStringLiteral("export.sql"));
    {
        QFile script(shellScript);
        if (!script.open(QIODevice::WriteOnly) ||
            script.write(
                QStringLiteral(".output %1\n%2;\n").arg(folder.filePath(QStringLiteral("shell.csv")), query).toUtf8()) <
                0)
            return 1;
    }
    const std::vector<std::pair<const char*, ListExportKind>> kinds{{"csv", ListExportKind::Csv},
                                                                    {"txt", ListExportKind::Text},
                                                                    {"xml", ListExportKind::Xml},
                                                                    {"xlsx", ListExportKind::Workbook}};
    std::map<const char*, std::vector<double>> exports;
    std::vector<double> shell;
    for (int run = 0; run < kExportRuns; ++run) {
        for (const auto& [name, kind] : kinds) {
            const QString target = folder.filePath(QStringLiteral("list.") + QLatin1String(name));
            exports[name].push_back(TimeSeconds([&] { WriteListExport(target, kind, connection, list); }));
        }
        shell.push_back(ProcessSeconds(QStringLiteral("sqlite3"),
                                       {QStringLiteral("-csv"), QStringLiteral("-header"), path}, shellScript));
    }
    Report("export_shell", Median(shell));
    for (const auto& [name, kind] : kinds)
        Report((QByteArray("export_") + name).constData(), Median(exports[name]));

    // One save through the program's path against a bare write transaction of one UPDATE of what
    // the save changes (the subject, the modified stamp, the read state), turn about.
    Workstation workstation(path, ui, kListingUser);
    DefectPersistence& persistence = workstation.persistence;
    engine::Connection bare;
    if (bare.Open(path) != engine::kOk)
        return 1;
    std::vector<double> saves;
    std::vector<double> bares;
    for (int run = 0; run < kSaves; ++run) {
        const std::int32_t id = run + 1;
        persistence.SelectDefect(id);
        if (engine::Failed(persistence.LoadDefect(id, true)) || !persistence.RecordLoaded())
            return 1;
        workstation.form.Edit([run](DefectRecord& r) { r.Subject = QStringLiteral("saved %1").arg(run); });
        bool saved = false;
        saves.push_back(TimeSeconds([&] { saved = persistence.SaveRecord(false); }));
        if (!saved)
            return 1;
        long status = engine::kOk;
        bares.push_back(TimeSeconds([&] {
            status = bare.WriteTransaction([&] {
                return bare.Execute(
                    QStringLiteral("UPDATE defectlist SET subject=?, modified=?, lastread=0 WHERE defect_id=?"),
                    {QStringLiteral("bare %1").arg(run), 46000.0 + run, std::int64_t{id + kSaves}});
            });
        }));
        if (engine::Failed(status))
            return 1;
    }
    Report("save", Median(saves));
    Report("save_bare", Median(bares));
    Report("end_peak_mb", static_cast<double>(StatusKilobytes("VmHWM")) / 1024);
    return 0;
}

using Figures = std::map<QString, double>;

Figures MeasureSize(const QString& self, const QString& admin, const QString& path)
{
    Figures figures;
    QTemporaryDir folder;
    const QString statementFile = folder.filePath(QStringLiteral("list.sql"));
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // SCALING_UNOPENED=1 measures the program on the files as the tools left them, without the unread index.
    child.start(self,
                {QStringLiteral("--measure"), path, statementFile,
                 qEnvironmentVariableIntValue("SCALING_UNOPENED") != 0 ? QStringLiteral("unopened")
                                                                       : QStringLiteral("opened")});
    if (!child.waitForFinished(-1) || child.exitCode() != 0) {
        std::fprintf(stderr, "the measuring child failed on %s\n", qPrintable(path));
        std::exit(1);
    }
    for (const QByteArray& line : child.readAllStandardOutput().split('\n')) {
        const qsizetype equals = line.indexOf('=');
        if (equals > 0)
            figures[QString::fromUtf8(line.left(equals))] = line.mid(equals + 1).toDouble();
    }

    // The whole tool against the shell running the tool's statement, turn about.
    engine::Connection connection;
    QString login;
    {
        engine::Rowset rows;
        if (connection.Open(path) != engine::kOk ||
            connection.Query(QStringLiteral("SELECT loginname FROM stakeholder WHERE stakeholder_id=?"),
                             {std::int64_t{kListingUser}}, rows) != engine::kOk ||
            rows.MoveFirst() != engine::kOk)
            std::exit(1);
        login = rows.Text(0);
    }
    connection.Close();
    std::vector<double> tool;
    std::vector<double> shell;
    for (int run = 0; run < kRuns; ++run) {
        tool.push_back(ProcessSeconds(admin, {QStringLiteral("list"), path, QStringLiteral("--user"), login}));
        shell.push_back(ProcessSeconds(QStringLiteral("sqlite3"), {path}, statementFile));
    }
    if (*std::min_element(tool.begin(), tool.end()) < 0 || *std::min_element(shell.begin(), shell.end()) < 0) {
        std::fprintf(stderr, "vellacord-admin list or the shell failed on %s\n", qPrintable(path));
        std::exit(1);
    }
    figures[QStringLiteral("tool")] = Median(tool);
    figures[QStringLiteral("tool_shell")] = Median(shell);
    return figures;
}

QString Ratio(const Figures& f, const char* measured, const char* reference)
{
    const double value = f.at(QLatin1String(measured));
    const double base = f.at(QLatin1String(reference));
    // Short times in milliseconds, so that their digits show.
    const bool brief = base < 0.1;
    const double scale = brief ? 1000 : 1;
    return QStringLiteral("%1x (%2/%3 %4)")
        .arg(value / base, 0, 'f', 2)
        .arg(value * scale, 0, 'f', 2)
        .arg(base * scale, 0, 'f', 2)
        .arg(brief ? QStringLiteral("ms") : QStringLiteral("s"));
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments().mid(1);
    if (arguments.value(0) == QLatin1String("--measure"))
        return Measure(arguments.value(1), arguments.value(2), arguments.value(3) == QLatin1String("opened"));

    // Sizes from the command line, else the three that run in minutes.
    std::vector<int> sizes;
    for (const QString& argument : arguments)
        sizes.push_back(argument.toInt());
    if (sizes.empty())
        sizes = {10000, 100000, 300000};
    // Another build's tool may be measured on the same files (an earlier version, say).
    const QString cache = QStringLiteral(VELLACORD_BENCHMARK_CACHE);
    const QString admin = qEnvironmentVariable("VELLACORD_ADMIN", QStringLiteral(VELLACORD_ADMIN));

    std::vector<Figures> all;
    for (const int size : sizes) {
        const QString path = CachedDefectFile(cache, size);
        std::fprintf(stderr, "measuring %d defects...\n", size);
        all.push_back(MeasureSize(app.applicationFilePath(), admin, path));
    }

    std::printf("\n%-44s", "defects");
    for (const int size : sizes)
        std::printf(" | %-26d", size);
    std::printf("\n");
    const auto line = [&](const char* title, const std::function<QString(const Figures&)>& cell) {
        std::printf("%-44s", title);
        for (const Figures& f : all)
            std::printf(" | %-26s", qPrintable(cell(f)));
        std::printf("\n");
    };
    line("rows listed", [](const Figures& f) { return QString::number(f.at(QStringLiteral("rows")), 'f', 0); });
    line("vellacord-admin list / sqlite3 shell", [](const Figures& f) { return Ratio(f, "tool", "tool_shell"); });
    line("fill / statement stepped", [](const Figures& f) { return Ratio(f, "fill", "step"); });
    line("first fill / statement stepped", [](const Figures& f) { return Ratio(f, "first_fill", "step"); });
    line("export csv / sqlite3 -csv", [](const Figures& f) { return Ratio(f, "export_csv", "export_shell"); });
    line("export text / sqlite3 -csv", [](const Figures& f) { return Ratio(f, "export_txt", "export_shell"); });
    line("export xml / sqlite3 -csv", [](const Figures& f) { return Ratio(f, "export_xml", "export_shell"); });
    line("export xlsx / sqlite3 -csv", [](const Figures& f) { return Ratio(f, "export_xlsx", "export_shell"); });
    line("save / BEGIN IMMEDIATE, UPDATE, COMMIT", [](const Figures& f) { return Ratio(f, "save", "save_bare"); });
    line("peak MB after fill and refreshes", [](const Figures& f) {
        return QStringLiteral("%1 (base %2)")
            .arg(f.at(QStringLiteral("peak_mb")), 0, 'f', 0)
            .arg(f.at(QStringLiteral("base_mb")), 0, 'f', 0);
    });
    line("peak bytes per listed row",
         [](const Figures& f) { return QString::number(f.at(QStringLiteral("row_bytes")), 'f', 0); });
    line("peak MB at the end (exports, saves)",
         [](const Figures& f) { return QString::number(f.at(QStringLiteral("end_peak_mb")), 'f', 0); });
    return 0;
}
