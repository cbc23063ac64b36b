// The start sequence on Qt: creating and discarding the document, the list, the mail and the main window.

#include "app/QtFramework.h"

#include "app/MainFrame.h"
#include "app/QtApplication.h"
#include "app/QtUserInterface.h"
#include "base/CommandIds.h"
#include "document/DefectDoc.h"
#include "list/DefectList.h"
#include "mail/NotificationDispatch.h"
#include "mail/NotifyOnSave.h"

#include "platform/LocalSettings.h"

#include <QAction>
#include <QTimer>

QtFramework::QtFramework(QtApplication& application, QtUserInterface& ui, LocalSettings& settings)
    : application_(application), ui_(ui), settings_(settings)
{
}

QtFramework::~QtFramework()
{
    DiscardDocumentAndFrame();
}

void QtFramework::CreateDocumentAndFrame()
{
    document_ = std::make_unique<CDefectDoc>();
    list_ = std::make_unique<CDefectList>(*document_);
    mail_ = std::make_unique<mail::NotificationDispatch>(*document_, ui_);
    mail::NotifyOnSave(*document_, *mail_);
    frame_ = new CMainFrame(*document_, settings_);
    frame_->SetList(*list_);
    // Send email goes through the dispatch; its question about unset mail settings opens the options.
    frame_->UseNotificationDispatch(*mail_);
    frame_->setAttribute(Qt::WA_DeleteOnClose);
    // The program ends with its main window, also when that was hidden.
    QObject::connect(frame_, &QObject::destroyed, &application_, [] { QtApplication::exit(0); });
    ui_.SetMainWindow(frame_);
    for (const int command : {command::kNewDatabase, command::kDatabaseAdministration}) {
        QAction* action = frame_->CommandAction(command);
        action->setEnabled(true);
        QObject::connect(action, &QAction::triggered, frame_, [this] { SwitchDatabase(std::nullopt); });
    }
    frame_->SetRecentDatabaseOpener([this](const QString& path) { SwitchDatabase(path); });
}

void QtFramework::SwitchDatabase(const std::optional<QString>& path)
{
    if (!document_->CanCloseDocument())
        return;
    frame_->StorePlacement();
    if (!settings_.dontSaveSettings)
        settings_.Save();
    frame_->hide();
    document_->OnCloseDocument();
    // Without a path the open procedure shows the administration dialog, as an open was
    // attempted before; a failed open of a path shows it too.
    if (!(path ? document_->OnOpenDocument(*path) : document_->OnNewDocument())) {
        settings_.dontSaveSettings = true;
        QTimer::singleShot(0, &application_, [this] {
            DiscardDocumentAndFrame();
            QtApplication::exit(0);
        });
        return;
    }
    frame_->show();
}

void QtFramework::DiscardDocumentAndFrame()
{
    ui_.SetMainWindow(nullptr);
    if (frame_) {
        // The settings saved at the end keep where the window was.
        frame_->StorePlacement();
        QObject::disconnect(frame_, nullptr, &application_, nullptr);
        delete frame_.data();
    }
    mail_.reset();
    list_.reset();
    document_.reset();
}

bool QtFramework::ProcessShellCommand(const CDeflCommandLineInfo& commandLine)
{
    CreateDocumentAndFrame();
    document_->SetAutoLogin(commandLine.autoLogin);
    // A plain start (from the desktop's menu) opens the database used last.
    document_->SetLastDatabase(settings_.recentDatabases.value(0));
    const bool opened =
        commandLine.fileName.isEmpty() ? document_->OnNewDocument() : document_->OnOpenDocument(commandLine.fileName);
    application_.ThrowPending();
    if (!opened) {
        DiscardDocumentAndFrame();
        return false;
    }
    return true;
}

void QtFramework::ShowMainWindow(bool visible)
{
    // A window left in the background stays there only when its icon can bring it back.
    if (frame_)
        frame_->setVisible(visible || !frame_->LivesInTray());
}

bool QtFramework::HasMainWindow()
{
    return !frame_.isNull();
}

void QtFramework::DestroyMainWindow()
{
    // Closing the document may fail again; it runs in the loop, under the guard.
    QTimer::singleShot(0, &application_, [this] {
        if (document_)
            document_->OnCloseDocument();
        DiscardDocumentAndFrame();
        QtApplication::exit(0);
    });
}

void QtFramework::StopWaitingForFile()
{
    if (document_)
        document_->StopWaitingForFile();
}

int QtFramework::RunMessageLoop()
{
    return application_.RunEventLoop();
}

void QtFramework::PostQuit(int exitCode)
{
    QTimer::singleShot(0, &application_, [exitCode] { QtApplication::exit(exitCode); });
}
