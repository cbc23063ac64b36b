// The benchmarks' realistic defect file, the document logged in on it, and the stopwatch.

#include "BenchmarkSupport.h"

#include "engine/Connection.h"
#include "engine/EngineStatus.h"
#include "store/UnreadIndex.h"
#include "support/TestDatabase.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <random>

namespace {

constexpr int kDefaultDefects = 100000;
// Larger files combine the texts of this many generated defects.
constexpr int kMostGeneratedDefects = 300000;
constexpr int kStakeholders = 300;
constexpr int kComponents = 40;
constexpr double kFirstOpened = 42000; // an OLE date in 2014
constexpr double kLastOpened = 45600;  // one in 2024

// Status ids of the seed and how often each occurs; most defects of a long-lived file are done.
struct StatusShare {
    std::int64_t id;
    int weight;
};
constexpr std::array<StatusShare, 13> kStatuses{{{10, 350},
                                                 {6, 150},
                                                 {4, 100},
                                                 {5, 50},
                                                 {1, 100},
                                                 {2, 100},
                                                 {3, 50},
                                                 {7, 30},
                                                 {8, 20},
                                                 {9, 20},
                                                 {11, 20},
                                                 {999, 5},
                                                 {0, 5}}};

const std::array<const char*, 64> kWords{"the",          "a",         "to",
                                         "of",           "and",       "is",
                                         "in",           "when",      "after",
                                         "before",       "not",       "with",
                                         "window",       "dialog",    "button",
                                         "crash",        "list",      "view",
                                         "filter",       "saving",    "opening",
                                         "database",     "record",    "field",
                                         "value",        "error",     "message",
                                         "user",         "click",     "shows",
                                         "wrong",        "empty",     "column",
                                         "server",       "timeout",   "Größe",
                                         "Änderung",     "Übersicht", "Fehlermeldung",
                                         "Schaltfläche", "Straße",    "€",
                                         "café",         "naïve",     "déjà",
                                         "Zoë",          "µs",        "→",
                                         "release",      "build",     "version",
                                         "reproducible", "steps:",    "expected:",
                                         "actual:",      "1.",        "2.",
                                         "3.",           "again",     "only",
                                         "sometimes",    "printing",  "export",
                                         "import"};

class Generator {
public:
    explicit Generator(unsigned seed) : random_(seed) { }

    int Between(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }
    double Real(double low, double high) { return std::uniform_real_distribution<double>(low, high)(random_); }

    // Words, sentences and paragraphs of about `characters` characters.
    QString Text(int characters)
    {
        QString text;
        text.reserve(characters + 16);
        bool sentenceStart = true;
        while (text.size() < characters) {
            QString word =
                QString::fromUtf8(kWords[static_cast<std::size_t>(Between(0, static_cast<int>(kWords.size()) - 1))]);
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
        if (!Run(
                db,
                QStringLiteral("insert into stakeholder (stakeholder_id, email, displayname, loginname, sys_sortorder) "
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
    const auto version = [&] {
        return QStringLiteral("1.%1.%2").arg(generate.Between(0, 9)).arg(generate.Between(0, 20));
    };
    return Run(
        db,
        QStringLiteral("insert into defectlist (statusid, priorityid, severityid, subject, description, componentid, "
                       "toid, fromid, foundbuild, fixedbuild, comments, history, opened, modified, closed, lastread, "
                       "foundversion, fixedversion, categoryid, cc) "
                       "values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
        {status,
         std::int64_t{generate.Between(0, 4)},
         std::int64_t{generate.Between(0, 4)},
         generate.Text(generate.Between(40, 120)),
         generate.Text(generate.Between(200, 3000)),
         std::int64_t{generate.Between(1, kComponents)},
         stakeholder(),
         stakeholder(),
         std::int64_t{generate.Between(100, 2000)},
         std::int64_t{done ? generate.Between(100, 2000) : 0},
         generate.Text(generate.Between(200, 3000)),
         generate.Text(generate.Between(60, 600)),
         opened,
         modified,
         done ? modified : 0.0,
         generate.Between(0, 4) == 0 ? 0.0 : modified,
         version(),
         done ? version() : QString(),
         std::int64_t{generate.Between(0, 2)},
         generate.Between(0, 9) == 0 ? QStringLiteral("qa@example.org; lead@example.org") : QString()});
}

// Adds defects made of the texts and values of the first `distinct` ones, taken from three
// different defects each time, until there are `defects`: a large file in seconds, whose texts
// are as long and as varied as those generated, without generating each of them.
bool AddCombinedDefects(engine::Connection& db, std::int64_t distinct, std::int64_t defects)
{
    const QString columns = QStringLiteral(
        "statusid, priorityid, severityid, subject, description, componentid, toid, fromid, foundbuild, fixedbuild, "
        "comments, history, opened, modified, closed, lastread, foundversion, fixedversion, categoryid, cc");
    const QString picked = QStringLiteral(
        "a.statusid, a.priorityid, a.severityid, c.subject, b.description, a.componentid, a.toid, c.fromid, "
        "a.foundbuild, a.fixedbuild, c.comments, a.history, a.opened, a.modified, a.closed, a.lastread, "
        "a.foundversion, a.fixedversion, a.categoryid, b.cc");
    std::int64_t first = 0;
    if (db.QueryInt(QStringLiteral("SELECT min(defect_id) FROM defectlist"), {}, first) != engine::kOk)
        return false;
    for (std::int64_t have = distinct, round = 1; have < defects; ++round) {
        const std::int64_t adding = std::min(distinct, defects - have);
        // Other partners each round, so that no two combined defects are alike.
        if (!Run(db,
                 QStringLiteral("INSERT INTO defectlist (%1) SELECT %2 FROM defectlist a "
                                "JOIN defectlist b ON b.defect_id = ?1 + (a.defect_id - ?1 + ?2) % ?3 "
                                "JOIN defectlist c ON c.defect_id = ?1 + (a.defect_id - ?1 + ?4) % ?3 "
                                "WHERE a.defect_id < ?1 + ?5")
                     .arg(columns, picked),
                 {first, round * 7919, distinct, round * 104729 + 1, adding}))
            return false;
        have += adding;
    }
    return true;
}

bool FillFile(const QString& path, int defects, bool openedByProgram)
{
    engine::Connection db;
    if (db.Open(path) != engine::kOk || db.Execute(QStringLiteral("PRAGMA synchronous=OFF")) != engine::kOk)
        return false;
    Generator generate(20240611);
    const int distinct = std::min(defects, kMostGeneratedDefects);
    const bool filled = db.WriteTransaction([&] {
        if (!AddLookups(db, generate))
            return engine::kFailure;
        for (int i = 0; i < distinct; ++i) {
            if (!AddDefect(db, generate))
                return engine::kFailure;
        }
        return AddCombinedDefects(db, distinct, defects) ? engine::kOk : engine::kFailure;
    }) == engine::kOk;
    // What the program's first open of the file adds.
    if (openedByProgram)
        EnsureUnreadIndex(db);
    return filled;
}

} // namespace

QString MakeDefectFile(const QString& path, int defects, bool openedByProgram)
{
    CreateCurrentDatabase(path);
    const double generated = TimeSeconds([&] {
        if (!FillFile(path, defects, openedByProgram))
            std::exit(1);
    });
    std::printf("file: %d defects, %.0f MB, generated in %.1f s\n", defects,
                static_cast<double>(QFileInfo(path).size()) / (1024.0 * 1024.0), generated);
    return path;
}

QString CachedDefectFile(const QString& folder, int defects)
{
    const QString path = QDir(folder).filePath(QStringLiteral("defects-%1.defl").arg(defects));
    if (QFileInfo::exists(path))
        return path;
    QDir().mkpath(folder);
    // Made under another name and renamed, so that an interrupted run leaves no half file behind.
    const QString making = path + QStringLiteral(".making");
    QFile::remove(making);
    MakeDefectFile(making, defects, false);
    if (!QFile::rename(making, path))
        std::exit(1);
    return path;
}

LoggedInDefectFile::LoggedInDefectFile(int argc, char** argv)
    : path(MakeDefectFile(folder.file(QStringLiteral("bench.defl")),
                          argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : kDefaultDefects))
{
    document.database().SetDatabaseFileName(path);
    if (!document.LoginAs(kListingUser))
        std::exit(1);
}

double TimeSeconds(const std::function<void()>& work)
{
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double BestSeconds(int runs, const std::function<void()>& work)
{
    double best = std::numeric_limits<double>::max();
    for (int run = 0; run < runs; ++run)
        best = std::min(best, TimeSeconds(work));
    return best;
}
