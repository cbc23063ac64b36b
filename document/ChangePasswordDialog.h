#pragma once
// Dialog 262: the current password and the new one twice.

#include "base/UserInterface.h"

#include <QDialog>

class QLineEdit;

class CChangePasswordDialog : public QDialog {
    Q_OBJECT
public:
    explicit CChangePasswordDialog(QWidget* parent = nullptr);

    ChangePasswordAnswer Result() const;

    QLineEdit* currentPassword() const { return current_; }
    QLineEdit* newPassword() const { return new_; }
    QLineEdit* repeatedPassword() const { return repeated_; }

private:
    QLineEdit* current_;
    QLineEdit* new_;
    QLineEdit* repeated_;
};

// The old and new password the user typed, or nothing when cancelled.
std::optional<ChangePasswordAnswer> RunChangePasswordDialog(QWidget* parent);
