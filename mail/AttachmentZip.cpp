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
#include "platform/FileCopy.h"
#include "platform/NoFollowTree.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cerrno>

namespace mail {

namespace {

constexpr int kCopyFailed = 158;

} // namespace

QString ZipAttachments(std::int32_t defectId, const QString& attachmentDir, MailEnvironment& environment)
{
    if (environment.compressionTool.trimmed().isEmpty()) {
        ShowHint(environment.ui, string_id::kNoZipToolHint, environment.hints, HintStyle::Ok, Answer::Ok, false);
        return {};
    }
    ErrorContext context("ZIPping attachments");
    // The tool gets a copy of the folder made without following any link: a link planted on the
    // share would otherwise have it pack (and the mail carry) whatever the link points to.
    const QTemporaryDir staging(TemporaryFolder() + QStringLiteral("/zip-XXXXXX"));
    const QString copy = staging.path() + QLatin1Char('/') + QFileInfo(attachmentDir).fileName();
    TreeWalkReport copied;
    if (staging.isValid()) {
        copied = CopyTree(attachmentDir, copy);
    } else {
        copied.error = EACCES;
        copied.failedPath = TemporaryFolder();
    }
    if (copied.error != 0) {
        ShowTextMessage(
            environment.ui,
            LoadString(kCopyFailed)
                .replace(QLatin1String("%s"), SystemErrorText(copied.error) + QStringLiteral(": ") + copied.failedPath),
            Buttons::Ok, Icon::Error, kCopyFailed);
        return {};
    }
    if (!copied.links.isEmpty() || !copied.others.isEmpty())
        ShowTextMessage(environment.ui,
                        FormatString(string_id::kLeftOutOfArchive,
                                     (copied.links + copied.others).join(QLatin1Char('\n')).toUtf8().constData()),
                        Buttons::Ok, Icon::Warning, string_id::kLeftOutOfArchive);
    const QString archive = NewTemporaryName(defectId, QStringLiteral(".zip"));
    // Both values are absolute paths: neither can begin an option.
    const QStringList command =
        FillCommandTemplate(environment.compressionTool,
                            {{QStringLiteral("%attachmentdir%"), copy}, {QStringLiteral("%zipfile%"), archive}});
    const int result = archive.isEmpty() ? EACCES : RunCommandLine(command, environment.ui, environment.toolTimeoutMs);
    if (result != 0) {
        ShowTextMessage(environment.ui, FormatString(string_id::kExternalToolFailed, "ZIP", result), Buttons::Ok,
                        Icon::Error, string_id::kExternalToolFailed);
        QFile::remove(archive);
        return {};
    }
    return archive;
}

} // namespace mail
