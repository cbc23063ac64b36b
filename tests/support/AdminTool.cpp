// Runs the built vellacord-admin as a separate process.

#include "support/AdminTool.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>

QString AdminToolPath()
{
    return QDir(QCoreApplication::applicationDirPath()).absoluteFilePath(QStringLiteral("../vellacord-admin"));
}

AdminRun RunAdminTool(const QStringList& arguments, const QProcessEnvironment& environment)
{
    QProcess process;
    if (!environment.isEmpty())
        process.setProcessEnvironment(environment);
    process.start(AdminToolPath(), arguments);
    AdminRun run;
    if (!process.waitForFinished(120000))
        return run;
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}
