// The scripted user interface: expectations answered in order, every interaction recorded, the unexpected failed.

#include "ScriptedUserInterface.h"

#include <gtest/gtest.h>

ScriptedUserInterface::ScriptedUserInterface()
{
    SetUserInterface(this);
}

ScriptedUserInterface::~ScriptedUserInterface()
{
    if (!verified_)
        VerifyAllUsed();
    SetUserInterface(nullptr);
}

void ScriptedUserInterface::Unexpected(const std::string& kind, const QString& text)
{
    ADD_FAILURE() << "unexpected " << kind << ": " << text.toStdString();
}

int ScriptedUserInterface::CountOf(const std::string& kind) const
{
    int count = 0;
    for (const Interaction& interaction : interactions_)
        count += interaction.kind == kind ? 1 : 0;
    return count;
}

void ScriptedUserInterface::VerifyAllUsed()
{
    verified_ = true;
    for (const ExpectedMessage& message : messageAnswers_)
        ADD_FAILURE() << "expected message never shown: id " << message.stringId << " "
                      << message.textPart.toStdString();
    EXPECT_TRUE(hintAnswers_.empty()) << "expected hint never shown";
    EXPECT_TRUE(sendDialogScripts_.empty()) << "expected send-mail dialog never shown";
    EXPECT_TRUE(retryAnswers_.empty()) << "expected retry dialog never shown";
    EXPECT_TRUE(loginAnswers_.empty()) << "expected login dialog never shown";
    EXPECT_TRUE(changePasswordAnswers_.empty()) << "expected change-password dialog never shown";
    EXPECT_TRUE(workflowAnswers_.empty()) << "expected workflow chooser never shown";
    EXPECT_TRUE(templateAnswers_.empty()) << "expected template chooser never shown";
    EXPECT_TRUE(transitionScripts_.empty()) << "expected status transition dialog never shown";
    EXPECT_TRUE(administrationScripts_.empty()) << "expected administration dialog never shown";
    EXPECT_TRUE(fileAnswers_.empty()) << "expected file dialog never shown";
}

void ScriptedUserInterface::ExpectMessage(int stringId, Answer answer)
{
    messageAnswers_.push_back({stringId, QString(), answer});
}

void ScriptedUserInterface::ExpectMessageText(const QString& textPart, Answer answer)
{
    messageAnswers_.push_back({0, textPart, answer});
}

void ScriptedUserInterface::ExpectHint(int hintId, HintAnswer answer)
{
    hintAnswers_.emplace_back(hintId, answer);
}

void ScriptedUserInterface::ExpectRetry(RetryAnswer answer)
{
    retryAnswers_.push_back(answer);
}

void ScriptedUserInterface::ExpectLogin(std::optional<LoginDialogAnswer> answer)
{
    loginAnswers_.push_back([answer](const LoginDialogRequest&) { return answer; });
}

void ScriptedUserInterface::ExpectLoginScript(
    std::function<std::optional<LoginDialogAnswer>(const LoginDialogRequest&)> script)
{
    loginAnswers_.push_back(std::move(script));
}

void ScriptedUserInterface::ExpectChangePassword(std::optional<ChangePasswordAnswer> answer)
{
    changePasswordAnswers_.push_back(std::move(answer));
}

void ScriptedUserInterface::ExpectWorkflowChoice(std::optional<int> index)
{
    workflowAnswers_.push_back(index);
}

void ScriptedUserInterface::ExpectTemplateChoice(std::optional<int> row)
{
    templateAnswers_.push_back([row](const TemplateChoiceRequest&) { return row; });
}

void ScriptedUserInterface::ExpectTemplateScript(std::function<std::optional<int>(const TemplateChoiceRequest&)> script)
{
    templateAnswers_.push_back(std::move(script));
}

void ScriptedUserInterface::ExpectStatusTransition(std::function<bool(StatusTransitionChoices&)> script)
{
    transitionScripts_.push_back(std::move(script));
}

void ScriptedUserInterface::ExpectAdministration(std::function<std::optional<QString>(AdministrationActions&)> script)
{
    administrationScripts_.push_back(std::move(script));
}

void ScriptedUserInterface::ExpectListEditor(std::function<void(ListEditorActions&)> script)
{
    listEditorScripts_.push_back(std::move(script));
}

void ScriptedUserInterface::ExpectFile(std::optional<QString> path)
{
    fileAnswers_.push_back(std::move(path));
}

Answer ScriptedUserInterface::ShowMessage(const MessageRequest& request)
{
    interactions_.push_back({"message", request.stringId, request.text});
    messages.push_back(request);
    if (messageAnswers_.empty()) {
        Unexpected("message", request.text);
        return request.buttons == Buttons::Ok ? Answer::Ok : Answer::Cancel;
    }
    const ExpectedMessage expected = messageAnswers_.front();
    messageAnswers_.pop_front();
    if (expected.stringId != 0)
        EXPECT_EQ(expected.stringId, request.stringId) << "message text: " << request.text.toStdString();
    else
        EXPECT_TRUE(request.text.contains(expected.textPart))
            << "expected \"" << expected.textPart.toStdString() << "\" in \"" << request.text.toStdString() << "\"";
    return expected.answer;
}

HintAnswer ScriptedUserInterface::ShowHint(const HintRequest& request)
{
    interactions_.push_back({"hint", request.hintId, request.text});
    if (hintAnswers_.empty()) {
        Unexpected("hint", request.text);
        return {};
    }
    const auto [hintId, answer] = hintAnswers_.front();
    hintAnswers_.pop_front();
    EXPECT_EQ(hintId, request.hintId);
    return answer;
}

RetryAnswer ScriptedUserInterface::RunRetryDialog(const RetryDialogRequest& request)
{
    interactions_.push_back({"retry", 0, request.message});
    retryRequests.push_back(request);
    if (retryAnswers_.empty()) {
        Unexpected("retry dialog", request.message);
        return RetryAnswer::Cancel;
    }
    const RetryAnswer answer = retryAnswers_.front();
    retryAnswers_.pop_front();
    return answer;
}

std::optional<LoginDialogAnswer> ScriptedUserInterface::RunLoginDialog(const LoginDialogRequest& request)
{
    interactions_.push_back({"login", 0, QString()});
    loginRequests.push_back(request);
    if (loginAnswers_.empty()) {
        Unexpected("login dialog", QString());
        return std::nullopt;
    }
    auto script = std::move(loginAnswers_.front());
    loginAnswers_.pop_front();
    return script(request);
}

std::optional<ChangePasswordAnswer> ScriptedUserInterface::RunChangePasswordDialog()
{
    interactions_.push_back({"change password", 0, QString()});
    if (changePasswordAnswers_.empty()) {
        Unexpected("change-password dialog", QString());
        return std::nullopt;
    }
    auto answer = changePasswordAnswers_.front();
    changePasswordAnswers_.pop_front();
    return answer;
}

std::optional<int> ScriptedUserInterface::ChooseWorkflow()
{
    interactions_.push_back({"workflow", 0, QString()});
    if (workflowAnswers_.empty()) {
        Unexpected("workflow chooser", QString());
        return std::nullopt;
    }
    const std::optional<int> index = workflowAnswers_.front();
    workflowAnswers_.pop_front();
    return index;
}

std::optional<int> ScriptedUserInterface::ChooseTemplate(const TemplateChoiceRequest& request)
{
    interactions_.push_back({"template", 0, request.subjects.join('|')});
    if (templateAnswers_.empty()) {
        Unexpected("template chooser", request.subjects.join('|'));
        return std::nullopt;
    }
    auto script = std::move(templateAnswers_.front());
    templateAnswers_.pop_front();
    return script(request);
}

bool ScriptedUserInterface::RunStatusTransitionDialog(StatusTransitionChoices& model)
{
    interactions_.push_back({"status transition", 0, QString()});
    if (transitionScripts_.empty()) {
        Unexpected("status transition dialog", QString());
        return false;
    }
    auto script = std::move(transitionScripts_.front());
    transitionScripts_.pop_front();
    return script(model);
}

std::optional<QString> ScriptedUserInterface::RunAdministrationDialog(AdministrationActions& actions,
                                                                      const QString& missingDatabase)
{
    interactions_.push_back({"administration", 0, missingDatabase});
    if (administrationScripts_.empty()) {
        Unexpected("administration dialog", QString());
        return std::nullopt;
    }
    auto script = std::move(administrationScripts_.front());
    administrationScripts_.pop_front();
    return script(actions);
}

void ScriptedUserInterface::RunListEditorDialog(ListEditorActions& editor)
{
    interactions_.push_back({"list editor", 0, QString()});
    if (listEditorScripts_.empty()) {
        Unexpected("list editor", QString());
        return;
    }
    auto script = std::move(listEditorScripts_.front());
    listEditorScripts_.pop_front();
    script(editor);
}

std::optional<QString> ScriptedUserInterface::ChooseFile(const FileDialogRequest& request)
{
    interactions_.push_back({"file", 0, request.title});
    fileRequests.push_back(request);
    if (fileAnswers_.empty()) {
        Unexpected("file dialog", request.title);
        return std::nullopt;
    }
    auto answer = fileAnswers_.front();
    fileAnswers_.pop_front();
    return answer;
}

void ScriptedUserInterface::BeginWaitCursor()
{
    ++waitCursorDepth;
    ++waitCursorUses;
}

void ScriptedUserInterface::EndWaitCursor()
{
    --waitCursorDepth;
}

bool ScriptedUserInterface::IsShiftHeld()
{
    return shiftHeld;
}

bool ScriptedUserInterface::OpenWithDesktop(const QString& pathOrUrl, bool)
{
    openedWithDesktop.push_back(pathOrUrl);
    return openWithDesktopSucceeds;
}

void ScriptedUserInterface::ShowHelp(const QString& section)
{
    helpSections.push_back(section);
}

bool ScriptedUserInterface::HasMainWindow()
{
    return mainWindow;
}

void ScriptedUserInterface::ShowOfflineState(int blinkCountdown, const QString& tip)
{
    stateChanges.push_back(QStringLiteral("offline:%1:%2").arg(blinkCountdown).arg(tip));
}

void ScriptedUserInterface::ShowNormalState(const QString& tip)
{
    stateChanges.push_back(QStringLiteral("normal:%1").arg(tip));
}

void ScriptedUserInterface::ExpectSendMailDialog(std::function<bool(SendMailChoices&)> script)
{
    sendDialogScripts_.push_back(std::move(script));
}

bool ScriptedUserInterface::RunSendMailDialog(SendMailChoices& choices)
{
    interactions_.push_back({"send mail", 0, QString()});
    sendDialogOpenedWith.push_back(choices);
    if (sendDialogScripts_.empty()) {
        Unexpected("send-mail dialog", QString());
        return false;
    }
    auto script = std::move(sendDialogScripts_.front());
    sendDialogScripts_.pop_front();
    return script(choices);
}

namespace {

class ScriptedProgress : public SendProgress {
public:
    explicit ScriptedProgress(ScriptedUserInterface& ui) : ui_(ui) { }
    void Step(int, int, const QString& statusText) override { ui_.progressSteps.push_back(statusText); }
    bool Cancelled() const override
    {
        return ui_.cancelProgressAtStep > 0 && static_cast<int>(ui_.progressSteps.size()) >= ui_.cancelProgressAtStep;
    }

private:
    ScriptedUserInterface& ui_;
};

} // namespace

std::unique_ptr<SendProgress> ScriptedUserInterface::OpenSendProgress(int total)
{
    interactions_.push_back({"send progress", total, QString()});
    return std::make_unique<ScriptedProgress>(*this);
}
