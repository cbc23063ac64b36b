#pragma once
// "sending mails...": the progress of a send command, with Cancel, over the disabled main window.

#include "base/SendMailPort.h"
#include "base/UserInterface.h"

#include <QDialog>
#include <QPointer>

class QLabel;
class QProgressBar;

class CSendProgressDialog : public QDialog, public SendProgress {
    Q_OBJECT
public:
    CSendProgressDialog(int total, QWidget* mainWindow);
    ~CSendProgressDialog() override;

    void Step(int sent, int total, const QString& statusText) override;
    bool Cancelled() const override { return cancelled_; }
    // Cancel, Escape and the window's close button: the dialog stays until the loop has ended.
    void reject() override { cancelled_ = true; }

protected:
    // A request to close the main window ends the sending like Cancel.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ShowStatus(const QString& text);

    QPointer<QWidget> mainWindow_;
    QProgressBar* bar_;
    QLabel* text_;
    bool cancelled_ = false;
};

// Shows the progress of sending total mails until the returned object goes.
std::unique_ptr<SendProgress> OpenSendProgressDialog(int total, QWidget* parent);
