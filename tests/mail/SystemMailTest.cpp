// Tests of the system mail: the message as a mail server receives it, and sendmail's failures.

#include "MailFixture.h"

#include "document/DefectTestDoubles.h"

#include "mail/MailStringIds.h"
#include "mail/MimeMessage.h"
#include "mail/Notification.h"
#include "mail/NotificationText.h"
#include "mail/SendNotifications.h"
#include "mail/SystemMailTransport.h"
#include "mail/TemporaryFiles.h"
#include "store/AttachmentDirectory.h"
#include "support/SmtpSink.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>

namespace {

// A received message read by Python's mail package, as an independent reader would see it.
QJsonObject ReadMessage(const QByteArray& raw)
{
    static const char* reader = R"(
import email, email.policy, io, json, sys, zipfile
m = email.message_from_binary_file(sys.stdin.buffer, policy=email.policy.default)
zips = [zipfile.ZipFile(io.BytesIO(p.get_content())).namelist() for p in m.iter_attachments()]
print(json.dumps({'subject': str(m['Subject']), 'from': str(m['From']), 'to': str(m['To']),
    'rcpt': m['X-RcptTo'], 'id': m['Message-ID'], 'reply': m['In-Reply-To'], 'refs': m['References'],
    'auto': m['Auto-Submitted'], 'body': m.get_body(('plain',)).get_content(), 'zips': zips}))
)";
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), QString::fromLatin1(reader)});
    python.write(raw);
    python.closeWriteChannel();
    EXPECT_TRUE(python.waitForFinished(20000));
    EXPECT_EQ(python.exitCode(), 0) << python.readAllStandardError().toStdString();
    return QJsonDocument::fromJson(python.readAllStandardOutput()).object();
}

} // namespace

class SystemMailTest : public MailFixture {
protected:
    SystemMailTest() { qputenv(mail::kSendmailVariable, sink_.sendmailCommand().toUtf8()); }
    ~SystemMailTest() override { qunsetenv(mail::kSendmailVariable); }

    SmtpSink sink_;
};

TEST_F(SystemMailTest, NotificationsArriveEncodedThreadedAndWithTheZippedAttachments)
{
    ASSERT_TRUE(sink_.running());
    defect_.Subject = QStringLiteral("Absturz beim Start – Größe ✓");
    defect_.Description = QStringLiteral("Zeile 1\nÄrger mit dem Umlaut\n.\nEnde");
    system_.email_template = QStringLiteral("%description%");
    system_.compressionTool = QStringLiteral("zip -q -j -r %zipfile% %attachmentdir%");
    const QString attachments = AttachmentDirectory(path_, 42, true);
    for (const char* name : {"screenshot.png", "log.txt"}) {
        QFile file(attachments + '/' + name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(name);
    }

    // The first mail of a computer is a test: told before, asked after; Yes ends the test mode.
    ui_.ExpectMessage(mail::string_id::kSystemMailTestNotice);
    ui_.ExpectMessage(mail::string_id::kSystemMailTestQuestion, Answer::Yes);
    mail::DispatchRequest request = Request(mail::kMethodSystemMail, QStringLiteral("alice, bob;;carol"));
    request.includeAttachments = true;
    ASSERT_TRUE(dispatch_.Dispatch(defect_, request));
    ASSERT_TRUE(dispatch_.Dispatch(defect_, Request(mail::kMethodSystemMail)));
    ui_.VerifyAllUsed();

    const QList<QByteArray> received = sink_.WaitForMessages(2);
    ASSERT_EQ(received.size(), 2);
    EXPECT_TRUE(std::all_of(received[0].begin(), received[0].end(), [](char c) {
        return static_cast<unsigned char>(c) < 0x80;
    })) << "names, subject and body are encoded for 7-bit mail";
    const QJsonObject first = ReadMessage(received[0]);
    const QJsonObject second = ReadMessage(received[1]);
    EXPECT_EQ(first["subject"].toString(), mail::ComposeSubject(defect_, path_, doc_.lookups()));
    EXPECT_EQ(first["from"].toString(), "Änne Groß <ann@example.org>");
    EXPECT_EQ(first["rcpt"].toString(), "alice, bob, carol");
    EXPECT_TRUE(first["body"].toString().startsWith(defect_.Description + "\n\n---"));
    QStringList zipped;
    for (const QJsonValue& name : first["zips"].toArray()[0].toArray())
        zipped << name.toString();
    zipped.sort();
    EXPECT_EQ(zipped, QStringList({"log.txt", "screenshot.png"}));
    EXPECT_TRUE(QDir(mail::TemporaryFolder()).entryList({QStringLiteral("*.zip")}, QDir::Files).isEmpty());

    EXPECT_EQ(second["rcpt"].toString(), "bob@example.org");
    EXPECT_TRUE(second["zips"].toArray().isEmpty());
    EXPECT_EQ(first["auto"].toString(), "auto-generated");
    EXPECT_NE(first["id"], second["id"]);
    EXPECT_TRUE(first["reply"].toString().startsWith("<defect-42."));
    for (const char* header : {"reply", "refs"})
        EXPECT_EQ(first[header], second[header]);
}

// A NUL in a subject or name would end the C string the message is built from.
TEST_F(SystemMailTest, ANulCutsNoHeaderAndMessageIdsHaveADomainWithADot)
{
    mail::Notification notification;
    notification.defectId = 7;
    notification.subject = QStringLiteral("before") + QChar(u'\0') + QStringLiteral("after");
    notification.fromName = QStringLiteral("Ann") + QChar(u'\0') + QStringLiteral("Example");
    notification.fromAddress = QStringLiteral("ann@mail.example.org");
    notification.recipients = QStringLiteral("bob@example.org");
    notification.threadRoot = mail::ThreadRoot(path_, 7, 46000.5);
    QJsonObject read = ReadMessage(mail::BuildMimeMessage(notification));
    EXPECT_EQ(read["subject"].toString(), QStringLiteral("before\u2400after"));
    EXPECT_EQ(read["from"].toString(), QStringLiteral("Ann\u2400Example <ann@mail.example.org>"));

    static const QRegularExpression id(QStringLiteral("^<[^@<>]+@([^@<>]+)>$"));
    EXPECT_EQ(id.match(read["id"].toString()).captured(1), QStringLiteral("mail.example.org"));
    const QString root = id.match(read["reply"].toString()).captured(1);
    EXPECT_TRUE(root.contains(QLatin1Char('.'))) << read["reply"].toString().toStdString();
    // Without an author's domain the program's own, which has a dot too.
    notification.fromAddress = QStringLiteral("ann");
    read = ReadMessage(mail::BuildMimeMessage(notification));
    EXPECT_EQ(id.match(read["id"].toString()).captured(1), root);
}

TEST_F(SystemMailTest, AMissingOrFailingSendmailIsToldWithItsReason)
{
    settings_.hints.push_back(mail::string_id::kSystemMailTestQuestion);
    qputenv(mail::kSendmailVariable, folder_.file(QStringLiteral("none")).toUtf8());
    ui_.ExpectMessage(mail::string_id::kSendmailMissing);
    EXPECT_FALSE(dispatch_.Dispatch(defect_, Request(mail::kMethodSystemMail)));
    qputenv(mail::kSendmailVariable,
            Script(QStringLiteral("sendmail"), QStringLiteral("echo 'no route' >&2; exit 75")).toUtf8());
    ui_.ExpectMessage(mail::string_id::kSendFailed);
    EXPECT_FALSE(dispatch_.Dispatch(defect_, Request(mail::kMethodSystemMail)));
    EXPECT_TRUE(ui_.messages.back().text.endsWith("error code 75\nno route"));
    qputenv(mail::kSendmailVariable,
            Script(QStringLiteral("flood"), QStringLiteral("head -c 20000000 /dev/zero | tr '\\0' x >&2; exit 1"))
                .toUtf8());
    ui_.ExpectMessage(mail::string_id::kSendFailed);
    EXPECT_FALSE(dispatch_.Dispatch(defect_, Request(mail::kMethodSystemMail)));
    EXPECT_LT(ui_.messages.back().text.size(), 5000) << "only the start of a flood of errors is kept";

    mail::Notification nomail;
    nomail.fromName = QStringLiteral("Nomail");
    EXPECT_FALSE(mail::BuildMimeMessage(nomail).contains("<>")) << "servers refuse an empty sender";
}

TEST_F(SystemMailTest, SendEmailForThreeSelectedDefectsDeliversThreeMailsWithTheComment)
{
    ASSERT_TRUE(sink_.running());
    settings_.hints.push_back(mail::string_id::kSystemMailTestQuestion);
    FakeDefectList list(doc_.defects());
    for (std::int32_t id = 1; id <= 3; ++id) {
        InsertDefectRow(setup_, id, 2, 2, 1, QStringLiteral("defect %1").arg(id));
        list.rows.push_back({id, QStringLiteral("Bob"), true});
    }
    doc_.defects().SelectDefect(1);
    ui_.ExpectMessage(mail::SendNotifications::kSeveralDefectsQuestion, Answer::Yes);
    ui_.ExpectSendMailDialog([](SendMailChoices& choices) {
        choices.comment = QStringLiteral("Please retest before Friday.");
        return true;
    });
    SendMailHistory history;
    mail::SendNotifications command(ui_, dispatch_, mail::kMethodSystemMail, history);
    EXPECT_EQ(command.Run(list, doc_.defects(), doc_.lookups()), 3);

    const QList<QByteArray> received = sink_.WaitForMessages(3);
    ASSERT_EQ(received.size(), 3);
    QStringList subjects;
    for (const QByteArray& raw : received) {
        const QJsonObject message = ReadMessage(raw);
        EXPECT_TRUE(message["body"].toString().startsWith("Please retest before Friday.\n\n-----")) << raw.constData();
        EXPECT_EQ(message["rcpt"].toString(), "bob@example.org, cc@x");
        subjects << message["subject"].toString();
    }
    subjects.sort();
    for (int id = 1; id <= 3; ++id)
        EXPECT_TRUE(subjects[id - 1].endsWith(QStringLiteral("'defect %1'").arg(id)))
            << subjects.join('|').toStdString();
}
