#pragma once
// The application object: the start sequence, the guarded message loop and the end.

#include "app/CommandLine.h"

#include <QStringList>

class LocalSettings;

// What the start sequence needs of the windowing framework.
class ApplicationFramework {
public:
    virtual ~ApplicationFramework() = default;

    // Creates the document and its frame, still hidden, and opens the database the command line
    // names, or the store's own choice; false when either could not be made or opened.
    virtual bool ProcessShellCommand(const CDeflCommandLineInfo& commandLine) = 0;
    virtual void ShowMainWindow(bool visible) = 0;
    virtual bool HasMainWindow() = 0;
    // Closes the main window and its document through the message loop.
    virtual void DestroyMainWindow() = 0;
    // The program closes after a failure: the document no longer waits for its file.
    virtual void StopWaitingForFile() = 0;
    virtual int RunMessageLoop() = 0;
    virtual void PostQuit(int exitCode) = 0;
};

class CDeflApp {
public:
    CDeflApp(ApplicationFramework& framework, LocalSettings& settings);

    // True to run, false to end; failures are reported here.
    bool InitInstance(const QStringList& arguments);
    // The message loop under the run guard; its exit code.
    int Run();
    // Writes the settings back unless that is forbidden; returns exitCode.
    int ExitInstance(int exitCode);

    // The whole life: start, run when the start succeeded, end. A failed start ends with 1.
    int Main(const QStringList& arguments);

    const CDeflCommandLineInfo& commandLine() const { return commandLine_; }

private:
    bool StartSequence(const QStringList& arguments);

    ApplicationFramework& framework_;
    LocalSettings& settings_;
    CDeflCommandLineInfo commandLine_;
};
