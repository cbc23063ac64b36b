#pragma once
// Choosing the stakeholder a session runs as: the automatic login of the command line and the
// login dialog loop with its password check.

#include "base/UserInterface.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <optional>

class LookupLists;
struct StakeholderEntry;

struct LoginEnvironment {
    UserInterface& ui;
    LookupLists& lookups;
    // The login name of the process's user; none when it cannot be found out.
    std::function<std::optional<QString>()> operatingSystemUser;
    // Edits the lookup lists and reloads them; empty while the editor is not part of the build.
    std::function<void()> runListEditor;
    // The login name that last logged in to this database here; empty for none.
    QString rememberedLogin;
};

// The stakeholder named by autoLogin, which is used up; none (after telling the user) when no
// stakeholder has that login name. Asks for no password.
std::optional<std::int32_t> AutoLogin(LoginEnvironment& environment, QString& autoLogin);

// The login dialog's content for the current lists: every stakeholder but nobody, "<add user...>",
// and the preselection: the user just chosen (after a wrong password), else the one remembered
// for the database, else the operating-system user, else the only entry.
LoginDialogRequest BuildLoginRequest(const LookupLists& lookups, const std::optional<QString>& operatingSystemUser,
                                     const QString& rememberedLogin = QString(),
                                     std::optional<std::int32_t> chosen = std::nullopt);

// Shows the login dialog until a stakeholder logs in with the right password (its id) or the
// user cancels (none).
std::optional<std::int32_t> RunLoginLoop(LoginEnvironment& environment);

// Userflags with an A in either case make an administrator; with nobody flagged everybody is one.
bool IsAdministrator(const StakeholderEntry& user, int administratorCount);
