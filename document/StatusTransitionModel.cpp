// The statuses a defect may move to, the selected one's description, and the comment rule on OK.

#include "document/StatusTransitionModel.h"

#include "base/Check.h"
#include "base/StringTable.h"
#include "base/UserInterface.h"
#include "document/LookupLists.h"

namespace {
constexpr int kCommentRequiredQuestion = 156;
}

StatusTransitionModel::StatusTransitionModel(const std::vector<StatusEntry>& statuses,
                                             const std::vector<StatusTransition>& transitions, int currentStatus,
                                             UserInterface& ui)
    : statuses_(statuses), transitions_(transitions), currentStatus_(currentStatus), ui_(ui)
{
    Fill();
}

void StatusTransitionModel::Fill()
{
    items_.clear();
    selected_ = -1;
    if (showAll_) {
        for (const StatusEntry& status : statuses_) {
            // Template and draft are what a defect starts as, not where it goes; a defect that
            // is one still sees its own status.
            const bool startOnly =
                status.status_id == reserved::kStatusTemplate || status.status_id == reserved::kStatusDraft;
            if (startOnly && status.status_id != currentStatus_)
                continue;
            if (status.status_id == currentStatus_)
                selected_ = static_cast<int>(items_.size());
            items_.push_back({status.status, status.status_id});
        }
        return;
    }
    for (const StatusTransition& transition : transitions_) {
        if (transition.fromStatus != currentStatus_)
            continue;
        const StatusEntry* target = FindStatus(statuses_, transition.toStatus);
        Item item;
        if (target != nullptr) {
            item.text = target->status;
            item.data = target->status_id;
        }
        if (transition.commentWordsRequired > 0)
            item.text += QStringLiteral(" *");
        items_.push_back(item);
    }
    if (!items_.empty())
        selected_ = 0;
}

void StatusTransitionModel::Select(int index)
{
    check::precondition(index >= -1 && index < static_cast<int>(items_.size()), "status item out of range");
    selected_ = index;
}

void StatusTransitionModel::SetShowAll(bool showAll)
{
    showAll_ = showAll;
    Fill();
}

int StatusTransitionModel::SelectedData() const
{
    return selected_ >= 0 ? items_[static_cast<std::size_t>(selected_)].data : -1;
}

bool StatusTransitionModel::IsOkEnabled() const
{
    return SelectedData() != -1;
}

QString StatusTransitionModel::Legend() const
{
    for (const Item& item : items_) {
        if (item.text.endsWith(QLatin1String(" *")))
            return QStringLiteral("* Your workflow asks for a comment when you choose this status.");
    }
    return {};
}

QString StatusTransitionModel::Description() const
{
    const StatusEntry* status = FindStatus(statuses_, SelectedData());
    return status != nullptr ? status->statusdescription : QString();
}

bool StatusTransitionModel::Accept()
{
    check::precondition(IsOkEnabled(), "no status selected");
    const int chosen = SelectedData();
    if (!showAll_) {
        const StatusTransition* found = nullptr;
        for (const StatusTransition& transition : transitions_) {
            if (transition.fromStatus == currentStatus_ && transition.toStatus == chosen) {
                found = &transition;
                break;
            }
        }
        check::invariant(found != nullptr, "cannot find status transition that the user selected");
        const int required = found->commentWordsRequired;
        if (required > 0 && CountCommentWords(comment_) < required) {
            const Answer answer = ShowTextMessage(ui_, FormatString(kCommentRequiredQuestion, required), Buttons::YesNo,
                                                  Icon::Question, kCommentRequiredQuestion);
            if (answer == Answer::Yes)
                return false;
        }
    }
    currentStatus_ = chosen;
    return true;
}

int CountCommentWords(const QString& comment)
{
    int words = 0;
    for (const QString& piece : comment.split(QLatin1Char(' '))) {
        if (piece.toUcs4().size() > 1)
            ++words;
    }
    return words;
}
