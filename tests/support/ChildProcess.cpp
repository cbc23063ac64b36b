// Child processes of a test program: registered actions, starting and running them, "ready" and the stop.

#include "ChildProcess.h"

#include <QCoreApplication>
#include <QFile>
#include <QTextStream>

#include <map>

namespace {
std::map<QString, ChildAction>& Actions()
{
    static std::map<QString, ChildAction> actions;
    return actions;
}
} // namespace

bool RegisterChildAction(const QString& name, ChildAction action)
{
    Actions()[name] = std::move(action);
    return true;
}

bool RunChildActionFromCommandLine(int argc, char** argv, int& exitCode)
{
    if (argc < 3 || QString::fromUtf8(argv[1]) != QStringLiteral("--child-action"))
        return false;
    const auto found = Actions().find(QString::fromUtf8(argv[2]));
    if (found == Actions().end()) {
        exitCode = 99;
        return true;
    }
    QStringList arguments;
    for (int i = 3; i < argc; ++i)
        arguments << QString::fromUtf8(argv[i]);
    exitCode = found->second(arguments);
    return true;
}

void StartChild(QProcess& process, const QString& action, const QStringList& arguments)
{
    process.setProgram(QCoreApplication::applicationFilePath());
    process.setArguments(QStringList{QStringLiteral("--child-action"), action} + arguments);
    process.start();
    process.waitForStarted();
}

int RunChild(const QString& action, const QStringList& arguments, int timeoutMs)
{
    QProcess process;
    StartChild(process, action, arguments);
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        return -1;
    }
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

void SignalReadyAndWaitForStop()
{
    QTextStream(stdout) << "ready" << Qt::endl;
    QFile input;
    input.open(stdin, QIODevice::ReadOnly);
    input.readLine();
}
