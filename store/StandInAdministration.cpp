#include "store/StandInAdministration.h"

#include "app/UserInterface.h"
#include "store/Connection.h"
#include "store/DatabaseAccess.h"
#include "store/EngineStatus.h"
#include "store/ScriptRunner.h"

#include <QFile>

namespace {
constexpr int kSchemaScript = 190;
constexpr int kSeedScript = 191;
} // namespace

bool StandInAdministration::CreateDatabase(const QString& path)
{
    // Replacing an existing file needs the administration's backup; here an existing file is refused.
    if (engine::Failed(engine::Connection::CreateFile(path)))
        return false;
    engine::Connection connection;
    const bool created = !engine::Failed(connection.Open(path)) && RunScript(kSchemaScript, connection, false) &&
                         RunScript(kSeedScript, connection, false);
    connection.Close();
    if (!created)
        QFile::remove(path);
    return created;
}

bool StandInAdministration::CompactAndRepair(const QString& path)
{
    CDatabaseAccess access(ui_, clock_, path);
    return access.CompactAndRepair();
}

bool StandInAdministration::ConvertDatabase(const QString&)
{
    ShowTextMessage(ui_,
                    QStringLiteral("Converting a database of an older version is not available in this build of "
                                   "Vellacord. The database was left unchanged."),
                    Buttons::Ok, Icon::Information);
    return false;
}
