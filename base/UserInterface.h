#pragma once
// The user-interface port: every message box, question, hint and modal dialog that the logic
// needs goes through this interface, so that the logic runs and is tested without a screen.

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <vector>

enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel };
enum class Icon { None, Information, Question, Warning, Error };

// Button results keep the platform's numbers: a hint dialog ends with them as its result code.
enum class Answer { Ok = 1, Cancel = 2, Yes = 6, No = 7 };

struct MessageRequest {
    QString text;    // what the user reads: no engine text, status code or function name
    QString details; // shown behind "Details" when not empty: the engine's report, codes, context
    Buttons buttons = Buttons::Ok;
    Icon icon = Icon::None;
    int stringId = 0;        // the string-table id the text came from, 0 for literal texts
    bool foreground = false; // bring the box to the foreground
};

// Hint styles: only the low four bits count.
enum class HintStyle { Ok = 0, YesNo = 4, OkCancel = 1 };

struct HintRequest {
    int hintId = 0;
    QString text;
    HintStyle style = HintStyle::Ok;
    bool checkBoxTicked = false;
};

struct HintAnswer {
    Answer result = Answer::Ok;
    bool dontShowAgain = false;
};

struct RetryDialogRequest {
    QString message; // replaces the dialog's template text when not empty
    int autoRetrySeconds = 180;
    int flashCount = 0;
    bool startHidden = false;
};

enum class RetryAnswer { Retry, Cancel };

struct ChoiceItem {
    QString text;
    int data = 0;
};

struct LoginDialogRequest {
    std::vector<ChoiceItem> users; // the dialog's combo box sorts them alphabetically
    int preselectedData = -2;      // item data to select; no selection when no item carries it
    bool focusPassword = false;
};

struct LoginDialogAnswer {
    int selectedData = -1;
    QString password;
};

struct ChangePasswordAnswer {
    QString currentPassword;
    QString newPassword;
    QString repeatedPassword;
};

struct FileDialogRequest {
    enum class Kind { Open, Save } kind = Kind::Open;
    QString title;
    QString initialPath;
    QString filter;           // "*.defl|*.defl|*.mdb|*.mdb||" style
    QString defaultExtension; // without the dot
    bool overwritePrompt = false;
};

struct TemplateChoiceRequest {
    QStringList subjects; // row i shows shortcut (i + 1) mod 10 for the first ten rows
    int preselectedRow = 0;
};

class StatusTransitionChoices;
class AdministrationActions;
class ListEditorActions;
class SendProgress;
struct SendMailChoices;

class UserInterface {
public:
    virtual ~UserInterface() = default;

    virtual Answer ShowMessage(const MessageRequest& request) = 0;
    virtual HintAnswer ShowHint(const HintRequest& request) = 0;

    virtual RetryAnswer RunRetryDialog(const RetryDialogRequest& request) = 0;

    virtual std::optional<LoginDialogAnswer> RunLoginDialog(const LoginDialogRequest& request) = 0;
    virtual std::optional<ChangePasswordAnswer> RunChangePasswordDialog() = 0;

    // The workflow chooser: 0 standard, 1 simple, 2 import your own; none when it was cancelled.
    virtual std::optional<int> ChooseWorkflow() = 0;

    // The template chooser: the chosen row, or none when cancelled.
    virtual std::optional<int> ChooseTemplate(const TemplateChoiceRequest& request) = 0;

    // The status transition dialog works on the model; true when it ended with OK.
    virtual bool RunStatusTransitionDialog(StatusTransitionChoices& model) = 0;

    // The administration dialog: the path to open, or none when it was closed without one.
    // `missingDatabase`: where the program looked for a database and found none (empty: it did
    // not look); the dialog says so and proposes that path for a new database.
    virtual std::optional<QString> RunAdministrationDialog(AdministrationActions& actions,
                                                           const QString& missingDatabase) = 0;

    // The list editor: modal; it stores through the actions and ends when they allow it.
    virtual void RunListEditorDialog(ListEditorActions& editor) = 0;

    virtual std::optional<QString> ChooseFile(const FileDialogRequest& request) = 0;

    virtual void BeginWaitCursor() = 0;
    virtual void EndWaitCursor() = 0;

    virtual bool IsShiftHeld() = 0;

    // Opens a file or an address with the desktop's default program; false when that failed.
    virtual bool OpenWithDesktop(const QString& pathOrUrl, bool inBackground) = 0;
    // Opens the user guide at a section (an anchor of the guide; empty for its top).
    virtual void ShowHelp(const QString& section) = 0;

    // The main window's side of the connection state and the login.
    virtual bool HasMainWindow() = 0;
    virtual void ShowOfflineState(int blinkCountdown, const QString& tip) = 0;
    virtual void ShowNormalState(const QString& tip) = 0;

    // The send-mail dialog edits the choices; true when it closed with Send.
    virtual bool RunSendMailDialog(SendMailChoices& choices) = 0;
    // The progress dialog of a send command over `total` defects; the main window is disabled
    // while the returned object lives.
    virtual std::unique_ptr<SendProgress> OpenSendProgress(int total) = 0;
};

// The port the running program uses; set once at start-up (tests set their double).
UserInterface& TheUserInterface();
void SetUserInterface(UserInterface* ui);

// Shows the wait cursor for the lifetime of the guard.
class WaitCursor {
public:
    explicit WaitCursor(UserInterface& ui) : ui_(ui) { ui_.BeginWaitCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
    ~WaitCursor() { ui_.EndWaitCursor(); }

private:
    UserInterface& ui_;
};

// Message box helpers over the string table.
Answer ShowStringMessage(UserInterface& ui, int stringId, Buttons buttons, Icon icon = Icon::None);
Answer ShowTextMessage(UserInterface& ui, const QString& text, Buttons buttons, Icon icon = Icon::None,
                       int stringId = 0);
// The same with the technical details behind "Details".
Answer ShowDetailedMessage(UserInterface& ui, const QString& text, const QString& details, Buttons buttons,
                           Icon icon = Icon::None, int stringId = 0);
