// vellacord-admin's commands: their arguments, the usage, and create, convert, repair, unlock, version, list, user.

#include "AdminCommands.h"

#include "CommandLineUserInterface.h"
#include "DefectCommand.h"
#include "ListCommand.h"
#include "ShellCommands.h"
#include "UserCommand.h"

#include "base/ErrorReport.h"
#include "engine/Connection.h"
#include "engine/EngineStatus.h"
#include "engine/Rowset.h"
#include "engine/SqlDialect.h"
#include "engine/Statement.h"
#include "platform/OleDate.h"
#include "store/AttachmentPaths.h"
#include "store/AttachmentRootSetting.h"
#include "store/Backups.h"
#include "store/Compaction.h"
#include "store/DatabaseAccess.h"
#include "store/DatabaseAdministration.h"
#include "store/DatabaseVersion.h"
#include "store/MaintenanceLock.h"
#include "store/ServerMigration.h"
#include "store/ServerRepair.h"
#include "store/ServerSetup.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTextStream>

#include <algorithm>
#include <cstdint>
#include <map>

namespace {

QTextStream& Out()
{
    static QTextStream out(stdout);
    return out;
}

QTextStream& Err()
{
    static QTextStream err(stderr);
    return err;
}

int Fail(const QString& text)
{
    Err() << "vellacord-admin: " << text << Qt::endl;
    return 1;
}

// The state of the maintenance lock; a lock left by a client that died is undone first, and the
// user is told.
LockState InspectLock(const QString& file)
{
    const LockState lock = CMaintenanceLock::IsLocked(file);
    if (!lock.recovered.isEmpty())
        Err() << "vellacord-admin: " << lock.recovered << Qt::endl;
    return lock;
}

QString LockedText(const QString& file, const LockState& lock)
{
    return QStringLiteral("%1 is locked for maintenance: %2")
        .arg(file, QString(lock.message).replace(QLatin1String("\r\n"), QLatin1String("\n")));
}

// Opening the file replays the journal of a writer that stopped, or removes one that holds no
// change; the user hears when that happened.
void TellAboutSettledJournal(const QString& file, bool hadJournal)
{
    const QString journal = JournalOf(file);
    if (!hadJournal)
        return;
    if (!QFileInfo::exists(journal)) {
        Err() << "vellacord-admin: " << journal
              << " was left by a writer that stopped; its unfinished change has been rolled back" << Qt::endl;
        return;
    }
    Err() << "vellacord-admin: " << journal
          << " holds a change that another program is still writing, or that cannot be rolled back here (is the "
             "file writable?); maintenance waits until it is gone"
          << Qt::endl;
}

// What the user reads about a file that cannot be opened: a clear sentence, the engine's words
// after it for the administrator.
QString OpenFailureText(const QString& file, engine::Connection& connection)
{
    const engine::ErrorRecords records = connection.TakeErrorRecords();
    const QString reason = records.empty() ? QString() : records.front().message;
    // A server taken for maintenance says by whom and why, as a file's rescue file does.
    if (!records.empty() && records.front().kind == engine::FailureKind::Maintenance)
        return QStringLiteral("%1 is locked for maintenance: %2").arg(file, reason);
    return QStringLiteral("cannot open %1: %2\ndetails: %3").arg(file, FailureText(records), reason);
}

// The version row of the file, or the reason it cannot be read.
std::optional<int> ReadVersion(const QString& file, QString& error)
{
    if (engine::IsServerName(file)) {
        // The server refuses the connection itself while the database is taken for maintenance.
        engine::Connection connection;
        std::int64_t version = 0;
        if (engine::Failed(connection.Open(file)))
            error = OpenFailureText(engine::DisplayNameOfServer(file), connection);
        else if (ReadDatabaseVersion(connection, version) != engine::kOk)
            error = QStringLiteral("%1 is no Vellacord database: it has no schema version")
                        .arg(engine::DisplayNameOfServer(file));
        else
            return static_cast<int>(version);
        return std::nullopt;
    }
    if (const LockState lock = InspectLock(file); lock.locked) {
        error = LockedText(file, lock);
        return std::nullopt;
    }
    const bool hadJournal = QFileInfo::exists(JournalOf(file));
    engine::Connection connection;
    if (engine::Failed(connection.Open(file))) {
        error = OpenFailureText(file, connection);
        return std::nullopt;
    }
    TellAboutSettledJournal(file, hadJournal);
    std::int64_t version = 0;
    if (ReadDatabaseVersion(connection, version) != engine::kOk) {
        error = QStringLiteral("%1 is no Vellacord database: it has no schema version").arg(file);
        return std::nullopt;
    }
    return static_cast<int>(version);
}

int Version(const AdminOptions& options)
{
    QString error;
    const std::optional<int> version = ReadVersion(options.file, error);
    if (!version)
        return Fail(error);
    Out() << *version << Qt::endl;
    return 0;
}

int Create(const AdminOptions& options, DatabaseAdministration& administration)
{
    if (engine::IsServerName(options.file)) {
        const QString shown = engine::DisplayNameOfServer(options.file);
        if (!administration.CreateServerDatabase(options.file))
            return Fail(QStringLiteral("could not create the schema in %1").arg(shown));
        Out() << "created " << shown << " (version " << EXPECTED_DB_VERSION << ")" << Qt::endl;
        return 0;
    }
    // Without its folder even the lock file cannot be written, and the lock's refusal would name
    // no reason.
    if (!QFileInfo(options.file).dir().exists())
        return Fail(QStringLiteral("cannot create %1: its folder does not exist").arg(options.file));
    if (QFileInfo::exists(options.file) && !options.replace)
        return Fail(QStringLiteral("%1 exists; pass --replace to replace it (the old file and its attachment "
                                   "directory go to the trash)")
                        .arg(options.file));
    if (!administration.CreateDatabase(options.file))
        return Fail(QStringLiteral("could not create %1").arg(options.file));
    Out() << "created " << options.file << " (version " << EXPECTED_DB_VERSION << ")" << Qt::endl;
    return 0;
}

// No server database was ever made at a version before the current one: the program has no
// conversion scripts for a server, and says so rather than pretend.
int ConvertServer(const AdminOptions& options, int version)
{
    const QString shown = engine::DisplayNameOfServer(options.file);
    if (const QString refusal = ServerConversionRefusal(shown, version); !refusal.isEmpty())
        return Fail(refusal);
    Out() << shown << " is already at version " << EXPECTED_DB_VERSION << Qt::endl;
    return 0;
}

int Convert(const AdminOptions& options, DatabaseAdministration& administration)
{
    QString error;
    const std::optional<int> version = ReadVersion(options.file, error);
    if (!version)
        return Fail(error);
    if (engine::IsServerName(options.file))
        return ConvertServer(options, *version);
    if (*version == EXPECTED_DB_VERSION) {
        Out() << options.file << " is already at version " << EXPECTED_DB_VERSION << Qt::endl;
        return 0;
    }
    if (*version > EXPECTED_DB_VERSION)
        return Fail(QStringLiteral("%1 has version %2, which needs a newer program than this one (version %3)")
                        .arg(options.file)
                        .arg(*version)
                        .arg(EXPECTED_DB_VERSION));

    administration.SetScriptObserver(
        [](int script, int target) { Out() << "script " << script << ": to version " << target << Qt::endl; });
    const QString backup = options.file + QStringLiteral(".bak");
    // A backup that is no copy of this file is an older one, which only --overwrite-backup replaces.
    const bool olderBackup = QFileInfo::exists(backup) && !IsCopyOf(backup, options.file);
    const bool converted = administration.ConvertDatabase(options.file);
    const std::optional<int> reached = ReadVersion(options.file, error);
    if (olderBackup && !options.overwriteBackup && reached == version)
        return Fail(QStringLiteral("%1 was not converted and is unchanged: %2 exists; pass --overwrite-backup to "
                                   "replace it")
                        .arg(options.file, backup));
    if (reached != EXPECTED_DB_VERSION) {
        if (!DatabaseAdministration::IsConvertible(*version))
            return Fail(DatabaseAdministration::InterruptedConversionText(options.file));
        return Fail(QFileInfo::exists(backup)
                        ? QStringLiteral("%1 was not converted and is unchanged; its original is kept in %2")
                              .arg(options.file, backup)
                        : QStringLiteral("%1 was not converted and is unchanged").arg(options.file));
    }
    // Without a workflow the program's conversion counts as failed, so that the user is asked
    // again; here the user said so on the command line.
    const int from = DatabaseAdministration::IsConvertible(*version) ? *version : 0;
    const bool withoutWorkflowAsAsked = from < 6 && options.workflow == 2;
    if (!converted && !withoutWorkflowAsAsked)
        return Fail(QStringLiteral("%1 was converted, but its workflow could not be stored").arg(options.file));
    Out() << "converted " << options.file << " from version " << *version << " to " << EXPECTED_DB_VERSION
          << (withoutWorkflowAsAsked ? " without a workflow" : "") << "; the original is kept in " << backup
          << Qt::endl;
    return 0;
}

// A server keeps its pages sound itself: the repair checks the schema, mends counters and the
// change stamp, and vacuums. Success only when nothing is missing.
int RepairServer(const AdminOptions& options)
{
    const QString shown = engine::DisplayNameOfServer(options.file);
    const ServerRepairOutcome outcome = RepairServerDatabase(options.file);
    for (const QString& repaired : outcome.repaired)
        Out() << "repaired: " << repaired << '\n';
    Out().flush();
    if (!outcome.error.isEmpty())
        return Fail((outcome.repaired.isEmpty() ? QStringLiteral("%1 was not repaired: %2")
                                                : QStringLiteral("%1 was not repaired completely: %2"))
                        .arg(shown, outcome.error));
    if (!outcome.missing.isEmpty()) {
        for (const QString& missing : outcome.missing)
            Err() << "vellacord-admin: missing " << missing << '\n';
        return Fail(QStringLiteral("%1 lacks %2 part(s) of the program's schema, which a repair cannot make; restore a "
                                   "backup (pg_restore)")
                        .arg(shown)
                        .arg(outcome.missing.size()));
    }
    Out() << "repaired " << shown << ": the schema is complete, the counters are right, the server vacuumed and "
          << "analysed it" << Qt::endl;
    return 0;
}

int Repair(const AdminOptions& options, DatabaseAdministration& administration)
{
    if (engine::IsServerName(options.file)) {
        QString error;
        const std::optional<int> version = ReadVersion(options.file, error);
        if (!version)
            return Fail(error);
        if (*version != EXPECTED_DB_VERSION)
            return Fail(
                QStringLiteral("%1 has version %2; only version %3 can be repaired%4")
                    .arg(engine::DisplayNameOfServer(options.file))
                    .arg(*version)
                    .arg(EXPECTED_DB_VERSION)
                    .arg(*version < EXPECTED_DB_VERSION ? QString() : QStringLiteral(" (it needs a newer program)")));
        return RepairServer(options);
    }
    if (!QFileInfo(options.file).isFile() && !QFileInfo(MaintenanceName(options.file)).isFile())
        return Fail(QStringLiteral("%1 does not exist").arg(options.file));
    // The version is read before anything is written: a file of another version gets nothing.
    QString error;
    const std::optional<int> version = ReadVersion(options.file, error);
    if (!version)
        return Fail(error);
    if (*version != EXPECTED_DB_VERSION)
        return Fail(QStringLiteral("%1 has version %2; only version %3 can be repaired%4")
                        .arg(options.file)
                        .arg(*version)
                        .arg(EXPECTED_DB_VERSION)
                        .arg(*version < EXPECTED_DB_VERSION ? QStringLiteral(" (convert it first)")
                                                            : QStringLiteral(" (it needs a newer program)")));
    if (!administration.CompactAndRepair(options.file))
        return Fail(QStringLiteral("could not repair %1").arg(options.file));
    Out() << "repaired " << options.file << Qt::endl;
    return 0;
}

int Unlock(const AdminOptions& options)
{
    if (engine::IsServerName(options.file)) {
        // A server's maintenance lock belongs to the session that holds it and ends with it, also when its
        // client died: there is nothing to undo, only to say whether maintenance still runs.
        const QString shown = engine::DisplayNameOfServer(options.file);
        engine::Connection connection;
        if (engine::Failed(connection.Open(options.file)))
            return Fail(OpenFailureText(shown, connection) + QStringLiteral("\nIt was not unlocked."));
        Out() << shown << " is not locked" << Qt::endl;
        return 0;
    }
    const LockState lock = InspectLock(options.file);
    if (lock.locked)
        return Fail(LockedText(options.file, lock) + QStringLiteral("\nIt was not unlocked."));
    // A journal left by a writer that stopped keeps maintenance out as a lock would.
    const bool hadJournal = QFileInfo::exists(JournalOf(options.file));
    if (hadJournal && QFileInfo(options.file).isFile()) {
        engine::Connection connection;
        if (engine::Failed(connection.Open(options.file)))
            return Fail(OpenFailureText(options.file, connection));
        connection.Close();
        TellAboutSettledJournal(options.file, hadJournal);
        if (QFileInfo::exists(JournalOf(options.file)))
            return 1;
    }
    if (lock.recovered.isEmpty() && !hadJournal)
        Out() << options.file << " is not locked" << Qt::endl;
    return 0;
}

int List(const AdminOptions& options, UserInterface& ui, DatabaseAdministration& administration)
{
    QString error;
    const std::optional<int> version = ReadVersion(options.file, error);
    if (!version)
        return Fail(error);
    if (*version != EXPECTED_DB_VERSION)
        return Fail(QStringLiteral("%1 has version %2; only version %3 can be listed (convert it first)")
                        .arg(options.file)
                        .arg(*version)
                        .arg(EXPECTED_DB_VERSION));
    error = ListDefects(options, ui, administration, Out(), Err());
    return error.isEmpty() ? 0 : Fail(error);
}

// The file must be one this program can write: not locked for maintenance, at the current version.
std::optional<QString> CurrentFileError(const AdminOptions& options, const char* what)
{
    QString error;
    const std::optional<int> version = ReadVersion(options.file, error);
    if (!version)
        return error;
    if (*version != EXPECTED_DB_VERSION)
        return QStringLiteral("%1 has version %2; only version %3 can %4 (convert it first)")
            .arg(options.file)
            .arg(*version)
            .arg(EXPECTED_DB_VERSION)
            .arg(QString::fromLatin1(what));
    return std::nullopt;
}

int UserAdd(const AdminOptions& options, UserInterface& ui)
{
    if (const std::optional<QString> error = CurrentFileError(options, "get users"))
        return Fail(*error);
    QString password;
    if (options.passwordFromStdin) {
        QTextStream in(stdin);
        password = in.readLine();
        if (password.isEmpty())
            return Fail(QStringLiteral("--password-stdin read no password"));
    }
    const QString error = AddUser(options, ui, password, Out());
    return error.isEmpty() ? 0 : Fail(error);
}

int UserList(const AdminOptions& options, UserInterface& ui)
{
    if (const std::optional<QString> error = CurrentFileError(options, "list users"))
        return Fail(*error);
    const QString error = ListUsers(options, ui, Out());
    return error.isEmpty() ? 0 : Fail(error);
}

// Every stored filter, tried behind the fence on the moved database; those that fail there.
QStringList FailingFilters(const QString& uri)
{
    QStringList failing;
    engine::Connection connection;
    engine::Rowset filters;
    if (engine::Failed(connection.Open(uri)) ||
        engine::Failed(connection.Query(
            QStringLiteral("SELECT id, filtername, filtertext FROM filter WHERE filtertext IS NOT NULL AND "
                           "filtertext <> '' ORDER BY id"),
            {}, filters)))
        return {QStringLiteral("the filters could not be read")};
    for (long s = filters.MoveFirst(); s == engine::kOk; s = filters.MoveNext()) {
        // The list puts the filter in parentheses of its own, with the reader's id for @loggedInId.
        QString condition = filters.Text(2);
        condition.replace(QStringLiteral("@loggedInId"), QStringLiteral("0"), Qt::CaseInsensitive);
        const long status = connection.ReadRows(
            QStringLiteral("SELECT defect_id FROM DefectListQuery WHERE (\n%1\n)").arg(condition), {},
            engine::Access::ReadOnly, [] {}, [](const engine::Statement&) {});
        if (engine::Failed(status)) {
            const engine::ErrorRecords records = connection.TakeErrorRecords();
            failing << QStringLiteral("filter %1 \"%2\": %3")
                           .arg(filters.Text(0), filters.Text(1),
                                records.empty() ? QStringLiteral("fails") : records.front().message);
        }
    }
    return failing;
}

// Shows the server database's attachment folder, or sets it to an existing folder.
int AttachmentsRoot(const AdminOptions& options)
{
    QString error;
    if (!ReadVersion(options.file, error))
        return Fail(error);
    const QString shown = engine::DisplayNameOfServer(options.file);
    engine::Connection connection;
    if (engine::Failed(connection.Open(options.file)))
        return Fail(QStringLiteral("cannot connect to %1: %2").arg(shown, FailureText(connection.TakeErrorRecords())));
    if (options.target.isEmpty()) {
        const QString root = ReadServerAttachmentRoot(connection);
        if (root.isEmpty())
            return Fail(
                QStringLiteral("%1 has no attachment folder; set one with attachments-root URI FOLDER").arg(shown));
        Out() << root << Qt::endl;
        return 0;
    }
    // A mistyped folder would make every workstation refuse its attachments, or scatter them.
    const QFileInfo folder(options.target);
    if (!folder.isDir())
        return Fail(QStringLiteral("%1 is no folder; create the shared folder first").arg(options.target));
    if (engine::Failed(WriteServerAttachmentRoot(connection, options.target)))
        return Fail(QStringLiteral("cannot store the attachment folder in %1: %2")
                        .arg(shown, FailureText(connection.TakeErrorRecords())));
    Out() << "attachment folder of " << shown << ": " << options.target << Qt::endl;
    return 0;
}

int Backup(const AdminOptions& options)
{
    QString error;
    if (!ReadVersion(options.file, error))
        return Fail(error);
    if (!QDir().mkpath(options.target))
        return Fail(QStringLiteral("cannot create the folder %1").arg(options.target));
    std::int64_t keep = SystemSettings().BackupsToKeep;
    {
        engine::Connection connection;
        if (!engine::Failed(connection.Open(options.file)))
            connection.QueryInt(QStringLiteral("SELECT BackupsToKeep FROM SystemSettings"), {}, keep);
    }
    keep = std::max<std::int64_t>(keep, 1);
    const QString base = engine::ServerDatabaseName(options.file);
    const QString name = QStringLiteral("%1-%2.dump")
                             .arg(base, QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-HHmmss")));
    const QString path = QDir(options.target).filePath(name);
    const QString partial = QDir(options.target).filePath(QStringLiteral(".") + name + QStringLiteral(".partial"));
    // The password comes from the user's ~/.pgpass or service file, as for every connection.
    QProcess dump;
    dump.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    dump.start(QStringLiteral("pg_dump"),
               {QStringLiteral("--format=custom"), QStringLiteral("--file=") + partial,
                QStringLiteral("--dbname=") + options.file});
    if (!dump.waitForFinished(-1) || dump.exitStatus() != QProcess::NormalExit || dump.exitCode() != 0) {
        QFile::remove(partial);
        return Fail(QStringLiteral("pg_dump could not back up %1 (is postgresql-client installed?)")
                        .arg(engine::DisplayNameOfServer(options.file)));
    }
    // Only a complete dump gets a name the rotation counts.
    if (!QFile::rename(partial, path))
        return Fail(QStringLiteral("cannot name the backup %1").arg(path));
    QStringList backups = QDir(options.target).entryList({base + QStringLiteral("-*.dump")}, QDir::Files, QDir::Name);
    while (backups.size() > keep)
        QFile::remove(QDir(options.target).filePath(backups.takeFirst()));
    Out() << "backed up " << engine::DisplayNameOfServer(options.file) << " to " << path << Qt::endl;
    return 0;
}

int Migrate(const AdminOptions& options)
{
    const bool toServer = engine::IsServerName(options.target);
    const MigrationOutcome outcome = toServer ? MigrateFileToServer(options.file, options.target)
                                              : MigrateServerToFile(options.file, options.target);
    for (const MigratedTable& table : outcome.tables)
        Out() << table.name << '\t' << table.sourceRows << '\t' << table.targetRows << '\n';
    for (const QString& table : outcome.skipped)
        Out() << table << "\tnot moved (no table of the program's schema)\n";
    Out().flush();
    if (!outcome.error.isEmpty())
        return Fail(outcome.error);
    Out() << "moved " << engine::DisplayNameOfDatabase(options.file) << " to "
          << engine::DisplayNameOfDatabase(options.target) << Qt::endl;
    if (!toServer)
        return 0;
    Out() << "attachments stay in " << QFileInfo(AttachmentRootFor(options.file)).absoluteFilePath() << Qt::endl;
    const QStringList failing = FailingFilters(options.target);
    for (const QString& filter : failing)
        Err() << "vellacord-admin: " << filter << Qt::endl;
    if (!failing.isEmpty())
        Err() << "vellacord-admin: " << failing.size()
              << " stored filter(s) fail on the server; fix them before the team switches" << Qt::endl;
    return 0;
}

int ServerSetup(const AdminOptions& options, DatabaseAdministration& administration)
{
    if (!engine::IsServerName(options.file))
        return Fail(QStringLiteral("pg-setup needs a postgresql:// URI, not %1").arg(options.file));
    const QString shown = engine::DisplayNameOfServer(options.file);
    if (const QString error = PrepareServerDatabase(options.file); !error.isEmpty())
        return Fail(error);
    Out() << "prepared " << shown << ": roles " << kServerOwnerRole << " and " << kServerUsersRole
          << ", side-effect functions taken from PUBLIC" << Qt::endl;
    QString error;
    if (ReadVersion(options.file, error))
        return 0;
    // The schema belongs to the owner role, so that users' rights come from the group role alone.
    if (!administration.CreateServerDatabase(OwnerUriOf(options.file)))
        return Fail(QStringLiteral("could not create the schema in %1").arg(shown));
    Out() << "created " << shown << " (version " << EXPECTED_DB_VERSION << ")" << Qt::endl;
    return 0;
}

} // namespace

int RunAdminCommand(const AdminOptions& options)
{
    std::map<int, Answer> answers;
    answers[137] = options.overwriteBackup ? Answer::Yes : Answer::No;
    AddShellAnswers(options, answers);
    CommandLineUserInterface ui(options.workflow, answers);
    // Installed for the length of the command only, also when a failure leaves it.
    struct Installed {
        explicit Installed(UserInterface& ui) { SetUserInterface(&ui); }
        ~Installed() { SetUserInterface(nullptr); }
    } installed(ui);
    DatabaseAdministration administration(ui, SystemClockInstance());
    int status = 1;
    switch (options.command) {
    case AdminOptions::Command::Create:
        status = Create(options, administration);
        break;
    case AdminOptions::Command::Convert:
        status = Convert(options, administration);
        break;
    case AdminOptions::Command::Repair:
        status = Repair(options, administration);
        break;
    case AdminOptions::Command::Unlock:
        status = Unlock(options);
        break;
    case AdminOptions::Command::Version:
        status = Version(options);
        break;
    case AdminOptions::Command::List:
        status = List(options, ui, administration);
        break;
    case AdminOptions::Command::UserAdd:
        status = UserAdd(options, ui);
        break;
    case AdminOptions::Command::UserList:
        status = UserList(options, ui);
        break;
    case AdminOptions::Command::Backup:
        status = Backup(options);
        break;
    case AdminOptions::Command::AttachmentsRoot:
        status = AttachmentsRoot(options);
        break;
    case AdminOptions::Command::Migrate:
        status = Migrate(options);
        break;
    case AdminOptions::Command::ServerSetup:
        status = ServerSetup(options, administration);
        break;
    default:
        status = RunShellCommand(options, ui, administration);
        break;
    }
    return status;
}
