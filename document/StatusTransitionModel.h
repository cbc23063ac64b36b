#pragma once
// What the status transition dialog offers and decides, without the dialog: the statuses the
// workflow allows from the current one, the "show all" switch, the description of the selected
// status and the comment rule on OK.

#include "base/StatusTransitionChoices.h"
#include "store/LookupEntries.h"

#include <QString>

#include <vector>

class UserInterface;

class StatusTransitionModel : public StatusTransitionChoices {
public:
    // The lists are the document's and are read live, so they must outlive the model.
    StatusTransitionModel(const std::vector<StatusEntry>& statuses, const std::vector<StatusTransition>& transitions,
                          int currentStatus, UserInterface& ui);

    const std::vector<Item>& Items() const override { return items_; }
    int SelectedIndex() const override { return selected_; } // -1 when nothing is selected
    void Select(int index) override;

    bool ShowAll() const override { return showAll_; }
    void SetShowAll(bool showAll) override;

    bool IsOkEnabled() const override;
    QString Description() const override;
    QString Legend() const override;

    const QString& Comment() const override { return comment_; }
    void SetComment(const QString& comment) override { comment_ = comment; }

    // OK: true when the dialog may close; false when the user wants to add the missing comment.
    bool Accept() override;

    // The status the defect has; after an accepted OK the one the user chose.
    int CurrentStatus() const { return currentStatus_; }

private:
    void Fill();
    int SelectedData() const;

    const std::vector<StatusEntry>& statuses_;
    const std::vector<StatusTransition>& transitions_;
    int currentStatus_;
    UserInterface& ui_;
    std::vector<Item> items_;
    int selected_ = -1;
    bool showAll_ = false;
    QString comment_;
};

// The words of a comment as the workflow counts them: pieces between blanks (only the blank
// separates) that are longer than one character.
int CountCommentWords(const QString& comment);
