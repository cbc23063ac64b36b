// Attempts of one unit of work, with the retry dialog between them.

#include "store/RetriedWrite.h"

#include "base/Result.h"
#include "base/StringTable.h"
#include "base/UserInterface.h"
#include "engine/EngineStatus.h"

namespace {

constexpr int kDatabaseUnreachableText = 152;

} // namespace

bool AskToRetry(UserInterface& ui)
{
    RetryDialogRequest request;
    request.message = LoadString(kDatabaseUnreachableText);
    return ui.RunRetryDialog(request) == RetryAnswer::Retry;
}

bool RunWithRetries(UserInterface& ui, int attempts, const std::function<long()>& attempt)
{
    for (int number = 0; number < attempts; ++number) {
        if (number > 0 && !AskToRetry(ui))
            return false;
        try {
            if (!engine::Failed(attempt()))
                return true;
        } catch (CResult<long>&) {
            // A provider failure raised on the way counts as a failed attempt like a failing status.
        }
    }
    return false;
}
