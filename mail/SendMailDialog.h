#pragma once
// "send mails...": who gets the notifications of the selected defects, with which comment,
// attachments and send method.

#include "base/SendMailPort.h"
#include "base/UserInterface.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLineEdit;

class CSendMailDialog : public QDialog {
    Q_OBJECT
public:
    explicit CSendMailDialog(const SendMailChoices& choices, QWidget* parent = nullptr);

    // The fields as the user left them, whether the dialog ended with Send or Cancel.
    SendMailChoices Choices() const;

private:
    QCheckBox* to_;
    QCheckBox* from_;
    QCheckBox* extra_;
    QLineEdit* addr_;
    QLineEdit* comment_;
    QCheckBox* attach_;
    QComboBox* sendMethod_;
};

// Lets the user edit the choices; true when they chose to send.
bool RunSendMailDialog(SendMailChoices& choices, QWidget* parent);
