// The mail options page.

#include "mail/MailOptionsWidget.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>

CMailOptionsPage::CMailOptionsPage(mail::MethodChoice method, bool includeAttachments, QWidget* parent)
    : QWidget(parent), methods_(new QButtonGroup(this)),
      attachments_(new QCheckBox(QStringLiteral("Include defect attachments in mails"), this))
{
    auto* group = new QGroupBox(QStringLiteral("Method"), this);
    auto* grid = new QGridLayout(group);
    const mail::MethodChoice choices[] = {mail::MethodChoice::SystemMail, mail::MethodChoice::ExternalTool,
                                          mail::MethodChoice::NoMail};
    const char* const names[] = {"systemMail1071", "externalTool1073", "noMail1074"};
    for (int row = 0; row < 3; ++row) {
        auto* button = new QRadioButton(mail::ChoiceText(choices[row]), group);
        button->setObjectName(QLatin1String(names[row]));
        methods_->addButton(button, static_cast<int>(choices[row]));
        auto* explanation = new QLabel(mail::ChoiceExplanation(choices[row]), group);
        explanation->setWordWrap(true);
        grid->addWidget(button, row, 0, Qt::AlignTop);
        grid->addWidget(explanation, row, 1);
    }
    grid->setColumnStretch(1, 1);
    methods_->button(static_cast<int>(method))->setChecked(true);
    attachments_->setObjectName(QStringLiteral("includeAttachments1118"));
    attachments_->setChecked(includeAttachments);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addWidget(attachments_);
    layout->addStretch(1);
}

mail::MethodChoice CMailOptionsPage::method() const
{
    return static_cast<mail::MethodChoice>(methods_->checkedId());
}

bool CMailOptionsPage::includeAttachments() const
{
    return attachments_->isChecked();
}
