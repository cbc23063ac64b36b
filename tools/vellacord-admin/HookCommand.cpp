// The commit hook: installing it in a repository, and delivering commits to the defects they name.

#include "HookCommand.h"

#include "CommitMessage.h"
#include "ShellSession.h"

#include "base/DatabaseUnavailable.h"
#include "document/DefectEdit.h"
#include "document/LookupLists.h"
#include "engine/Connection.h"
#include "engine/EngineStatus.h"
#include "engine/SqlDialect.h"
#include "store/CommitHookSettings.h"
#include "store/DatabaseVersion.h"
#include "store/MaintenanceLock.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>

#include <exception>

namespace {

constexpr const char* kHookMarker = "# vellacord post-commit hook";
constexpr const char* kQueueName = "vellacord-queue";

QTextStream& Err()
{
    static QTextStream err(stderr);
    return err;
}

void Warn(const QString& text)
{
    Err() << "vellacord-admin: " << text << Qt::endl;
}

// git's output, or none when it failed.
std::optional<QString> Git(const QStringList& arguments)
{
    QProcess git;
    git.start(QStringLiteral("git"), arguments);
    if (!git.waitForFinished(30000) || git.exitStatus() != QProcess::NormalExit || git.exitCode() != 0)
        return std::nullopt;
    return QString::fromUtf8(git.readAllStandardOutput());
}

// A word the shell reads as it is, whatever it holds.
QString ShellQuoted(const QString& word)
{
    return QLatin1Char('\'') + QString(word).replace(QLatin1String("'"), QLatin1String("'\\''")) + QLatin1Char('\'');
}

struct Commit {
    QString hash;
    QString shortHash;
    QString author;
    QString subject;
    QString message;
};

std::optional<Commit> ReadCommit(const QString& gitDir, const QString& revision)
{
    const std::optional<QString> text =
        Git({QStringLiteral("--git-dir=") + gitDir, QStringLiteral("log"), QStringLiteral("-1"),
             QStringLiteral("--format=%H%x00%h%x00%an%x00%s%x00%B"), revision, QStringLiteral("--")});
    if (!text)
        return std::nullopt;
    const QStringList parts = text->split(QChar(0));
    if (parts.size() < 5)
        return std::nullopt;
    return Commit{parts[0].trimmed(), parts[1], parts[2], parts[3], parts[4]};
}

QString QueuePath(const QString& gitDir)
{
    return QDir(gitDir).absoluteFilePath(QLatin1String(kQueueName));
}

QStringList ReadQueue(const QString& gitDir)
{
    QFile file(QueuePath(gitDir));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

bool WriteQueue(const QString& gitDir, const QStringList& hashes)
{
    if (hashes.isEmpty())
        return !QFileInfo::exists(QueuePath(gitDir)) || QFile::remove(QueuePath(gitDir));
    QSaveFile file(QueuePath(gitDir));
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write((hashes.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8());
    return file.commit();
}

// Why the database cannot take changes now; empty when it can.
QString Unreachable(const QString& file)
{
    // A server database has no file nor lock file: opening it tells, and names it without its login.
    const bool server = engine::IsServerName(file);
    const QString shown = engine::DisplayNameOfDatabase(file);
    if (!server && !QFileInfo(file).isFile())
        return QStringLiteral("%1 cannot be reached").arg(file);
    if (!server && CMaintenanceLock::IsLocked(file).locked)
        return QStringLiteral("%1 is locked for maintenance").arg(file);
    engine::Connection connection;
    std::int64_t version = 0;
    if (engine::Failed(connection.Open(file))) {
        const engine::ErrorRecords records = connection.TakeErrorRecords();
        if (!records.empty() && records.front().kind == engine::FailureKind::Maintenance)
            return QStringLiteral("%1 is locked for maintenance").arg(shown);
        return QStringLiteral("%1 cannot be opened").arg(shown);
    }
    if (ReadDatabaseVersion(connection, version) != engine::kOk)
        return QStringLiteral("%1 cannot be opened").arg(shown);
    if (version != EXPECTED_DB_VERSION)
        return QStringLiteral("%1 has version %2, not %3").arg(shown).arg(version).arg(EXPECTED_DB_VERSION);
    return {};
}

// Done, Retry later (the file stopped answering), or Again at once (somebody saved the defect a
// moment ago: the line goes on top of that change).
enum class Delivery { Done, Retry, Again };
constexpr int kAttempts = 3;

// The commit's line in one defect, and its status change when the commit fixes it.
Delivery DeliverTo(ShellSession& session, const Commit& commit, const QString& line, const DefectReference& reference,
                   std::optional<std::int32_t> fixesStatus, const QString& fixesName)
{
    const std::int32_t id = reference.defectId;
    DefectEditor editor(session.doc());
    if (!session.Visible(id) || !editor.Load(id)) {
        Warn(QStringLiteral("commit %1 names defect %2, which %3 does not have")
                 .arg(commit.shortHash)
                 .arg(id)
                 .arg(session.file()));
        return Delivery::Done;
    }
    // A commit delivered before the file went away, or twice by a hook and a server, counts once.
    if (editor.loaded().History.contains(QStringLiteral("commit %1 ").arg(commit.shortHash)))
        return Delivery::Done;
    bool moved = false;
    if (reference.fixes && fixesStatus && *fixesStatus != editor.loaded().StatusID) {
        const EditOutcome change = editor.ChangeStatus(*fixesStatus, line);
        moved = change.saved();
        if (!moved)
            Warn(QStringLiteral("defect %1 stays as it is: %2").arg(id).arg(change.message));
    } else if (reference.fixes && !fixesStatus) {
        Warn(
            QStringLiteral("defect %1 stays as it is: %2 has no status \"%3\"").arg(id).arg(session.file(), fixesName));
    }
    if (!moved)
        editor.AddComment(line);
    EditOutcome saved = editor.Save();
    if (saved.result == EditOutcome::Result::ChangedMeanwhile)
        return Delivery::Again;
    if (!saved.saved()) {
        Warn(saved.message);
        return Delivery::Retry;
    }
    return Delivery::Done;
}

// One commit's lines in its defects. Retry when the file stopped answering; the defects done
// so far know the commit and are skipped next time.
Delivery Deliver(ShellSession& session, const Commit& commit, std::optional<std::int32_t> fixesStatus,
                 const QString& fixesName)
{
    const QString line = QStringLiteral("commit %1 (%2): %3").arg(commit.shortHash, commit.author, commit.subject);
    for (const DefectReference& reference : DefectReferences(commit.message)) {
        try {
            Delivery delivered = Delivery::Again;
            for (int attempt = 0; attempt < kAttempts && delivered == Delivery::Again; ++attempt)
                delivered = DeliverTo(session, commit, line, reference, fixesStatus, fixesName);
            if (delivered != Delivery::Done)
                return Delivery::Retry;
        } catch (const database_unavailable&) {
            throw;
        } catch (const std::exception& e) {
            // One defect that cannot take the line (its history is full, say) keeps no other
            // defect and no later commit waiting.
            Warn(QStringLiteral("defect %1 did not get commit %2: %3")
                     .arg(reference.defectId)
                     .arg(commit.shortHash, QString::fromUtf8(e.what())));
        }
    }
    return Delivery::Done;
}

} // namespace

int InstallHook(const AdminOptions& options, QTextStream& out)
{
    const QString repository = options.file;
    const std::optional<QString> hooks = Git({QStringLiteral("-C"), repository, QStringLiteral("rev-parse"),
                                              QStringLiteral("--git-path"), QStringLiteral("hooks")});
    if (!hooks) {
        Warn(QStringLiteral("%1 is no git repository").arg(repository));
        return 1;
    }
    const QString hooksDir = QDir(repository).absoluteFilePath(hooks->trimmed());
    const QString hookPath = QDir(hooksDir).absoluteFilePath(QStringLiteral("post-commit"));
    if (QFile existing(hookPath); existing.open(QIODevice::ReadOnly) && !existing.readAll().contains(kHookMarker)) {
        Warn(QStringLiteral("%1 exists and is not Vellacord's; add this line to it instead:\n%2")
                 .arg(hookPath,
                      QStringLiteral("vellacord-admin hook run --database %1 HEAD || true")
                          .arg(ShellQuoted(engine::IsServerName(options.shell.database)
                                               ? engine::ServerUriWithoutPassword(options.shell.database)
                                               : options.shell.database))));
        return 1;
    }
    // The hook names the database as every later run opens it: a server without the password,
    // which belongs in ~/.pgpass.
    const bool server = engine::IsServerName(options.shell.database);
    const QString database = server ? engine::ServerUriWithoutPassword(options.shell.database) : options.shell.database;
    if (!server && !QFileInfo(database).isFile()) {
        Warn(QStringLiteral("%1 does not exist").arg(database));
        return 1;
    }
    if (const QString reason = server ? Unreachable(options.shell.database) : QString(); !reason.isEmpty()) {
        Warn(reason);
        return 1;
    }
    if (!options.shell.fixesStatus.isEmpty()) {
        engine::Connection connection;
        if (engine::Failed(connection.Open(options.shell.database)) ||
            engine::Failed(WriteFixesStatus(connection, options.shell.fixesStatus))) {
            Warn(QStringLiteral("could not store the fixing status in %1")
                     .arg(engine::DisplayNameOfDatabase(options.shell.database)));
            return 1;
        }
    }
    QString command = ShellQuoted(QCoreApplication::applicationFilePath()) + QStringLiteral(" hook run --database ") +
        ShellQuoted(database);
    if (!options.user.isEmpty())
        command += QStringLiteral(" --user ") + ShellQuoted(options.user);
    const QString script = QStringLiteral("#!/bin/sh\n%1\n"
                                          "# Tells the defects named in the commit message; never holds up a commit.\n"
                                          "%2 --git-dir \"$(git rev-parse --git-dir)\" HEAD </dev/null || true\n"
                                          "exit 0\n")
                               .arg(QLatin1String(kHookMarker), command);
    QDir().mkpath(hooksDir);
    QSaveFile file(hookPath);
    if (!file.open(QIODevice::WriteOnly) || file.write(script.toUtf8()) < 0 || !file.commit() ||
        !QFile::setPermissions(hookPath,
                               QFile::permissions(hookPath) | QFileDevice::ExeOwner | QFileDevice::ExeGroup |
                                   QFileDevice::ExeOther)) {
        Warn(QStringLiteral("could not write %1").arg(hookPath));
        return 1;
    }
    out << "installed " << hookPath << Qt::endl;
    return 0;
}

int RunHook(const AdminOptions& options, UserInterface& ui, AdministrationActions& administration)
{
    const ShellOptions& shell = options.shell;
    QString gitDir = shell.gitDir;
    if (gitDir.isEmpty()) {
        const std::optional<QString> found = Git({QStringLiteral("rev-parse"), QStringLiteral("--git-dir")});
        if (!found) {
            Warn(QStringLiteral("not in a git repository; give --git-dir"));
            return 0;
        }
        gitDir = found->trimmed();
    }
    gitDir = QFileInfo(gitDir).absoluteFilePath();
    QStringList pending = ReadQueue(gitDir);
    if (const std::optional<Commit> current = ReadCommit(gitDir, shell.revision)) {
        if (!pending.contains(current->hash))
            pending << current->hash;
    } else {
        Warn(QStringLiteral("no commit %1 in %2").arg(shell.revision, gitDir));
    }

    const auto keep = [&](const QStringList& hashes, const QString& reason) {
        if (!WriteQueue(gitDir, hashes))
            Warn(QStringLiteral("could not write %1").arg(QueuePath(gitDir)));
        if (!hashes.isEmpty())
            Warn(QStringLiteral("%1; %2 commit(s) wait in %3 for the next commit or 'vellacord-admin hook run'")
                     .arg(reason)
                     .arg(hashes.size())
                     .arg(QueuePath(gitDir)));
        return 0;
    };
    if (pending.isEmpty())
        return keep({}, QString());
    if (const QString reason = Unreachable(shell.database); !reason.isEmpty())
        return keep(pending, reason);

    QStringList undelivered = pending;
    try {
        ShellSession session(shell.database, ui, administration);
        if (const QString error = session.LogIn(options.user, true, std::nullopt); !error.isEmpty())
            return keep(pending, error);
        const QString fixesName = ReadFixesStatus(session.doc().GetDocumentConnection(RetryMode::Offline));
        const std::optional<std::int32_t> fixesStatus = session.FindByName(LookupList::Status, fixesName);
        for (const QString& hash : pending) {
            const std::optional<Commit> commit = ReadCommit(gitDir, hash);
            // A commit that is gone (amended, say) has nothing left to tell.
            if (commit && Deliver(session, *commit, fixesStatus, fixesName) == Delivery::Retry)
                return keep(undelivered,
                            QStringLiteral("not every defect of commit %1 was changed").arg(commit->shortHash));
            undelivered.removeOne(hash);
        }
    } catch (const database_unavailable&) {
        return keep(undelivered, QStringLiteral("%1 cannot be reached").arg(shell.database));
    } catch (const std::exception& e) {
        return keep(undelivered, QString::fromUtf8(e.what()));
    }
    return keep(undelivered, QString());
}
