#pragma once
// The list editor's logic: one of the six lookup tables at a time, its rows in the shown order,
// the fields of one row, and storing rows, their order and deletions.

#include "base/ListEditorActions.h"
#include "engine/UpdatableRowset.h"

#include <QString>

#include <cstdint>
#include <map>
#include <vector>

class UserInterface;

namespace setup_lists {
constexpr int kUsersPage = 0;
constexpr int kPageCount = 6;
// Shown instead of a stored password; a field that still starts with it keeps the password.
QString PasswordMarker();
// The caption of a lookup table's column: the profile's translation, or the built-in caption
// of a known column, or the name itself.
QString ColumnCaption(const QString& name);
// Whether user flags make an administrator, and the flags with that flag set or cleared (the
// other flags stay).
bool HasAdministratorFlag(const QString& flags);
QString WithAdministratorFlag(const QString& flags, bool administrator);
} // namespace setup_lists

class SetupListsEditor : public ListEditorActions {
public:
    // `administrator`: the user is one, or nobody is flagged as one; only then are passwords and
    // user flags shown, rows deleted and other users' rows changed or reordered. `userId`: the
    // stakeholder row that is the user's own (0 when nobody is logged in).
    SetupListsEditor(UserInterface& ui, engine::Connection& connection, bool administrator, std::int32_t userId);

    // Reads the page's table and empties the fields; a failing read throws its status.
    void ShowPage(int page);
    // The table column of that name; -1 when the table has none.
    int ColumnIndex(const QString& name) const;
    // The text the list and the fields show for a cell of a list row.
    QString CellText(int row, int column) const;
    bool modified() const { return modified_; }

    int PageCount() const override { return setup_lists::kPageCount; }
    QString PageCaption(int page) const override;
    int Page() const override { return page_; }
    bool ChangePage(int page) override;
    std::vector<ListEditorColumn> Columns() const override;
    int RowCount() const override { return static_cast<int>(order_.size()); }
    QStringList RowTexts(int row) const override;
    std::vector<ListEditorField> Fields() const override;
    QString FieldText(int column) const override;
    bool FieldEnabled(int column) const override;
    void SetFieldText(int column, const QString& text) override;
    bool FieldChecked(int column) const override;
    void SetFieldChecked(int column, bool checked) override;
    int CurrentRow() const override;
    bool CanMoveUp() const override;
    bool CanMoveDown() const override;
    bool CanDelete() const override;
    bool SelectRow(int row) override;
    bool StorePending() override;
    bool Save() override;
    bool NewRecord() override;
    void Delete() override;
    std::vector<int> MoveRows(const std::vector<int>& selected, bool up) override;
    bool Refresh() override;
    bool Close() override;
    void DropFieldChanges() override { modified_ = false; }

private:
    enum class Type { Integer, Boolean, Text, Other };
    struct Column {
        QString name;
        Type type = Type::Other;
        int size = 0; // bytes of a text column, 0 for no limit
        bool key = false;
    };

    const engine::Row& RowOf(int bookmark) const;
    QString ValueText(const Column& column, const engine::Value& value) const;
    bool RecordWritable(int bookmark) const;
    // Writable, and on the users page the user's own row unless the user is an administrator.
    bool RecordEditable(int bookmark) const;
    // Only administrators reorder the users.
    bool MayMoveRows() const;
    bool Shown(const Column& column) const;
    void Fill(int row);
    void EmptyFields();
    bool StoreRecord();
    bool StoreOrder();

    UserInterface& ui_;
    engine::Connection& connection_;
    bool administrator_;
    std::int32_t userId_;
    int page_ = 0;
    mutable engine::UpdatableRowset rowset_;
    std::vector<Column> columns_;
    int keyColumn_ = -1;
    int sortColumn_ = -1;
    int readonlyColumn_ = -1;
    std::vector<engine::Value> bookmarks_; // the key of each row, in the order they were read
    std::vector<std::int64_t> sortValues_; // same indexing
    std::vector<int> order_;               // list row -> index into bookmarks_
    std::map<int, QString> fieldTexts_;    // table column -> the field's text
    int current_ = -1;                     // index into bookmarks_ of the row the fields show
    bool isNewRecord_ = true;
    bool modified_ = false;
    bool orderChanged_ = false;
};
