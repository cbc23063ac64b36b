// Reading and writing a server database's attachment root, a row of the name/value settings table.

#include "store/AttachmentRootSetting.h"

#include "engine/Connection.h"
#include "engine/EngineStatus.h"
#include "engine/Rowset.h"

#include <QDir>

namespace {
constexpr const char* kAttachmentRootKey = "attachments_root";
}

QString ReadServerAttachmentRoot(engine::Connection& connection)
{
    std::int64_t present = 0;
    if (engine::Failed(connection.QueryInt(QStringLiteral("SELECT count(*) FROM information_schema.tables WHERE "
                                                          "table_schema = 'vellacord' AND table_name = ?"),
                                           {QStringLiteral("commithooksettings")}, present)) ||
        present == 0) {
        connection.TakeErrorRecords();
        return QString();
    }
    engine::Rowset rows;
    if (engine::Failed(connection.Query(QStringLiteral("SELECT value FROM commithooksettings WHERE name = ?"),
                                        {QString::fromLatin1(kAttachmentRootKey)}, rows)) ||
        rows.MoveFirst() != engine::kOk) {
        connection.TakeErrorRecords();
        return QString();
    }
    // A relative folder would put the attachments wherever a workstation was started.
    const QString root = rows.Text(0).trimmed();
    return QDir::isAbsolutePath(root) ? QDir::cleanPath(root) : QString();
}

long StoreServerAttachmentRoot(engine::Connection& connection, const QString& root)
{
    // A server database set up before the schema had the table gets it from whoever sets the folder.
    long status =
        connection.Execute(QStringLiteral("CREATE TABLE IF NOT EXISTS commithooksettings (name TEXT PRIMARY KEY, "
                                          "value TEXT)"));
    if (!engine::Failed(status))
        status = connection.Execute(QStringLiteral("DELETE FROM commithooksettings WHERE name = ?"),
                                    {QString::fromLatin1(kAttachmentRootKey)});
    if (!engine::Failed(status))
        status = connection.Execute(QStringLiteral("INSERT INTO commithooksettings (name, value) VALUES (?, ?)"),
                                    {QString::fromLatin1(kAttachmentRootKey), root});
    return status;
}

long WriteServerAttachmentRoot(engine::Connection& connection, const QString& root)
{
    return connection.WriteTransaction([&] { return StoreServerAttachmentRoot(connection, root); });
}
