#pragma once
// The user-interface port of vellacord-admin: messages go to the error stream, and the questions
// the administration asks are answered from the command line's options, never interactively.

#include "base/UserInterface.h"

#include <QTextStream>

#include <map>

class CommandLineUserInterface : public UserInterface {
public:
    // workflow: the chooser's index (0 standard, 1 simple, 2 none); answers: the answer to each
    // question by string id. Any other question is answered No, which leaves things as they are.
    CommandLineUserInterface(int workflow, std::map<int, Answer> answers);

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
    void BeginWaitCursor() override { }
    void EndWaitCursor() override { }
    bool IsShiftHeld() override { return false; }
    bool OpenWithDesktop(const QString& pathOrUrl, bool inBackground) override;
    void ShowHelp(const QString& section) override;
    bool HasMainWindow() override { return false; }
    void ShowOfflineState(int, const QString&) override { }
    void ShowNormalState(const QString&) override { }
    // The tool sends no mail: the send command ends at its dialog.
    bool RunSendMailDialog(SendMailChoices&) override { return false; }
    std::unique_ptr<SendProgress> OpenSendProgress(int total) override;

private:
    void Print(const QString& text);

    int workflow_;
    std::map<int, Answer> answers_;
    QTextStream err_;
};
