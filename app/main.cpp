#include "app/DeflApp.h"
#include "platform/LocalSettings.h"
#include "app/QtApplication.h"
#include "app/QtFramework.h"
#include "app/QtUserInterface.h"

int main(int argc, char** argv)
{
    CQtApplication application(argc, argv);
    QtUserInterface ui;
    SetUserInterface(&ui);
    QtFramework framework(application, ui, TheLocalSettings());
    CDeflApp app(framework, TheLocalSettings());
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    return app.Main(arguments);
}
