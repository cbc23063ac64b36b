// The external mail tool: the body in a text file, the addresses and the subject as arguments.

#include "mail/ExternalToolTransport.h"

#include "base/StringTable.h"
#include "base/UserInterface.h"
#include "mail/AttachmentZip.h"
#include "mail/CommandTemplate.h"
#include "mail/MailStringIds.h"
#include "mail/Notification.h"
#include "mail/TemporaryFiles.h"
#include "mail/ToolProcess.h"

#include <QFile>
#include <QRegularExpression>

namespace mail {

bool SendByExternalTool(const Notification& notification, MailEnvironment& environment)
{
    if (environment.sendmailTool.trimmed().isEmpty()) {
        ShowStringMessage(environment.ui, string_id::kNoMailTool, Buttons::Ok, Icon::Warning);
        return false;
    }
    const QString base = TemporaryBase(notification.defectId);
    const QString textFile = base + QStringLiteral(".txt");

    QString attachments;
    int writeError = 0;
    if (environment.sendmailTool.contains(QStringLiteral("%attachments%"))) {
        if (!notification.attachmentDir.isEmpty())
            attachments = ZipAttachments(notification.defectId, notification.attachmentDir, environment);
        if (attachments.isEmpty()) {
            attachments = base + QStringLiteral("-empty.txt");
            writeError = WriteTemporaryFile(attachments, "no attachments");
        }
    }

    // One comma between addresses: an empty cc must not leave a trailing one.
    static const QRegularExpression separators(QStringLiteral("[;, ]+"));
    const QString to = notification.recipients.split(separators, Qt::SkipEmptyParts).join(QLatin1Char(','));
    const QStringList command = FillCommandTemplate(environment.sendmailTool,
                                                    {{QStringLiteral("%to%"), to},
                                                     {QStringLiteral("%from%"), notification.fromAddress},
                                                     {QStringLiteral("%textfile%"), textFile},
                                                     {QStringLiteral("%attachments%"), attachments},
                                                     {QStringLiteral("%subject%"), notification.subject}});
    // A tool given a missing or cut body would report success for a mail without its text.
    if (writeError == 0)
        writeError = WriteTemporaryFile(textFile, notification.body.toUtf8());
    const int result =
        writeError != 0 ? writeError : RunCommandLine(command, environment.ui, environment.toolTimeoutMs);
    if (result != 0) {
        ShowTextMessage(environment.ui, FormatString(string_id::kExternalToolFailed, "Mail", result), Buttons::Ok,
                        Icon::Error, string_id::kExternalToolFailed);
        return false;
    }
    QFile::remove(textFile);
    if (!attachments.isEmpty())
        QFile::remove(attachments);
    return true;
}

} // namespace mail
