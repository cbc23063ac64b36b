// Changing one's password: ask until the current one is right and the new one typed alike twice, then store it.

#include "document/ChangePassword.h"

#include "base/Check.h"
#include "base/ErrorReport.h"
#include "base/UserInterface.h"
#include "document/LookupLists.h"
#include "document/PasswordHash.h"
#include "engine/EngineStatus.h"

namespace {

constexpr int kInvalidPassword = 194;
constexpr int kPasswordsDiffer = 195;

} // namespace

void ChangePassword(UserInterface& ui, ConnectionProvider& connections, LookupLists& lookups, std::int32_t loggedInId)
{
    for (;;) {
        const std::optional<ChangePasswordAnswer> answer = ui.RunChangePasswordDialog();
        if (!answer)
            return;
        const StakeholderEntry* user = lookups.FindStakeholder(loggedInId);
        check::abort_if(user == nullptr, "Could not find loggedInID");
        if (!PasswordAccepted(user->passwd, answer->currentPassword)) {
            ShowStringMessage(ui, kInvalidPassword, Buttons::Ok, Icon::Warning);
            continue;
        }
        if (answer->newPassword != answer->repeatedPassword) {
            ShowStringMessage(ui, kPasswordsDiffer, Buttons::Ok, Icon::Warning);
            continue;
        }
        // No password is stored as an empty value, never as the hash of the empty text.
        const QString newValue = answer->newPassword.isEmpty() ? QStringLiteral("") : PasswordHash(answer->newPassword);
        engine::Connection& connection = connections.GetDocumentConnection(RetryMode::Offline);
        const long status = connection.Execute(QStringLiteral("UPDATE stakeholder set passwd=? WHERE stakeholder_id=?"),
                                               {newValue, std::int64_t{loggedInId}});
        if (engine::Failed(status)) {
            ReportEngineFailure(status, connection.TakeErrorRecords(), ReportStyle::Error);
            continue;
        }
        lookups.SetStakeholderPasswd(loggedInId, newValue);
        return;
    }
}
