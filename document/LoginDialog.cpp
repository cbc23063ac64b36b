// The login dialog: the users sorted by name, the password, and the port's way to run it.

#include "document/LoginDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int kNoSelection = -2;

} // namespace

CLoginDialog::CLoginDialog(const LoginDialogRequest& request, QWidget* parent)
    : QDialog(parent), users_(new QComboBox(this)), password_(new QLineEdit(this))
{
    setWindowTitle(QStringLiteral("Login"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Please select your username from the combobox."), this));

    users_->setObjectName(QStringLiteral("user1011"));
    password_->setObjectName(QStringLiteral("password1132"));
    password_->setEchoMode(QLineEdit::Password);

    // The user list is sorted alphabetically, ignoring case.
    std::vector<ChoiceItem> sorted = request.users;
    std::stable_sort(sorted.begin(), sorted.end(), [](const ChoiceItem& a, const ChoiceItem& b) {
        return a.text.compare(b.text, Qt::CaseInsensitive) < 0;
    });
    for (const ChoiceItem& item : sorted)
        users_->addItem(item.text, item.data);
    users_->setCurrentIndex(users_->findData(request.preselectedData));

    auto* fields = new QFormLayout;
    fields->addRow(QStringLiteral("&User:"), users_);
    fields->addRow(QStringLiteral("&Password:"), password_);
    layout->addLayout(fields);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    if (request.focusPassword)
        password_->setFocus();
    else
        users_->setFocus();
}

LoginDialogAnswer CLoginDialog::Result() const
{
    LoginDialogAnswer answer;
    answer.selectedData = users_->currentIndex() >= 0 ? users_->currentData().toInt() : kNoSelection;
    answer.password = password_->text();
    return answer;
}

std::optional<LoginDialogAnswer> RunLoginDialog(const LoginDialogRequest& request, QWidget* parent)
{
    CLoginDialog dialog(request, parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.Result();
}
