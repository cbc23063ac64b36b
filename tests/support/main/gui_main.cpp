// The main of window test programs: their own home, offscreen unless told, no session bus, child actions, tests.

#include "support/ChildProcess.h"
#include "support/main/TestHome.h"

#include <QApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    QTemporaryDir home;
    UseOwnFolders(home);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Window tests never reach the desktop: no notifications from the session bus.
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    QApplication app(argc, argv);
    int exitCode = 0;
    if (RunChildActionFromCommandLine(argc, argv, exitCode))
        return exitCode;
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
