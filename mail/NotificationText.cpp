// Composing a notification: the template's tokens are the list's column names.

#include "mail/NotificationText.h"

#include "base/ProductInfo.h"
#include "base/StringIds.h"
#include "base/StringTable.h"
#include "document/DefectRecord.h"
#include "document/LookupLists.h"
#include "engine/SqlDialect.h"
#include "list/ColumnCatalogue.h"
#include "list/ListRow.h"
#include "mail/MailStringIds.h"

#include <QFileInfo>

namespace mail {
namespace {

// The catalogue column whose internal name is `name`, ignoring case; none for any other name.
std::optional<int> TokenColumn(QStringView name)
{
    for (int id = 0; id < column::kCount; ++id) {
        if (name.compare(ColumnInternalName(id), Qt::CaseInsensitive) == 0)
            return id;
    }
    return std::nullopt;
}

// The list's cell text, except that the memo texts are whole rather than cut for the cell.
QString Expansion(int columnId, const DefectRecord& defect, const ListRow& row, const LookupLists& lookups)
{
    if (columnId == column::kDescription)
        return defect.Description;
    if (columnId == column::kComments)
        return defect.Comments;
    return CellText(row, columnId, lookups);
}

QString Footer()
{
    QString footer =
        QStringLiteral("\n\n-------------------------------------------\nthis message was generated automatically by\n"
                       "'%1 %2'")
            .arg(LoadString(::string_id::kApplicationTitle), QLatin1String(kProgramVersion));
    // A program built without a home page names none rather than one that does not exist.
    if (*kHomePageAddress != '\0')
        footer += QStringLiteral(" - ") + QLatin1String(kHomePageAddress);
    return footer;
}

} // namespace

QString DatabaseTitle(const QString& databasePath)
{
    // A server's URI may carry a login; the subject names the database alone.
    if (engine::IsServerName(databasePath))
        return engine::ServerDatabaseName(databasePath);
    const QString name = QFileInfo(databasePath).fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? name : name.left(dot);
}

QString ComposeSubject(const DefectRecord& defect, const QString& databasePath, const LookupLists& lookups)
{
    const StatusEntry* status = lookups.FindStatus(defect.StatusID);
    return QStringLiteral("[Vellacord:%1] %2:%3 '%4'")
        .arg(DatabaseTitle(databasePath), QString::number(defect.Defect_ID), status ? status->status : QString(),
             defect.Subject);
}

QString ComposeBody(const std::optional<QString>& comment, const DefectRecord& defect, const QString& bodyTemplate,
                    const LookupLists& lookups)
{
    QString body;
    if (comment && !comment->isEmpty())
        body = *comment + QStringLiteral("\n\n%1\n").arg(QString(60, QLatin1Char('-')));
    const QString text = bodyTemplate.isEmpty() ? LoadString(string_id::kDefaultTemplate) : bodyTemplate;
    ListTextArena texts(0); // room for the one row
    const ListRow row = ListRow::FromRecord(defect, texts);
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != QLatin1Char('%')) {
            body += text[i];
            continue;
        }
        if (i + 1 < text.size() && text[i + 1] == QLatin1Char('%')) {
            body += QLatin1Char('%');
            ++i;
            continue;
        }
        const qsizetype close = text.indexOf(QLatin1Char('%'), i + 1);
        const QStringView name = close < 0 ? QStringView() : QStringView(text).mid(i + 1, close - i - 1);
        const std::optional<int> columnId = close < 0 ? std::nullopt : TokenColumn(name);
        if (!columnId) {
            // A broken template stops here and says where, rather than mailing half-expanded text.
            body += QStringLiteral("[ERROR: token %%1% is invalid]").arg(name);
            break;
        }
        body += Expansion(*columnId, defect, row, lookups);
        i = close;
    }
    return body + Footer();
}

} // namespace mail
