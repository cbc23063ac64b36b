// Running and waiting for the mail's external programs.

#include "mail/ToolProcess.h"

#include "base/ErrorContext.h"
#include "base/StringTable.h"
#include "base/UserInterface.h"
#include "mail/CommandTemplate.h"
#include "mail/MailStringIds.h"
#include "mail/TemporaryFiles.h"

#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>

#include <algorithm>
#include <cerrno>

namespace mail {
namespace {

// How long a killed program may take to be gone when the whole program is ending.
constexpr int kEndOnQuitMs = 5000;

} // namespace

QString ResolveProgram(const QString& program)
{
    if (program.contains(QLatin1Char('/')))
        return QFileInfo(program).isFile() ? program : QString();
    return QStandardPaths::findExecutable(program);
}

int WaitForProcess(QProcess& process, UserInterface& ui, int timeoutMs)
{
    QEventLoop loop;
    QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    bool cancelled = false;
    while (process.state() != QProcess::NotRunning) {
        timer.start(timeoutMs);
        // Paint events pass, clicks and keys do not: nothing may start a second save meanwhile.
        loop.exec(QEventLoop::ExcludeUserInputEvents);
        if (process.state() == QProcess::NotRunning)
            continue;
        if (timer.isActive()) {
            // Neither the end nor the time-out: the program is quitting and no loop runs any more,
            // so waiting on would spin for ever; the tool must not outlive it either.
            process.kill();
            process.waitForFinished(kEndOnQuitMs);
            return kCancelledResult;
        }
        if (cancelled)
            continue;
        const QString question = FormatString(string_id::kToolTimeoutQuestion, std::max(1, timeoutMs / 1000));
        if (ShowTextMessage(ui, question, Buttons::OkCancel, Icon::Question, string_id::kToolTimeoutQuestion) ==
            Answer::Cancel) {
            cancelled = true;
            process.kill();
        }
    }
    if (cancelled)
        return kCancelledResult;
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : kCrashedResult;
}

int RunCommandLine(const QStringList& command, UserInterface& ui, int timeoutMs)
{
    ErrorContext context("Executing commandline");
    const QString text = CommandLineText(command);
    QString commandFile;
    QString outputFile;
    WriteTemporaryFile(0, QStringLiteral(".command.txt"), text.toUtf8(), commandFile);
    const bool logged =
        WriteTemporaryFile(1, QStringLiteral(".output.txt"), text.toUtf8() + "\r\n\r\n", outputFile) == 0;

    int result = 0;
    const QString program = command.isEmpty() ? QString() : ResolveProgram(command.first());
    QProcess process;
    process.setProgram(program);
    process.setArguments(command.mid(1));
    process.setStandardInputFile(QProcess::nullDevice());
    if (logged) {
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.setStandardOutputFile(outputFile, QIODevice::Append);
    }
    if (!program.isEmpty())
        process.start();
    if (program.isEmpty() || !process.waitForStarted(-1)) {
        result = program.isEmpty() ? ENOENT : (QFileInfo(program).isExecutable() ? EIO : EACCES);
        const QString reason = program.isEmpty() ? QStringLiteral("no such program") : process.errorString();
        QFile log(outputFile);
        if (logged && log.open(QIODevice::Append))
            log.write(QStringLiteral("Starting the program failed: %1\r\n").arg(reason).toUtf8());
    } else {
        result = WaitForProcess(process, ui, timeoutMs);
    }

    if (logged && result != 0)
        ui.OpenWithDesktop(outputFile, false);
    else if (logged)
        QFile::remove(outputFile);
    if (!commandFile.isEmpty())
        QFile::remove(commandFile);
    return result;
}

} // namespace mail
