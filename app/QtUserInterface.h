#pragma once
// The user-interface port with real windows. Each dialog lives beside the logic it serves and
// offers one plain function (store/DBRetryDialog.h has RunRetryDialog(request, parent)); this
// class calls them with the main window as parent.

#include "base/UserInterface.h"
#include "platform/OleDate.h"

#include <QPointer>
#include <QWidget>

class QtUserInterface : public UserInterface {
public:
    // The dialogs' countdowns read `clock`.
    explicit QtUserInterface(const Clock& clock = SystemClockInstance()) : clock_(clock) { }

    // The window dialogs are parented to; none before the main window exists.
    void SetMainWindow(QWidget* window) { mainWindow_ = window; }
    QWidget* MainWindow() const { return mainWindow_; }

    Answer ShowMessage(const MessageRequest& request) override;
    HintAnswer ShowHint(const HintRequest& request) override;
    RetryAnswer RunRetryDialog(const RetryDialogRequest& request) override;
    std::optional<LoginDialogAnswer> RunLoginDialog(const LoginDialogRequest& request) override;
    std::optional<ChangePasswordAnswer> RunChangePasswordDialog() override;
    std::optional<int> ChooseWorkflow() override;
    std::optional<int> ChooseTemplate(const TemplateChoiceRequest& request) override;
    bool RunStatusTransitionDialog(StatusTransitionChoices& model) override;
    std::optional<QString> RunAdministrationDialog(AdministrationActions& actions,
                                                   const QString& missingDatabase) override;
    void RunListEditorDialog(ListEditorActions& editor) override;
    std::optional<QString> ChooseFile(const FileDialogRequest& request) override;
    void BeginWaitCursor() override;
    void EndWaitCursor() override;
    bool IsShiftHeld() override;
    bool OpenWithDesktop(const QString& pathOrUrl, bool inBackground) override;
    void ShowHelp(const QString& section) override;
    bool HasMainWindow() override;
    void ShowOfflineState(int blinkCountdown, const QString& tip) override;
    void ShowNormalState(const QString& tip) override;
    bool RunSendMailDialog(SendMailChoices& choices) override;
    std::unique_ptr<SendProgress> OpenSendProgress(int total) override;

private:
    const Clock& clock_;
    QPointer<QWidget> mainWindow_;
};
