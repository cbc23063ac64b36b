// Sending the notification after each save.

#include "mail/NotifyOnSave.h"

#include "base/Guards.h"
#include "document/DefectDoc.h"
#include "document/DefectRecord.h"
#include "mail/NotificationSender.h"
#include "platform/LocalSettings.h"

namespace mail {

QMetaObject::Connection NotifyOnSave(CDefectDoc& doc, NotificationSender& sender)
{
    return QObject::connect(&doc, &CDefectDoc::defectSaved, &doc,
                            [&doc, &sender](qint32, double, const DefectRecord& record) {
                                // The comments of the saved status changes go with this mail or nowhere.
                                const QString comments = doc.TakeStatusComments(record.Defect_ID);
                                if (!NotifiesOnSave(record))
                                    return;
                                DispatchRequest request;
                                request.includeAttachments = TheLocalSettings().includeAttachments;
                                if (!comments.isEmpty())
                                    request.comment = comments;
                                RunGuardedHandler([&] { sender.Dispatch(record, request); });
                            });
}

} // namespace mail
