// How long the list takes to fill with 100 000 defects of realistic size, against the sqlite3
// shell running the same statement, and how much memory the filled list holds.

#include "document/DefectDoc.h"
#include "list/DefectList.h"
#include "platform/OleDate.h"
#include "store/DatabaseAdministration.h"
#include "store/EngineStatus.h"
#include "store/UnreadIndex.h"
#include "store/Statement.h"
#include "support/ScriptedUserInterface.h"
#include "support/TempFolder.h"
#include "support/TestDatabase.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <sys/resource.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <limits>
#include <random>

namespace {

constexpr int kDefaultDefects = 100000;
constexpr int kStakeholders = 300;
constexpr int kComponents = 40;
constexpr int kRuns = 3;
constexpr std::int32_t kListingUser = 1;
constexpr double kFirstOpened = 42000; // an OLE date in 2014
constexpr double kLastOpened = 45600;  // one in 2024

// Status ids of the seed and how often each occurs; most defects of a long-lived file are done.
struct StatusShare {
    std::int64_t id;
    int weight;
};
constexpr std::array<StatusShare, 13> kStatuses{{{10, 350}, {6, 150}, {4, 100}, {5, 50}, {1, 100}, {2, 100}, {3, 50},
                                                  {7, 30}, {8, 20}, {9, 20}, {11, 20}, {999, 5}, {0, 5}}};

const std::array<const char*, 64> kWords{
    "the", "a", "to", "of", "and", "is", "in", "when", "after", "before", "not", "with", "window", "dialog", "button",
    "crash", "list", "view", "filter", "saving", "opening", "database", "record", "field", "value", "error", "message",
    "user", "click", "shows", "wrong", "empty", "column", "server", "timeout", "Größe", "Änderung", "Übersicht",
    "Fehlermeldung", "Schaltfläche", "Straße", "€", "café", "naïve", "déjà", "Zoë", "µs", "→", "release", "build",
    "version", "reproducible", "steps:", "expected:", "actual:", "1.", "2.", "3.", "again", "only", "sometimes",
    "printing", "export", "import"};

class Generator {
public:
    explicit Generator(unsigned seed) : random_(seed) {}

    int Between(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }
    double Real(double low, double high) { return std::uniform_real_distribution<double>(low, high)(random_); }

    // Words, sentences and paragraphs of about `characters` characters.
    QString Text(int characters)
    {
        QString text;
        text.reserve(characters + 16);
        bool sentenceStart = true;
        while (text.size() < characters) {
            QString word = QString::fromUtf8(kWords[static_cast<std::size_t>(Between(0, static_cast<int>(kWords.size()) - 1))]);
            if (sentenceStart)
                word[0] = word[0].toUpper();
            text += word;
            const int end = Between(0, 99);
            sentenceStart = end < 12;
            text += end < 2 ? QStringLiteral(".\n") : end < 12 ? QStringLiteral(". ") : QStringLiteral(" ");
        }
        text.truncate(characters);
        return text;
    }

    std::int64_t Status()
    {
        int pick = Between(0, 999);
        for (const StatusShare& share : kStatuses) {
            if ((pick -= share.weight) < 0)
                return share.id;
        }
        return kStatuses.front().id;
    }

private:
    std::mt19937 random_;
};

double Seconds(std::chrono::steady_clock::duration duration)
{
    return std::chrono::duration<double>(duration).count();
}

double Time(const std::function<void()>& work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return Seconds(std::chrono::steady_clock::now() - start);
}

double Best(const std::function<void()>& work)
{
    double best = std::numeric_limits<double>::max();
    for (int run = 0; run < kRuns; ++run)
        best = std::min(best, Time(work));
    return best;
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

bool Run(engine::Connection& db, const QString& sql, const engine::Parameters& values)
{
    if (db.Execute(sql, values) == engine::kOk)
        return true;
    std::fprintf(stderr, "%s: %s\n", qPrintable(sql), qPrintable(db.TakeErrorMessage()));
    return false;
}

bool AddLookups(engine::Connection& db, Generator& generate)
{
    for (std::int64_t id = 1; id <= kStakeholders; ++id) {
        if (!Run(db, QStringLiteral("insert into stakeholder (stakeholder_id, email, displayname, loginname, sys_sortorder) "
                                    "values (?, ?, ?, ?, ?)"),
                 {id, QStringLiteral("user%1@example.org").arg(id), generate.Text(generate.Between(8, 24)).trimmed(),
                  QStringLiteral("user%1").arg(id), id}))
            return false;
    }
    for (std::int64_t id = 0; id < kComponents; ++id) {
        if (!Run(db, QStringLiteral("insert into component (component, sys_sortorder) values (?, ?)"),
                 {generate.Text(generate.Between(6, 30)).trimmed(), id}))
            return false;
    }
    return true;
}

bool AddDefect(engine::Connection& db, Generator& generate)
{
    const std::int64_t status = generate.Status();
    const double opened = generate.Real(kFirstOpened, kLastOpened);
    const double modified = opened + generate.Real(0, 400);
    const bool done = status >= 4 && status <= 10;
    const auto stakeholder = [&] { return std::int64_t{generate.Between(1, kStakeholders)}; };
    const auto version = [&] { return QStringLiteral("1.%1.%2").arg(generate.Between(0, 9)).arg(generate.Between(0, 20)); };
    return Run(db,
               QStringLiteral("insert into defectlist (statusid, priorityid, severityid, subject, description, componentid, "
                              "toid, fromid, foundbuild, fixedbuild, comments, history, opened, modified, closed, lastread, "
                              "foundversion, fixedversion, categoryid, cc) "
                              "values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
               {status, std::int64_t{generate.Between(0, 4)}, std::int64_t{generate.Between(0, 4)},
                generate.Text(generate.Between(40, 120)), generate.Text(generate.Between(200, 3000)),
                std::int64_t{generate.Between(1, kComponents)}, stakeholder(), stakeholder(),
                std::int64_t{generate.Between(100, 2000)}, std::int64_t{done ? generate.Between(100, 2000) : 0},
                generate.Text(generate.Between(200, 3000)), generate.Text(generate.Between(60, 600)), opened, modified,
                done ? modified : 0.0, generate.Between(0, 4) == 0 ? 0.0 : modified, version(),
                done ? version() : QString(), std::int64_t{generate.Between(0, 2)},
                generate.Between(0, 9) == 0 ? QStringLiteral("qa@example.org; lead@example.org") : QString()});
}

bool FillFile(const QString& path, int defects)
{
    engine::Connection db;
    if (db.Open(path) != engine::kOk || db.Execute(QStringLiteral("PRAGMA synchronous=OFF")) != engine::kOk)
        return false;
    Generator generate(20240611);
    const bool filled = db.WriteTransaction([&] {
                            if (!AddLookups(db, generate))
                                return engine::kFailure;
                            for (int i = 0; i < defects; ++i) {
                                if (!AddDefect(db, generate))
                                    return engine::kFailure;
                            }
                            return engine::kOk;
                        }) == engine::kOk;
    // What the program's first open of the file adds.
    EnsureUnreadIndex(db);
    return filled;
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
    const int defects = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : kDefaultDefects;
    TempFolder folder;
    const QString path = CreateCurrentDatabase(folder.file(QStringLiteral("bench.defl")));
    const double generated = Time([&] {
        if (!FillFile(path, defects))
            std::exit(1);
    });
    std::printf("file: %d defects, %.0f MB, generated in %.1f s\n", defects,
                static_cast<double>(QFileInfo(path).size()) / (1024.0 * 1024.0), generated);

    ScriptedUserInterface ui;
    DatabaseAdministration administration(ui, SystemClockInstance());
    CDefectDoc document(ui, SystemClockInstance(), administration);
    document.database().SetDatabaseFileName(path);
    if (!document.LoginAs(kListingUser))
        return 1;
    CDefectList list(document);
    const long baseMegabytes = ResidentMegabytes();

    // The first fill loads the view; the statement is complete only after it.
    const long faultsBefore = MinorPageFaults();
    const double first = Time([&] { list.FillList(); });
    const long firstFaults = MinorPageFaults() - faultsBefore;
    const long filledMegabytes = ResidentMegabytes();
    const double second = Time([&] { list.Refresh(); });
    const double fill = std::min({first, second, Best([&] { list.Refresh(); })});
    const QString statement = ListStatement(list.BuildListCondition(true));
    std::printf("statement: %s\n", qPrintable(statement));
    std::printf("rows: %d (%s)\n", list.model().rowCount(), qPrintable(list.statusText()));

    // The statement alone in this process: the engine's share of the fill.
    engine::Connection& connection = document.GetDocumentConnection(RetryMode::Offline);
    const double stepping = Best([&] { connection.ReadRows(statement, {}, engine::Access::Any, [] {}, [](const engine::Statement&) {}); });

    const double unreadTest = Best([&] { document.TestForNewUnread(); });
    std::printf("unread test (part of every fill), best of %d: %.3f s\n", kRuns, unreadTest);

    const QString statementFile = folder.file(QStringLiteral("list.sql"));
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
