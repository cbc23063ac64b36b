// Tests of the external mail and zip tools: arguments, temporary files, time-outs and failures.

#include "MailFixture.h"

#include "mail/CommandTemplate.h"
#include "mail/MailOptions.h"
#include "mail/MailStringIds.h"
#include "mail/NotificationText.h"
#include "mail/TemporaryFiles.h"
#include "store/AttachmentDirectory.h"
#include "store/AttachmentPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTimer>

#include <sys/resource.h>

#include <cerrno>
#include <csignal>

class ExternalToolTest : public MailFixture {
protected:
    // The files the mail left in its temporary folder.
    static QStringList Leftovers()
    {
        return QDir(mail::TemporaryFolder()).entryList(QDir::Files | QDir::Hidden | QDir::System);
    }
    static void RemoveLeftovers()
    {
        for (const QString& name : Leftovers())
            QFile::remove(QDir(mail::TemporaryFolder()).filePath(name));
    }
    ~ExternalToolTest() override { RemoveLeftovers(); }
};

TEST_F(ExternalToolTest, ValuesReachTheToolAsSingleArgumentsAndOnlyTheFirstTokenIsFilled)
{
    const QString tool = Script(QStringLiteral("mailtool"),
                                QStringLiteral("printf '%s\\0' \"$@\" > '%1.args'; cat \"$5\" > '%1.body'")
                                    .arg(folder_.file(QStringLiteral("mailtool"))));
    system_.sendmailTool = tool + QStringLiteral(" %to% %to% \"--from=%from%\" %subject% %textfile%");
    system_.compressionTool = RecordingTool(QStringLiteral("ziptool")) + QStringLiteral(" %zipfile% %attachmentdir%");
    defect_.Subject = QStringLiteral("it's \"odd\"; $(touch %1) `touch %1` %to%\nrm -rf").arg(folder_.file("ran"));
    AttachmentDirectory(path_, 42, true);
    mail::DispatchRequest request = Request(mail::kMethodExternalTool, QStringLiteral("alice, bob;;carol"));
    request.includeAttachments = true;

    ASSERT_TRUE(dispatch_.Dispatch(defect_, request));
    const QStringList recorded = RecordedArguments(QStringLiteral("mailtool"));
    ASSERT_EQ(recorded.size(), 5);
    const QString textFile = recorded[4];
    // A line break in the subject ends no argument and starts no line of the tool's.
    const QString subject = mail::ComposeSubject(defect_, path_, doc_.lookups()).replace(QLatin1Char('\n'), ' ');
    EXPECT_EQ(recorded, QStringList({"alice,bob,carol", "%to%", "--from=ann@example.org", subject, textFile}));
    EXPECT_TRUE(textFile.startsWith(mail::TemporaryBase(42) + '-') && textFile.endsWith(".txt"))
        << textFile.toStdString();
    EXPECT_FALSE(QFile::exists(folder_.file("ran")));
    EXPECT_EQ(mail::FillCommandTemplate("t \"%to% here\" %from%", {{"%to%", "%from%"}, {"%from%", "x"}}),
              QStringList({"t", "%from% here", "x"}))
        << "a value is never searched for the tokens after it";
    EXPECT_TRUE(RecordedArguments(QStringLiteral("ziptool")).isEmpty()) << "no %attachments%, no archive";
    QFile body(folder_.file(QStringLiteral("mailtool.body")));
    ASSERT_TRUE(body.open(QIODevice::ReadOnly));
    EXPECT_TRUE(body.readAll().startsWith("Defect: 42\r\nStatus: open"));
    EXPECT_FALSE(QFile::exists(textFile));
    EXPECT_EQ(Leftovers(), QStringList()) << "after success no file stays, logs included";

    // No archive: the tool gets a placeholder file saying so, removed after success.
    system_.sendmailTool =
        Script(QStringLiteral("copytool"), QStringLiteral("cat \"$1\" > '%1'").arg(folder_.file("got"))) +
        QStringLiteral(" %attachments%");
    ASSERT_TRUE(dispatch_.Dispatch(defect_, Request(mail::kMethodExternalTool)));
    QFile got(folder_.file("got"));
    ASSERT_TRUE(got.open(QIODevice::ReadOnly));
    EXPECT_EQ(got.readAll(), "no attachments");
    EXPECT_EQ(Leftovers(), QStringList());
}

TEST_F(ExternalToolTest, TheBrowsedTemplatesOfMailAndMsmtpSendToEveryAddresseeWithSubjectAndText)
{
    // Stand-ins with the names of the real programs record their arguments and standard input.
    QDir().mkpath(folder_.file(QStringLiteral("bin")));
    const auto standIn = [&](const QString& name) {
        const QString recorded = folder_.file(name);
        const QString path =
            Script(QStringLiteral("bin/") + name,
                   QStringLiteral("printf '%s\\0' \"$@\" > '%1.args'; cat > '%1.stdin'").arg(recorded));
        return *mail::BrowsedToolCommand(mail::Tool::Mail, path);
    };
    const auto input = [&](const QString& name) {
        QFile file(folder_.file(name + QStringLiteral(".stdin")));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    };
    defect_.Cc = QStringLiteral("carol@example.org");
    const QString subject = mail::ComposeSubject(defect_, path_, doc_.lookups());

    system_.sendmailTool = standIn(QStringLiteral("mail"));
    EXPECT_FALSE(mail::CheckToolCommands(system_.sendmailTool, QString())) << "OK takes the template as it is";
    ASSERT_TRUE(dispatch_.Dispatch(defect_, Request(mail::kMethodExternalTool)));
    EXPECT_EQ(RecordedArguments(QStringLiteral("mail")),
              QStringList({"-s", subject, "-r", "ann@example.org", "--", "bob@example.org", "carol@example.org"}));
    EXPECT_TRUE(input(QStringLiteral("mail")).startsWith(QStringLiteral("Defect: 42\r\nStatus: open")));

    system_.sendmailTool = standIn(QStringLiteral("msmtp"));
    ASSERT_TRUE(dispatch_.Dispatch(defect_, Request(mail::kMethodExternalTool)));
    EXPECT_EQ(RecordedArguments(QStringLiteral("msmtp")),
              QStringList({"-f", "ann@example.org", "--", "bob@example.org", "carol@example.org"}));
    const QString message = input(QStringLiteral("msmtp"));
    EXPECT_TRUE(message.startsWith(QStringLiteral("Subject: %1\nFrom: ann@example.org\nTo: "
                                                  "bob@example.org,carol@example.org\n")
                                       .arg(subject)))
        << message.toStdString();
    EXPECT_TRUE(message.contains(QStringLiteral("\n\nDefect: 42\r\n")));
}

TEST_F(ExternalToolTest, ATimeOutAsksAndCancelEndsTheToolWith99WhileEventsGoOn)
{
    system_.sendmailTool =
        '"' + Script(QStringLiteral("slow tool"), QStringLiteral("echo starting; exec sleep 30")) + "\" %subject%";
    settings_.externalMailToolTimeout = 300;
    bool painted = false;
    QTimer::singleShot(50, [&] { painted = true; });
    ui_.ExpectMessage(mail::string_id::kToolTimeoutQuestion, Answer::Cancel);
    ui_.ExpectMessage(mail::string_id::kExternalToolFailed);

    EXPECT_FALSE(dispatch_.Dispatch(defect_, Request(mail::kMethodExternalTool)));
    EXPECT_TRUE(painted) << "the wait must keep the event loop running";
    EXPECT_TRUE(ui_.messages.back().text.contains("Mail tool failed with error code 99"));
    ASSERT_EQ(ui_.openedWithDesktop.size(), 1u);
    const QString output = ui_.openedWithDesktop.front();
    EXPECT_TRUE(output.startsWith(mail::TemporaryBase(1)) && output.endsWith(".output.txt"));
    QFile log(output);
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_TRUE(log.readAll().contains("\r\n\r\nstarting\n"));
}

TEST_F(ExternalToolTest, TheProgramEndingDuringTheWaitEndsTheToolInsteadOfHanging)
{
    system_.sendmailTool = Script(QStringLiteral("sleeper"), QStringLiteral("exec sleep 30")) + " %subject%";
    ui_.ExpectMessage(mail::string_id::kExternalToolFailed);
    QElapsedTimer clock;
    clock.start();
    bool sent = true;
    QTimer::singleShot(0, [&] {
        QTimer::singleShot(100, [] { QCoreApplication::exit(0); });
        sent = dispatch_.Dispatch(defect_, Request(mail::kMethodExternalTool));
    });
    QCoreApplication::exec();
    EXPECT_FALSE(sent);
    EXPECT_LT(clock.elapsed(), 10000);
}

TEST_F(ExternalToolTest, ABodyThatCannotBeWrittenIsAFailureAndTheToolDoesNotRun)
{
    system_.sendmailTool = RecordingTool(QStringLiteral("mailtool")) + " %textfile%";
    ui_.ExpectMessage(mail::string_id::kExternalToolFailed);

    // The disk takes no more than a few bytes (the limit holds for root too).
    const auto previousSignal = std::signal(SIGXFSZ, SIG_IGN);
    rlimit previous = {};
    ::getrlimit(RLIMIT_FSIZE, &previous);
    rlimit tiny = previous;
    tiny.rlim_cur = 8;
    ::setrlimit(RLIMIT_FSIZE, &tiny);
    const bool sent = dispatch_.Dispatch(defect_, Request(mail::kMethodExternalTool));
    ::setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, previousSignal);

    EXPECT_FALSE(sent);
    EXPECT_TRUE(RecordedArguments(QStringLiteral("mailtool")).isEmpty());
    ASSERT_FALSE(ui_.messages.empty());
    EXPECT_TRUE(ui_.messages.back().text.contains(QStringLiteral("error code %1").arg(EFBIG)));
    EXPECT_EQ(Leftovers(), QStringList()) << "a cut file is not left behind";
}

TEST_F(ExternalToolTest, AnAddressBeginningWithADashNeverBecomesAnOptionOfTheTool)
{
    system_.sendmailTool = RecordingTool(QStringLiteral("mailtool")) + " %to% %textfile%";
    // Refused: the tool would read the address as an option, and nothing is left behind.
    ui_.ExpectMessage(mail::string_id::kValueLooksLikeOption);
    EXPECT_FALSE(dispatch_.Dispatch(defect_, Request(mail::kMethodExternalTool, QStringLiteral("-oQ/tmp/x@evil.org"))));
    EXPECT_TRUE(RecordedArguments(QStringLiteral("mailtool")).isEmpty());
    EXPECT_TRUE(ui_.messages.back().text.contains(QStringLiteral("\"-oQ/tmp/x@evil.org\"")));
    EXPECT_EQ(Leftovers(), QStringList());

    // After a "--" of the template the same address is an operand and goes out.
    system_.sendmailTool = RecordingTool(QStringLiteral("mailtool")) + " --from=%from% -- %to%";
    ASSERT_TRUE(dispatch_.Dispatch(defect_, Request(mail::kMethodExternalTool, QStringLiteral("-oQ/tmp/x@evil.org"))));
    EXPECT_EQ(RecordedArguments(QStringLiteral("mailtool")),
              QStringList({"--from=ann@example.org", "--", "-oQ/tmp/x@evil.org"}));
    ui_.VerifyAllUsed();

    // Inside an argument a value never begins it; a dash inside a value is text.
    QString optionLike;
    EXPECT_EQ(
        mail::FillCommandTemplate("t --to=%to% %subject%", {{"%to%", "-x"}, {"%subject%", "a\r\n-b\nc"}}, &optionLike),
        QStringList({"t", "--to=-x", "a -b c"}));
    EXPECT_EQ(optionLike, QString());
    mail::FillCommandTemplate("t %subject% -- %to%", {{"%to%", "-x"}, {"%subject%", "-y"}}, &optionLike);
    EXPECT_EQ(optionLike, "-y");
}

TEST_F(ExternalToolTest, TemporaryFilesAreNewPrivateAndNeverReachedThroughALink)
{
    const QString folder = mail::TemporaryFolder();
    ASSERT_FALSE(folder.isEmpty());
    EXPECT_NE(QDir(folder).canonicalPath(), QDir(QDir::tempPath()).canonicalPath());
    EXPECT_EQ(QFileInfo(folder).permissions() &
                  (QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ReadOther | QFileDevice::WriteOther),
              QFileDevice::Permissions());

    // Links planted where the names used to be predictable lead nowhere.
    const QString victim = folder_.file(QStringLiteral("victim"));
    QFile file(victim);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("untouched");
    file.close();
    const QString pid = QString::number(QCoreApplication::applicationPid(), 16);
    QStringList planted;
    for (const QString& name : {QStringLiteral("id_42_VC%1.txt"), QStringLiteral("id_1_VC%1.output.txt"),
                                QStringLiteral("id_0_VC%1.command.txt")}) {
        planted << QDir::temp().filePath(name.arg(pid));
        QFile::remove(planted.back());
        ASSERT_TRUE(QFile::link(victim, planted.back()));
    }
    system_.sendmailTool = RecordingTool(QStringLiteral("mailtool")) + " %textfile%";
    ASSERT_TRUE(dispatch_.Dispatch(defect_, Request(mail::kMethodExternalTool)));
    const QString first = RecordedArguments(QStringLiteral("mailtool")).value(0);
    ASSERT_TRUE(dispatch_.Dispatch(defect_, Request(mail::kMethodExternalTool)));
    const QString second = RecordedArguments(QStringLiteral("mailtool")).value(0);
    EXPECT_NE(first, second) << "each mail's file has a name of its own";
    EXPECT_TRUE(first.startsWith(folder + '/'));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "untouched");
    for (const QString& link : planted)
        QFile::remove(link);
}

TEST_F(ExternalToolTest, TheZipToolPacksOnlyWhatLiesInTheAttachmentFolder)
{
    // The tool writes down what it was given to pack, and makes the archive.
    const QString listing = folder_.file(QStringLiteral("packed"));
    system_.compressionTool =
        Script(QStringLiteral("ziptool"),
               QStringLiteral("cd \"$2\" && find . -mindepth 1 -printf '%P %y\\n' | sort > '%1'; echo zip > \"$1\"")
                   .arg(listing)) +
        QStringLiteral(" %zipfile% %attachmentdir%");
    system_.sendmailTool =
        Script(QStringLiteral("copytool"), QStringLiteral("cat \"$1\" > '%1'").arg(folder_.file("got"))) +
        QStringLiteral(" %attachments%");
    const QString secret = folder_.file(QStringLiteral("secret.txt"));
    QFile file(secret);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("secret");
    file.close();
    const QString directory = AttachmentDirectory(path_, 42, true);
    ASSERT_TRUE(QDir().mkpath(directory + QStringLiteral("/logs")));
    QFile own(directory + QStringLiteral("/logs/own.txt"));
    ASSERT_TRUE(own.open(QIODevice::WriteOnly));
    own.write("own");
    own.close();
    ASSERT_TRUE(QFile::link(secret, directory + QStringLiteral("/passwords.txt")));
    ASSERT_TRUE(QFile::link(folder_.path(), directory + QStringLiteral("/logs/everything")));

    mail::DispatchRequest request = Request(mail::kMethodExternalTool);
    request.includeAttachments = true;
    ui_.ExpectMessage(mail::string_id::kLeftOutOfArchive);
    ASSERT_TRUE(dispatch_.Dispatch(defect_, request));
    QFile packed(listing);
    ASSERT_TRUE(packed.open(QIODevice::ReadOnly));
    EXPECT_EQ(packed.readAll(), "logs d\nlogs/own.txt f\n");
    EXPECT_TRUE(ui_.messages.back().text.contains(directory + QStringLiteral("/passwords.txt -> ") + secret));
    QFile got(folder_.file("got"));
    ASSERT_TRUE(got.open(QIODevice::ReadOnly));
    EXPECT_EQ(got.readAll(), "zip\n");
    EXPECT_EQ(Leftovers(), QStringList()) << "the archive and the copy are gone";

    // A defect folder that is itself a link sends no attachments and says why.
    const QString linked = DefectAttachmentPath(path_, 43);
    ASSERT_TRUE(QFile::link(folder_.path(), linked));
    defect_.Defect_ID = 43;
    QFile::remove(listing);
    ui_.ExpectMessageText(linked);
    ASSERT_TRUE(dispatch_.Dispatch(defect_, request));
    EXPECT_FALSE(QFile::exists(listing)) << "the zip tool never ran";
    ui_.VerifyAllUsed();
}
