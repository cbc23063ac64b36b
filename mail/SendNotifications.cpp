// The send command: the selected defects, the dialog, the recipients and the send loop.

#include "mail/SendNotifications.h"

#include "base/ErrorContext.h"
#include "base/StringTable.h"
#include "base/UserInterface.h"
#include "document/DefectContext.h"
#include "document/DefectPersistence.h"
#include "document/LookupLists.h"
#include "mail/MailOptions.h"
#include "mail/NotificationSender.h"

#include <QRegularExpression>

namespace mail {

namespace {

const QLatin1Char kSeparator(',');

void AppendAddress(QString& list, const QString& address)
{
    if (!list.isEmpty())
        list += kSeparator;
    list += address;
}

} // namespace

QString RecipientList(const SendMailChoices& choices, const DefectRecord& defect, const LookupLists& lookups)
{
    QString list;
    if (choices.extra)
        list = choices.addr;
    if (choices.from)
        if (const StakeholderEntry* author = lookups.FindStakeholder(defect.FromID))
            AppendAddress(list, author->email);
    if (choices.to) {
        if (const StakeholderEntry* addressee = lookups.FindStakeholder(defect.ToID))
            AppendAddress(list, addressee->email);
        list += kSeparator + defect.Cc;
    }
    return list;
}

bool NamesRecipients(const QString& recipients)
{
    static const QRegularExpression separators(QStringLiteral("[\\s,;]"));
    return !recipients.split(separators, Qt::SkipEmptyParts).isEmpty();
}

SendNotifications::SendNotifications(UserInterface& ui, NotificationSender& sender, int mailMethod,
                                     SendMailChoices& history)
    : ui_(ui), sender_(sender), mailMethod_(mailMethod), history_(history)
{
}

int SendNotifications::Run(DefectListSeam& list, DefectPersistence& defects, const LookupLists& lookups)
{
    ErrorContext context("Sending notifications");
    if (!defects.SaveRecord(true))
        return 0;
    std::vector<std::int32_t> ids;
    for (const DefectListSeam::Row& row : list.Rows())
        if (row.selected)
            ids.push_back(row.defectId);
    if (ids.empty() || !AskForSeveral(ids.size()))
        return 0;
    const std::optional<SendMailChoices> choices = RunDialog();
    if (!choices)
        return 0;
    return SendEach(ids, *choices, defects, lookups);
}

bool SendNotifications::AskForSeveral(std::size_t count)
{
    if (count < kSeveralDefects)
        return true;
    return ShowStringMessage(ui_, kSeveralDefectsQuestion, Buttons::YesNo, Icon::Question) == Answer::Yes;
}

std::optional<SendMailChoices> SendNotifications::RunDialog()
{
    SendMailChoices choices = history_;
    choices.to = true;
    if (const std::optional<int> entry = SendEntryForMethod(mailMethod_))
        choices.sendMethod = *entry;
    const bool send = ui_.RunSendMailDialog(choices);
    // Also a cancelled dialog is remembered as it was left.
    history_ = choices;
    if (!send)
        return std::nullopt;
    return choices;
}

int SendNotifications::SendEach(const std::vector<std::int32_t>& ids, const SendMailChoices& choices,
                                DefectPersistence& defects, const LookupLists& lookups)
{
    DispatchRequest request;
    request.includeAttachments = choices.attach;
    request.comment = choices.comment;
    request.method = MethodForSendEntry(choices.sendMethod);

    const int total = static_cast<int>(ids.size());
    const std::unique_ptr<SendProgress> progress = ui_.OpenSendProgress(total);
    int sent = 0;
    for (std::size_t i = 0; i < ids.size(); ++i) {
        progress->Step(static_cast<int>(i), total, FormatString(kSendingStatus, static_cast<int>(i) + 1, total));
        // Each defect is read as stored, without making it current: the user's selection and the
        // form stay as they were.
        const std::optional<DefectRecord> defect = defects.ReadDefect(ids[i]);
        // A defect that could not be read (deleted meanwhile) ends the sending.
        if (!defect)
            break;
        // Each mail goes to its own defect's addressee and cc; a defect that names nobody gets none.
        request.recipients = RecipientList(choices, *defect, lookups);
        if (NamesRecipients(*request.recipients)) {
            if (!sender_.Dispatch(*defect, request))
                break;
            ++sent;
        }
        if (progress->Cancelled())
            break;
    }
    return sent;
}

} // namespace mail
