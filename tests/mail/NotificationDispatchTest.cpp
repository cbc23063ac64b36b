// Tests of choosing the transport, the addressee and the notification after a save.

#include "MailFixture.h"

#include "mail/MailStringIds.h"
#include "mail/NotificationText.h"
#include "mail/NotifyOnSave.h"

#include <QTimer>

namespace {

class RecordingSender : public mail::NotificationSender {
public:
    bool Dispatch(const DefectRecord& defect, const mail::DispatchRequest& request) override
    {
        sent.push_back({defect.Defect_ID, request});
        return true;
    }
    std::vector<std::pair<int, mail::DispatchRequest>> sent;
};

} // namespace

using NotificationDispatchTest = MailFixture;

TEST_F(NotificationDispatchTest, MethodAndAddresseeDecideWhetherAnythingIsSent)
{
    system_.sendmailTool = RecordingTool(QStringLiteral("tool")) + QStringLiteral(" %to%");
    bool optionsOpened = false;
    QObject::connect(&dispatch_, &mail::NotificationDispatch::mailOptionsRequested, [&] {
        optionsOpened = true;
        settings_.mailSettings.mailMethod = mail::kMethodExternalTool;
    });

    // Not configured: the hint; No sends nothing, Yes opens the options and sends by their choice.
    ui_.ExpectHint(mail::string_id::kMailNotConfiguredHint, {Answer::No, false});
    EXPECT_TRUE(dispatch_.Dispatch(defect_, Request(mail::kMethodNotConfigured)));
    EXPECT_FALSE(optionsOpened);
    EXPECT_TRUE(RecordedArguments(QStringLiteral("tool")).isEmpty());
    ui_.ExpectHint(mail::string_id::kMailNotConfiguredHint, {Answer::Yes, false});
    EXPECT_TRUE(dispatch_.Dispatch(defect_, Request(mail::kMethodNotConfigured)));
    EXPECT_TRUE(optionsOpened);
    EXPECT_EQ(RecordedArguments(QStringLiteral("tool")), QStringList{"bob@example.org"}) << "no trailing comma";

    // No mail, and an addressee without e-mail: success without a question or a mail.
    QFile::remove(folder_.file(QStringLiteral("tool.args")));
    settings_.mailSettings.mailMethod = mail::kMethodNoMail;
    EXPECT_TRUE(dispatch_.Dispatch(defect_, Request(mail::kMethodNotConfigured)));
    defect_.ToID = 3;
    defect_.Cc = QStringLiteral("carol@example.org");
    EXPECT_TRUE(dispatch_.Dispatch(defect_, Request(mail::kMethodExternalTool)));
    EXPECT_TRUE(RecordedArguments(QStringLiteral("tool")).isEmpty());
    EXPECT_EQ(ui_.CountOf("hint"), 2);
}

TEST_F(NotificationDispatchTest, OnlySavesOfRealDefectsNotifyWithTheAttachmentOption)
{
    RecordingSender sender;
    mail::NotifyOnSave(doc_, sender);
    settings_.includeAttachments = true;
    for (const int status : {0, 999, 2}) {
        defect_.StatusID = status;
        emit doc_.defectSaved(defect_.Defect_ID, 1.0, defect_);
    }
    ASSERT_EQ(sender.sent.size(), 1U);
    const mail::DispatchRequest& request = sender.sent[0].second;
    EXPECT_EQ(request.method, mail::kMethodNotConfigured);
    EXPECT_TRUE(request.includeAttachments);
    EXPECT_FALSE(request.recipients || request.comment);
}

TEST_F(NotificationDispatchTest, TheCommentsOfTheSavedStatusChangesGoWithTheirMailOnce)
{
    RecordingSender sender;
    mail::NotifyOnSave(doc_, sender);
    doc_.AddHistoryEntry(defect_, 4, QStringLiteral("  null pointer in the parser "));
    doc_.AddHistoryEntry(defect_, 10, QString()); // a change without a comment adds no line
    DefectRecord other = defect_;
    other.Defect_ID = 43;
    doc_.AddHistoryEntry(other, 7, QStringLiteral("duplicate of 42"));
    doc_.AddHistoryEntry(defect_, 11, QStringLiteral("comes back on ARM"));

    emit doc_.defectSaved(defect_.Defect_ID, 1.0, defect_);
    emit doc_.defectSaved(defect_.Defect_ID, 2.0, defect_);
    ASSERT_EQ(sender.sent.size(), 2U);
    const auto& first = sender.sent[0].second.comment;
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(*first, QStringLiteral("fixed: null pointer in the parser\nreopened: comes back on ARM"));
    EXPECT_FALSE(sender.sent[1].second.comment) << "a later save without a status change carries none";

    // The comment reaches the body above the template.
    const QString body = mail::ComposeBody(first, defect_, QString(), doc_.lookups());
    EXPECT_TRUE(body.startsWith(QStringLiteral("fixed: null pointer in the parser"))) << body.toStdString();
    EXPECT_EQ(doc_.TakeStatusComments(43), QStringLiteral("rejected: duplicate of 42"));
}

TEST_F(NotificationDispatchTest, WhileAToolIsWaitedForNoTimerRunsAndASecondMailWaitsItsTurn)
{
    const QString log = folder_.file(QStringLiteral("log"));
    system_.sendmailTool =
        Script(QStringLiteral("tool"),
               QStringLiteral("echo \"start $1\" >> '%1'; sleep 0.3; echo \"end $1\" >> '%1'").arg(log)) +
        " %to%";
    bool pausedDuringTheTool = false;
    bool secondAccepted = false;
    QTimer::singleShot(50, [&] {
        pausedDuringTheTool = doc_.timers().paused();
        secondAccepted = dispatch_.Dispatch(defect_, Request(mail::kMethodExternalTool, QStringLiteral("second")));
    });
    EXPECT_TRUE(dispatch_.Dispatch(defect_, Request(mail::kMethodExternalTool, QStringLiteral("first"))));
    EXPECT_TRUE(pausedDuringTheTool) << "an auto-close or refresh would run under the save";
    EXPECT_FALSE(doc_.timers().paused());
    EXPECT_TRUE(secondAccepted);
    QFile file(log);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "start first\nend first\nstart second\nend second\n") << "the two share temporary files";
}
