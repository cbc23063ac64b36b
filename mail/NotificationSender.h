#pragma once
// What the send command needs of the mail: one notification for one defect.

#include <QString>

#include <optional>

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

class NotificationSender {
public:
    virtual ~NotificationSender() = default;
    // True when the mail went out or there was nobody to send it to; a failure has been told.
    virtual bool Dispatch(const DefectRecord& defect, const DispatchRequest& request) = 0;
};

} // namespace mail
