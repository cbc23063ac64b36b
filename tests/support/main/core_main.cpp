#include "support/ChildProcess.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    // Settings of the tests never touch the user's own.
    QTemporaryDir configHome;
    if (qEnvironmentVariableIsEmpty("VELLACORD_TEST_KEEP_CONFIG"))
        qputenv("XDG_CONFIG_HOME", configHome.path().toUtf8());
    QCoreApplication app(argc, argv);
    int exitCode = 0;
    if (RunChildActionFromCommandLine(argc, argv, exitCode))
        return exitCode;
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
