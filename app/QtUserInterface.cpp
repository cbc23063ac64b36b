// The user-interface port with real windows: message boxes, hints, files, cursors and each dialog's function.

#include "app/QtUserInterface.h"
#include "base/StringIds.h"
#include "document/ChangePasswordDialog.h"
#include "document/LoginDialog.h"
#include "document/SetupListsDialog.h"
#include "document/StatusTransitionDialog.h"
#include "document/TemplateSelectionDialog.h"
#include "mail/SendMailDialog.h"
#include "mail/SendProgressDialog.h"
#include "store/DBRetryDialog.h"
#include "store/DatabaseAdministrationDialog.h"
#include "store/SelectWorkflowDialog.h"

#include "app/FileFilter.h"
#include "app/HintDialog.h"
#include "app/MainFrame.h"
#include "app/UserGuide.h"
#include "base/StringTable.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QUrl>

namespace {

QMessageBox::Icon BoxIcon(Icon icon)
{
    switch (icon) {
    case Icon::Information:
        return QMessageBox::Information;
    case Icon::Question:
        return QMessageBox::Question;
    case Icon::Warning:
        return QMessageBox::Warning;
    case Icon::Error:
        return QMessageBox::Critical;
    case Icon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons BoxButtons(Buttons buttons)
{
    switch (buttons) {
    case Buttons::Ok:
        return QMessageBox::Ok;
    case Buttons::OkCancel:
        return QMessageBox::Ok | QMessageBox::Cancel;
    case Buttons::YesNo:
        return QMessageBox::Yes | QMessageBox::No;
    case Buttons::YesNoCancel:
        return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    }
    return QMessageBox::Ok;
}

Answer ToAnswer(int button, Buttons buttons)
{
    switch (button) {
    case QMessageBox::Ok:
        return Answer::Ok;
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    case QMessageBox::Cancel:
        return Answer::Cancel;
    default:
        // A box closed without a button gives its escape answer.
        return buttons == Buttons::YesNo ? Answer::No : buttons == Buttons::Ok ? Answer::Ok : Answer::Cancel;
    }
}

// Boxes are parented to the main window only while it is shown.
QWidget* VisibleWindow(QWidget* window)
{
    return window && window->isVisible() ? window : nullptr;
}

CMainFrame* Frame(QWidget* window)
{
    return qobject_cast<CMainFrame*>(window);
}

} // namespace

Answer QtUserInterface::ShowMessage(const MessageRequest& request)
{
    QMessageBox box(BoxIcon(request.icon), LoadString(string_id::kApplicationTitle), request.text,
                    BoxButtons(request.buttons), VisibleWindow(mainWindow_));
    // The engine's report, codes and context stay behind the box's "Show Details..." button.
    if (!request.details.isEmpty())
        box.setDetailedText(request.details);
    if (request.foreground) {
        box.setWindowFlag(Qt::WindowStaysOnTopHint);
        box.show();
        box.raise();
        box.activateWindow();
    }
    return ToAnswer(box.exec(), request.buttons);
}

HintAnswer QtUserInterface::ShowHint(const HintRequest& request)
{
    CHintDialog dialog(request, VisibleWindow(mainWindow_));
    return dialog.Run();
}

std::optional<QString> QtUserInterface::ChooseFile(const FileDialogRequest& request)
{
    QFileDialog dialog(mainWindow_, request.title, request.initialPath, QtFileFilter(request.filter));
    const bool save = request.kind == FileDialogRequest::Kind::Save;
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.overwritePrompt);
    if (!request.defaultExtension.isEmpty())
        dialog.setDefaultSuffix(request.defaultExtension);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

void QtUserInterface::BeginWaitCursor()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

void QtUserInterface::EndWaitCursor()
{
    QApplication::restoreOverrideCursor();
}

bool QtUserInterface::IsShiftHeld()
{
    return QGuiApplication::queryKeyboardModifiers().testFlag(Qt::ShiftModifier);
}

bool QtUserInterface::OpenWithDesktop(const QString& pathOrUrl, bool inBackground)
{
    const bool isFile = QFileInfo(pathOrUrl).isAbsolute() && QFileInfo::exists(pathOrUrl);
    const bool opened = QDesktopServices::openUrl(isFile ? QUrl::fromLocalFile(pathOrUrl) : QUrl(pathOrUrl));
    // What opens in the background must not take the focus from the box that follows.
    if (opened && inBackground && mainWindow_ && mainWindow_->isVisible())
        mainWindow_->activateWindow();
    return opened;
}

void QtUserInterface::ShowHelp(const QString& section)
{
    OpenUserGuide(section);
}

bool QtUserInterface::HasMainWindow()
{
    return !mainWindow_.isNull();
}

void QtUserInterface::ShowOfflineState(int, const QString& tip)
{
    if (CMainFrame* frame = Frame(mainWindow_))
        frame->ShowOfflineState(tip);
}

void QtUserInterface::ShowNormalState(const QString& tip)
{
    if (CMainFrame* frame = Frame(mainWindow_))
        frame->ShowNormalState(tip);
}

void QtUserInterface::RunListEditorDialog(ListEditorActions& editor)
{
    ::RunListEditorDialog(editor, MainWindow());
}

std::optional<ChangePasswordAnswer> QtUserInterface::RunChangePasswordDialog()
{
    return ::RunChangePasswordDialog(MainWindow());
}

bool QtUserInterface::RunStatusTransitionDialog(StatusTransitionChoices& model)
{
    return ::RunStatusTransitionDialog(model, MainWindow());
}

std::optional<LoginDialogAnswer> QtUserInterface::RunLoginDialog(const LoginDialogRequest& request)
{
    return ::RunLoginDialog(request, MainWindow());
}

std::optional<int> QtUserInterface::ChooseTemplate(const TemplateChoiceRequest& request)
{
    return ::RunTemplateSelectionDialog(request, MainWindow());
}

std::unique_ptr<SendProgress> QtUserInterface::OpenSendProgress(int total)
{
    return ::OpenSendProgressDialog(total, MainWindow());
}

bool QtUserInterface::RunSendMailDialog(SendMailChoices& choices)
{
    return ::RunSendMailDialog(choices, MainWindow());
}

std::optional<QString> QtUserInterface::RunAdministrationDialog(AdministrationActions& actions,
                                                                const QString& missingDatabase)
{
    return ::RunAdministrationDialog(*this, actions, missingDatabase, MainWindow());
}

std::optional<int> QtUserInterface::ChooseWorkflow()
{
    return ::RunSelectWorkflowDialog(MainWindow());
}

RetryAnswer QtUserInterface::RunRetryDialog(const RetryDialogRequest& request)
{
    return ::RunRetryDialog(request, MainWindow(), clock_);
}
