// Printing the quick search's hits as lines or as JSON.

#include "SearchCommand.h"

#include "DefectJson.h"
#include "ShellSession.h"

#include "document/LookupLists.h"
#include "list/QuickSearch.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>

namespace {

// The best hits a reader looks through on a terminal, each with its excerpt.
constexpr int kMostHits = 50;

QString OneLine(QString text)
{
    static const QRegularExpression breaks(QStringLiteral("\\s+"));
    return text.replace(breaks, QStringLiteral(" ")).trimmed();
}

} // namespace

QString SearchDefects(const AdminOptions& options, UserInterface& ui, AdministrationActions& administration,
                      QTextStream& out)
{
    ShellSession session(options.file, ui, administration);
    if (QString error = session.LogIn(options.user, false, std::nullopt); !error.isEmpty())
        return error;
    CDefectDoc& doc = session.doc();
    const QuickSearchResult result = RunQuickSearch(doc.GetDocumentConnection(RetryMode::Offline), doc.loggedInId(),
                                                    options.shell.words, kMostHits, kMostHits);
    if (!result.error.isEmpty())
        return result.details.isEmpty() ? result.error
                                        : result.error + QStringLiteral("\ndetails: ") + result.details.trimmed();
    QJsonArray hits;
    for (const QuickSearchHit& hit : result.hits) {
        const std::optional<DefectRecord> record = doc.defects().ReadDefect(hit.defectId);
        if (!record)
            continue;
        const QString status = doc.lookups().LookupName(LookupList::Status, record->StatusID);
        if (options.shell.json)
            hits.append(QJsonObject{{QStringLiteral("id"), hit.defectId},
                                    {QStringLiteral("subject"), record->Subject},
                                    {QStringLiteral("status"), status},
                                    {QStringLiteral("modified"), JsonDate(record->Modified)},
                                    {QStringLiteral("score"), hit.score},
                                    {QStringLiteral("excerpt"), hit.excerpt}});
        else
            out << hit.defectId << '\t' << status << '\t' << OneLine(record->Subject) << '\t' << OneLine(hit.excerpt)
                << '\n';
    }
    if (options.shell.json)
        out << QJsonDocument(hits).toJson(QJsonDocument::Indented);
    out.flush();
    return {};
}
