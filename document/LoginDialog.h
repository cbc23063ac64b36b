#pragma once
// Dialog 130: the stakeholder to log in as and the password.

#include "base/UserInterface.h"

#include <QDialog>

class QComboBox;
class QLineEdit;

class CLoginDialog : public QDialog {
    Q_OBJECT
public:
    explicit CLoginDialog(const LoginDialogRequest& request, QWidget* parent = nullptr);

    // The item data of the chosen user (-2 when none is chosen) and the password as typed.
    LoginDialogAnswer Result() const;

    QComboBox* users() const { return users_; }
    QLineEdit* password() const { return password_; }

private:
    QComboBox* users_;
    QLineEdit* password_;
};

// The login and password the user gave, or nothing when cancelled.
std::optional<LoginDialogAnswer> RunLoginDialog(const LoginDialogRequest& request, QWidget* parent);
