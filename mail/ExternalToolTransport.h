#pragma once
// Sending a notification through the external command-line mail tool.

namespace mail {

struct MailEnvironment;
struct Notification;

// True when the tool ended with 0; a failure has been told and leaves the files for a look.
bool SendByExternalTool(const Notification& notification, MailEnvironment& environment);

} // namespace mail
