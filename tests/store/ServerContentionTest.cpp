// Workstations saving at once against a server database, through the program's save path.

#include "engine/Connection.h"
#include "engine/EngineStatus.h"
#include "support/PgServer.h"
#include "support/SaveLoop.h"
#include "support/TestDatabase.h"

#include <iostream>

#include <gtest/gtest.h>

TEST(ServerContention, EightWorkstationsSavingAtOnceLoseNothing)
{
    SERVER_DATABASE_OR_SKIP(uri);
    CreateCurrentDatabase(uri);
    AddCounterDefects(uri, 8);
    const SaveLoopResult result = RunSaveLoops(uri, 8, 50);
    EXPECT_EQ(result.failedLoads, 0);
    EXPECT_EQ(result.failedSaves, 0);
    // Every save raised its defect's counter by one: none was lost.
    EXPECT_EQ(QueryNumber(uri, QStringLiteral("SELECT count(*) FROM defectlist WHERE subject = '50'")), 8);
    std::cout << "8 workstations x 50 saves on the server: save p50 " << Percentile(result.saveMilliseconds, 0.5)
              << " ms, p95 " << Percentile(result.saveMilliseconds, 0.95) << " ms" << std::endl;
}
