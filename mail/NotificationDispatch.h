#pragma once
// Delivers the notification of one defect by the transport the mail method picks.

#include <QObject>
#include <QString>

#include <optional>

class CDefectDoc;
class UserInterface;
struct DefectRecord;

namespace mail {

// Mail methods as the workstation's option stores them.
constexpr int kMethodNotConfigured = 0;
constexpr int kMethodSystemMail = 1; // the workstation's sendmail interface
constexpr int kMethodExternalTool = 3;
constexpr int kMethodNoMail = 4;

struct DispatchRequest {
    bool includeAttachments = false;
    std::optional<QString> recipients; // none: the addressee's e-mail, ";" and the cc text
    std::optional<QString> comment;
    int method = kMethodNotConfigured; // not configured: the workstation's option decides
};

// Sends the notifications of the open document: after every save of a real defect (neither a
// template nor a draft), and on request for the send command.
class NotificationDispatch : public QObject {
    Q_OBJECT
public:
    NotificationDispatch(CDefectDoc& doc, UserInterface& ui, QObject* parent = nullptr);

    // True when the mail went out or there was nobody to send it to; a failure has been told.
    bool Dispatch(const DefectRecord& defect, const DispatchRequest& request);

signals:
    // The mail method of this computer is not set and the user wants to set it now. Listeners
    // open the options on their mail page before returning; the option is read again afterwards.
    void mailOptionsRequested();

private:
    CDefectDoc& doc_;
    UserInterface& ui_;
};

} // namespace mail
