// The program's entry: prints the usage without a window system, else wires the port, framework and app.

#include "app/CommandLine.h"
#include "app/DeflApp.h"
#include "app/QtApplication.h"
#include "app/QtFramework.h"
#include "app/QtUserInterface.h"
#include "platform/LocalSettings.h"

#include <cstdio>

int main(int argc, char** argv)
{
    // The usage needs no window system, so it is printed before the application starts.
    QStringList given;
    for (int i = 1; i < argc; ++i)
        given << QString::fromLocal8Bit(argv[i]);
    if (AsksForHelp(given)) {
        std::fputs(CommandLineUsage().toLocal8Bit().constData(), stdout);
        return 0;
    }
    QtApplication application(argc, argv);
    QtUserInterface ui;
    SetUserInterface(&ui);
    QtFramework framework(application, ui, TheLocalSettings());
    CDeflApp app(framework, TheLocalSettings());
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    return app.Main(arguments);
}
