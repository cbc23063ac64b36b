#pragma once
// The start sequence's framework on Qt: the one document with its main frame.

#include "app/DeflApp.h"

#include <QPointer>

#include <memory>
#include <optional>

class CDefectDoc;
class CDefectList;
class CMainFrame;
class QtApplication;
class LocalSettings;
class QtUserInterface;
namespace mail {
class NotificationDispatch;
}

class QtFramework : public ApplicationFramework {
public:
    QtFramework(QtApplication& application, QtUserInterface& ui, LocalSettings& settings);
    ~QtFramework() override;

    bool ProcessShellCommand(const CDeflCommandLineInfo& commandLine) override;
    void ShowMainWindow(bool visible) override;
    bool HasMainWindow() override;
    void DestroyMainWindow() override;
    void StopWaitingForFile() override;
    int RunMessageLoop() override;
    void PostQuit(int exitCode) override;

private:
    void CreateDocumentAndFrame();
    // "&File > &New database" and "&Database Administration...": close this database, let the
    // administration dialog choose the next one; the program ends when none is opened.
    // "&File > &Recent databases" names the next one.
    void SwitchDatabase(const std::optional<QString>& path);
    void DiscardDocumentAndFrame();

    QtApplication& application_;
    QtUserInterface& ui_;
    LocalSettings& settings_;
    std::unique_ptr<CDefectDoc> document_;
    std::unique_ptr<CDefectList> list_;                // listens to the document: made after it, gone before it
    std::unique_ptr<mail::NotificationDispatch> mail_; // sends after saves: made after the document, gone before it
    QPointer<CMainFrame> frame_;
};
