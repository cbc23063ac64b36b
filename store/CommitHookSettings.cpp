// Reading and writing the commit hook's settings, kept in a small table of their own so that older
// programs, which do not know it, leave it alone.

#include "store/CommitHookSettings.h"

#include "engine/Connection.h"
#include "engine/EngineStatus.h"
#include "engine/Rowset.h"

namespace {
constexpr const char* kFixesStatusKey = "fixes_status";
}

QString ReadFixesStatus(engine::Connection& connection)
{
    // A server's schema has the table from the start; a file gets it with the first setting.
    std::int64_t present = 1;
    const bool readable = connection.IsServer() ||
        !engine::Failed(connection.QueryInt(
            QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type='table' AND name='commithooksettings'"), {},
            present));
    if (!readable || present == 0) {
        connection.TakeErrorRecords();
        return QLatin1String(kDefaultFixesStatus);
    }
    engine::Rowset rows;
    if (engine::Failed(connection.Query(QStringLiteral("SELECT value FROM commithooksettings WHERE name = ?"),
                                        {QString::fromLatin1(kFixesStatusKey)}, rows)) ||
        rows.MoveFirst() != engine::kOk || rows.Text(0).trimmed().isEmpty()) {
        connection.TakeErrorRecords();
        return QLatin1String(kDefaultFixesStatus);
    }
    return rows.Text(0).trimmed();
}

long WriteFixesStatus(engine::Connection& connection, const QString& statusName)
{
    return connection.WriteTransaction([&] {
        const long created = connection.Execute(
            QStringLiteral("CREATE TABLE IF NOT EXISTS commithooksettings (name TEXT PRIMARY KEY, value TEXT)"));
        if (engine::Failed(created))
            return created;
        return connection.Execute(
            connection.IsServer()
                ? QStringLiteral("INSERT INTO commithooksettings (name, value) VALUES (?, ?) ON CONFLICT (name) DO "
                                 "UPDATE SET value = EXCLUDED.value")
                : QStringLiteral("INSERT OR REPLACE INTO commithooksettings (name, value) VALUES (?, ?)"),
            {QString::fromLatin1(kFixesStatusKey), statusName});
    });
}
