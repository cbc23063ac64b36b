// Picking the transport of a notification and addressing it.

#include "mail/NotificationDispatch.h"

#include "base/Check.h"
#include "base/Guards.h"
#include "base/Hint.h"
#include "document/DefectDoc.h"
#include "mail/ExternalToolTransport.h"
#include "mail/MailStringIds.h"
#include "mail/MimeMessage.h"
#include "mail/Notification.h"
#include "mail/NotificationText.h"
#include "mail/SystemMailTransport.h"
#include "platform/LocalSettings.h"
#include "store/AttachmentDirectory.h"

#include <QScopeGuard>
#include <QScopedValueRollback>

namespace mail {

NotificationDispatch::NotificationDispatch(CDefectDoc& doc, UserInterface& ui, QObject* parent)
    : QObject(parent), doc_(doc), ui_(ui)
{
}

int NotificationDispatch::ConfiguredMethod()
{
    LocalSettings& settings = TheLocalSettings();
    if (settings.mailSettings.mailMethod == kMethodNotConfigured &&
        ShowHint(ui_, string_id::kMailNotConfiguredHint, settings.hints, HintStyle::YesNo, Answer::No, false) ==
            Answer::Yes)
        emit mailOptionsRequested();
    return settings.mailSettings.mailMethod;
}

bool NotificationDispatch::Dispatch(const DefectRecord& defect, const DispatchRequest& request)
{
    if (busy_) {
        queued_.emplace_back(defect, request);
        return true;
    }
    const auto ended = qScopeGuard([this] { emit dispatchEnded(); });
    const QScopedValueRollback<bool> busy(busy_, true);
    const bool sent = Send(defect, request);
    while (!queued_.empty()) {
        const auto [queuedDefect, queuedRequest] = std::move(queued_.front());
        queued_.erase(queued_.begin());
        // Its save has returned long ago: a failure is told here.
        RunGuardedHandler([&] { Send(queuedDefect, queuedRequest); });
    }
    return sent;
}

bool NotificationDispatch::Send(const DefectRecord& defect, const DispatchRequest& request)
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
    if (request.includeAttachments) {
        notification.attachmentDir = AttachmentDirectory(path, defect.Defect_ID, false);
        // A link in the folder's place travels nowhere; the mail goes without, and the user hears why.
        const QString refusal = AttachmentDirectoryRefusal(path, defect.Defect_ID);
        if (!refusal.isEmpty())
            ShowTextMessage(ui_, refusal, Buttons::Ok, Icon::Warning);
    }
    notification.threadRoot = ThreadRoot(path, defect.Defect_ID, defect.Opened);

    LocalSettings& settings = TheLocalSettings();
    // The tools are waited for in a local event loop: no auto-close or auto-refresh may run
    // under the save or the send command that called.
    const TimerPause pause(doc_.timers());
    MailEnvironment environment{ui_, settings.hints, system.sendmailTool, system.compressionTool,
                                settings.externalMailToolTimeout};
    return method == kMethodSystemMail ? SendBySystemMail(notification, environment)
                                       : SendByExternalTool(notification, environment);
}

} // namespace mail
