#pragma once
// What the status transition dialog works on: the offered statuses, the "show all" switch, the
// description and the comment. The document's model implements it, so the port names no
// document type.

#include <QString>

#include <vector>

class StatusTransitionChoices {
public:
    struct Item {
        QString text;
        int data = -1; // the status id; -1 for a line that cannot be chosen
    };

    virtual ~StatusTransitionChoices() = default;

    virtual const std::vector<Item>& Items() const = 0;
    virtual int SelectedIndex() const = 0; // -1 when nothing is selected
    virtual void Select(int index) = 0;

    virtual bool ShowAll() const = 0;
    virtual void SetShowAll(bool showAll) = 0;

    virtual bool IsOkEnabled() const = 0;
    virtual QString Description() const = 0;
    // Explains the marks of the offered items; empty when no item carries one.
    virtual QString Legend() const = 0;

    virtual const QString& Comment() const = 0;
    virtual void SetComment(const QString& comment) = 0;

    // OK: true when the dialog may close; false when the user wants to add the missing comment.
    virtual bool Accept() = 0;
};
