// The system mail: a complete message piped into "sendmail -t -oi".

#include "mail/SystemMailTransport.h"

#include "base/StringTable.h"
#include "base/UserInterface.h"
#include "mail/AttachmentZip.h"
#include "mail/MailStringIds.h"
#include "mail/MimeMessage.h"
#include "mail/Notification.h"
#include "mail/ToolProcess.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <algorithm>

namespace mail {
namespace {

// How much of sendmail's error output the failure message shows.
constexpr qsizetype kShownErrorBytes = 4096;

bool InTestMode(const std::vector<int>& hints)
{
    return std::find(hints.begin(), hints.end(), string_id::kSystemMailTestQuestion) == hints.end();
}

// The zipped attachment folder and the archive's name; empty when there is none.
std::pair<QByteArray, QString> ZippedAttachments(const Notification& notification, MailEnvironment& environment)
{
    if (notification.attachmentDir.isEmpty())
        return {};
    const QString path = ZipAttachments(notification.defectId, notification.attachmentDir, environment);
    if (path.isEmpty())
        return {};
    QFile file(path);
    QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    file.close();
    QFile::remove(path);
    return {bytes, QStringLiteral("defect-%1-attachments.zip").arg(notification.defectId)};
}

} // namespace

QString SendmailProgram()
{
    const QString named = qEnvironmentVariable(kSendmailVariable);
    return named.isEmpty() ? QString::fromLatin1(kDefaultSendmail) : named;
}

bool SendBySystemMail(const Notification& notification, MailEnvironment& environment)
{
    UserInterface& ui = environment.ui;
    const bool testMode = InTestMode(environment.hints);
    const QString named = SendmailProgram();
    if (testMode)
        ShowTextMessage(ui, FormatString(string_id::kSystemMailTestNotice, named.toUtf8().constData()), Buttons::Ok,
                        Icon::Information, string_id::kSystemMailTestNotice);

    const QString program = ResolveProgram(named);
    if (program.isEmpty()) {
        ShowTextMessage(ui, FormatString(string_id::kSendmailMissing, named.toUtf8().constData()), Buttons::Ok,
                        Icon::Error, string_id::kSendmailMissing);
        return false;
    }
    if (!QFileInfo(program).isExecutable()) {
        ShowTextMessage(ui, FormatString(string_id::kSendmailInvalid, program.toUtf8().constData()), Buttons::Ok,
                        Icon::Error, string_id::kSendmailInvalid);
        return false;
    }

    const auto [archive, archiveName] = ZippedAttachments(notification, environment);
    const QByteArray message = BuildMimeMessage(notification, archive, archiveName);

    // -t: the recipients come from the message's headers; -oi: a line with a lone dot is text.
    QProcess process;
    process.setProgram(program);
    process.setArguments({QStringLiteral("-t"), QStringLiteral("-oi")});
    process.setStandardOutputFile(QProcess::nullDevice());
    QByteArray errorOutput;
    // Only the start is kept: a program that floods its error output must not fill the memory.
    const auto takeErrors = [&] {
        const QByteArray chunk = process.readAllStandardError();
        errorOutput += chunk.left(kShownErrorBytes - errorOutput.size());
    };
    QObject::connect(&process, &QProcess::readyReadStandardError, takeErrors);
    process.start();
    int result = 0;
    if (!process.waitForStarted(-1)) {
        result = kCrashedResult;
    } else {
        process.write(message);
        process.closeWriteChannel();
        result = WaitForProcess(process, ui, environment.toolTimeoutMs);
        takeErrors();
    }
    if (result != 0) {
        QString text = LoadString(string_id::kSendFailed) + QStringLiteral("\nerror code %1").arg(result);
        const QString errors = QString::fromUtf8(errorOutput).trimmed();
        if (!errors.isEmpty())
            text += QLatin1Char('\n') + errors;
        else if (process.error() == QProcess::FailedToStart)
            text += QLatin1Char('\n') + process.errorString();
        ShowTextMessage(ui, text, Buttons::Ok, Icon::Error, string_id::kSendFailed);
        return false;
    }
    if (testMode &&
        ShowStringMessage(ui, string_id::kSystemMailTestQuestion, Buttons::YesNo, Icon::Question) == Answer::Yes)
        environment.hints.push_back(string_id::kSystemMailTestQuestion);
    return true;
}

} // namespace mail
