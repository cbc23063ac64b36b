// The program's life: settings loaded, the command line processed, the guarded message loop, settings saved.

#include "app/DeflApp.h"

#include "base/StringIds.h"
#include "engine/EngineLibrary.h"

#include "base/Guards.h"
#include "base/StringTable.h"
#include "platform/LocalSettings.h"
#include "platform/Profile.h"

#include <QCoreApplication>

CDeflApp::CDeflApp(ApplicationFramework& framework, LocalSettings& settings)
    : framework_(framework), settings_(settings)
{
}

bool CDeflApp::InitInstance(const QStringList& arguments)
{
    return RunStartupGuard([&] { return StartSequence(arguments); });
}

bool CDeflApp::StartSequence(const QStringList& arguments)
{
    QCoreApplication::setOrganizationName(QLatin1String(kVendorKey));
    QCoreApplication::setApplicationName(LoadString(string_id::kApplicationTitle));

    commandLine_ = ParseCommandLine(arguments);
    settings_.Load(engine::LibraryVersionNumber());

    if (!framework_.ProcessShellCommand(commandLine_)) {
        settings_.dontSaveSettings = true;
        return false;
    }
    // A window the user left in the background stays hidden.
    framework_.ShowMainWindow(settings_.mainWindowIsVisible);
    return true;
}

int CDeflApp::Run()
{
    RunGuard guard({[this] { return framework_.RunMessageLoop(); }, [this] { return framework_.HasMainWindow(); },
                    [this] { framework_.DestroyMainWindow(); }, [this](int code) { framework_.PostQuit(code); },
                    [this] { framework_.StopWaitingForFile(); }});
    return guard.Run();
}

int CDeflApp::ExitInstance(int exitCode)
{
    if (!settings_.dontSaveSettings)
        RunStartupGuard([this] {
            settings_.Save();
            return true;
        });
    return exitCode;
}

int CDeflApp::Main(const QStringList& arguments)
{
    const bool started = InitInstance(arguments);
    return ExitInstance(started ? Run() : 1);
}
