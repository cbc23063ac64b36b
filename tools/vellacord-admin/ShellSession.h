#pragma once
// A session of the tool on a database as one of its users: the document the program uses, logged in
// after the password check, with the notification mail after each save and the list's visibility rule.

#include "document/DefectDoc.h"
#include "mail/NotificationDispatch.h"

#include <QString>

#include <cstdint>
#include <optional>

class AdministrationActions;
class UserInterface;

class ShellSession {
public:
    ShellSession(const QString& file, UserInterface& ui, AdministrationActions& administration);

    // Logs in `login` (the operating-system user's login when empty). A change needs the user's
    // password unless the tool runs as that login's operating-system user; `password` holds what
    // --password-stdin read (none without it). The reason when the login fails, else empty.
    QString LogIn(const QString& login, bool forChanges, const std::optional<QString>& password);

    CDefectDoc& doc() { return doc_; }
    const QString& file() const { return file_; }

    // Whether the logged-in user's list could show the defect: other users' drafts and templates
    // stay hidden, as everywhere.
    bool Visible(std::int32_t defectId);

    // The id of the named entry of a lookup list (names matched ignoring case); none when no entry has it.
    std::optional<std::int32_t> FindByName(LookupList list, const QString& name);

private:
    QString file_;
    CDefectDoc doc_;
    mail::NotificationDispatch dispatch_;
};

// Reads a whole text file, or the standard input for "-"; none (and `error` says why) on failure.
std::optional<QString> ReadTextArgument(const QString& path, QString& error);
