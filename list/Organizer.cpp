// The organisers' reading, saving, copying and deleting of views and filters.

#include "list/Organizer.h"

#include "base/Check.h"
#include "base/ErrorContext.h"
#include "base/Result.h"
#include "base/UserInterface.h"
#include "document/ConnectionProvider.h"
#include "document/DefectRecord.h"
#include "engine/EngineStatus.h"
#include "engine/Rowset.h"
#include "engine/Statement.h"
#include "list/ListQuery.h"
#include "list/ViewStore.h"
#include "platform/Utf8Text.h"

#include <QRegularExpression>

#include <cmath>

namespace {

constexpr int kPrivateViewQuestion = 110;
constexpr int kDeleteViewQuestion = 111;
constexpr int kPrivateFilterQuestion = 114;
constexpr int kDeleteFilterQuestion = 115;

QString Cut(const QString& text, int bytes)
{
    return QString::fromUtf8(CutUtf8(text.toUtf8(), bytes));
}

// Raises the engine's failure as a database error.
void Check(engine::Connection& connection, long status)
{
    CHResult result(status, connection.errorRecords());
    result.check();
}

} // namespace

QString FilterProblemText(const QString& filterText, const QString& engineMessage)
{
    static const QRegularExpression noColumn(QStringLiteral("no such column: *([^ ]+)"));
    static const QRegularExpression near(QStringLiteral("near \"([^\"]*)\": syntax error"));
    QString problem;
    if (engineMessage.isEmpty()) {
        problem = QStringLiteral("it leaves a comment (--, /*), a quotation (' or \") or a parenthesis open, or "
                                 "closes a parenthesis it did not open");
    } else if (const QRegularExpressionMatch column = noColumn.match(engineMessage); column.hasMatch()) {
        problem = QStringLiteral("the defects have no column \"%1\". The Columns button lists the names a filter "
                                 "can use; a text value needs quotation marks, as in status='new'")
                      .arg(column.captured(1));
    } else if (const QRegularExpressionMatch at = near.match(engineMessage); at.hasMatch()) {
        problem = at.captured(1).isEmpty()
            ? QStringLiteral("it ends before the condition is complete")
            : QStringLiteral("it is not a complete condition at \"%1\"").arg(at.captured(1));
    } else if (engineMessage.contains(QLatin1String("more than one statement"))) {
        problem = QStringLiteral("it holds more than one statement; leave out the \";\"");
    } else if (engineMessage.contains(QLatin1String("more than read"))) {
        problem = QStringLiteral("it does more than read the defects");
    } else if (engineMessage.contains(QLatin1String("unrecognized token"))) {
        problem = QStringLiteral("it holds a character or a quotation that does not belong in a condition");
    } else {
        problem = QStringLiteral("the database cannot use it as a condition");
    }
    return QStringLiteral("The filter \"%1\" cannot be used: %2.\n\nA filter is a condition on the defects' columns, "
                          "such as statusid=1 or status='new' AND toid=@loggedInId. The Columns, Operators and "
                          "Keywords buttons insert names and values that fit.")
               .arg(filterText.trimmed(), problem) +
        (engineMessage.isEmpty() ? QString() : QStringLiteral(" Details shows the database's own message."));
}

Organizer::Organizer(Kind kind, ConnectionProvider& connections, UserInterface& ui, std::int32_t loggedInId)
    : kind_(kind), connections_(connections), ui_(ui), loggedInId_(loggedInId)
{
}

Organizer::Fields Organizer::FieldsOf(const Row& row)
{
    return {row.name, row.userId != 0, row.text};
}

bool Organizer::Editable() const
{
    return selected_ >= 0 && SelectedRow().id != kDefaultId;
}

const Organizer::Row& Organizer::SelectedRow() const
{
    check::precondition(selected_ >= 0 && selected_ < static_cast<int>(rows_.size()),
                        kind_ == Kind::Views ? "no item selected" : "no filter selected");
    return rows_[static_cast<std::size_t>(selected_)];
}

void Organizer::Fill()
{
    engine::Connection& connection = connections_.GetDocumentConnection(RetryMode::Offline);
    engine::Rowset rows;
    const bool views = kind_ == Kind::Views;
    const long status = connection.Query(
        views ? QStringLiteral("SELECT Id, UserId, Viewname FROM Views WHERE UserId=0 OR UserId=?")
              : QStringLiteral("SELECT Filtername, Filtertext, Id, UserId FROM Filter WHERE UserId=0 OR UserId=?"),
        {std::int64_t{loggedInId_}}, rows);
    Check(connection, status);
    rows_.clear();
    for (long row = rows.MoveFirst(); row == engine::kOk; row = rows.MoveNext()) {
        if (views)
            rows_.push_back({rows.Int32(0), rows.Int32(1), rows.Text(2), QString()});
        else
            rows_.push_back({rows.Int32(2), rows.Int32(3), rows.Text(0), rows.Text(1)});
    }
    selected_ = rows_.empty() ? -1 : 0;
}

Organizer::Fields Organizer::Select(int row, const Fields& leaving)
{
    if (Editable())
        Save(leaving);
    selected_ = row >= 0 && row < static_cast<int>(rows_.size()) ? row : -1;
    return selected_ >= 0 ? FieldsOf(SelectedRow()) : Fields{};
}

std::optional<Organizer::FilterRefusal> Organizer::CheckFilterText(const QString& text)
{
    if (!engine::IsCompleteFragment(text))
        return FilterRefusal{FilterProblemText(text, QString()), QString()};
    ListSettings settings;
    settings.loggedInId = loggedInId_;
    settings.filterActive = true;
    settings.filterText = text;
    const ListCondition condition = BuildListCondition(settings, true);
    engine::Connection& connection = connections_.GetDocumentConnection(RetryMode::Offline);
    engine::Statement statement(connection, ListStatement(condition, ListMemos{true, true}), engine::Access::ReadOnly);
    if (!engine::Failed(statement.Bind({})))
        return std::nullopt;
    const QString engineMessage = connection.TakeErrorMessage();
    return FilterRefusal{FilterProblemText(text, engineMessage), engineMessage};
}

Organizer::Fields Organizer::Save(const Fields& fields)
{
    const bool views = kind_ == Kind::Views;
    ErrorContext context(views ? "Saving view data" : "Saving filter data");
    const Row row = SelectedRow();
    const Fields stored = FieldsOf(row);
    if (fields == stored || (views && fields.name == stored.name && fields.isPrivate == stored.isPrivate))
        return fields;
    if (fields.isPrivate && row.userId == 0 &&
        ShowStringMessage(ui_, views ? kPrivateViewQuestion : kPrivateFilterQuestion, Buttons::YesNo, Icon::Question) ==
            Answer::No)
        return stored;
    if (!views && fields.text != stored.text) {
        if (const std::optional<FilterRefusal> refusal = CheckFilterText(Cut(fields.text, kTextBytes))) {
            MessageRequest request;
            request.text = refusal->text;
            request.details = refusal->details;
            request.icon = Icon::Warning;
            ui_.ShowMessage(request);
            return fields;
        }
    }
    if (!WriteRow(row, fields))
        return fields;
    Row& updated = rows_[static_cast<std::size_t>(selected_)];
    updated.name = Cut(fields.name, kNameBytes);
    updated.userId = fields.isPrivate ? loggedInId_ : 0;
    if (!views)
        updated.text = Cut(fields.text, kTextBytes);
    return FieldsOf(updated);
}

bool Organizer::WriteRow(const Row& row, const Fields& fields)
{
    const bool views = kind_ == Kind::Views;
    engine::Connection& connection = connections_.GetDocumentConnection(RetryMode::Offline);
    // Read fresh: a row another user deleted is reported, not silently made again.
    std::int64_t present = 0;
    Check(connection,
          connection.QueryInt(views ? QStringLiteral("SELECT count(*) FROM Views WHERE Id=?")
                                    : QStringLiteral("SELECT count(*) FROM Filter WHERE Id=?"),
                              {std::int64_t{row.id}}, present));
    check::abort_if(present == 0,
                    views ? "view was deleted from the database" : "filter was deleted from the database");
    const std::int64_t userId = fields.isPrivate ? loggedInId_ : 0;
    const long status = views
        ? connection.Execute(QStringLiteral("UPDATE Views SET viewname=?, userid=? WHERE id=?"),
                             {Cut(fields.name, kNameBytes), userId, std::int64_t{row.id}})
        : connection.Execute(
              QStringLiteral("UPDATE Filter SET filtername=?, filtertext=?, userid=? WHERE id=?"),
              {Cut(fields.name, kNameBytes), Cut(fields.text, kTextBytes), userId, std::int64_t{row.id}});
    Check(connection, status);
    return true;
}

void Organizer::Copy(const Fields& fields)
{
    const bool views = kind_ == Kind::Views;
    ErrorContext context(views ? "copying view data" : "copying filter data");
    const Row source = SelectedRow();
    engine::Connection& connection = connections_.GetDocumentConnection(RetryMode::Offline);
    const QString name = Cut(QStringLiteral("*") + fields.name, kNameBytes);
    std::int64_t newId = 0;
    Check(connection, connection.WriteTransaction([&] {
        const long status = views
            ? connection.Execute(QStringLiteral("INSERT INTO Views (userid, viewname) VALUES (?, ?)"),
                                 {std::int64_t{loggedInId_}, name})
            : connection.Execute(QStringLiteral("INSERT INTO Filter (userid, filtername, filtertext) VALUES (?, ?, ?)"),
                                 {std::int64_t{loggedInId_}, name, Cut(fields.text, kTextBytes)});
        newId = connection.LastInsertId();
        return status;
    }));
    if (views) {
        ViewDefinition view;
        if (LoadView(connections_, ui_, source.id, view)) {
            view.viewId = static_cast<std::int32_t>(newId);
            for (ViewColumn& column : view.columns)
                column.ViewId = view.viewId;
            SaveView(connections_, ui_, view);
        }
    }
    Fill();
}

void Organizer::Delete()
{
    const bool views = kind_ == Kind::Views;
    ErrorContext context(views ? "Deleting view" : "Deleting filter");
    check::precondition(selected_ >= 0 && selected_ < static_cast<int>(rows_.size()), "No item selected.");
    const Row row = SelectedRow();
    if (ShowStringMessage(ui_, views ? kDeleteViewQuestion : kDeleteFilterQuestion, Buttons::YesNo, Icon::Question) !=
        Answer::Yes)
        return;
    engine::Connection& connection = connections_.GetDocumentConnection(RetryMode::Offline);
    int deleted = 0;
    Check(connection, connection.WriteTransaction([&] {
        if (views) {
            const long status =
                connection.Execute(QStringLiteral("DELETE FROM ViewColumns WHERE ViewId=?"), {std::int64_t{row.id}});
            if (engine::Failed(status))
                return status;
        }
        const long status = views
            ? connection.Execute(QStringLiteral("DELETE FROM Views WHERE Id=? AND (UserId=0 OR UserId=?)"),
                                 {std::int64_t{row.id}, std::int64_t{loggedInId_}})
            : connection.Execute(QStringLiteral("DELETE FROM Filter WHERE Id=?"), {std::int64_t{row.id}});
        deleted = connection.Changes();
        return status;
    }));
    check::abort_if(deleted == 0,
                    views ? "Database has been modified externally, view no longer exists."
                          : "Database has been modified externally, filter no longer exists.");
    Fill();
}

std::vector<FilterInsertion> FilterInsertions(const DefectRecord* current, double today)
{
    const auto about = [current](const char* column, std::int32_t DefectRecord::*field) {
        return current != nullptr ? QStringLiteral("%1=%2").arg(QLatin1String(column)).arg(current->*field) : QString();
    };
    const double day = std::floor(today);
    std::vector<FilterInsertion> items{
        {QStringLiteral("Columns"), QStringLiteral("StatusId"), QStringLiteral("statusid")},
        {QStringLiteral("Columns"), QStringLiteral("PriorityId"), QStringLiteral("priorityid")},
        {QStringLiteral("Columns"), QStringLiteral("SeverityId"), QStringLiteral("severityid")},
        {QStringLiteral("Columns"), QStringLiteral("To/DisplayName"), QStringLiteral("[To.displayname]")},
        {QStringLiteral("Columns"), QStringLiteral("To/eMail"), QStringLiteral("[To.email]")},
        {QStringLiteral("Columns"), QStringLiteral("To/Id"), QStringLiteral("toid")},
        {QStringLiteral("Columns"), QStringLiteral("From/DisplayName"), QStringLiteral("[From.displayname]")},
        {QStringLiteral("Columns"), QStringLiteral("From/eMail"), QStringLiteral("[From.email]")},
        {QStringLiteral("Columns"), QStringLiteral("From/Id"), QStringLiteral("fromid")},
        {QStringLiteral("Columns"), QStringLiteral("Status"), QStringLiteral("status")},
        {QStringLiteral("Columns"), QStringLiteral("Priority"), QStringLiteral("priority")},
        {QStringLiteral("Columns"), QStringLiteral("Severity"), QStringLiteral("severity")},
    };
    for (const char* op : {"=", ">", "<", ">=", "<=", "<>"})
        items.push_back(
            {QStringLiteral("Operators"), QLatin1String(op), QStringLiteral(" %1 ").arg(QLatin1String(op))});
    items.push_back({QStringLiteral("Keywords"), QStringLiteral("logged in"), QStringLiteral("@loggedInId")});
    items.push_back({QStringLiteral("Keywords"), QStringLiteral("same user"), about("toid", &DefectRecord::ToID)});
    items.push_back({QStringLiteral("Keywords"), QStringLiteral("same component"),
                     about("componentid", &DefectRecord::ComponentID)});
    items.push_back(
        {QStringLiteral("Keywords"), QStringLiteral("same priority"), about("priorityid", &DefectRecord::PriorityID)});
    items.push_back(
        {QStringLiteral("Keywords"), QStringLiteral("same severity"), about("severityid", &DefectRecord::SeverityID)});
    items.push_back({QStringLiteral("Keywords"), QStringLiteral("today"),
                     QStringLiteral("modified>=%1 and modified<%2").arg(day, 0, 'f', 0).arg(day + 1, 0, 'f', 0)});
    return items;
}
