#pragma once
// A view in memory: which list columns are shown, with which captions, widths and order, and
// the sort keys. The rules of applying it to the list, reading the user's changes back from the
// list, sorting by a header click, toggling columns and building the ORDER BY live here.

#include <QString>

#include <cstdint>
#include <vector>

struct ViewColumn {
    std::int32_t ColumnId = 0;
    std::int16_t Descending = 0;
    std::int16_t Invisible = 0;
    QString Name; // at most 50 characters
    std::int32_t ColumnOrder = 0;
    std::uint8_t SortOrder = 0; // 0: no sort key; k: the k-th key
    std::int32_t ViewId = 0;
    std::int32_t Width = 0;
};

struct SortKey {
    std::int32_t column = -1; // -1: an empty slot
    bool descending = false;
};

// What the list shows: its columns by index (width 0 = hidden) and the display order, entry k
// being the index of the column shown at position k.
struct ListColumn {
    QString caption;
    int width = 0;
    friend bool operator==(const ListColumn&, const ListColumn&) = default;
};
struct ListColumns {
    std::vector<ListColumn> columns;
    std::vector<int> order;
    friend bool operator==(const ListColumns&, const ListColumns&) = default;
};

// The list's column indexes in display order: the order's valid entries once each, then any
// column the order leaves out, in index order.
std::vector<int> DisplayOrder(const ListColumns& list);

// One item of the Columns popup.
struct ColumnMenuItem {
    QString text;
    int commandId = 0;
    bool checked = false;
};

class ViewDefinition {
public:
    static constexpr int kMaxSortKeys = 3;
    static constexpr int kNameLength = 50;
    static constexpr int kShownWidth = 20; // the width of a hidden column made visible with no width of its own
    // Column ids a view may hold: the Columns menu's command range. A stored id beyond it is
    // ignored rather than make every workstation that shows the view allocate for it.
    static constexpr int kMaxColumns = 200;
    static constexpr std::size_t kMaxStoredSortOrder = 255;

    std::int32_t viewId = -1; // -1: not loaded
    bool modified = false;
    std::vector<ViewColumn> columns; // in ColumnId order
    std::vector<SortKey> sortList;   // first = primary key

    bool loaded() const { return viewId != -1; }
    // Not loaded, nothing modified: the next fill loads the current view.
    void Drop();
    // Starts loading the view: no columns, no keys.
    void BeginLoad(std::int32_t id);
    // Appends a column as read from the database; its sort order takes a place in the sort list.
    // Ids missing below it are filled with hidden columns, so that a column's position is its id.
    void AddLoadedColumn(const ViewColumn& column);

    // The list's columns for this view; the twelve fallback columns when it has no columns.
    ListColumns ToListColumns() const;
    // Takes widths, visibility and order from the list; true when anything differed (the
    // modified flag takes it too).
    bool ReadBack(const ListColumns& list);

    // " ORDER BY …" of at most three keys; empty when there is no key.
    QString BuildOrderBy() const;
    // A header click: the column becomes the first key, descending when it was the first key ascending.
    void SortByClickedColumn(int column);

    // The Columns popup: a caption per column, checked when shown. Zero widths count as hidden.
    std::vector<ColumnMenuItem> ColumnMenu();
    // Command firstColumn + p: shows or hides column p; false when there is no such column.
    bool ToggleColumn(int commandId);

    // The sort list's keys written into the columns' SortOrder and Descending before a save.
    void PrepareForSave();
};
