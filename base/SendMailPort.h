#pragma once
// What the send command asks of its two dialogs: the choices of "send mails..." and the
// progress of "sending mails...".

#include <QString>

#include <cstdint>

// The send dialog's fields; the dialog edits them in place, the profile remembers them.
struct SendMailChoices {
    bool to = true;
    bool from = false;
    bool extra = false;
    bool attach = false;
    QString addr;
    QString comment;
    std::int32_t sendMethod = 0; // index of "send method:": 0 system mail, 1 external tool
};

// The progress of one send command; it ends (and the main window is usable again) when the
// object goes away.
class SendProgress {
public:
    virtual ~SendProgress() = default;
    // Before mail `index` (1-based) of `total`, `sent` of them already out: the bar, the text,
    // the status bar; pending window events run, so that Cancel can be pressed.
    virtual void Step(int sent, int total, const QString& statusText) = 0;
    // The user pressed Cancel.
    virtual bool Cancelled() const = 0;
};
