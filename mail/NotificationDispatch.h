#pragma once
// Delivers the notification of one defect by the transport the mail method picks.

#include "mail/NotificationSender.h"

#include <QObject>

class CDefectDoc;
class UserInterface;

namespace mail {

// Sends the notifications of the open document: after every save of a real defect (neither a
// template nor a draft), and on request for the send command.
class NotificationDispatch : public QObject, public NotificationSender {
    Q_OBJECT
public:
    NotificationDispatch(CDefectDoc& doc, UserInterface& ui, QObject* parent = nullptr);

    bool Dispatch(const DefectRecord& defect, const DispatchRequest& request) override;

signals:
    // The mail method of this computer is not set and the user wants to set it now. Listeners
    // open the options on their mail page before returning; the option is read again afterwards.
    void mailOptionsRequested();

private:
    // The workstation's mail method; while it is not set, the user may set it now.
    int ConfiguredMethod();

    CDefectDoc& doc_;
    UserInterface& ui_;
};

} // namespace mail
