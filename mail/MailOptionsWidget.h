#pragma once
// The "Mail" page of the options: this computer's mail method and whether attachments go along.

#include "mail/MailOptions.h"

#include <QWidget>

class QButtonGroup;
class QCheckBox;

class CMailOptionsPage : public QWidget {
    Q_OBJECT
public:
    CMailOptionsPage(mail::MethodChoice method, bool includeAttachments, QWidget* parent = nullptr);

    mail::MethodChoice method() const;
    bool includeAttachments() const;

private:
    QButtonGroup* methods_;
    QCheckBox* attachments_;
};
