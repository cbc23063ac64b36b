// Deleting the selected defects: rights check, the question, batched DELETEs and the attachment folders.

#include "document/DefectDeletion.h"

#include "base/ErrorContext.h"
#include "base/Result.h"
#include "base/StringTable.h"
#include "base/UserInterface.h"
#include "document/DefectPersistence.h"
#include "engine/EngineStatus.h"
#include "store/AttachmentDirectory.h"
#include "store/AttachmentPaths.h"

#include <algorithm>
#include <cerrno>

namespace {

constexpr int kNoRights = 193;
constexpr int kReallyDelete = 107;
constexpr int kLinksNotFollowed = 2305;
constexpr int kStatementLength = 500;

// Removes the defect's directory, whatever is at its name: a link there or inside is removed as a
// link, and listed in `notFollowed`; what it points to stays untouched.
void RemoveAttachmentDirectory(const QString& databasePath, std::int32_t defectId, QStringList& notFollowed)
{
    ErrorContext label("removing defect attachment directory");
    const AttachmentRemoval removal = DeleteAttachmentDirectory(DefectAttachmentPath(databasePath, defectId));
    notFollowed += removal.notFollowed;
    errno = removal.error;
    CheckedCall(removal.removed);
}

// Runs one DELETE; the attachments of its defects go only once their rows are gone, so a
// failed statement never leaves defects without their files.
bool RunBatch(DefectContext& context, const DeleteBatch& batch, QStringList& notFollowed)
{
    engine::Connection& connection = context.GetDocumentConnection(RetryMode::Offline);
    if (engine::Failed(connection.Execute(batch.sql))) {
        ShowTextMessage(context.Ui(), QStringLiteral("Delete command failed"), Buttons::Ok, Icon::Error);
        return false;
    }
    for (const std::int32_t id : batch.ids)
        RemoveAttachmentDirectory(context.DatabasePath(), id, notFollowed);
    return true;
}

} // namespace

std::vector<DeleteBatch> BuildDeleteBatches(const std::vector<std::int32_t>& ids)
{
    // The ids are integers taken from the list, so formatting them into the text is safe.
    std::vector<DeleteBatch> batches;
    DeleteBatch batch;
    for (std::size_t i = 0; i < ids.size(); ++i) {
        batch.sql += batch.sql.isEmpty() ? QStringLiteral("DELETE FROM DefectList WHERE Defect_ID = %1").arg(ids[i])
                                         : QStringLiteral(" OR Defect_ID = %1").arg(ids[i]);
        batch.ids.push_back(ids[i]);
        if (batch.sql.size() > kStatementLength || i + 1 == ids.size()) {
            batches.push_back(std::move(batch));
            batch = {};
        }
    }
    return batches;
}

std::int32_t NextCurrentDefect(const std::vector<DefectListSeam::Row>& rows)
{
    std::ptrdiff_t lastSelected = -1;
    for (std::size_t i = 0; i < rows.size(); ++i)
        if (rows[i].selected)
            lastSelected = static_cast<std::ptrdiff_t>(i);
    if (lastSelected < 0)
        return -1;
    if (static_cast<std::size_t>(lastSelected) + 1 < rows.size())
        return rows[static_cast<std::size_t>(lastSelected) + 1].defectId;
    for (std::ptrdiff_t i = lastSelected - 1; i >= 0; --i)
        if (!rows[static_cast<std::size_t>(i)].selected)
            return rows[static_cast<std::size_t>(i)].defectId;
    return -1;
}

void DeleteSelectedDefects(DefectContext& context, DefectPersistence& persistence, const DefectListSeam* list)
{
    if (list == nullptr || !persistence.SaveRecord(true))
        return;
    const std::vector<DefectListSeam::Row> rows = list->Rows();
    std::vector<std::int32_t> selected;
    for (const DefectListSeam::Row& row : rows)
        if (row.selected)
            selected.push_back(row.defectId);
    if (selected.empty())
        return;

    UserInterface& ui = context.Ui();
    if (!context.IsAdministrator()) {
        const QString me = context.LoggedInDisplayName();
        for (const DefectListSeam::Row& row : rows) {
            if (row.selected && row.fromText != me) {
                ShowStringMessage(ui, kNoRights, Buttons::Ok, Icon::Warning);
                return;
            }
        }
    }
    // The question says what goes: the one defect by its id, or how many.
    const QString what = selected.size() == 1 ? QStringLiteral("defect %1").arg(selected.front())
                                              : QStringLiteral("%1 selected defects").arg(selected.size());
    if (ShowTextMessage(ui, LoadString(kReallyDelete).replace(QLatin1String("%s"), what), Buttons::YesNo,
                        Icon::Question, kReallyDelete) != Answer::Yes)
        return;

    QStringList notFollowed;
    const auto reportLinks = [&] {
        if (!notFollowed.isEmpty())
            ShowTextMessage(ui,
                            FormatString(kLinksNotFollowed, notFollowed.join(QLatin1Char('\n')).toUtf8().constData()),
                            Buttons::Ok, Icon::Warning, kLinksNotFollowed);
    };
    // Only the defects whose rows are gone are announced: the list must not drop a defect that a
    // failed statement left in the file.
    std::vector<std::int32_t> deleted;
    try {
        for (const DeleteBatch& batch : BuildDeleteBatches(selected)) {
            if (RunBatch(context, batch, notFollowed))
                deleted.insert(deleted.end(), batch.ids.begin(), batch.ids.end());
        }
    } catch (...) {
        // Whoever planted a link must not go unnoticed when a later removal fails.
        reportLinks();
        throw;
    }
    reportLinks();
    if (deleted.empty())
        return;
    std::vector<DefectListSeam::Row> remaining = rows;
    for (DefectListSeam::Row& row : remaining)
        row.selected = std::find(deleted.begin(), deleted.end(), row.defectId) != deleted.end();
    context.DefectsDeleted(deleted, NextCurrentDefect(remaining));
}
