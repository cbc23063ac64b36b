// The program's entry: the command line is read before the window system starts, so that
// --help, --version and a wrong option need no display.

#include "app/CommandLine.h"
#include "app/DeflApp.h"
#include "app/QtApplication.h"
#include "app/QtFramework.h"
#include "app/QtUserInterface.h"
#include "platform/LocalSettings.h"

#include <cstdio>

namespace {

constexpr int kUsageError = 2;

} // namespace

int main(int argc, char** argv)
{
    QStringList given;
    for (int i = 1; i < argc; ++i)
        given << QString::fromLocal8Bit(argv[i]);
    const CDeflCommandLineInfo commandLine = ParseCommandLine(given, [] { return std::optional<QString>(); });
    if (!commandLine.usageError.isEmpty()) {
        std::fprintf(stderr, "vellacord: %s\n%s\n", commandLine.usageError.toLocal8Bit().constData(),
                     CommandLineHint().toLocal8Bit().constData());
        return kUsageError;
    }
    if (commandLine.help || commandLine.version) {
        const QString text = commandLine.help ? CommandLineUsage() : CommandLineVersion() + QLatin1Char('\n');
        std::fputs(text.toLocal8Bit().constData(), stdout);
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
