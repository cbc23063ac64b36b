// Tests of the external mail and zip tools: arguments, temporary files, time-outs and failures.

#include "MailFixture.h"

#include "mail/CommandTemplate.h"
#include "mail/MailOptions.h"
#include "mail/MailStringIds.h"
#include "mail/NotificationText.h"
#include "mail/TemporaryFiles.h"
#include "store/AttachmentDirectory.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTimer>

#include <cerrno>

using ExternalToolTest = MailFixture;

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
    const QString textFile = mail::TemporaryBase(42) + ".txt";
    EXPECT_EQ(RecordedArguments(QStringLiteral("mailtool")),
              QStringList({"alice,bob,carol", "%to%", "--from=ann@example.org",
                           mail::ComposeSubject(defect_, path_, doc_.lookups()), textFile}));
    EXPECT_FALSE(QFile::exists(folder_.file("ran")));
    EXPECT_EQ(mail::FillCommandTemplate("t \"%to% here\" %from%", {{"%to%", "%from%"}, {"%from%", "x"}}),
              QStringList({"t", "%from% here", "x"}))
        << "a value is never searched for the tokens after it";
    EXPECT_TRUE(RecordedArguments(QStringLiteral("ziptool")).isEmpty()) << "no %attachments%, no archive";
    QFile body(folder_.file(QStringLiteral("mailtool.body")));
    ASSERT_TRUE(body.open(QIODevice::ReadOnly));
    EXPECT_TRUE(body.readAll().startsWith("Defect: 42\r\nStatus: open"));
    EXPECT_FALSE(QFile::exists(textFile));
    EXPECT_FALSE(QFile::exists(mail::TemporaryBase(1) + ".output.txt"));

    // No archive: the tool gets a placeholder file saying so, removed after success.
    system_.sendmailTool =
        Script(QStringLiteral("copytool"), QStringLiteral("cat \"$1\" > '%1'").arg(folder_.file("got"))) +
        QStringLiteral(" %attachments%");
    ASSERT_TRUE(dispatch_.Dispatch(defect_, Request(mail::kMethodExternalTool)));
    QFile got(folder_.file("got"));
    ASSERT_TRUE(got.open(QIODevice::ReadOnly));
    EXPECT_EQ(got.readAll(), "no attachments");
    EXPECT_FALSE(QFile::exists(mail::TemporaryBase(42) + "-empty.txt"));
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
    const QString output = mail::TemporaryBase(1) + ".output.txt";
    ASSERT_EQ(ui_.openedWithDesktop, std::vector<QString>{output});
    QFile log(output);
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_TRUE(log.readAll().contains("\r\n\r\nstarting\n"));
    log.remove();
    QFile::remove(mail::TemporaryBase(42) + ".txt");
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
    QFile::remove(mail::TemporaryBase(1) + ".output.txt");
    QFile::remove(mail::TemporaryBase(42) + ".txt");
}

TEST_F(ExternalToolTest, ABodyThatCannotBeWrittenIsAFailureAndTheToolDoesNotRun)
{
    system_.sendmailTool = RecordingTool(QStringLiteral("mailtool")) + " %textfile%";
    const QString textFile = mail::TemporaryBase(42) + ".txt";
    ASSERT_TRUE(QDir().mkpath(textFile)) << "a folder in the way of the text file";
    ui_.ExpectMessage(mail::string_id::kExternalToolFailed);

    const bool sent = dispatch_.Dispatch(defect_, Request(mail::kMethodExternalTool));
    QDir().rmdir(textFile);
    EXPECT_FALSE(sent);
    EXPECT_TRUE(RecordedArguments(QStringLiteral("mailtool")).isEmpty());
    ASSERT_FALSE(ui_.messages.empty());
    EXPECT_TRUE(ui_.messages.back().text.contains(QStringLiteral("error code %1").arg(EISDIR)));
}
