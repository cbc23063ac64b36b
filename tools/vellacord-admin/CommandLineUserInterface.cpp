// vellacord-admin's port: messages on the error stream, answers from its options, no dialog ever shown.

#include "CommandLineUserInterface.h"

#include "base/SendMailPort.h"

#include <cstdio>

CommandLineUserInterface::CommandLineUserInterface(int workflow, std::map<int, Answer> answers)
    : workflow_(workflow), answers_(std::move(answers)), err_(stderr)
{
}

void CommandLineUserInterface::Print(const QString& text)
{
    QString plain = text;
    plain.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    err_ << "vellacord-admin: " << plain.trimmed() << Qt::endl;
}

Answer CommandLineUserInterface::ShowMessage(const MessageRequest& request)
{
    Print(request.text);
    // The administrator reads the details a window keeps behind its "Details" button.
    if (!request.details.isEmpty())
        Print(QStringLiteral("details: ") + request.details);
    switch (request.buttons) {
    case Buttons::Ok:
        return Answer::Ok;
    case Buttons::OkCancel:
        return Answer::Cancel;
    case Buttons::YesNo:
    case Buttons::YesNoCancel:
        break;
    }
    const auto answer = answers_.find(request.stringId);
    const Answer given = answer != answers_.end() ? answer->second : Answer::No;
    if (request.stringId != 0)
        err_ << "vellacord-admin: answered " << (given == Answer::Yes ? "yes" : "no") << Qt::endl;
    return given;
}

HintAnswer CommandLineUserInterface::ShowHint(const HintRequest& request)
{
    Print(request.text);
    // A hint that asks yes or no is answered as a message is: no, which leaves things as they are.
    if (request.style != HintStyle::YesNo)
        return {};
    err_ << "vellacord-admin: answered no" << Qt::endl;
    return {Answer::No, false};
}

RetryAnswer CommandLineUserInterface::RunRetryDialog(const RetryDialogRequest& request)
{
    Print(request.message.isEmpty() ? QStringLiteral("the database cannot be reached") : request.message);
    return RetryAnswer::Cancel;
}

std::optional<LoginDialogAnswer> CommandLineUserInterface::RunLoginDialog(const LoginDialogRequest&)
{
    return std::nullopt;
}

std::optional<ChangePasswordAnswer> CommandLineUserInterface::RunChangePasswordDialog()
{
    return std::nullopt;
}

std::optional<int> CommandLineUserInterface::ChooseWorkflow()
{
    return workflow_;
}

std::optional<int> CommandLineUserInterface::ChooseTemplate(const TemplateChoiceRequest&)
{
    return std::nullopt;
}

bool CommandLineUserInterface::RunStatusTransitionDialog(StatusTransitionChoices&)
{
    return false;
}

std::optional<QString> CommandLineUserInterface::RunAdministrationDialog(AdministrationActions&, const QString&)
{
    return std::nullopt;
}

void CommandLineUserInterface::RunListEditorDialog(ListEditorActions&)
{
}

std::optional<QString> CommandLineUserInterface::ChooseFile(const FileDialogRequest&)
{
    return std::nullopt;
}

bool CommandLineUserInterface::OpenWithDesktop(const QString&, bool)
{
    return false;
}

void CommandLineUserInterface::ShowHelp(const QString&)
{
    // No dialog of the tool offers help: its --help says it all.
}

namespace {

// Nothing to show and nothing to cancel on the command line.
class SilentProgress : public SendProgress {
public:
    void Step(int, int, const QString&) override { }
    bool Cancelled() const override { return false; }
};

} // namespace

std::unique_ptr<SendProgress> CommandLineUserInterface::OpenSendProgress(int)
{
    return std::make_unique<SilentProgress>();
}
