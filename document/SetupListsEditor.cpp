// The list editor's logic: pages over the lookup tables, the field editor's content and the stores.
#include "document/SetupListsEditor.h"

#include "base/Check.h"
#include "base/ErrorContext.h"
#include "base/ErrorReport.h"
#include "base/Result.h"
#include "base/StringTable.h"
#include "base/UserInterface.h"
#include "document/PasswordHash.h"
#include "engine/EngineStatus.h"
#include "platform/DisplayNames.h"
#include "platform/Utf8Text.h"
#include "store/RetriedWrite.h"

#include <QRegularExpression>

#include <algorithm>
#include <limits>
#include <set>

namespace {

struct PageTable {
    int captionId;
    const char* table;
};

constexpr PageTable kPages[setup_lists::kPageCount] = {
    {116, "stakeholder"}, {117, "component"}, {118, "priority"}, {119, "severity"}, {120, "status"}, {198, "category"},
};

constexpr int kDeleteQuestion = 121;
constexpr int kChangedByAnother = 126;
constexpr int kOrderAttempts = 8;

const QString kSortOrder = QStringLiteral("sys_sortorder");
const QString kReadOnly = QStringLiteral("sys_readonly");
const QString kPasswd = QStringLiteral("passwd");
const QString kUserFlags = QStringLiteral("userflags");

QString Quoted(const QString& name)
{
    return QLatin1Char('"') + QString(name).replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
}

void ThrowOnFailure(long status, engine::Connection& connection)
{
    if (engine::Failed(status))
        CHResult(status, connection.TakeErrorRecords()).check();
}

// The text's leading decimal number, 0 when there is none; held to the 32 bits of the column.
std::int64_t LeadingNumber(const QString& text)
{
    static const QRegularExpression number(QStringLiteral("^\\s*[-+]?\\d+"));
    const QRegularExpressionMatch match = number.match(text);
    if (!match.hasMatch())
        return 0;
    bool ok = false;
    const qlonglong value = match.captured().trimmed().toLongLong(&ok);
    if (!ok)
        return match.captured().contains(QLatin1Char('-')) ? std::numeric_limits<std::int32_t>::min()
                                                           : std::numeric_limits<std::int32_t>::max();
    return std::clamp<qlonglong>(value, std::numeric_limits<std::int32_t>::min(),
                                 std::numeric_limits<std::int32_t>::max());
}

} // namespace

QString setup_lists::PasswordMarker()
{
    return QChar(0xFF) + QStringLiteral("#######");
}

QString setup_lists::ColumnCaption(const QString& name)
{
    const QString translated = TranslateDisplayName(name);
    if (translated != name)
        return translated;
    static const std::map<QString, QString> kCaptions{
        {QStringLiteral("stakeholder_id"), QStringLiteral("ID")},
        {QStringLiteral("email"), QStringLiteral("E-mail")},
        {QStringLiteral("displayname"), QStringLiteral("Name")},
        {QStringLiteral("loginname"), QStringLiteral("Login name")},
        {QStringLiteral("passwd"), QStringLiteral("Password")},
        {QStringLiteral("userflags"), QStringLiteral("Administrator")},
        {QStringLiteral("component_id"), QStringLiteral("ID")},
        {QStringLiteral("component"), QStringLiteral("Component")},
        {QStringLiteral("priority_id"), QStringLiteral("ID")},
        {QStringLiteral("priority"), QStringLiteral("Priority")},
        {QStringLiteral("severity_id"), QStringLiteral("ID")},
        {QStringLiteral("severity"), QStringLiteral("Severity")},
        {QStringLiteral("status_id"), QStringLiteral("ID")},
        {QStringLiteral("status"), QStringLiteral("Status")},
        {QStringLiteral("statusdescription"), QStringLiteral("Description")},
        {QStringLiteral("category_id"), QStringLiteral("ID")},
        {QStringLiteral("category"), QStringLiteral("Category")},
        {QStringLiteral("categorydescription"), QStringLiteral("Description")},
    };
    const auto found = kCaptions.find(name.toLower());
    return found != kCaptions.end() ? found->second : name;
}

bool setup_lists::HasAdministratorFlag(const QString& flags)
{
    return flags.contains(QLatin1Char('A'), Qt::CaseInsensitive);
}

QString setup_lists::WithAdministratorFlag(const QString& flags, bool administrator)
{
    QString others = flags;
    others.remove(QLatin1Char('A'), Qt::CaseInsensitive);
    return administrator ? QStringLiteral("A") + others : others;
}

SetupListsEditor::SetupListsEditor(UserInterface& ui, engine::Connection& connection, bool administrator,
                                   std::int32_t userId)
    : ui_(ui), connection_(connection), administrator_(administrator), userId_(userId)
{
}

QString SetupListsEditor::PageCaption(int page) const
{
    check::precondition(page >= 0 && page < setup_lists::kPageCount, "invalid page number");
    return LoadString(kPages[page].captionId);
}

void SetupListsEditor::ShowPage(int page)
{
    ErrorContext context("switching pages");
    check::precondition(page >= 0 && page < setup_lists::kPageCount, "invalid page number");
    rowset_.Close();
    columns_.clear();
    bookmarks_.clear();
    sortValues_.clear();
    order_.clear();
    keyColumn_ = sortColumn_ = readonlyColumn_ = -1;
    page_ = page;

    const QString table = QString::fromLatin1(kPages[page].table);
    engine::Rowset info;
    ThrowOnFailure(connection_.QueryTableColumns(table, info), connection_);
    static const QRegularExpression size(QStringLiteral("\\((\\d+)\\)"));
    QStringList names;
    for (long status = info.MoveFirst(); status == engine::kOk; status = info.MoveNext()) {
        Column column;
        column.name = info.Text(info.ColumnIndex(QStringLiteral("name")));
        const QString type = info.Text(info.ColumnIndex(QStringLiteral("type"))).toUpper();
        column.key = info.Int(info.ColumnIndex(QStringLiteral("pk"))) > 0;
        // The engine has no boolean type; the read-only flag is the one boolean column of these tables.
        if (column.name.compare(kReadOnly, Qt::CaseInsensitive) == 0)
            column.type = Type::Boolean;
        else if (type.contains(QLatin1String("INT")))
            column.type = Type::Integer;
        else if (type.contains(QLatin1String("CHAR")) || type.contains(QLatin1String("TEXT"))) {
            column.type = Type::Text;
            const QRegularExpressionMatch match = size.match(type);
            column.size = match.hasMatch() ? match.captured(1).toInt() : 0;
        }
        const int index = static_cast<int>(columns_.size());
        if (column.key)
            keyColumn_ = index;
        if (column.name.compare(kSortOrder, Qt::CaseInsensitive) == 0)
            sortColumn_ = index;
        if (column.type == Type::Boolean)
            readonlyColumn_ = index;
        names << Quoted(column.name);
        columns_.push_back(column);
    }
    check::assertion(keyColumn_ >= 0, "the lookup table has no key column");

    const QString select = QStringLiteral("SELECT %1 FROM %2").arg(names.join(QStringLiteral(", ")), Quoted(table));
    ThrowOnFailure(rowset_.Open(connection_, select, {}, table, columns_[static_cast<std::size_t>(keyColumn_)].name),
                   connection_);
    for (long status = rowset_.MoveFirst(); status == engine::kOk; status = rowset_.MoveNext()) {
        bookmarks_.push_back(rowset_.Get(keyColumn_));
        // Rows without an order come first, as the engine sorts NULL.
        sortValues_.push_back(sortColumn_ >= 0 && !rowset_.IsNull(sortColumn_)
                                  ? rowset_.Int(sortColumn_)
                                  : std::numeric_limits<std::int64_t>::min());
        order_.push_back(static_cast<int>(order_.size()));
    }
    if (sortColumn_ >= 0)
        std::stable_sort(order_.begin(), order_.end(), [&](int a, int b) { return sortValues_[a] < sortValues_[b]; });
    EmptyFields();
    orderChanged_ = false;
}

int SetupListsEditor::ColumnIndex(const QString& name) const
{
    for (std::size_t i = 0; i < columns_.size(); ++i) {
        if (columns_[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return static_cast<int>(i);
    }
    return -1;
}

const engine::Row& SetupListsEditor::RowOf(int bookmark) const
{
    check::assertion(bookmark >= 0 && bookmark < static_cast<int>(bookmarks_.size()),
                     "current list entry has no associated bookmark");
    check::assertion(rowset_.Locate(keyColumn_, bookmarks_[static_cast<std::size_t>(bookmark)]) == engine::kOk,
                     "the row of the list entry is gone from the rowset");
    return rowset_.CurrentRow();
}

QString SetupListsEditor::ValueText(const Column& column, const engine::Value& value) const
{
    if (engine::IsNull(value))
        return {};
    switch (column.type) {
    case Type::Integer:
        return QString::number(engine::AsInt(value));
    case Type::Boolean:
        return engine::AsInt(value) != 0 ? QStringLiteral("true") : QStringLiteral("false");
    case Type::Text:
        if (column.name.compare(kPasswd, Qt::CaseInsensitive) == 0)
            return engine::AsText(value).isEmpty() ? QString() : setup_lists::PasswordMarker();
        return engine::AsText(value);
    case Type::Other:
        break;
    }
    return QStringLiteral("?? unknown type ??");
}

QString SetupListsEditor::CellText(int row, int column) const
{
    check::precondition(row >= 0 && row < RowCount(), "no such list row");
    const engine::Row& values = RowOf(order_[static_cast<std::size_t>(row)]);
    return ValueText(columns_[static_cast<std::size_t>(column)], values[static_cast<std::size_t>(column)]);
}

QStringList SetupListsEditor::RowTexts(int row) const
{
    // The list says in words what the fields hold as codes: whether a password is set and
    // whether the user is an administrator.
    QStringList texts;
    for (int column = 0; column < static_cast<int>(columns_.size()); ++column) {
        const QString& name = columns_[static_cast<std::size_t>(column)].name;
        QString text = CellText(row, column);
        if (name.compare(kPasswd, Qt::CaseInsensitive) == 0)
            text = text.isEmpty() ? QString() : QStringLiteral("set");
        else if (name.compare(kUserFlags, Qt::CaseInsensitive) == 0)
            text = setup_lists::HasAdministratorFlag(text) ? QStringLiteral("yes") : QString();
        texts << text;
    }
    return texts;
}

std::vector<ListEditorColumn> SetupListsEditor::Columns() const
{
    std::vector<ListEditorColumn> columns;
    for (std::size_t i = 0; i < columns_.size(); ++i) {
        const bool hidden = static_cast<int>(i) == sortColumn_ || static_cast<int>(i) == readonlyColumn_;
        columns.push_back({setup_lists::ColumnCaption(columns_[i].name), hidden});
    }
    return columns;
}

bool SetupListsEditor::Shown(const Column& column) const
{
    if (column.name.compare(kSortOrder, Qt::CaseInsensitive) == 0 || column.type == Type::Boolean)
        return false;
    if (administrator_)
        return true;
    return column.name.compare(kPasswd, Qt::CaseInsensitive) != 0 &&
        column.name.compare(kUserFlags, Qt::CaseInsensitive) != 0;
}

std::vector<ListEditorField> SetupListsEditor::Fields() const
{
    std::vector<ListEditorField> fields;
    for (std::size_t i = 0; i < columns_.size(); ++i) {
        const Column& column = columns_[i];
        if (!Shown(column))
            continue;
        ListEditorField field;
        field.column = static_cast<int>(i);
        field.label = setup_lists::ColumnCaption(column.name);
        field.digitsOnly = column.type == Type::Integer;
        field.password = column.name.compare(kPasswd, Qt::CaseInsensitive) == 0;
        field.checkBox = column.name.compare(kUserFlags, Qt::CaseInsensitive) == 0;
        field.maxLength = column.type == Type::Text ? column.size : 0;
        fields.push_back(field);
    }
    return fields;
}

QString SetupListsEditor::FieldText(int column) const
{
    const auto found = fieldTexts_.find(column);
    return found != fieldTexts_.end() ? found->second : QString();
}

bool SetupListsEditor::RecordWritable(int bookmark) const
{
    if (readonlyColumn_ < 0)
        return true;
    return engine::AsInt(RowOf(bookmark)[static_cast<std::size_t>(readonlyColumn_)]) == 0;
}

bool SetupListsEditor::RecordEditable(int bookmark) const
{
    if (!RecordWritable(bookmark))
        return false;
    if (administrator_ || page_ != setup_lists::kUsersPage)
        return true;
    // Who may log in as whom is the administrators' business; everybody else keeps their own row.
    return engine::AsInt(RowOf(bookmark)[static_cast<std::size_t>(keyColumn_)]) == userId_;
}

bool SetupListsEditor::MayMoveRows() const
{
    return administrator_ || page_ != setup_lists::kUsersPage;
}

bool SetupListsEditor::FieldEnabled(int column) const
{
    // The key is numbered by the engine.
    if (column == keyColumn_)
        return false;
    return isNewRecord_ || RecordEditable(current_);
}

void SetupListsEditor::SetFieldText(int column, const QString& text)
{
    fieldTexts_[column] = text;
    modified_ = true;
}

bool SetupListsEditor::FieldChecked(int column) const
{
    return setup_lists::HasAdministratorFlag(FieldText(column));
}

void SetupListsEditor::SetFieldChecked(int column, bool checked)
{
    SetFieldText(column, setup_lists::WithAdministratorFlag(FieldText(column), checked));
}

int SetupListsEditor::CurrentRow() const
{
    if (current_ < 0)
        return -1;
    const auto found = std::find(order_.begin(), order_.end(), current_);
    return found != order_.end() ? static_cast<int>(found - order_.begin()) : -1;
}

bool SetupListsEditor::CanMoveUp() const
{
    return MayMoveRows() && CurrentRow() > 0;
}

bool SetupListsEditor::CanMoveDown() const
{
    const int row = CurrentRow();
    return MayMoveRows() && row != -1 && row + 1 < RowCount();
}

bool SetupListsEditor::CanDelete() const
{
    return !isNewRecord_ && administrator_ && current_ >= 0 && RecordWritable(current_);
}

void SetupListsEditor::EmptyFields()
{
    fieldTexts_.clear();
    for (const ListEditorField& field : Fields())
        fieldTexts_[field.column] = QString();
    current_ = -1;
    isNewRecord_ = true;
    modified_ = false;
}

void SetupListsEditor::Fill(int row)
{
    fieldTexts_.clear();
    for (const ListEditorField& field : Fields())
        fieldTexts_[field.column] = CellText(row, field.column);
    current_ = order_[static_cast<std::size_t>(row)];
    isNewRecord_ = false;
    modified_ = false;
}

bool SetupListsEditor::SelectRow(int row)
{
    check::precondition(row >= 0 && row < RowCount(), "no such list row");
    if (!StorePending())
        return false;
    Fill(row);
    return true;
}

bool SetupListsEditor::StorePending()
{
    if (!modified_)
        return true;
    if (!StoreRecord())
        return false;
    if (isNewRecord_) {
        bookmarks_.push_back(rowset_.Get(keyColumn_));
        sortValues_.push_back(std::numeric_limits<std::int64_t>::min());
        order_.push_back(static_cast<int>(bookmarks_.size()) - 1);
        current_ = order_.back();
        isNewRecord_ = false;
    }
    // The fields show what was stored: the marker for a new password, numbers as read back.
    Fill(CurrentRow());
    return true;
}

bool SetupListsEditor::StoreRecord()
{
    ErrorContext context("saving data");
    if (!isNewRecord_ && !RecordEditable(current_)) {
        // Nothing of another user's row is written, not even its read-only flag.
        modified_ = false;
        return true;
    }
    engine::RowValues values(columns_.size());
    for (const ListEditorField& field : Fields()) {
        if (!FieldEnabled(field.column))
            continue;
        const Column& column = columns_[static_cast<std::size_t>(field.column)];
        QString text = FieldText(field.column);
        auto& value = values[static_cast<std::size_t>(field.column)];
        switch (column.type) {
        case Type::Integer:
            value = LeadingNumber(text);
            break;
        case Type::Boolean:
            value = std::int64_t{text == QLatin1String("true") ? -1 : 0};
            break;
        case Type::Text:
            if (field.password && !text.isEmpty()) {
                if (text.startsWith(QChar(0xFF)))
                    break; // the marker: the stored password stays
                text = PasswordHash(text);
            }
            if (column.size > 0)
                text = QString::fromUtf8(CutUtf8(text.toUtf8(), column.size));
            value = text;
            break;
        case Type::Other:
            check::assertion(false, "Unknown datatype");
        }
    }
    if (readonlyColumn_ >= 0)
        values[static_cast<std::size_t>(readonlyColumn_)] = std::int64_t{0};

    long status = engine::kOk;
    if (isNewRecord_) {
        status = rowset_.Insert(values);
    } else {
        RowOf(current_);
        status = rowset_.SetData(values);
    }
    if (!engine::Failed(status)) {
        modified_ = false;
        return true;
    }
    const engine::ErrorRecords records = rowset_.TakeErrorRecords();
    if (status == engine::kConcurrencyViolation) {
        const QString text = LoadString(kChangedByAnother).replace(QLatin1String("%s"), QStringLiteral("Another user"));
        if (ShowTextMessage(ui_, text, Buttons::OkCancel, Icon::Warning, kChangedByAnother) == Answer::Ok) {
            // Throw the changes away and show the entry as another user left it.
            ThrowOnFailure(rowset_.ReloadCurrentRow(), connection_);
            Fill(CurrentRow());
        }
        return false;
    }
    // Other failures keep the fields as typed, so that nothing is lost while the user corrects them;
    // the message says what the failure means, and the engine's report waits behind "Details".
    ShowDetailedMessage(ui_, FailureText(records), OleDbErrorReport(status, records), Buttons::Ok, Icon::Error);
    return false;
}

bool SetupListsEditor::StoreOrder()
{
    if (!orderChanged_)
        return true;
    if (sortColumn_ < 0) {
        orderChanged_ = false;
        return true;
    }
    const QString sql = QStringLiteral("UPDATE %1 SET %2 = ?1 WHERE %3 = ?2 AND %2 IS NOT ?1")
                            .arg(Quoted(QString::fromLatin1(kPages[page_].table)),
                                 Quoted(columns_[static_cast<std::size_t>(sortColumn_)].name),
                                 Quoted(columns_[static_cast<std::size_t>(keyColumn_)].name));
    WaitCursor wait(ui_);
    // Only rows whose stored position differs are written, so an unchanged list writes nothing.
    const bool stored = RunWithRetries(ui_, kOrderAttempts, [&] {
        return connection_.WriteTransaction([&] {
            for (std::size_t i = 0; i < order_.size(); ++i) {
                const long status = connection_.Execute(
                    sql, {static_cast<std::int64_t>(i), bookmarks_[static_cast<std::size_t>(order_[i])]});
                if (engine::Failed(status))
                    return status;
            }
            return engine::kOk;
        });
    });
    if (!stored)
        return false;
    for (std::size_t i = 0; i < order_.size(); ++i)
        sortValues_[static_cast<std::size_t>(order_[i])] = static_cast<std::int64_t>(i);
    orderChanged_ = false;
    return true;
}

bool SetupListsEditor::NewRecord()
{
    if (!StorePending())
        return false;
    EmptyFields();
    orderChanged_ = true;
    return true;
}

bool SetupListsEditor::Save()
{
    // The saved row stays selected, so that the user sees what was stored.
    return StorePending();
}

void SetupListsEditor::Delete()
{
    ErrorContext context("deleting record");
    if (!isNewRecord_ && !CanDelete())
        return;
    if (ShowStringMessage(ui_, kDeleteQuestion, Buttons::YesNo, Icon::Warning) != Answer::Yes)
        return;
    if (isNewRecord_)
        return;
    modified_ = false;
    int row = CurrentRow();
    RowOf(current_);
    ThrowOnFailure(rowset_.Delete(), connection_);

    const int removed = current_;
    bookmarks_.erase(bookmarks_.begin() + removed);
    sortValues_.erase(sortValues_.begin() + removed);
    order_.erase(std::find(order_.begin(), order_.end(), removed));
    for (int& index : order_) {
        if (index > removed)
            --index;
    }
    if (row >= RowCount())
        --row;
    if (row >= 0)
        Fill(row);
    else
        EmptyFields();
}

std::vector<int> SetupListsEditor::MoveRows(const std::vector<int>& selected, bool up)
{
    if (order_.empty() || !MayMoveRows())
        return selected;
    orderChanged_ = true;
    std::vector<bool> marked(order_.size(), false);
    for (const int row : selected) {
        if (row >= 0 && row < RowCount())
            marked[static_cast<std::size_t>(row)] = true;
    }
    const int count = RowCount();
    // Walk from the end the rows move towards; a row stays behind a selected row that could not move.
    for (int step = 0; step < count; ++step) {
        const int row = up ? step : count - 1 - step;
        const int neighbour = up ? row - 1 : row + 1;
        if (!marked[static_cast<std::size_t>(row)] || neighbour < 0 || neighbour >= count ||
            marked[static_cast<std::size_t>(neighbour)])
            continue;
        std::swap(order_[static_cast<std::size_t>(row)], order_[static_cast<std::size_t>(neighbour)]);
        marked[static_cast<std::size_t>(row)] = false;
        marked[static_cast<std::size_t>(neighbour)] = true;
    }
    std::vector<int> moved;
    for (int row = 0; row < count; ++row) {
        if (marked[static_cast<std::size_t>(row)])
            moved.push_back(row);
    }
    return moved;
}

bool SetupListsEditor::ChangePage(int page)
{
    if (!StorePending() || !StoreOrder())
        return false;
    ShowPage(page);
    return true;
}

bool SetupListsEditor::Refresh()
{
    return ChangePage(page_);
}

bool SetupListsEditor::Close()
{
    return StorePending() && StoreOrder();
}
