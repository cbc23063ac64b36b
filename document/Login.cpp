#include "document/Login.h"

#include "document/LookupLists.h"
#include "document/PasswordHash.h"
#include "app/base/StringTable.h"

#include <algorithm>

namespace {

constexpr int kAddUserItem = 144;
constexpr int kUnknownAutoLogin = 154;
constexpr int kInvalidPassword = 194;
constexpr int kListEditorMissing = 40144;
constexpr int kAddUserData = -1;

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

LoginDialogRequest BuildLoginRequest(const LookupLists& lookups, const std::optional<QString>& operatingSystemUser)
{
    LoginDialogRequest request;
    for (const StakeholderEntry& entry : lookups.stakeholders())
        request.users.push_back({StakeholderDisplayName(entry), entry.stakeholder_id});
    request.users.push_back({LoadString(kAddUserItem), kAddUserData});
    const auto nobody = std::find_if(request.users.begin(), request.users.end(),
                                     [](const ChoiceItem& item) { return item.data == reserved::kNobody; });
    if (nobody != request.users.end())
        request.users.erase(nobody);

    if (operatingSystemUser) {
        if (const StakeholderEntry* user = lookups.FindStakeholderByLogin(*operatingSystemUser)) {
            request.preselectedData = user->stakeholder_id;
            request.focusPassword = true;
        }
    }
    if (request.users.size() == 1)
        request.preselectedData = request.users.front().data;
    return request;
}

std::optional<std::int32_t> RunLoginLoop(LoginEnvironment& environment)
{
    for (;;) {
        environment.lookups.LoadLookups(true);
        const std::optional<QString> systemUser =
            environment.operatingSystemUser ? environment.operatingSystemUser() : std::nullopt;
        const std::optional<LoginDialogAnswer> answer =
            environment.ui.RunLoginDialog(BuildLoginRequest(environment.lookups, systemUser));
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
