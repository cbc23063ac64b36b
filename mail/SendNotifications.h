#pragma once
// "Send email...": notifications for the selected list entries, each to the recipients the send
// dialog names for it, one defect after another with a progress that can be cancelled. The
// selection and the current defect stay as they were.

#include "base/SendMailPort.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

class DefectListSeam;
class DefectPersistence;
class LookupLists;
class UserInterface;
struct DefectRecord;

namespace mail {

class NotificationSender;

// The recipients from the dialog's choices and one defect: the extra addresses, the defect's
// author, its addressee and its cc text, comma-separated.
QString RecipientList(const SendMailChoices& choices, const DefectRecord& defect, const LookupLists& lookups);
// Whether a recipient list names anybody (separators and blanks alone do not).
bool NamesRecipients(const QString& recipients);

class SendNotifications {
public:
    static constexpr int kSeveralDefectsQuestion = 182;
    static constexpr int kSendingStatus = 183;
    // From this many selected defects on, the user is asked first.
    static constexpr int kSeveralDefects = 3;

    // `mailMethod`: this computer's option; `history`: the dialog's remembered choices.
    SendNotifications(UserInterface& ui, NotificationSender& sender, int mailMethod, SendMailChoices& history);

    // Runs the command over the list's selected rows; the number of notifications sent.
    int Run(DefectListSeam& list, DefectPersistence& defects, const LookupLists& lookups);

private:
    bool AskForSeveral(std::size_t count);
    std::optional<SendMailChoices> RunDialog();
    int SendEach(const std::vector<std::int32_t>& ids, const SendMailChoices& choices, DefectPersistence& defects,
                 const LookupLists& lookups);

    UserInterface& ui_;
    NotificationSender& sender_;
    int mailMethod_;
    SendMailChoices& history_;
};

} // namespace mail
