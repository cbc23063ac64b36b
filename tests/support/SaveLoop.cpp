// Workstations saving one defect in a loop as child processes, and the percentiles of their save times.

#include "support/SaveLoop.h"

#include "document/DefectTestDoubles.h"
#include "engine/Connection.h"
#include "engine/EngineStatus.h"
#include "support/ChildProcess.h"
#include "support/ScriptedUserInterface.h"

#include <QProcess>
#include <QTextStream>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <memory>

namespace {

// Arguments: path, defect id, rounds, a pragma to run first (may be empty). Each round reads the
// defect into the form, raises the counter in its subject as a user would, and saves it through
// the program's save path. Prints the failed loads and saves on the first line, then one save
// time in milliseconds per line.
int SaveLoop(const QStringList& arguments)
{
    ScriptedUserInterface ui;
    Workstation workstation(arguments.value(0), ui);
    if (!workstation.context.connection.IsOpen())
        return 2;
    if (!arguments.value(3).isEmpty() &&
        engine::Failed(workstation.context.connection.Execute(QStringLiteral("PRAGMA ") + arguments.value(3))))
        return 3;
    DefectPersistence& persistence = workstation.persistence;
    const std::int32_t id = arguments.value(1).toInt();
    const int rounds = arguments.value(2).toInt();
    persistence.SelectDefect(id);
    int failedLoads = 0;
    int failedSaves = 0;
    QString times;
    for (int round = 0; round < rounds; ++round) {
        if (engine::Failed(persistence.LoadDefect(id, true)) || !persistence.RecordLoaded()) {
            ++failedLoads;
            continue;
        }
        workstation.form.Edit([](DefectRecord& r) { r.Subject = QString::number(r.Subject.toLongLong() + 1); });
        const auto start = std::chrono::steady_clock::now();
        const bool saved = persistence.SaveRecord(false) && !workstation.form.isModified();
        const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
        if (!saved)
            ++failedSaves;
        else
            times += QString::number(took.count()) + QLatin1Char('\n');
    }
    QTextStream(stdout) << failedLoads << ' ' << failedSaves << '\n' << times;
    return 0;
}
REGISTER_CHILD_ACTION("save-loop", SaveLoop);

} // namespace

void AddCounterDefects(const QString& path, int processes)
{
    engine::Connection connection;
    connection.Open(path);
    for (int id = 1; id <= processes; ++id)
        connection.Execute(QStringLiteral("INSERT INTO defectlist (defect_id, subject) VALUES (?, '0')"),
                           {std::int64_t{id}});
}

SaveLoopResult RunSaveLoops(const QString& path, int processes, int rounds, const QString& pragma,
                            const QString& preload)
{
    std::vector<std::unique_ptr<QProcess>> children;
    for (int id = 1; id <= processes; ++id) {
        auto child = std::make_unique<QProcess>();
        if (!preload.isEmpty()) {
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert(QStringLiteral("LD_PRELOAD"), preload);
            child->setProcessEnvironment(environment);
        }
        StartChild(*child, QStringLiteral("save-loop"), {path, QString::number(id), QString::number(rounds), pragma});
        children.push_back(std::move(child));
    }
    SaveLoopResult result;
    for (auto& child : children) {
        child->waitForFinished(-1);
        const QStringList lines =
            QString::fromUtf8(child->readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        if (child->exitCode() != 0 || lines.isEmpty()) {
            result.failedLoads += rounds; // a workstation that could not start failed everything
            continue;
        }
        const QStringList failures = lines.front().split(QLatin1Char(' '));
        result.failedLoads += failures.value(0).toInt();
        result.failedSaves += failures.value(1).toInt();
        for (int i = 1; i < lines.size(); ++i)
            result.saveMilliseconds.push_back(lines[i].toDouble());
    }
    return result;
}

double Percentile(std::vector<double> samples, double fraction)
{
    if (samples.empty())
        return 0;
    std::sort(samples.begin(), samples.end());
    const auto index = static_cast<std::size_t>(std::ceil(fraction * static_cast<double>(samples.size()))) - 1;
    return samples[std::min(index, samples.size() - 1)];
}
