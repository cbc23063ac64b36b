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
    QString attachments;
    int writeError = 0;
    if (environment.sendmailTool.contains(QStringLiteral("%attachments%"))) {
        if (!notification.attachmentDir.isEmpty())
            attachments = ZipAttachments(notification.defectId, notification.attachmentDir, environment);
        if (attachments.isEmpty())
            writeError =
                WriteTemporaryFile(notification.defectId, QStringLiteral("-empty.txt"), "no attachments", attachments);
    }
    // A tool given a missing or cut body would report success for a mail without its text.
    QString textFile;
    if (writeError == 0)
        writeError =
            WriteTemporaryFile(notification.defectId, QStringLiteral(".txt"), notification.body.toUtf8(), textFile);
    const auto removeFiles = [&] {
        if (!textFile.isEmpty())
            QFile::remove(textFile);
        if (!attachments.isEmpty())
            QFile::remove(attachments);
    };

    // One comma between addresses: an empty cc must not leave a trailing one.
    static const QRegularExpression separators(QStringLiteral("[;, ]+"));
    const QString to = notification.recipients.split(separators, Qt::SkipEmptyParts).join(QLatin1Char(','));
    QString optionLike;
    const QStringList command = FillCommandTemplate(environment.sendmailTool,
                                                    {{QStringLiteral("%to%"), to},
                                                     {QStringLiteral("%from%"), notification.fromAddress},
                                                     {QStringLiteral("%textfile%"), textFile},
                                                     {QStringLiteral("%attachments%"), attachments},
                                                     {QStringLiteral("%subject%"), notification.subject}},
                                                    &optionLike);
    if (!optionLike.isEmpty()) {
        // An address such as "-oQ/tmp" would change what the tool does.
        ShowTextMessage(environment.ui, FormatString(string_id::kValueLooksLikeOption, optionLike.toUtf8().constData()),
                        Buttons::Ok, Icon::Error, string_id::kValueLooksLikeOption);
        removeFiles();
        return false;
    }
    const int result =
        writeError != 0 ? writeError : RunCommandLine(command, environment.ui, environment.toolTimeoutMs);
    if (result != 0) {
        ShowTextMessage(environment.ui, FormatString(string_id::kExternalToolFailed, "Mail", result), Buttons::Ok,
                        Icon::Error, string_id::kExternalToolFailed);
        return false;
    }
    removeFiles();
    return true;
}

} // namespace mail
