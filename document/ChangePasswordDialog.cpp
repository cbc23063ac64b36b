// The change-password dialog: the current password and the new one twice, and the port's way to run it.

#include "document/ChangePasswordDialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QVBoxLayout>

CChangePasswordDialog::CChangePasswordDialog(QWidget* parent)
    : QDialog(parent), current_(new QLineEdit(this)), new_(new QLineEdit(this)), repeated_(new QLineEdit(this))
{
    setWindowTitle(QStringLiteral("Change password"));
    auto* layout = new QVBoxLayout(this);
    auto* fields = new QFormLayout;
    current_->setObjectName(QStringLiteral("current1133"));
    new_->setObjectName(QStringLiteral("new1134"));
    repeated_->setObjectName(QStringLiteral("repeat1135"));
    for (QLineEdit* field : {current_, new_, repeated_})
        field->setEchoMode(QLineEdit::Password);
    fields->addRow(QStringLiteral("Current password:"), current_);
    fields->addRow(QStringLiteral("New password:"), new_);
    fields->addRow(QStringLiteral("Repeat new password:"), repeated_);
    layout->addLayout(fields);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

ChangePasswordAnswer CChangePasswordDialog::Result() const
{
    return {current_->text(), new_->text(), repeated_->text()};
}

std::optional<ChangePasswordAnswer> RunChangePasswordDialog(QWidget* parent)
{
    CChangePasswordDialog dialog(parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.Result();
}
