// Reading one defect by its key through the list view must not grow with the number of
// defects: every form refresh and every save does it.

#include "engine/Connection.h"
#include "engine/EngineStatus.h"
#include "engine/Rowset.h"
#include "support/TestDatabase.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

namespace {

void ReadOneDefectThroughTheView(benchmark::State& state)
{
    QTemporaryDir folder;
    const QString path = CreateCurrentDatabase(folder.filePath(QStringLiteral("bench.defl")));
    engine::Connection connection;
    if (connection.Open(path) != engine::kOk) {
        state.SkipWithError("cannot open the database");
        return;
    }
    connection.Execute(
        QStringLiteral(
            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < ?) "
            "INSERT INTO defectlist (statusid, priorityid, severityid, subject, componentid, toid, fromid, categoryid) "
            "SELECT 1, 2, 2, 'subject ' || i, 1, 0, 0, 0 FROM n"),
        {static_cast<std::int64_t>(state.range(0))});
    std::int64_t id = 1;
    for (auto _ : state) {
        engine::Rowset rows;
        connection.Query(
            QStringLiteral(
                "SELECT Defect_ID, Subject, status, [To.displayname] FROM DefectListQuery WHERE Defect_ID = ?"),
            {id}, rows);
        benchmark::DoNotOptimize(rows.size());
        id = id % state.range(0) + 1;
    }
}

} // namespace

BENCHMARK(ReadOneDefectThroughTheView)->Arg(1000)->Arg(20000);
