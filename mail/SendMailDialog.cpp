// The send dialog and the port's way to run it.

#include "mail/SendMailDialog.h"

#include "mail/MailOptions.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

CSendMailDialog::CSendMailDialog(const SendMailChoices& choices, QWidget* parent)
    : QDialog(parent), to_(new QCheckBox(QStringLiteral("add 'to:' field to the recipients"), this)),
      from_(new QCheckBox(QStringLiteral("add 'from:' field to the recipients"), this)),
      extra_(new QCheckBox(QStringLiteral("add the following addresses to the recipients"), this)),
      addr_(new QLineEdit(choices.addr, this)), comment_(new QLineEdit(choices.comment, this)),
      attach_(new QCheckBox(QStringLiteral("send defect attachments"), this)), sendMethod_(new QComboBox(this))
{
    setWindowTitle(QStringLiteral("send mails..."));
    to_->setChecked(choices.to);
    from_->setChecked(choices.from);
    extra_->setChecked(choices.extra);
    attach_->setChecked(choices.attach);
    addr_->setObjectName(QStringLiteral("addresses"));
    extra_->setObjectName(QStringLiteral("extraAddresses"));
    sendMethod_->setObjectName(QStringLiteral("sendMethod1128"));
    sendMethod_->addItems(mail::SendMethodEntries());
    sendMethod_->setCurrentIndex(
        choices.sendMethod >= 0 && choices.sendMethod < sendMethod_->count() ? choices.sendMethod : 0);
    addr_->setEnabled(choices.extra);
    connect(extra_, &QCheckBox::toggled, addr_, &QWidget::setEnabled);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(to_);
    layout->addWidget(from_);
    layout->addWidget(extra_);
    layout->addWidget(addr_);
    auto* fields = new QFormLayout;
    fields->addRow(QStringLiteral("add comment:"), comment_);
    fields->addRow(QString(), attach_);
    fields->addRow(QStringLiteral("send method:"), sendMethod_);
    layout->addLayout(fields);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("Send"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    setMinimumWidth(420);
}

SendMailChoices CSendMailDialog::Choices() const
{
    return {to_->isChecked(), from_->isChecked(), extra_->isChecked(),        attach_->isChecked(),
            addr_->text(),    comment_->text(),   sendMethod_->currentIndex()};
}

bool RunSendMailDialog(SendMailChoices& choices, QWidget* parent)
{
    CSendMailDialog dialog(choices, parent);
    const bool send = dialog.exec() == QDialog::Accepted;
    choices = dialog.Choices();
    return send;
}
