#pragma once
// A user-interface double: answers from queues set up by the test, records every interaction
// with its text, and fails the test on an interaction nobody expected.

#include "base/SendMailPort.h"
#include "base/UserInterface.h"

#include <deque>
#include <functional>
#include <string>
#include <vector>

class ScriptedUserInterface : public UserInterface {
public:
    struct Interaction {
        std::string kind; // "message", "hint", "retry", "login", ...
        int id = 0;       // string id or hint id
        QString text;
    };

    ScriptedUserInterface();
    ~ScriptedUserInterface() override;

    // Expectations, answered in order per kind.
    void ExpectMessage(int stringId, Answer answer = Answer::Ok);
    void ExpectMessageText(const QString& textPart, Answer answer = Answer::Ok);
    void ExpectHint(int hintId, HintAnswer answer);
    void ExpectRetry(RetryAnswer answer);
    void ExpectLogin(std::optional<LoginDialogAnswer> answer);
    void ExpectLoginScript(std::function<std::optional<LoginDialogAnswer>(const LoginDialogRequest&)> script);
    void ExpectChangePassword(std::optional<ChangePasswordAnswer> answer);
    // None: the chooser is cancelled.
    void ExpectWorkflowChoice(std::optional<int> index);
    void ExpectTemplateChoice(std::optional<int> row);
    void ExpectTemplateScript(std::function<std::optional<int>(const TemplateChoiceRequest&)> script);
    void ExpectStatusTransition(std::function<bool(StatusTransitionChoices&)> script);
    void ExpectAdministration(std::function<std::optional<QString>(AdministrationActions&)> script);
    void ExpectListEditor(std::function<void(ListEditorActions&)> script);
    void ExpectFile(std::optional<QString> path);

    bool shiftHeld = false;
    bool mainWindow = false;
    bool openWithDesktopSucceeds = true;

    const std::vector<Interaction>& interactions() const { return interactions_; }
    int CountOf(const std::string& kind) const;
    // Every expectation was used; call at the end of a test (the destructor checks it too).
    void VerifyAllUsed();

    std::vector<MessageRequest> messages;
    std::vector<RetryDialogRequest> retryRequests;
    std::vector<LoginDialogRequest> loginRequests;
    std::vector<FileDialogRequest> fileRequests;
    std::vector<QString> openedWithDesktop;
    std::vector<QString> helpSections; // the guide's sections that help was asked for
    std::vector<QString> stateChanges; // "offline:<blink>:<tip>", "normal:<tip>"
    int waitCursorDepth = 0;
    int waitCursorUses = 0;

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

    // The send-mail dialog: each script edits the choices and says whether Send was pressed.
    void ExpectSendMailDialog(std::function<bool(SendMailChoices&)> script);
    std::vector<SendMailChoices> sendDialogOpenedWith; // the choices each send dialog opened with
    std::vector<QString> progressSteps;                // the status text of every progress step
    int cancelProgressAtStep = 0;                      // Cancel is pressed during this step (1-based)
    bool RunSendMailDialog(SendMailChoices& choices) override;
    std::unique_ptr<SendProgress> OpenSendProgress(int total) override;

private:
    struct ExpectedMessage {
        int stringId;
        QString textPart;
        Answer answer;
    };
    void Unexpected(const std::string& kind, const QString& text);

    std::vector<Interaction> interactions_;
    std::deque<ExpectedMessage> messageAnswers_;
    std::deque<std::pair<int, HintAnswer>> hintAnswers_;
    std::deque<RetryAnswer> retryAnswers_;
    std::deque<std::function<std::optional<LoginDialogAnswer>(const LoginDialogRequest&)>> loginAnswers_;
    std::deque<std::optional<ChangePasswordAnswer>> changePasswordAnswers_;
    std::deque<std::optional<int>> workflowAnswers_;
    std::deque<std::function<std::optional<int>(const TemplateChoiceRequest&)>> templateAnswers_;
    std::deque<std::function<bool(StatusTransitionChoices&)>> transitionScripts_;
    std::deque<std::function<std::optional<QString>(AdministrationActions&)>> administrationScripts_;
    std::deque<std::function<void(ListEditorActions&)>> listEditorScripts_;
    std::deque<std::optional<QString>> fileAnswers_;
    std::deque<std::function<bool(SendMailChoices&)>> sendDialogScripts_;
    bool verified_ = false;
};
