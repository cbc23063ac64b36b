#pragma once
// One notification as the transports receive it: composed, addressed and with its surroundings.

#include <QString>

#include <cstdint>
#include <vector>

class UserInterface;

namespace mail {

struct Notification {
    std::int32_t defectId = 0;
    QString subject;
    QString body;
    QString recipients;    // e-mail addresses separated by blanks, commas or semicolons
    QString fromAddress;   // the author's e-mail
    QString fromName;      // the author's display name
    QString attachmentDir; // empty when no attachments travel along
    QString threadRoot;    // Message-ID of the defect's thread, without angle brackets
};

// What the transports use of the program around them.
struct MailEnvironment {
    UserInterface& ui;
    std::vector<int>& hints; // the suppressed hints of this computer
    QString sendmailTool;    // command template of the external mail tool
    QString compressionTool; // command template of the zip tool
    int toolTimeoutMs = 50000;
};

} // namespace mail
