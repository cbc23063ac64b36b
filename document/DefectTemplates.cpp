// A new defect from a template: the user's and everybody's templates, the blank entry, the chooser, the insert.

#include "document/DefectTemplates.h"

#include "base/Check.h"
#include "base/Result.h"
#include "base/StringTable.h"
#include "base/UserInterface.h"
#include "document/DefectPersistence.h"
#include "engine/EngineStatus.h"

namespace {

constexpr int kNewDefectSubject = 141;

int PreselectedRow(const std::vector<DefectRecord>& templates, std::int32_t lastTemplateId)
{
    for (std::size_t row = 0; row < templates.size(); ++row)
        if (templates[row].Defect_ID == lastTemplateId)
            return static_cast<int>(row);
    return 0;
}

} // namespace

std::vector<DefectRecord> LoadTemplates(DefectContext& context)
{
    engine::Connection& connection = context.GetDocumentConnection(RetryMode::Offline);
    engine::Rowset rows;
    const long status =
        connection.Query(DefectRecord::SelectText() + QStringLiteral(" WHERE statusid=0 and (fromid=? or fromid=0)"),
                         {std::int64_t{context.LoggedInId()}}, rows);
    CHResult result(status, connection.errorRecords());
    result.check();

    std::vector<DefectRecord> templates;
    for (long status = rows.MoveFirst(); status == engine::kOk; status = rows.MoveNext())
        templates.push_back(DefectRecord::FromRow(rows));
    DefectRecord blank;
    blank.Subject = LoadString(kNewDefectSubject);
    templates.push_back(blank);
    return templates;
}

void NewDefectFromTemplate(DefectContext& context, DefectPersistence& persistence)
{
    const std::vector<DefectRecord> templates = LoadTemplates(context);
    std::size_t chosen = templates.size() - 1;
    if (templates.size() >= 2) {
        TemplateChoiceRequest request;
        for (const DefectRecord& entry : templates)
            request.subjects << entry.Subject;
        request.preselectedRow = PreselectedRow(templates, context.LastTemplateId());
        const std::optional<int> row = context.Ui().ChooseTemplate(request);
        if (!row)
            return;
        check::precondition(*row >= 0 && static_cast<std::size_t>(*row) < templates.size(),
                            "the chosen template is not in the list");
        chosen = static_cast<std::size_t>(*row);
    }
    context.SetLastTemplateId(templates[chosen].Defect_ID);
    persistence.InsertDefect(templates[chosen]);
    context.DefectCreated(persistence.CurrentDefectId());
}
