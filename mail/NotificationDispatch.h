#pragma once
// Delivers the notification of one defect by the transport the mail method picks.

#include "document/DefectRecord.h"
#include "mail/NotificationSender.h"

#include <QObject>

#include <utility>
#include <vector>

class CDefectDoc;
class UserInterface;

namespace mail {

// Sends the notifications of the open document: after every save of a real defect (neither a
// template nor a draft), and on request for the send command.
class NotificationDispatch : public QObject, public NotificationSender {
    Q_OBJECT
public:
    NotificationDispatch(CDefectDoc& doc, UserInterface& ui, QObject* parent = nullptr);

    // A notification asked for while another one waits for its tool (a save from the tray menu,
    // say) goes out when that one is done: the two would share their temporary files.
    bool Dispatch(const DefectRecord& defect, const DispatchRequest& request) override;

    // True while a notification goes out; the window must not close under it meanwhile.
    bool busy() const { return busy_; }

signals:
    // The mail method of this computer is not set and the user wants to set it now. Listeners
    // open the options on their mail page before returning; the option is read again afterwards.
    void mailOptionsRequested();
    // The notifications have gone out or failed; a close put off meanwhile may follow.
    void dispatchEnded();

private:
    // The workstation's mail method; while it is not set, the user may set it now.
    int ConfiguredMethod();
    bool Send(const DefectRecord& defect, const DispatchRequest& request);

    CDefectDoc& doc_;
    UserInterface& ui_;
    bool busy_ = false;
    std::vector<std::pair<DefectRecord, DispatchRequest>> queued_;
};

} // namespace mail
