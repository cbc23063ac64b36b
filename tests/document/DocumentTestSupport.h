#pragma once
// Shared pieces of the document tests: a database of the current version, a connection that
// counts how often the document's parts ask for it, and stakeholders added in a line.

#include "base/AdministrationActions.h"
#include "document/ConnectionProvider.h"
#include "engine/Connection.h"
#include "engine/EngineStatus.h"
#include "engine/Rowset.h"
#include "support/TempFolder.h"
#include "support/TestDatabase.h"

#include <QString>

#include <cstdint>

#include <gtest/gtest.h>

class CountingConnection : public ConnectionProvider {
public:
    explicit CountingConnection(const QString& path) { EXPECT_EQ(connection.Open(path), engine::kOk); }
    engine::Connection& GetDocumentConnection(RetryMode mode) override
    {
        EXPECT_EQ(mode, RetryMode::Offline);
        ++requests;
        return connection;
    }

    engine::Connection connection;
    int requests = 0;
};

class NoAdministration : public AdministrationActions {
public:
    bool CreateDatabase(const QString&) override { return false; }
    bool CompactAndRepair(const QString&) override { return false; }
    bool ConvertDatabase(const QString&) override { return false; }
};

inline void Exec(engine::Connection& connection, const QString& sql, const engine::Parameters& parameters = {})
{
    ASSERT_EQ(connection.Execute(sql, parameters), engine::kOk) << sql.toStdString();
}

inline void AddStakeholder(engine::Connection& connection, std::int64_t id, const QString& displayname,
                           const QString& loginname, const QString& passwd = QString(),
                           const QString& userflags = QString(), const QString& email = QStringLiteral("x@example.org"))
{
    Exec(connection,
         QStringLiteral("INSERT INTO stakeholder (stakeholder_id, email, displayname, loginname, sys_sortorder, "
                        "sys_readonly, passwd, userflags) VALUES (?, ?, ?, ?, ?, 0, ?, ?)"),
         {id, email, displayname, loginname, id, passwd, userflags});
}

// A fresh database with the seed data in a temporary folder.
class DatabaseTest : public ::testing::Test {
protected:
    DatabaseTest() : path_(CreateCurrentDatabase(folder_.file(QStringLiteral("test.defl")))) { }

    TempFolder folder_;
    QString path_;
};
