// Picking the transport of a notification and addressing it.

#include "mail/NotificationDispatch.h"

#include "app/base/Check.h"
#include "app/base/Hint.h"
#include "document/DefectDoc.h"
#include "document/DefectRecord.h"
#include "mail/ExternalToolTransport.h"
#include "mail/MailStringIds.h"
#include "mail/MimeMessage.h"
#include "mail/Notification.h"
#include "mail/NotificationText.h"
#include "mail/SystemMailTransport.h"
#include "platform/LocalSettings.h"
#include "store/AttachmentDirectory.h"

namespace mail {

NotificationDispatch::NotificationDispatch(CDefectDoc& doc, UserInterface& ui, QObject* parent)
    : QObject(parent), doc_(doc), ui_(ui)
{
}

int NotificationDispatch::ConfiguredMethod()
{
    LocalSettings& settings = TheLocalSettings();
    if (settings.mailSettings.mailMethod == kMethodNotConfigured &&
        ShowHint(ui_, string_id::kMailNotConfiguredHint, settings.hints, HintStyle::YesNo,
                 static_cast<int>(Answer::No), false) == static_cast<int>(Answer::Yes))
        emit mailOptionsRequested();
    return settings.mailSettings.mailMethod;
}

bool NotificationDispatch::Dispatch(const DefectRecord& defect, const DispatchRequest& request)
{
    const int method = request.method == kMethodNotConfigured ? ConfiguredMethod() : request.method;
    if (method != kMethodSystemMail && method != kMethodExternalTool)
        return true;

    const LookupLists& lookups = doc_.lookups();
    QString recipients;
    if (request.recipients) {
        recipients = *request.recipients;
    } else {
        const StakeholderEntry* addressee = lookups.FindStakeholder(defect.ToID);
        check::precondition(addressee != nullptr, "illegal to address");
        if (addressee->email.isEmpty())
            return true; // nobody to notify
        recipients = addressee->email + QLatin1Char(';') + defect.Cc;
    }

    const QString path = doc_.database().DatabaseFileName();
    const SystemSettings& system = doc_.database().settings();
    Notification notification;
    notification.defectId = defect.Defect_ID;
    notification.subject = ComposeSubject(defect, path, lookups);
    notification.body = ComposeBody(request.comment, defect, system.email_template, lookups);
    notification.recipients = recipients;
    const StakeholderEntry* author = lookups.FindStakeholder(defect.FromID);
    check::precondition(author != nullptr, "illegal from address");
    notification.fromAddress = author->email;
    notification.fromName = StakeholderDisplayName(*author);
    if (request.includeAttachments)
        notification.attachmentDir = AttachmentDirectory(path, defect.Defect_ID, false);
    notification.threadRoot = ThreadRoot(path, defect.Defect_ID, defect.Opened);

    LocalSettings& settings = TheLocalSettings();
    MailEnvironment environment{ui_, settings.hints, system.sendmailTool, system.compressionTool,
                                settings.externalMailToolTimeout};
    return method == kMethodSystemMail ? SendBySystemMail(notification, environment)
                                       : SendByExternalTool(notification, environment);
}

} // namespace mail
