// Tests of the Send email command.

#include "document/DefectDocFixture.h"
#include "document/DefectTestDoubles.h"

#include "list/DefectList.h"
#include "mail/NotificationSender.h"
#include "mail/SendNotifications.h"
#include "platform/LocalSettings.h"

#include <deque>

namespace {

// Records every dispatch; answers from a queue (true once it is empty).
class RecordingSender : public mail::NotificationSender {
public:
    bool Dispatch(const DefectRecord& defect, const mail::DispatchRequest& request) override
    {
        sent.push_back(defect.Defect_ID);
        requests.push_back(request);
        if (results.empty())
            return true;
        const bool result = results.front();
        results.pop_front();
        return result;
    }
    std::vector<std::int32_t> sent;
    std::vector<mail::DispatchRequest> requests;
    std::deque<bool> results;
};

class SendNotificationsTest : public DefectDocFixture {
protected:
    SendNotificationsTest()
    {
        AddStakeholder(setup_, 1, QStringLiteral("Ann"), QStringLiteral("ann"), {}, {}, QStringLiteral("ann@x"));
        AddStakeholder(setup_, 2, QStringLiteral("Bob"), QStringLiteral("bob"), {}, {}, QStringLiteral("bob@x"));
        for (std::int32_t id = 1; id <= 3; ++id)
            InsertDefectRow(setup_, id, 1, 2);
        doc_.SetOperatingSystemUser([] { return std::nullopt; });
        doc_.SetAutoLogin(QStringLiteral("ann"));
        EXPECT_TRUE(doc_.OnOpenDocument(path_));
        doc_.defects().SelectDefect(1);
    }

    int Send(int rows, int mailMethod = mail::kMethodSystemMail)
    {
        for (std::int32_t id = 1; id <= 3; ++id)
            list_.rows.push_back({id, QStringLiteral("Ann"), id <= rows});
        mail::SendNotifications command(ui_, sender_, mailMethod, history_);
        return command.Run(list_, doc_.defects(), doc_.lookups());
    }

    void ExpectSend(std::function<void(SendMailChoices&)> edit = {})
    {
        ui_.ExpectSendMailDialog([edit](SendMailChoices& choices) {
            if (edit)
                edit(choices);
            return true;
        });
    }

    RecordingSender sender_;
    SendMailHistory history_;
    FakeDefectList list_{doc_.defects()};
};

TEST_F(SendNotificationsTest, TwoRowsSendWithoutTheQuestionToTheCollectedRecipients)
{
    ExpectSend([](SendMailChoices& choices) {
        choices.extra = true;
        choices.addr = QStringLiteral("lead@x");
        choices.from = true;
        choices.comment = QStringLiteral("please look");
        choices.sendMethod = 1;
    });
    EXPECT_EQ(Send(2), 2);
    EXPECT_EQ(sender_.sent, (std::vector<std::int32_t>{1, 2}));
    EXPECT_TRUE(list_.selectedDefects.empty()) << "sending selects no row";
    const mail::DispatchRequest& request = sender_.requests.front();
    EXPECT_EQ(request.recipients.value(), QStringLiteral("lead@x,ann@x,bob@x,cc@x"));
    EXPECT_EQ(request.comment.value(), QStringLiteral("please look"));
    EXPECT_EQ(request.method, mail::kMethodExternalTool);
    EXPECT_EQ(ui_.progressSteps,
              (std::vector<QString>{QStringLiteral("Sending notification 1 of 2..."),
                                    QStringLiteral("Sending notification 2 of 2...")}));
    EXPECT_EQ(ui_.CountOf("message"), 0);
}

TEST_F(SendNotificationsTest, EachDefectGoesToItsOwnAddresseeAndCcAndTheSelectionStays)
{
    InsertDefectRow(setup_, 4, 1, 1);
    Exec(setup_, QStringLiteral("UPDATE defectlist SET cc = 'cc' || defect_id || '@x'"));
    Exec(setup_, QStringLiteral("UPDATE defectlist SET toid = 1 WHERE defect_id IN (2, 4)"));
    Exec(setup_, QStringLiteral("UPDATE defectlist SET toid = 0, cc = '' WHERE defect_id = 3"));
    CDefectList list(doc_);
    list.FillList();
    DefectListModel& model = list.model();
    ASSERT_EQ(model.rowCount(), 4);
    list.SelectDefect(1);
    for (int row = 1; row < 4; ++row)
        model.SetSelected(row, true);

    ui_.ExpectMessage(mail::SendNotifications::kSeveralDefectsQuestion, Answer::Yes);
    ExpectSend([](SendMailChoices& choices) { choices.comment = QStringLiteral("see below"); });
    mail::SendNotifications command(ui_, sender_, mail::kMethodSystemMail, history_);
    EXPECT_EQ(command.Run(list, doc_.defects(), doc_.lookups()), 3);
    EXPECT_EQ(sender_.sent, (std::vector<std::int32_t>{1, 2, 4})) << "defect 3 names nobody and gets no mail";
    QStringList recipients;
    for (const mail::DispatchRequest& request : sender_.requests) {
        recipients << request.recipients.value();
        EXPECT_EQ(request.comment.value(), QStringLiteral("see below"));
    }
    EXPECT_EQ(recipients, (QStringList{"bob@x,cc1@x", "ann@x,cc2@x", "ann@x,cc4@x"}));
    EXPECT_EQ(ui_.progressSteps.size(), 4u);

    EXPECT_EQ(model.SelectedRows(), (std::vector<int>{0, 1, 2, 3})) << "the selection stays";
    EXPECT_EQ(doc_.defects().CurrentDefectId(), 1) << "and so does the defect in the form";

    // The extra address goes to every defect, also to one that names nobody else.
    sender_.sent.clear();
    sender_.requests.clear();
    ui_.ExpectMessage(mail::SendNotifications::kSeveralDefectsQuestion, Answer::Yes);
    ExpectSend([](SendMailChoices& choices) {
        choices.extra = true;
        choices.addr = QStringLiteral("lead@x");
    });
    EXPECT_EQ(command.Run(list, doc_.defects(), doc_.lookups()), 4);
    EXPECT_TRUE(sender_.requests[2].recipients.value().startsWith(QStringLiteral("lead@x")));
    ui_.VerifyAllUsed();
}

TEST_F(SendNotificationsTest, ThreeRowsAskFirstAndNoEndsTheCommand)
{
    ui_.ExpectMessage(mail::SendNotifications::kSeveralDefectsQuestion, Answer::No);
    EXPECT_EQ(Send(3), 0);
    EXPECT_EQ(ui_.CountOf("send mail"), 0);
}

TEST_F(SendNotificationsTest, AFailedDispatchOrCancelEndsTheLoop)
{
    ui_.ExpectMessage(mail::SendNotifications::kSeveralDefectsQuestion, Answer::Yes);
    ExpectSend();
    sender_.results = {true, false};
    EXPECT_EQ(Send(3), 1);
    EXPECT_EQ(sender_.sent, (std::vector<std::int32_t>{1, 2}));

    // Cancel pressed while the first mail goes out: the second is not sent.
    sender_.sent.clear();
    list_.rows.clear();
    ui_.progressSteps.clear();
    ui_.cancelProgressAtStep = 1;
    ExpectSend();
    EXPECT_EQ(Send(2), 1);
    EXPECT_EQ(sender_.sent, (std::vector<std::int32_t>{1}));
}

TEST_F(SendNotificationsTest, TheDialogRemembersEvenWhenCancelledAndPreselectsTheComputersMethod)
{
    history_.sendMethod = 1;
    history_.to = false;
    ui_.ExpectSendMailDialog([](SendMailChoices& choices) {
        choices.addr = QStringLiteral("typed@x");
        return false;
    });
    EXPECT_EQ(Send(1, mail::kMethodNoMail), 0);
    EXPECT_TRUE(sender_.sent.empty());
    EXPECT_EQ(history_.addr, QStringLiteral("typed@x"));
    // "no mail" keeps the last used method; "to:" is checked whenever the dialog opens.
    EXPECT_EQ(ui_.sendDialogOpenedWith.back().sendMethod, 1);
    EXPECT_TRUE(ui_.sendDialogOpenedWith.back().to);

    list_.rows.clear();
    ExpectSend();
    Send(1, mail::kMethodSystemMail);
    EXPECT_EQ(ui_.sendDialogOpenedWith.back().sendMethod, 0);
}

TEST_F(SendNotificationsTest, NothingIsSentWithoutAnAddress)
{
    // Only "to:", and the addressee has neither an address nor a cc: the list is a lone comma.
    Exec(setup_, QStringLiteral("UPDATE stakeholder SET email = '' WHERE stakeholder_id = 2"));
    Exec(setup_, QStringLiteral("UPDATE defectlist SET cc = ''"));
    doc_.lookups().LoadLookups(true);
    doc_.defects().LoadDefect(1, true);
    ExpectSend();
    EXPECT_EQ(Send(1), 0);
    EXPECT_TRUE(sender_.sent.empty());
    EXPECT_FALSE(mail::NamesRecipients(QStringLiteral(", ;")));
}

} // namespace
