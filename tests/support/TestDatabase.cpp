// Test databases of the current version, and one-number queries on them.

#include "TestDatabase.h"

#include "ScriptedUserInterface.h"
#include "base/Check.h"
#include "engine/Connection.h"
#include "engine/EngineStatus.h"
#include "engine/SqlDialect.h"
#include "store/DatabaseVersion.h"
#include "store/ScriptRunner.h"

#include <cstdint>

#include <gtest/gtest.h>

namespace {

UserInterface* CurrentUserInterface()
{
    try {
        return &TheUserInterface();
    } catch (const check::precondition_violated&) {
        return nullptr;
    }
}

} // namespace

QString CreateCurrentDatabase(const QString& path)
{
    // The test's own double may expect other interactions; the scripts get a strict one of their own.
    UserInterface* previous = CurrentUserInterface();
    {
        ScriptedUserInterface scriptsOnly;
        const bool server = engine::IsServerName(path);
        if (!server) {
            EXPECT_EQ(engine::Connection::CreateFile(path), engine::kOk) << path.toStdString();
        }
        engine::Connection connection;
        EXPECT_EQ(connection.Open(path), engine::kOk) << path.toStdString();
        // A test database need not survive a power cut; without the syncs it is built many times faster.
        if (!server) {
            EXPECT_EQ(connection.Execute(QStringLiteral("PRAGMA synchronous=OFF")), engine::kOk);
        }
        EXPECT_TRUE(RunScript(190, connection, scriptsOnly, true));
        EXPECT_TRUE(RunScript(191, connection, scriptsOnly, true));
        std::int64_t version = 0;
        EXPECT_EQ(ReadDatabaseVersion(connection, version), engine::kOk);
        EXPECT_EQ(version, EXPECTED_DB_VERSION);
    }
    SetUserInterface(previous);
    return path;
}

std::int64_t QueryNumber(engine::Connection& connection, const QString& sql, const engine::Parameters& parameters)
{
    std::int64_t value = -1;
    EXPECT_EQ(connection.QueryInt(sql, parameters, value), engine::kOk) << sql.toStdString();
    return value;
}

std::int64_t QueryNumber(const QString& path, const QString& sql)
{
    engine::Connection connection;
    EXPECT_EQ(connection.Open(path), engine::kOk) << path.toStdString();
    return QueryNumber(connection, sql);
}
