// Running the defect, hook and search commands after the file's lock and version are checked.

#include "ShellCommands.h"

#include "DefectCommand.h"
#include "HookCommand.h"
#include "SearchCommand.h"

#include "engine/Connection.h"
#include "engine/EngineStatus.h"
#include "engine/SqlDialect.h"
#include "store/DatabaseVersion.h"
#include "store/MaintenanceLock.h"

#include <QFileInfo>
#include <QTextStream>

namespace {

constexpr int kNoAddresseeQuestion = 40240;

QTextStream& Out()
{
    static QTextStream out(stdout);
    return out;
}

int Fail(const QString& text)
{
    QTextStream(stderr) << "vellacord-admin: " << text << Qt::endl;
    return 1;
}

// The file must be one this program can write: there, not locked for maintenance, at the current version.
// A server database has no file nor lock file beside it: opening it tells.
QString CurrentFileError(const QString& file)
{
    if (engine::IsServerName(file)) {
        // Checked below by opening it.
    } else if (!QFileInfo(file).isFile()) {
        return QStringLiteral("%1 does not exist").arg(file);
    } else if (const LockState lock = CMaintenanceLock::IsLocked(file); lock.locked) {
        return QStringLiteral("%1 is locked for maintenance: %2")
            .arg(file, QString(lock.message).replace(QLatin1String("\r\n"), QLatin1String("\n")));
    }
    engine::Connection connection;
    std::int64_t version = 0;
    if (engine::Failed(connection.Open(file)) || ReadDatabaseVersion(connection, version) != engine::kOk)
        return QStringLiteral("%1 cannot be opened as a Vellacord database").arg(file);
    if (version != EXPECTED_DB_VERSION)
        return QStringLiteral("%1 has version %2; this program works with version %3 (convert it first)")
            .arg(file)
            .arg(version)
            .arg(EXPECTED_DB_VERSION);
    return {};
}

} // namespace

void AddShellAnswers(const AdminOptions& options, std::map<int, Answer>& answers)
{
    if (options.command == AdminOptions::Command::DefectAdd)
        answers[kNoAddresseeQuestion] = Answer::Yes;
}

int RunShellCommand(const AdminOptions& options, UserInterface& ui, AdministrationActions& administration)
{
    using Command = AdminOptions::Command;
    if (options.command == Command::HookInstall)
        return InstallHook(options, Out());
    if (options.command == Command::HookRun)
        return RunHook(options, ui, administration);
    if (const QString error = CurrentFileError(options.file); !error.isEmpty())
        return Fail(error);
    QString error;
    switch (options.command) {
    case Command::DefectShow:
        error = ShowDefect(options, ui, administration, Out());
        break;
    case Command::DefectAdd:
        error = AddDefect(options, ui, administration, Out());
        break;
    case Command::DefectComment:
        error = CommentOnDefect(options, ui, administration, Out());
        break;
    case Command::DefectStatus:
        error = ChangeDefectStatus(options, ui, administration, Out());
        break;
    case Command::Search:
        error = SearchDefects(options, ui, administration, Out());
        break;
    default:
        error = QStringLiteral("unknown command");
        break;
    }
    return error.isEmpty() ? 0 : Fail(error);
}
