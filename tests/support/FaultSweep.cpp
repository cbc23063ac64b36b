// The sweep of one operation over every planned failure, the user of those runs and the checks.
#include "support/FaultSweep.h"

#include "engine/Connection.h"
#include "engine/EngineStatus.h"
#include "engine/Rowset.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <sqlite3.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>
#include <limits>

namespace fault {

namespace {

// The failures each operation meets. A full disk and a torn write leave the disk full until the
// user gives up; an I/O error hits one call, as a share that stumbles does.
const std::vector<Scenario> kScenarios = {
    {Call::Read, Kind::IoError, false},    {Call::Write, Kind::IoError, false}, {Call::Write, Kind::DiskFull, true},
    {Call::Write, Kind::ShortWrite, true}, {Call::Sync, Kind::IoError, false},  {Call::Truncate, Kind::IoError, false},
    {Call::Delete, Kind::IoError, false},  {Call::Lock, Kind::IoError, false},
};

// More calls of one kind than any operation here makes; a sweep that gets there never ends.
constexpr int kMostCalls = 4000;
// Broken promises shown in detail per operation and kind; the tally counts them all.
constexpr int kDetailsShown = 3;

// Words of the engine that only its own messages use.
QStringList EngineWords()
{
    QStringList words;
    for (int code = SQLITE_ERROR; code <= SQLITE_NOTADB; ++code) {
        const QString text = QString::fromUtf8(sqlite3_errstr(code));
        // "interrupted" and "unknown operation" are plain words a clear text may use.
        if (code != SQLITE_INTERRUPT && code != SQLITE_NOTFOUND)
            words << text;
    }
    words << QStringLiteral("OLE DB") << QStringLiteral("Error Record") << QStringLiteral("hr =")
          << QStringLiteral("Extended Code") << QStringLiteral("GetDataConnection") << QStringLiteral("GetLastError")
          << QStringLiteral("CHResult") << QStringLiteral("CBResult") << QStringLiteral("the database engine failed")
          << QStringLiteral("BEGIN IMMEDIATE") << QStringLiteral("sqlite");
    return words;
}

} // namespace

const std::vector<Scenario>& Scenarios()
{
    return kScenarios;
}

std::string Name(Broken broken)
{
    switch (broken) {
    case Broken::CorruptFile:
        return "corrupt files";
    case Broken::LostSave:
        return "lost saves";
    case Broken::FalseSuccess:
        return "false successes";
    case Broken::RawText:
        return "raw texts";
    case Broken::Unexplained:
        return "unexplained failures";
    case Broken::NextOpen:
        return "next opens needing a human";
    case Broken::LostEdits:
        return "lost edits";
    }
    return "?";
}

std::optional<QString> RawPart(const QString& text)
{
    static const QStringList words = EngineWords();
    for (const QString& word : words) {
        if (text.contains(word, Qt::CaseInsensitive))
            return word;
    }
    // Statuses in hexadecimal ("0x80004005", "(80004005)") and statements.
    static const QRegularExpression codes(QStringLiteral(
        "0x[0-9a-fA-F]+|\\b[0-9a-fA-F]{8}\\b|\\b(INSERT INTO|DELETE FROM|UPDATE \\S+ SET|SELECT .* FROM)\\b"));
    const QRegularExpressionMatch match = codes.match(text);
    if (match.hasMatch())
        return match.captured();
    return std::nullopt;
}

::Answer FaultUserInterface::ShowMessage(const MessageRequest& request)
{
    shown.push_back(request.text);
    messages.push_back(request);
    if (const auto found = byId_.find(request.stringId); request.stringId != 0 && found != byId_.end())
        return found->second;
    for (const auto& [part, answer] : byText_) {
        if (request.text.contains(part))
            return answer;
    }
    // Whatever else is asked, the user keeps what there is: No to dropping edits, Cancel to going on.
    switch (request.buttons) {
    case Buttons::Ok:
        return ::Answer::Ok;
    case Buttons::OkCancel:
    case Buttons::YesNoCancel:
        return ::Answer::Cancel;
    case Buttons::YesNo:
        return ::Answer::No;
    }
    return ::Answer::Cancel;
}

HintAnswer FaultUserInterface::ShowHint(const HintRequest& request)
{
    shown.push_back(request.text);
    return {};
}

RetryAnswer FaultUserInterface::RunRetryDialog(const RetryDialogRequest& request)
{
    ++retryDialogs;
    shown.push_back(request.message);
    retryRequests.push_back(request);
    if (retriesLeft <= 0)
        return RetryAnswer::Cancel;
    --retriesLeft;
    return RetryAnswer::Retry;
}

std::optional<int> FaultUserInterface::ChooseTemplate(const TemplateChoiceRequest&)
{
    return templateRow;
}

std::optional<int> FaultUserInterface::ChooseWorkflow()
{
    return workflow;
}

void FaultUserInterface::RunListEditorDialog(ListEditorActions& editor)
{
    if (listEditor)
        listEditor(editor);
}

std::optional<QString> FaultUserInterface::RunAdministrationDialog(AdministrationActions&, const QString&)
{
    ++administrationDialogs;
    return std::nullopt;
}

void Trial::Break(Broken what, const std::string& detail)
{
    broken.emplace_back(what, detail);
}

void Trial::CheckTexts(const FaultUserInterface& ui, bool succeeded)
{
    for (const QString& text : ui.shown) {
        if (const std::optional<QString> raw = RawPart(text))
            Break(Broken::RawText, "\"" + raw->toStdString() + "\" in: " + text.left(300).toStdString());
    }
    if (!succeeded && ui.shown.empty())
        Break(Broken::Unexplained, "the operation failed without a word to the user");
}

void Trial::CheckIntegrity(const QString& path)
{
    engine::Connection connection;
    if (engine::Failed(connection.Open(path))) {
        Break(Broken::CorruptFile, "does not open: " + connection.TakeErrorMessage().toStdString());
        return;
    }
    engine::Rowset rows;
    if (engine::Failed(connection.Query(QStringLiteral("PRAGMA integrity_check"), {}, rows)) ||
        rows.MoveFirst() != engine::kOk) {
        Break(Broken::CorruptFile, "the integrity check does not run: " + connection.TakeErrorMessage().toStdString());
        return;
    }
    if (rows.Text(0) != QLatin1String("ok"))
        Break(Broken::CorruptFile, "integrity check: " + rows.Text(0).toStdString());
}

Tally Sweep(const std::string& operation, const std::function<void(Trial&)>& once, int most)
{
    Install();
    Tally tally;
    std::array<int, kBrokenKinds> detailed{};
    QElapsedTimer clock;
    clock.start();
    const auto record = [&](const Trial& run, bool fired, const std::string& where) {
        ++tally.runs;
        tally.fired += fired ? 1 : 0;
        tally.failed += run.broken.empty() ? 0 : 1;
        for (const auto& [what, detail] : run.broken) {
            const auto index = static_cast<std::size_t>(what);
            ++tally.broken[index];
            if (detailed[index]++ < kDetailsShown)
                ADD_FAILURE() << operation << ", " << where << ": " << Name(what) << ": " << detail;
        }
    };

    // A run in which nothing fails counts the calls the operation makes.
    std::array<int, kCallKinds> made{};
    {
        Trial run({Call::Read, Kind::IoError, std::numeric_limits<int>::max(), false});
        once(run);
        for (std::size_t kind = 0; kind < kCallKinds; ++kind)
            made[kind] = Calls(static_cast<Call>(kind));
        Disarm();
        record(run, false, "without a failure");
    }

    std::string reach;
    std::pair<std::string, qint64> slowest{"", 0};
    for (const Scenario& scenario : kScenarios) {
        const int calls = made[static_cast<std::size_t>(scenario.call)];
        // Every N, or the first calls and then calls spread evenly over the rest; N beyond the
        // calls of the run without a failure go on until the failure no longer fires.
        std::vector<int> planned;
        if (most <= 0 || calls <= most) {
            for (int n = 1; n <= calls; ++n)
                planned.push_back(n);
        } else {
            const int first = most / 2;
            for (int n = 1; n <= first; ++n)
                planned.push_back(n);
            const int spread = most - first;
            for (int i = 1; i <= spread; ++i)
                planned.push_back(first + static_cast<int>((static_cast<long long>(calls - first) * i) / spread));
        }
        int tried = 0;
        int last = 0;
        for (std::size_t index = 0;; ++index) {
            const int n = index < planned.size() ? planned[index] : last + 1;
            Trial run({scenario.call, scenario.kind, n, scenario.persistent});
            QElapsedTimer runClock;
            runClock.start();
            once(run);
            if (runClock.elapsed() > slowest.second) {
                slowest = {Name(scenario.kind) + " at " + Name(scenario.call) + " call " + std::to_string(n),
                           runClock.elapsed()};
            }
            const bool fired = Fired();
            Disarm();
            ++tried;
            last = n;
            record(run, fired,
                   Name(scenario.kind) + " at " + Name(scenario.call) + " call " + std::to_string(n) +
                       (scenario.persistent ? " and after" : ""));
            if (!fired && index + 1 >= planned.size())
                break;
            if (n >= kMostCalls) {
                ADD_FAILURE() << operation << ": the planned failure still fires at " << Name(scenario.call) << " call "
                              << n;
                break;
            }
        }
        tally.longest = std::max(tally.longest, last);
        reach += " " + Name(scenario.call) + "/" + Name(scenario.kind) + " " + std::to_string(tried) + " of " +
            std::to_string(last);
    }
    std::cout << "[faults] " << operation << ": " << tally.runs << " runs (" << kScenarios.size()
              << " kinds of failure x N), " << tally.fired << " with a failed call, " << tally.failed
              << " broke something";
    for (std::size_t i = 0; i < kBrokenKinds; ++i)
        std::cout << ", " << Name(static_cast<Broken>(i)) << " " << tally.broken[i];
    std::cout << "; " << clock.elapsed() / 1000.0 << " s (slowest run: " << slowest.first << ", "
              << slowest.second / 1000.0 << " s)\n[faults]   N tried of N reached per kind:" << reach << std::endl;
    return tally;
}

QString ScratchRoot()
{
    const QFileInfo memory(QStringLiteral("/dev/shm"));
    return memory.isDir() && memory.isWritable() ? memory.filePath() : QDir::tempPath();
}

bool CopyFresh(const QString& from, const QString& to)
{
    QFile::remove(to);
    return QFile::copy(from, to);
}

} // namespace fault
