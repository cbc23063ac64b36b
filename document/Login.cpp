// Logging in: the automatic login, the login dialog's loop with the password check, and who is administrator.

#include "document/Login.h"

#include "base/StringTable.h"
#include "document/LookupLists.h"
#include "document/PasswordHash.h"

#include <algorithm>
#include <utility>

namespace {

constexpr int kAddUserItem = 144;
constexpr int kUnknownAutoLogin = 154;
constexpr int kInvalidPassword = 194;
constexpr int kListEditorMissing = 40144;
constexpr int kAddUserData = -1;
constexpr int kNoUsersYet = 40145;

bool HasUsers(const LookupLists& lookups)
{
    return std::any_of(lookups.stakeholders().begin(), lookups.stakeholders().end(),
                       [](const StakeholderEntry& entry) { return entry.stakeholder_id != reserved::kNobody; });
}

} // namespace

std::optional<std::int32_t> AutoLogin(LoginEnvironment& environment, QString& autoLogin)
{
    environment.lookups.LoadLookups(true);
    const StakeholderEntry* user = environment.lookups.FindStakeholderByLogin(autoLogin);
    autoLogin.clear();
    // Nobody stands for an unset author or addressee; nobody logs in as it.
    if (user == nullptr || user->stakeholder_id == reserved::kNobody) {
        ShowStringMessage(environment.ui, kUnknownAutoLogin, Buttons::Ok, Icon::Warning);
        return std::nullopt;
    }
    return user->stakeholder_id;
}

LoginDialogRequest BuildLoginRequest(const LookupLists& lookups, const std::optional<QString>& operatingSystemUser,
                                     const QString& rememberedLogin, std::optional<std::int32_t> chosen)
{
    LoginDialogRequest request;
    for (const StakeholderEntry& entry : lookups.stakeholders())
        request.users.push_back({StakeholderDisplayName(entry), entry.stakeholder_id});
    request.users.push_back({LoadString(kAddUserItem), kAddUserData});
    const auto nobody = std::find_if(request.users.begin(), request.users.end(),
                                     [](const ChoiceItem& item) { return item.data == reserved::kNobody; });
    if (nobody != request.users.end())
        request.users.erase(nobody);

    const auto offered = [&](std::int32_t id) {
        return id != reserved::kNobody &&
            std::any_of(request.users.begin(), request.users.end(),
                        [id](const ChoiceItem& item) { return item.data == id; });
    };
    const auto byLogin = [&](const QString& login) -> std::optional<std::int32_t> {
        const StakeholderEntry* user = login.isEmpty() ? nullptr : lookups.FindStakeholderByLogin(login);
        return user != nullptr ? std::optional<std::int32_t>(user->stakeholder_id) : std::nullopt;
    };
    for (const std::optional<std::int32_t> candidate :
         {chosen, byLogin(rememberedLogin), operatingSystemUser ? byLogin(*operatingSystemUser) : std::nullopt}) {
        if (candidate && offered(*candidate)) {
            request.preselectedData = *candidate;
            request.focusPassword = true;
            return request;
        }
    }
    if (request.users.size() == 1)
        request.preselectedData = request.users.front().data;
    return request;
}

std::optional<std::int32_t> RunLoginLoop(LoginEnvironment& environment)
{
    bool firstRound = true;
    std::optional<std::int32_t> chosen; // kept after a wrong password, so that only the password is typed again
    for (;;) {
        environment.lookups.LoadLookups(true);
        // A new database holds nobody to log in as: the way in is the Users page. Only once, so
        // that a user who adds nobody still reaches the login dialog and its Cancel.
        if (std::exchange(firstRound, false) && environment.runListEditor && !HasUsers(environment.lookups)) {
            ShowStringMessage(environment.ui, kNoUsersYet, Buttons::Ok, Icon::Information);
            environment.runListEditor();
            continue;
        }
        const std::optional<QString> systemUser =
            environment.operatingSystemUser ? environment.operatingSystemUser() : std::nullopt;
        const std::optional<LoginDialogAnswer> answer = environment.ui.RunLoginDialog(
            BuildLoginRequest(environment.lookups, systemUser, environment.rememberedLogin, chosen));
        if (!answer)
            return std::nullopt;
        if (answer->selectedData == kAddUserData) {
            if (environment.runListEditor)
                environment.runListEditor();
            else
                ShowStringMessage(environment.ui, kListEditorMissing, Buttons::Ok, Icon::Information);
            continue;
        }
        const StakeholderEntry* user = environment.lookups.FindStakeholder(answer->selectedData);
        if (user == nullptr || user->stakeholder_id == reserved::kNobody)
            continue;
        if (!PasswordAccepted(user->passwd, answer->password)) {
            chosen = user->stakeholder_id;
            ShowStringMessage(environment.ui, kInvalidPassword, Buttons::Ok, Icon::Warning);
            continue;
        }
        return user->stakeholder_id;
    }
}

bool IsAdministrator(const StakeholderEntry& user, int administratorCount)
{
    return administratorCount == 0 || user.userflags.toUpper().contains(QLatin1Char('A'));
}
