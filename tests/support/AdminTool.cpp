// Runs the built vellacord-admin as a separate process.

#include "support/AdminTool.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>

QString AdminToolPath()
{
    return QDir(QCoreApplication::applicationDirPath()).absoluteFilePath(QStringLiteral("../vellacord-admin"));
}

AdminRun RunAdminTool(const QStringList& arguments, const QProcessEnvironment& environment, const QByteArray& input,
                      const QString& workingDirectory)
{
    QProcess process;
    if (!environment.isEmpty())
        process.setProcessEnvironment(environment);
    if (!workingDirectory.isEmpty())
        process.setWorkingDirectory(workingDirectory);
    process.start(AdminToolPath(), arguments);
    if (!input.isEmpty())
        process.write(input);
    process.closeWriteChannel();
    AdminRun run;
    if (!process.waitForFinished(120000))
        return run;
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

QProcessEnvironment KillShimEnvironment(const QString& shim)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LD_PRELOAD"), shim);
    const QString asan = environment.value(QStringLiteral("ASAN_OPTIONS"));
    environment.insert(QStringLiteral("ASAN_OPTIONS"),
                       (asan.isEmpty() ? QString() : asan + QLatin1Char(':')) +
                           QStringLiteral("verify_asan_link_order=0"));
    return environment;
}

QProcessEnvironment KillingAt(QProcessEnvironment environment, int operation, bool after)
{
    environment.insert(QStringLiteral("KILL_AT_OPERATION"), QString::number(operation));
    environment.insert(QStringLiteral("KILL_AFTER_OPERATION"), QString::number(after ? 1 : 0));
    return environment;
}
