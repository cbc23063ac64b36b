// How the list, the exports, a save, the start-up and the maintenance keep pace with the engine as
// the file grows: for files of 10 000 to 1 000 000 defects (made once, kept in a cache folder),
// each measure against the sqlite3 shell, the bare statement or one saver alone, side by side in
// one run, medians, printed as one table. The files are as the tools make them; the program's
// measures add the unread index its open adds, and remove it again for vellacord-admin.

#include "BenchmarkSupport.h"

#include "document/DefectTestDoubles.h"
#include "engine/EngineStatus.h"
#include "engine/Rowset.h"
#include "engine/Statement.h"
#include "export/ExportList.h"
#include "list/DefectList.h"
#include "store/UnreadIndex.h"
#include "support/ChildProcess.h"
#include "support/SaveLoop.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <map>
#include <thread>
#include <vector>

#include <unistd.h>

namespace {

constexpr int kRuns = 5;
constexpr int kExportRuns = 3;
constexpr int kSaves = 15;
constexpr int kStartUps = 3;
constexpr int kMaintenanceRuns = 3;
// Saves per workstation, alone and eight at once, each with 10 ms disk syncs.
constexpr int kSaverRounds = 100;
constexpr int kWorkstations = 8;
constexpr std::int32_t kListingUser = 1;
constexpr std::chrono::minutes kLongestStartUp{10};

double Median(std::vector<double> samples)
{
    if (samples.empty())
        return -1;
    std::sort(samples.begin(), samples.end());
    const std::size_t middle = samples.size() / 2;
    return samples.size() % 2 != 0 ? samples[middle] : (samples[middle - 1] + samples[middle]) / 2;
}

// A line of /proc/<process>/status in kB ("VmRSS", "VmHWM"); -1 when it cannot be read.
long StatusKilobytes(const char* name, const QString& process = QStringLiteral("self"))
{
    QFile status(QStringLiteral("/proc/%1/status").arg(process));
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

QString LoginOf(engine::Connection& connection)
{
    engine::Rowset rows;
    if (connection.Query(QStringLiteral("SELECT loginname FROM stakeholder WHERE stakeholder_id=?"),
                         {std::int64_t{kListingUser}}, rows) != engine::kOk ||
        rows.MoveFirst() != engine::kOk)
        return {};
    return rows.Text(0);
}

struct StartUp {
    double seconds = -1;
    double peakMegabytes = -1;
    int rows = -1;
};

// The program started on `path` and logged in as `login`, on no screen, with settings of its own:
// the seconds until it first waits for the user with its window shown (which its trace notes),
// the rows its list shows then and its peak memory until then.
StartUp StartProgram(const QString& path, const QString& login)
{
    QTemporaryDir home;
    const QString trace = home.filePath(QStringLiteral("trace.txt"));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("HOME"), home.path());
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    environment.insert(QStringLiteral("VELLACORD_TEST_TRACE"), trace);
    QProcess program;
    program.setProcessEnvironment(environment);
    program.setStandardOutputFile(QProcess::nullDevice());
    program.setStandardErrorFile(QProcess::nullDevice());
    StartUp result;
    const auto start = std::chrono::steady_clock::now();
    program.start(QStringLiteral(VELLACORD_PROGRAM), {path, QStringLiteral("/autologin=") + login});
    QByteArray traced;
    // Waiting for the end of the program also notices that it ended.
    while (!program.waitForFinished(2) && std::chrono::steady_clock::now() - start < kLongestStartUp) {
        QFile file(trace);
        if (file.open(QIODevice::ReadOnly) && (traced = file.readAll()).contains("idle\t")) {
            result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            break;
        }
        // A message at start-up waits for a user who is not there.
        if (const qsizetype dialog = traced.indexOf("dialog\t"); dialog >= 0) {
            std::fprintf(stderr, "the program says: %s\n",
                         traced.mid(dialog, traced.indexOf('\n', dialog) - dialog).constData());
            break;
        }
    }
    if (result.seconds >= 0) {
        result.peakMegabytes =
            static_cast<double>(StatusKilobytes("VmHWM", QString::number(program.processId()))) / 1024;
        // The list's line follows the idle line at once.
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        QFile file(trace);
        if (file.open(QIODevice::ReadOnly))
            traced = file.readAll();
        const QRegularExpressionMatch rows =
            QRegularExpression(QStringLiteral("\\nview\\t[^\\n]*\\trows=(\\d+)")).match(QString::fromUtf8(traced));
        result.rows = rows.hasMatch() ? rows.captured(1).toInt() : -1;
    }
    program.kill();
    program.waitForFinished(-1);
    return result;
}

// Reads the whole file once, so that the first fill measures the program rather than the disk:
// the earlier sizes' exports and copies push a large file out of the page cache, and every
// reference runs on a cached file.
bool ReadIntoPageCache(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QByteArray chunk(1 << 20, Qt::Uninitialized);
    qint64 got = 0;
    while ((got = file.read(chunk.data(), chunk.size())) > 0) { }
    return got == 0;
}

// Child: the in-process measures on one file; prints key=value lines. Writes the list statement
// to `statementFile`.
int Measure(const QString& path, const QString& statementFile, bool openedByProgram)
{
    if (!ReadIntoPageCache(path))
        return 1;
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

    // The program itself from its start until it waits for the user, its list filled.
    std::vector<double> startUps;
    double programPeak = -1;
    const QString login = LoginOf(connection);
    for (int run = 0; run < kStartUps; ++run) {
        const StartUp started = StartProgram(path, login);
        if (started.seconds < 0 || started.rows != rows) {
            std::fprintf(stderr, "the program did not show its list of %d defects (%d)\n", rows, started.rows);
            startUps.clear();
            break;
        }
        startUps.push_back(started.seconds);
        programPeak = std::max(programPeak, started.peakMegabytes);
    }
    Report("start_up", startUps.empty() ? -1 : Median(startUps));
    Report("program_peak_mb", programPeak);

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

// On a copy of the file: `vellacord-admin repair` against the engine's VACUUM INTO, turn about
// (after one repair, so that both start from the same compact file), then one workstation saving
// alone against eight saving at once.
void MeasureOnCopy(const QString& admin, const QString& path, Figures& figures)
{
    QTemporaryDir folder;
    const QString copy = folder.filePath(QStringLiteral("copy.defl"));
    const QString vacuumed = folder.filePath(QStringLiteral("vacuumed.defl"));
    if (!QFile::copy(path, copy) || ProcessSeconds(admin, {QStringLiteral("repair"), copy}) < 0) {
        std::fprintf(stderr, "vellacord-admin repair failed on a copy of %s\n", qPrintable(path));
        std::exit(1);
    }
    std::vector<double> repairs;
    std::vector<double> vacuums;
    for (int run = 0; run < kMaintenanceRuns; ++run) {
        // Both sync what they write; each starts with nothing else left for the disk to write (the
        // copy made above, the run before), so that neither sync waits for the other's writes.
        ::sync();
        repairs.push_back(ProcessSeconds(admin, {QStringLiteral("repair"), copy}));
        QFile::remove(vacuumed);
        ::sync();
        vacuums.push_back(
            ProcessSeconds(QStringLiteral("sqlite3"), {copy, QStringLiteral("VACUUM INTO '%1'").arg(vacuumed)}));
    }
    QFile::remove(vacuumed);
    const bool failed =
        *std::min_element(repairs.begin(), repairs.end()) < 0 || *std::min_element(vacuums.begin(), vacuums.end()) < 0;
    figures[QStringLiteral("repair")] = failed ? -1 : Median(repairs);
    figures[QStringLiteral("vacuum")] = failed ? -1 : Median(vacuums);

    // The repairs leave gigabytes of copies and backups for the disk to write at large sizes; the
    // savers' syncs would queue behind them and measure that writeback instead of the savers.
    ::sync();
    // Defects 1 to 8, one for each workstation.
    const SaveLoopResult alone = RunSaveLoops(copy, 1, kSaverRounds, {}, QStringLiteral(FSYNC_DELAY_LIBRARY));
    const SaveLoopResult shared =
        RunSaveLoops(copy, kWorkstations, kSaverRounds, {}, QStringLiteral(FSYNC_DELAY_LIBRARY));
    figures[QStringLiteral("saver_p50")] = Percentile(alone.saveMilliseconds, 0.5);
    figures[QStringLiteral("savers_p50")] = Percentile(shared.saveMilliseconds, 0.5);
    figures[QStringLiteral("savers_p99")] = Percentile(shared.saveMilliseconds, 0.99);
    figures[QStringLiteral("savers_max")] = Percentile(shared.saveMilliseconds, 1.0);
    figures[QStringLiteral("savers_failed")] =
        alone.failedLoads + alone.failedSaves + shared.failedLoads + shared.failedSaves;
}

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
    const QString login = connection.Open(path) == engine::kOk ? LoginOf(connection) : QString();
    if (login.isEmpty())
        std::exit(1);
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
    MeasureOnCopy(admin, path, figures);
    return figures;
}

QString Ratio(const Figures& f, const char* measured, const char* reference)
{
    const double value = f.at(QLatin1String(measured));
    const double base = f.at(QLatin1String(reference));
    if (value < 0 || base <= 0)
        return QStringLiteral("failed");
    // Short times in milliseconds, so that their digits show.
    const bool brief = base < 0.1;
    const double scale = brief ? 1000 : 1;
    return QStringLiteral("%1x (%2/%3 %4)")
        .arg(value / base, 0, 'f', 2)
        .arg(value * scale, 0, 'f', 2)
        .arg(base * scale, 0, 'f', 2)
        .arg(brief ? QStringLiteral("ms") : QStringLiteral("s"));
}

// One column per size measured so far.
void PrintTable(std::FILE* out, const std::vector<int>& sizes, const std::vector<Figures>& all)
{
    constexpr int kCell = 30;
    std::fprintf(out, "\n%-44s", "defects");
    for (std::size_t i = 0; i < all.size(); ++i)
        std::fprintf(out, " | %-*d", kCell, sizes[i]);
    std::fprintf(out, "\n");
    const auto line = [&](const char* title, const std::function<QString(const Figures&)>& cell) {
        std::fprintf(out, "%-44s", title);
        for (const Figures& f : all)
            std::fprintf(out, " | %-*s", kCell, qPrintable(cell(f)));
        std::fprintf(out, "\n");
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
    line("8 savers p99 / 1 saver p50 (10 ms syncs)", [](const Figures& f) {
        return QStringLiteral("%1x (%2/%3 ms)")
            .arg(f.at(QStringLiteral("savers_p99")) / f.at(QStringLiteral("saver_p50")), 0, 'f', 2)
            .arg(f.at(QStringLiteral("savers_p99")), 0, 'f', 0)
            .arg(f.at(QStringLiteral("saver_p50")), 0, 'f', 0);
    });
    line("8 savers: p50, max, failed", [](const Figures& f) {
        return QStringLiteral("%1 ms, %2 ms, %3")
            .arg(f.at(QStringLiteral("savers_p50")), 0, 'f', 0)
            .arg(f.at(QStringLiteral("savers_max")), 0, 'f', 0)
            .arg(f.at(QStringLiteral("savers_failed")), 0, 'f', 0);
    });
    line("repair / VACUUM INTO", [](const Figures& f) { return Ratio(f, "repair", "vacuum"); });
    line("start-up to idle window / fill", [](const Figures& f) { return Ratio(f, "start_up", "fill"); });
    line("peak MB after fill and refreshes", [](const Figures& f) {
        return QStringLiteral("%1 (base %2)")
            .arg(f.at(QStringLiteral("peak_mb")), 0, 'f', 0)
            .arg(f.at(QStringLiteral("base_mb")), 0, 'f', 0);
    });
    line("peak bytes per listed row, above base",
         [](const Figures& f) { return QString::number(f.at(QStringLiteral("row_bytes")), 'f', 0); });
    line("program's peak MB at its idle window",
         [](const Figures& f) { return QString::number(f.at(QStringLiteral("program_peak_mb")), 'f', 0); });
    line("peak MB at the end (exports, saves)",
         [](const Figures& f) { return QString::number(f.at(QStringLiteral("end_peak_mb")), 'f', 0); });
    std::fflush(out);
}

// The sizes after --sizes (10000,100000) or as separate arguments; none when one is no number.
std::vector<int> Sizes(const QStringList& arguments)
{
    std::vector<int> sizes;
    for (const QString& argument : arguments) {
        if (argument == QLatin1String("--sizes"))
            continue;
        for (const QString& given : QString(argument).remove(QStringLiteral("--sizes=")).split(QLatin1Char(','))) {
            bool number = false;
            const int size = given.toInt(&number);
            if (!number || size <= 0)
                return {};
            sizes.push_back(size);
        }
    }
    return sizes;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    int exitCode = 0;
    if (RunChildActionFromCommandLine(argc, argv, exitCode))
        return exitCode;
    const QStringList arguments = app.arguments().mid(1);
    if (arguments.value(0) == QLatin1String("--measure"))
        return Measure(arguments.value(1), arguments.value(2), arguments.value(3) == QLatin1String("opened"));

    // Without sizes the three that run in minutes; 1 000 000 when asked for.
    std::vector<int> sizes = Sizes(arguments);
    if (sizes.empty() && !arguments.isEmpty()) {
        std::fprintf(stderr, "usage: ScalingBenchmark [--sizes 10000,100000,300000,1000000]\n");
        return 2;
    }
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
        // What is known so far, in case a long run is cut short.
        if (all.size() < sizes.size())
            PrintTable(stderr, sizes, all);
    }
    PrintTable(stdout, sizes, all);
    return 0;
}
