// Zipping the attachments of a notification.

#include "mail/AttachmentZip.h"

#include "base/ErrorContext.h"
#include "base/Hint.h"
#include "base/StringTable.h"
#include "mail/CommandTemplate.h"
#include "mail/MailStringIds.h"
#include "mail/Notification.h"
#include "mail/TemporaryFiles.h"
#include "mail/ToolProcess.h"

#include <QFile>

namespace mail {

QString ZipAttachments(std::int32_t defectId, const QString& attachmentDir, MailEnvironment& environment)
{
    if (environment.compressionTool.trimmed().isEmpty()) {
        ShowHint(environment.ui, string_id::kNoZipToolHint, environment.hints, HintStyle::Ok, Answer::Ok, false);
        return {};
    }
    ErrorContext context("ZIPping attachments");
    const QString archive = TemporaryBase(defectId) + QStringLiteral(".zip");
    // zip adds to an archive that exists; a leftover of an earlier failure must not travel along.
    QFile::remove(archive);
    const QStringList command = FillCommandTemplate(
        environment.compressionTool,
        {{QStringLiteral("%attachmentdir%"), attachmentDir}, {QStringLiteral("%zipfile%"), archive}});
    const int result = RunCommandLine(command, environment.ui, environment.toolTimeoutMs);
    if (result != 0) {
        ShowTextMessage(environment.ui, FormatString(string_id::kExternalToolFailed, "ZIP", result), Buttons::Ok,
                        Icon::Error, string_id::kExternalToolFailed);
        return {};
    }
    return archive;
}

} // namespace mail
