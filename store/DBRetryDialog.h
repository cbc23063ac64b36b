#pragma once
// The dialog that waits for the database file: it retries by itself when its countdown runs out,
// flashes the main window for a while, and stays out of sight while the main window is hidden.

#include "base/UserInterface.h"
#include "platform/OleDate.h"
#include "store/RetryCountdown.h"

#include <QDialog>
#include <QPointer>
#include <QTimer>

#include <vector>

class QLabel;

class CDBRetryDialog : public QDialog {
    Q_OBJECT

public:
    // Ends with Accepted for Retry (also when the countdown runs out) and Rejected for Cancel.
    // The countdown reads `clock` once per tick.
    CDBRetryDialog(QWidget* parent, const QString& message, int autoRetrySeconds, int flashCount, bool startHidden,
                   const Clock& clock = SystemClockInstance());
    ~CDBRetryDialog() override;

    // Runs the dialog modally. Unlike exec(), hiding the dialog with the main window does not end it.
    int Run();

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Tick();
    void ShowCountdown();
    bool ParentHiddenOrMinimised() const;
    void HideParentPopups();
    void ShowParentPopups();

    QLabel* countdown_ = nullptr;
    QString countdownFormat_;
    QTimer timer_;
    RetryCountdown countdownTime_;
    int flashCount_ = 0; // ticks left to flash the main window
    bool startHidden_ = false;
    bool parentWasVisible_ = false;
    std::vector<QPointer<QWidget>> hiddenPopups_;
};

// Waits for the user (or the countdown) to retry or cancel.
RetryAnswer RunRetryDialog(const RetryDialogRequest& request, QWidget* parent,
                           const Clock& clock = SystemClockInstance());
