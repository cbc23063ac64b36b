// vellacord-admin's defect, search and hook commands run as processes on a real file, with a mail
// server and a real git repository.

#include "engine/Connection.h"
#include "engine/EngineStatus.h"
#include "mail/NotificationSender.h"
#include "mail/SystemMailTransport.h"
#include "platform/LocalSettings.h"
#include "support/AdminTool.h"
#include "support/PgServer.h"
#include "support/SmtpSink.h"
#include "support/TempFolder.h"
#include "support/TestDatabase.h"

#include "document/PasswordHash.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>

#include <algorithm>

#include <gtest/gtest.h>

namespace {

using ToolResult = AdminRun;

constexpr std::int64_t kAnn = 1, kBob = 2, kCarol = 3;
constexpr std::int64_t kNew = 1, kOpen = 2, kFixed = 4, kDraft = 999;

class ShellCommandsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(sink_.running());
        path_ = CreateCurrentDatabase(folder_.file(QStringLiteral("team.defl")));
        ASSERT_EQ(db_.Open(path_), engine::kOk);
        // The standard workflow's steps this test walks: new -> open, open -> fixed, open -> closed
        // with three words.
        Exec("INSERT INTO statustransitions (fromStatus, toStatus, sys_sortorder, commentWordsRequired) VALUES "
             "(1, 2, 1, 0), (2, 4, 2, 0), (2, 10, 3, 3)");
        User(kAnn, "Ann", "ann", QString());
        User(kBob, "Bob", "bob", QString());
        User(kCarol, "Carol", "carol", PasswordHash(QStringLiteral("s3cret")));
        // The workstation sends by the system's mail, past its first-mail test.
        const QByteArray config = (home() + QStringLiteral("/.config")).toUtf8();
        const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", config);
        LocalSettings settings;
        settings.mailSettings.size = 8;
        settings.mailSettings.mailMethod = mail::kMethodSystemMail;
        settings.hints.push_back(204);
        settings.Save();
        saved.isNull() ? qunsetenv("XDG_CONFIG_HOME") : qputenv("XDG_CONFIG_HOME", saved);
    }

    QString home() const { return folder_.file(QStringLiteral("home")); }

    void Exec(const char* sql, const engine::Parameters& values = {})
    {
        ASSERT_EQ(db_.Execute(QString::fromUtf8(sql), values), engine::kOk) << sql;
    }

    void User(std::int64_t id, const char* name, const char* login, const QString& passwd)
    {
        Exec("INSERT INTO stakeholder (stakeholder_id, email, displayname, loginname, sys_sortorder, sys_readonly, "
             "passwd) VALUES (?, ?, ?, ?, ?, 0, ?)",
             {id, QStringLiteral("%1@example.org").arg(login), QString::fromUtf8(name), QString::fromUtf8(login), id,
              passwd});
    }

    std::int64_t Defect(std::int64_t status, const char* subject, std::int64_t to, std::int64_t from)
    {
        [&] {
            Exec("INSERT INTO defectlist (statusid, subject, toid, fromid, history, modified, lastread) "
                 "VALUES (?, ?, ?, ?, '', 46000, 1)",
                 {status, QString::fromUtf8(subject), to, from});
        }();
        return db_.LastInsertId();
    }

    std::int64_t Number(const QString& sql)
    {
        std::int64_t value = -1;
        EXPECT_EQ(db_.QueryInt(sql, {}, value), engine::kOk) << sql.toStdString();
        return value;
    }

    QProcessEnvironment Environment() const
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HOME"), home());
        environment.remove(QStringLiteral("XDG_CONFIG_HOME"));
        environment.insert(QString::fromLatin1(mail::kSendmailVariable), sink_.sendmailCommand());
        return environment;
    }

    ToolResult Admin(const QStringList& arguments, const QByteArray& input = {}, const QString& workingDirectory = {})
    {
        return RunAdminTool(arguments, Environment(), input, workingDirectory);
    }

    QJsonObject Show(std::int64_t id, const char* user = "ann")
    {
        const ToolResult run = Admin({QStringLiteral("defect"), QStringLiteral("show"), path_, QString::number(id),
                                      QStringLiteral("--user"), QString::fromUtf8(user), QStringLiteral("--json")});
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
        return QJsonDocument::fromJson(run.out.toUtf8()).object();
    }

    static QString StatusOf(const QJsonObject& defect)
    {
        return defect[QStringLiteral("status")].toObject()[QStringLiteral("name")].toString();
    }

    TempFolder folder_;
    SmtpSink sink_;
    QString path_;
    engine::Connection db_;
};

TEST_F(ShellCommandsTest, ADefectFiledFromTheShellIsStoredUnreadAndAnnouncedAsFromTheWindow)
{
    QFile description(folder_.file(QStringLiteral("build.log")));
    ASSERT_TRUE(description.open(QIODevice::WriteOnly));
    description.write("make[2]: *** [parser.o] Fehler 1\nÜbersetzung abgebrochen\n");
    description.close();
    const ToolResult add =
        Admin({QStringLiteral("defect"), QStringLiteral("add"), path_, QStringLiteral("--user=ann"),
               QStringLiteral("--subject"), QStringLiteral("Nightly build fails"), QStringLiteral("--to"),
               QStringLiteral("bob"), QStringLiteral("--severity"), QStringLiteral("HIGH"), QStringLiteral("--cc"),
               QStringLiteral("qa@example.org"), QStringLiteral("--description-file"), description.fileName()});
    ASSERT_EQ(add.exitCode, 0) << add.err.toStdString();
    const std::int64_t id = add.out.trimmed().toLongLong();
    ASSERT_GT(id, 0) << add.out.toStdString();

    const QJsonObject defect = Show(id, "bob");
    EXPECT_EQ(defect[QStringLiteral("subject")].toString(), QStringLiteral("Nightly build fails"));
    EXPECT_EQ(StatusOf(defect), QStringLiteral("new"));
    EXPECT_EQ(defect[QStringLiteral("severity")].toObject()[QStringLiteral("name")].toString(), QStringLiteral("high"));
    EXPECT_EQ(defect[QStringLiteral("from")].toObject()[QStringLiteral("login")].toString(), QStringLiteral("ann"));
    EXPECT_TRUE(defect[QStringLiteral("description")].toString().contains(QStringLiteral("Übersetzung")));
    EXPECT_TRUE(defect[QStringLiteral("unread")].toBool());
    const QJsonArray history = defect[QStringLiteral("history")].toArray();
    ASSERT_EQ(history.size(), 1);
    EXPECT_EQ(history[0].toObject()[QStringLiteral("user")].toString(), QStringLiteral("Ann"));

    const QList<QByteArray> mails = sink_.WaitForMessages(1);
    ASSERT_EQ(mails.size(), 1);
    EXPECT_TRUE(mails[0].contains("X-RcptTo: bob@example.org, qa@example.org")) << mails[0].toStdString();
    EXPECT_TRUE(mails[0].contains("Nightly build fails"));

    // Names that the file does not have are refused before anything is written.
    const std::int64_t before = Number(QStringLiteral("SELECT count(*) FROM defectlist"));
    for (const QStringList& wrong : {QStringList{QStringLiteral("--to"), QStringLiteral("nobody-here")},
                                     QStringList{QStringLiteral("--component"), QStringLiteral("no such component")}}) {
        const ToolResult refused =
            Admin(QStringList{QStringLiteral("defect"), QStringLiteral("add"), path_, QStringLiteral("--user"),
                              QStringLiteral("ann"), QStringLiteral("--subject"), QStringLiteral("x")} +
                  wrong);
        EXPECT_EQ(refused.exitCode, 1) << wrong.join(' ').toStdString();
    }
    EXPECT_EQ(Number(QStringLiteral("SELECT count(*) FROM defectlist")), before);
}

TEST_F(ShellCommandsTest, StatusAndCommentKeepTheWorkflowAndThePasswordRule)
{
    const std::int64_t id = Defect(kNew, "Crash on save", kBob, kAnn);
    const auto status = [&](const QString& to, const QString& comment, const char* user = "bob",
                            const QByteArray& input = {}) {
        QStringList arguments{QStringLiteral("defect"),
                              QStringLiteral("status"),
                              path_,
                              QString::number(id),
                              QStringLiteral("--user"),
                              QString::fromUtf8(user),
                              QStringLiteral("--to"),
                              to,
                              QStringLiteral("--comment"),
                              comment};
        if (!input.isEmpty())
            arguments << QStringLiteral("--password-stdin");
        return Admin(arguments, input);
    };
    ToolResult run = status(QStringLiteral("fixed"), QStringLiteral("skipping ahead"));
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains(QStringLiteral("open"))) << run.err.toStdString();
    EXPECT_EQ(StatusOf(Show(id)), QStringLiteral("new"));

    run = status(QStringLiteral("open"), QString());
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    run = status(QStringLiteral("closed"), QStringLiteral("works"));
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains(QStringLiteral("3 words"))) << run.err.toStdString();
    EXPECT_EQ(StatusOf(Show(id)), QStringLiteral("open"));

    // Carol has a password and the tool does not run as her.
    run = status(QStringLiteral("closed"), QStringLiteral("cannot reproduce it"), "carol");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains(QStringLiteral("--password-stdin"))) << run.err.toStdString();
    run = status(QStringLiteral("closed"), QStringLiteral("cannot reproduce it"), "carol", "guess\n");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(StatusOf(Show(id)), QStringLiteral("open"));
    run = status(QStringLiteral("closed"), QStringLiteral("cannot reproduce it"), "carol", "s3cret\n");
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QJsonObject closed = Show(id);
    EXPECT_EQ(StatusOf(closed), QStringLiteral("closed"));
    EXPECT_FALSE(closed[QStringLiteral("closed")].isNull());

    run = Admin({QStringLiteral("defect"), QStringLiteral("comment"), path_, QString::number(id),
                 QStringLiteral("--user"), QStringLiteral("ann"), QStringLiteral("--text-file"), QStringLiteral("-")},
                "Also seen on\nthe release branch\n");
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QJsonArray history = Show(id)[QStringLiteral("history")].toArray();
    ASSERT_EQ(history.size(), 3);
    EXPECT_EQ(history[1].toObject()[QStringLiteral("comment")].toString(), QStringLiteral("cannot reproduce it"));
    const QJsonObject comment = history[2].toObject();
    EXPECT_EQ(comment[QStringLiteral("status")].toString(), QStringLiteral("closed"));
    EXPECT_EQ(comment[QStringLiteral("comment")].toString(), QStringLiteral("Also seen on\nthe release branch"));
    // A script that read the defect refuses to change what somebody changed since.
    const QString read = Show(id)[QStringLiteral("modified")].toString();
    run = Admin({QStringLiteral("defect"), QStringLiteral("comment"), path_, QString::number(id),
                 QStringLiteral("--user"), QStringLiteral("bob"), QStringLiteral("--text"), QStringLiteral("me too")});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    run = Admin({QStringLiteral("defect"), QStringLiteral("comment"), path_, QString::number(id),
                 QStringLiteral("--user"), QStringLiteral("ann"), QStringLiteral("--text"), QStringLiteral("late"),
                 QStringLiteral("--expect-modified"), read});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains(QStringLiteral("changed by Bob"))) << run.err.toStdString();
    EXPECT_EQ(Show(id)[QStringLiteral("history")].toArray().size(), 4);
    run = Admin({QStringLiteral("defect"), QStringLiteral("comment"), path_, QString::number(id),
                 QStringLiteral("--user"), QStringLiteral("ann"), QStringLiteral("--text"), QStringLiteral("in time"),
                 QStringLiteral("--expect-modified"), Show(id)[QStringLiteral("modified")].toString()});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_EQ(Show(id)[QStringLiteral("history")].toArray().size(), 5);
    // Every saved change told its addressee; the comment travels with its mail.
    const QList<QByteArray> mails = sink_.WaitForMessages(5);
    ASSERT_EQ(mails.size(), 5);
    EXPECT_TRUE(mails[2].contains("release branch"));
}

TEST_F(ShellCommandsTest, ShowSearchAndJsonListKeepOtherUsersDraftsHidden)
{
    const std::int64_t bobsDraft = Defect(kDraft, "Draft about the parser", kAnn, kBob);
    const std::int64_t open = Defect(kOpen, "Parser loses the last line", kAnn, kBob);
    Exec("UPDATE defectlist SET description = 'when the file ends without a newline' WHERE defect_id = ?", {open});

    EXPECT_EQ(Admin({QStringLiteral("defect"), QStringLiteral("show"), path_, QString::number(bobsDraft),
                     QStringLiteral("--user"), QStringLiteral("ann")})
                  .exitCode,
              1);
    EXPECT_EQ(Show(bobsDraft, "bob")[QStringLiteral("id")].toInt(), bobsDraft);

    const auto search = [&](const char* user, const QStringList& words) {
        const ToolResult run = Admin(QStringList{QStringLiteral("search"), path_, QStringLiteral("--json"),
                                                 QStringLiteral("--user"), QString::fromUtf8(user)} +
                                     words);
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
        std::vector<int> ids;
        for (const QJsonValue& hit : QJsonDocument::fromJson(run.out.toUtf8()).array())
            ids.push_back(hit.toObject()[QStringLiteral("id")].toInt());
        return ids;
    };
    EXPECT_EQ(search("ann", {QStringLiteral("parser")}), std::vector<int>{static_cast<int>(open)});
    EXPECT_EQ(search("bob", {QStringLiteral("parser")}).size(), 2U);
    // Word beginnings, words in several fields, and the index following later changes.
    EXPECT_EQ(search("ann", {QStringLiteral("newl"), QStringLiteral("pars")}),
              std::vector<int>{static_cast<int>(open)});
    Exec("UPDATE defectlist SET subject = 'Tokenizer loses the last line' WHERE defect_id = ?", {open});
    EXPECT_TRUE(search("ann", {QStringLiteral("parser")}).empty());
    EXPECT_EQ(search("ann", {QStringLiteral("tokenizer")}), std::vector<int>{static_cast<int>(open)});

    const ToolResult faulty = Admin({QStringLiteral("search"), path_, QStringLiteral("--user"), QStringLiteral("ann"),
                                     QStringLiteral("\"unclosed")});
    EXPECT_EQ(faulty.exitCode, 1);
    EXPECT_TRUE(faulty.err.contains(QStringLiteral("not understood"))) << faulty.err.toStdString();

    const ToolResult list = Admin({QStringLiteral("list"), path_, QStringLiteral("--user"), QStringLiteral("ann"),
                                   QStringLiteral("--format"), QStringLiteral("json")});
    ASSERT_EQ(list.exitCode, 0) << list.err.toStdString();
    const QJsonArray rows = QJsonDocument::fromJson(list.out.toUtf8()).array();
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows[0].toObject()[QStringLiteral("id")].toInt(), open);
    EXPECT_EQ(rows[0].toObject()[QStringLiteral("columns")].toObject()[QStringLiteral("Subject")].toString(),
              QStringLiteral("Tokenizer loses the last line"));
}

// git in `repository` with the test's environment; its standard output.
QString Git(const QString& repository, const QProcessEnvironment& environment, const QStringList& arguments,
            QString* errors = nullptr)
{
    QProcess git;
    git.setProcessEnvironment(environment);
    git.setWorkingDirectory(repository);
    git.start(QStringLiteral("git"), arguments);
    EXPECT_TRUE(git.waitForFinished(60000));
    EXPECT_EQ(git.exitCode(), 0) << arguments.join(' ').toStdString() << ": "
                                 << git.readAllStandardError().toStdString();
    if (errors != nullptr)
        *errors = QString::fromUtf8(git.readAllStandardError());
    return QString::fromUtf8(git.readAllStandardOutput());
}

TEST_F(ShellCommandsTest, ACommitThatFixesADefectMovesItAndTellsItsAddressee)
{
    Defect(kNew, "Crash on save", kAnn, kBob);
    const std::int64_t parser = Defect(kOpen, "Parser drops the last line", kAnn, kBob);
    ASSERT_EQ(parser, 2);
    const std::int64_t fresh = Defect(kNew, "Slow start", kAnn, kBob);

    const QString repository = folder_.file(QStringLiteral("repo"));
    ASSERT_TRUE(QDir().mkpath(repository));
    QProcessEnvironment environment = Environment();
    for (const char* name : {"GIT_AUTHOR_NAME", "GIT_COMMITTER_NAME"})
        environment.insert(QString::fromLatin1(name), QStringLiteral("Dana Developer"));
    for (const char* name : {"GIT_AUTHOR_EMAIL", "GIT_COMMITTER_EMAIL"})
        environment.insert(QString::fromLatin1(name), QStringLiteral("dana@example.org"));
    Git(repository, environment, {QStringLiteral("init"), QStringLiteral("-q")});
    ToolResult install = Admin({QStringLiteral("hook"), QStringLiteral("install"), repository,
                                QStringLiteral("--database"), path_, QStringLiteral("--user"), QStringLiteral("bob")});
    ASSERT_EQ(install.exitCode, 0) << install.err.toStdString();

    const auto commit = [&](const QString& message) {
        QFile file(repository + QStringLiteral("/notes.txt"));
        EXPECT_TRUE(file.open(QIODevice::Append));
        file.write(message.toUtf8() + '\n');
        file.close();
        Git(repository, environment, {QStringLiteral("add"), QStringLiteral("notes.txt")});
        QString errors;
        Git(repository, environment, {QStringLiteral("commit"), QStringLiteral("-q"), QStringLiteral("-m"), message},
            &errors);
        return errors;
    };
    commit(QStringLiteral("fixes #2: keep the last line without a newline\n\nAlso refs #%1.").arg(fresh));
    const QString shortId =
        Git(repository, environment, {QStringLiteral("rev-parse"), QStringLiteral("--short"), QStringLiteral("HEAD")})
            .trimmed();

    const QJsonObject fixed = Show(parser);
    EXPECT_EQ(StatusOf(fixed), QStringLiteral("fixed"));
    const QJsonArray history = fixed[QStringLiteral("history")].toArray();
    ASSERT_FALSE(history.isEmpty());
    const QJsonObject line = history.last().toObject();
    EXPECT_EQ(line[QStringLiteral("status")].toString(), QStringLiteral("fixed"));
    EXPECT_EQ(line[QStringLiteral("user")].toString(), QStringLiteral("Bob"));
    EXPECT_EQ(
        line[QStringLiteral("comment")].toString(),
        QStringLiteral("commit %1 (Dana Developer): fixes #2: keep the last line without a newline").arg(shortId));
    EXPECT_TRUE(fixed[QStringLiteral("unread")].toBool());
    // The other defect only hears of the commit: "refs" moves nothing.
    const QJsonObject referred = Show(fresh);
    EXPECT_EQ(StatusOf(referred), QStringLiteral("new"));
    EXPECT_TRUE(referred[QStringLiteral("history")]
                    .toArray()
                    .last()
                    .toObject()[QStringLiteral("comment")]
                    .toString()
                    .startsWith(QStringLiteral("commit %1 ").arg(shortId)));
    const QList<QByteArray> mails = sink_.WaitForMessages(2);
    ASSERT_EQ(mails.size(), 2);
    EXPECT_TRUE(std::any_of(mails.begin(), mails.end(), [](const QByteArray& mail) {
        return mail.contains("X-RcptTo: ann@example.org") && mail.contains("Parser drops the last line") &&
            mail.contains("Status: fixed");
    }));

    // "fixes" where the workflow leads elsewhere: the line and a warning, the status stays.
    QString warnings = commit(QStringLiteral("Closes #%1 for good").arg(fresh));
    EXPECT_TRUE(warnings.contains(QStringLiteral("stays as it is"))) << warnings.toStdString();
    EXPECT_EQ(StatusOf(Show(fresh)), QStringLiteral("new"));
    EXPECT_EQ(Show(fresh)[QStringLiteral("history")].toArray().size(), 2);

    // A database that cannot be reached holds up no commit; the next commit delivers both.
    const QString away = path_ + QStringLiteral(".away");
    db_.Close();
    ASSERT_TRUE(QFile::rename(path_, away));
    warnings = commit(QStringLiteral("refs #%1: measure the start").arg(fresh));
    EXPECT_TRUE(warnings.contains(QStringLiteral("wait in"))) << warnings.toStdString();
    EXPECT_TRUE(QFileInfo::exists(repository + QStringLiteral("/.git/vellacord-queue")));
    ASSERT_TRUE(QFile::rename(away, path_));
    commit(QStringLiteral("#%1 start in half the time").arg(fresh));
    EXPECT_FALSE(QFileInfo::exists(repository + QStringLiteral("/.git/vellacord-queue")));
    const QJsonArray later = Show(fresh)[QStringLiteral("history")].toArray();
    ASSERT_EQ(later.size(), 4);
    EXPECT_TRUE(
        later[2].toObject()[QStringLiteral("comment")].toString().endsWith(QStringLiteral("measure the start")));
    EXPECT_TRUE(later[3].toObject()[QStringLiteral("comment")].toString().endsWith(QStringLiteral("half the time")));
    // Run again by hand, nothing is delivered twice.
    Admin({QStringLiteral("hook"), QStringLiteral("run"), QStringLiteral("HEAD~1"), QStringLiteral("--database"), path_,
           QStringLiteral("--user"), QStringLiteral("bob")},
          {}, repository);
    EXPECT_EQ(Show(fresh)[QStringLiteral("history")].toArray().size(), 4);
}

TEST(CommitHookInstall, AnotherHookIsNotReplaced)
{
    TempFolder folder;
    const QString repository = folder.file(QStringLiteral("repo"));
    ASSERT_TRUE(QDir().mkpath(repository + QStringLiteral("/.git/hooks")));
    QProcess init;
    init.setWorkingDirectory(repository);
    init.start(QStringLiteral("git"), {QStringLiteral("init"), QStringLiteral("-q")});
    ASSERT_TRUE(init.waitForFinished(30000));
    const QString hook = repository + QStringLiteral("/.git/hooks/post-commit");
    QFile file(hook);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("#!/bin/sh\necho mine\n");
    file.close();
    const QString database = CreateCurrentDatabase(folder.file(QStringLiteral("team.defl")));
    QProcess tool;
    tool.start(QDir(QCoreApplication::applicationDirPath()).absoluteFilePath(QStringLiteral("../vellacord-admin")),
               {QStringLiteral("hook"), QStringLiteral("install"), repository, QStringLiteral("--database"), database});
    ASSERT_TRUE(tool.waitForFinished(30000));
    EXPECT_EQ(tool.exitCode(), 1);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("#!/bin/sh\necho mine\n"));
}

} // namespace

TEST_F(ShellCommandsTest, TheCommitHookWorksOnAServerAndItsScriptKeepsNoPassword)
{
    SERVER_DATABASE_OR_SKIP(uri);
    ASSERT_EQ(Admin({QStringLiteral("create"), uri}).exitCode, 0);
    ASSERT_EQ(Admin({QStringLiteral("user"), QStringLiteral("add"), uri, QStringLiteral("ann")}).exitCode, 0);
    const ToolResult added =
        Admin({QStringLiteral("defect"), QStringLiteral("add"), uri, QStringLiteral("--user"), QStringLiteral("ann"),
               QStringLiteral("--subject"), QStringLiteral("Crash"), QStringLiteral("--to"), QStringLiteral("ann")});
    ASSERT_EQ(added.exitCode, 0) << added.err.toStdString();
    const QString id = added.out.trimmed();

    const QString repository = folder_.file(QStringLiteral("repo"));
    ASSERT_TRUE(QDir().mkpath(repository));
    QProcessEnvironment environment = Environment();
    for (const char* name : {"GIT_AUTHOR_NAME", "GIT_COMMITTER_NAME", "GIT_AUTHOR_EMAIL", "GIT_COMMITTER_EMAIL"})
        environment.insert(QString::fromLatin1(name), QStringLiteral("dana@example.org"));
    Git(repository, environment, {QStringLiteral("init"), QStringLiteral("-q")});
    const ToolResult install =
        Admin({QStringLiteral("hook"), QStringLiteral("install"), repository, QStringLiteral("--database"),
               uri + QStringLiteral("&password=hunter2"), QStringLiteral("--user"), QStringLiteral("ann"),
               QStringLiteral("--fixes-status"), QStringLiteral("open")});
    ASSERT_EQ(install.exitCode, 0) << install.err.toStdString();
    QFile hook(repository + QStringLiteral("/.git/hooks/post-commit"));
    ASSERT_TRUE(hook.open(QIODevice::ReadOnly));
    EXPECT_FALSE(hook.readAll().contains("hunter2"));

    Git(repository, environment,
        {QStringLiteral("commit"), QStringLiteral("-q"), QStringLiteral("--allow-empty"), QStringLiteral("-m"),
         QStringLiteral("fixes #%1").arg(id)});
    const ToolResult shown = Admin({QStringLiteral("defect"), QStringLiteral("show"), uri, id, QStringLiteral("--user"),
                                    QStringLiteral("ann"), QStringLiteral("--json")});
    EXPECT_EQ(StatusOf(QJsonDocument::fromJson(shown.out.toUtf8()).object()), QStringLiteral("open"))
        << "the fixing status stored on the server is the one the hook applies";
}
