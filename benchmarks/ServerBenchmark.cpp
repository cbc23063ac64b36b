// The list fill and a save against a PostgreSQL server beside the same on the shared file, on this machine: times and
// ratios.

#include "BenchmarkSupport.h"

#include "base/CommandIds.h"

#include "document/DefectTestDoubles.h"
#include "list/ColumnCatalogue.h"
#include "list/DefectList.h"
#include "store/ServerMigration.h"
#include "support/PgServer.h"
#include "support/SaveLoop.h"

#include <QCoreApplication>

#include <algorithm>
#include <cstdio>
#include <limits>
#include <vector>

namespace {

constexpr int kRuns = 5;
constexpr int kSaves = 200;

// The median time of a save of one defect through the program's save path, in milliseconds.
double SaveMilliseconds(const QString& database)
{
    ScriptedUserInterface ui;
    Workstation workstation(database, ui);
    DefectPersistence& persistence = workstation.persistence;
    persistence.SelectDefect(1);
    std::vector<double> times;
    for (int round = 0; round < kSaves; ++round) {
        if (engine::Failed(persistence.LoadDefect(1, true)) || !persistence.RecordLoaded())
            std::exit(1);
        workstation.form.Edit([&](DefectRecord& r) { r.Subject = QStringLiteral("saved %1").arg(round); });
        bool saved = false;
        times.push_back(1000.0 * TimeSeconds([&] { saved = persistence.SaveRecord(false); }));
        if (!saved)
            std::exit(1);
    }
    return Percentile(times, 0.5);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    LoggedInDefectFile bench(argc, argv);
    const std::optional<QString> uri = NewServerDatabase();
    if (!uri) {
        std::printf("no server: %s\n", qPrintable(ServerUnavailableReason()));
        return 1;
    }
    // The move takes the file's maintenance lock: the document lets go of the file meanwhile.
    bench.document.database().CloseDataConnection();
    MigrationOutcome moved;
    const double migration = TimeSeconds([&] { moved = MigrateFileToServer(bench.path, *uri); });
    if (!moved.error.isEmpty()) {
        std::printf("the move failed: %s\n", qPrintable(moved.error));
        return 1;
    }
    std::printf("migrate file -> server: %.1f s\n", migration);

    ScriptedUserInterface serverUi;
    DatabaseAdministration administration(serverUi, SystemClockInstance());
    CDefectDoc server(serverUi, SystemClockInstance(), administration);
    server.database().SetDatabaseFileName(*uri);
    if (!server.LoginAs(LoggedInDefectFile::kListingUser))
        return 1;

    CDefectList fileList(bench.document);
    CDefectList serverList(server);
    fileList.FillList();
    serverList.FillList();
    const auto compareFills = [&](const char* view) {
        const int fileRows = fileList.model().rowCount();
        const int serverRows = serverList.model().rowCount();
        // The fills take turns, so that a busy moment of the machine weighs on both alike.
        double fileFill = std::numeric_limits<double>::max();
        double serverFill = fileFill;
        for (int run = 0; run < kRuns; ++run) {
            fileFill = std::min(fileFill, TimeSeconds([&] { fileList.Refresh(); }));
            serverFill = std::min(serverFill, TimeSeconds([&] { serverList.Refresh(); }));
        }
        std::printf("list fill, %s, best of %d: file %.3f s (%d rows), server %.3f s (%d rows), server/file %.2f\n",
                    view, kRuns, fileFill, fileRows, serverFill, serverRows, serverFill / fileFill);
        return fileRows == serverRows;
    };
    if (!compareFills("default view (description shown)"))
        return 1;
    // A view without memo columns: the list reads no memo text at all.
    for (CDefectList* list : {&fileList, &serverList})
        list->ToggleColumn(command::kFirstColumn + column::kDescription);
    if (!compareFills("description hidden"))
        return 1;

    const double fileSave = SaveMilliseconds(bench.path);
    const double serverSave = SaveMilliseconds(*uri);
    std::printf("save of one defect, median of %d: file %.2f ms, server %.2f ms, server/file %.2f\n", kSaves, fileSave,
                serverSave, serverSave / fileSave);
    return 0;
}
