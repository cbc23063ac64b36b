#pragma once
// The notification after a save: every saved defect that is neither a template nor a draft.

#include <QMetaObject>

class CDefectDoc;

namespace mail {

class NotificationSender;

// Connects the document's defectSaved to the sender: the workstation's mail method, the
// addressee and cc, no comment, the attachments as the option says. A failing notification is
// reported and never reaches the save, which has already been written.
QMetaObject::Connection NotifyOnSave(CDefectDoc& doc, NotificationSender& sender);

} // namespace mail
