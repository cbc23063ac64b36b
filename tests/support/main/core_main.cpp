// The main of test programs without windows: a home of their own, and child actions before the tests.

#include "support/ChildProcess.h"
#include "support/main/TestHome.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    QTemporaryDir home;
    UseOwnFolders(home);
    QCoreApplication app(argc, argv);
    int exitCode = 0;
    if (RunChildActionFromCommandLine(argc, argv, exitCode))
        return exitCode;
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
