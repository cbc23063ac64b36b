#pragma once
// The defect list of the open document: the current view and filter, the list statement and
// its rows, the entry count, record navigation and text search. It listens to the document and
// announces what the main window shows (status texts, the search bar, the toolbar boxes).
//
// One of the three hubs (with CDefectDoc and CMainFrame). Its responsibilities:
// - the view and the filter: loading, applying, saving and changing them, the column menu, the
//   toolbar boxes' choices and "My defects";
// - the rows: the list statement and the fill (the whole list when a filter fails), the entry
//   count, the auto-refresh that reads again only when the file or the statement changed;
// - the current row: navigation, text search, and the focused row's defect made current.
// It listens to CDefectDoc: loginCompleted (a fresh list with the user's view), defectSaved
// (the row is rewritten), defectsDeleted (the next row is selected, then the one row dropped or
// the list read again), lookupListsEdited and autoRefreshDue. It emits statusTextChanged,
// listFilled, viewChoicesChanged, filterChoicesChanged, searchBarRequested, notFoundBeep and
// listFocusRequested; its DefectListModel emits focusedRowChanged, selectionChanged,
// columnsChanged and topRowRestored for the list view.

#include "document/DefectContext.h"
#include "document/DefectDoc.h"
#include "list/DefectListModel.h"
#include "list/FilterDefinition.h"
#include "list/ListQuery.h"
#include "list/ViewDefinition.h"
#include "list/ViewStore.h"

#include <QList>
#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

class CDefectList : public QObject, public DefectListSeam, public ViewChanges {
    Q_OBJECT
public:
    explicit CDefectList(CDefectDoc& document, QObject* parent = nullptr);
    ~CDefectList() override;

    DefectListModel& model() { return model_; }
    const ViewDefinition& view() const { return view_; }
    const FilterDefinition& filter() const { return filter_; }

    // Views.
    bool LoadView(std::int32_t viewId);
    void ApplyViewToList();
    bool ReadBackFromList();
    void SortByClickedColumn(int column);
    std::vector<ColumnMenuItem> ColumnMenu();
    void ToggleColumn(int commandId);
    // The save prompt before the view changes or the document closes; false: do not go on.
    bool QuerySaveView() override;
    // Writes the view's changes over it, or, for a view nobody may change ("default"), into the
    // user's own copy ("*default"), which becomes the current view.
    bool SaveCurrentView();
    void ChangeView(std::int32_t viewId);
    BoxChoices ViewChoices();

    // Filters and "My defects".
    bool IsFilterActive() const;
    bool IsMyDefectsActive() const { return document_.selection().myDefectsOn; }
    // The stored state of the "On" box.
    bool FilterStateOn() const { return document_.selection().filterOn; }
    void ChangeFilter(std::int32_t filterId); // -1: nothing chosen
    void SetFilterOn(bool checked);
    void SetMyDefects(bool checked);
    BoxChoices FilterChoices();

    // The list.
    ListCondition BuildListCondition(bool withFilter) const;
    // The memo columns the list shows, whose texts its statement reads.
    ListMemos ShownMemos() const;
    // Loads what the list statement is made of (the lookups, the current view and filter)
    // without reading the rows: enough for an export of the list.
    void PrepareStatement();
    void FillList();
    // Reads the rows FillList would show, falling back and warning as it does when the filter
    // fails, and hands each to `row` without keeping it: its texts last until the next row. `begin`
    // runs before the first row of every attempt (a read that starts again, the fallback). Neither
    // the rows held nor the current defect change. The entry count as the fill says it; nullopt
    // when the list could not be read.
    std::optional<QString> ReadListRows(const std::function<void()>& begin,
                                        const std::function<void(const ListRow&)>& row);
    void Refresh();
    // The auto-refresh timer ran out: unless nothing was committed to the file and the statement
    // is the same as at the last fill, the boxes are filled again and the list too; the test for
    // new unread entries runs either way (on what it read last when the file is unchanged). An
    // offline document goes offline again.
    void AutoRefresh();
    // A row gained the focus in the list view: its defect becomes current.
    void RowFocused(int row);
    // Makes the defect current, after the form's edits were saved or discarded.
    void MakeDefectCurrent(std::int32_t defectId);
    // The record commands First, Last, Next and Previous, and whether each is enabled.
    void Navigate(int commandId);
    // Saves the shown defect and shows the first unread row in list order; false when there is
    // none (or the save was refused).
    bool GoToFirstUnread();
    bool CanNavigate(int commandId) const;
    const QString& statusText() const { return statusText_; }
    // The entry count as the status bar says it: "3 entries", "1 of 5 entries (filtered)".
    QString EntryCountText(int shown, bool filtered);

    // Find, Find Next and Find Previous; `text` is the search bar's text.
    void Find();
    bool FindNext(const QString& text);
    bool FindPrevious(const QString& text);

    // The quick search: the list shows the defects whose texts hold `words`, best first, until it
    // is cleared; false (after saying why) when the search could not run.
    bool ApplyQuickSearch(const QString& words);
    void ClearQuickSearch();
    const QString& quickSearchWords() const { return quickSearchWords_; }

    // What the record's operations ask of the list.
    std::vector<Row> Rows() const override;
    void AddRow(const DefectRecord& record) override;
    void SelectDefect(std::int32_t defectId) override;

    // The current view has changes that were not saved (the list's widths and order read back).
    bool HasUnsavedChanges();

signals:
    // A text for the status bar: the entry count, a search result.
    void statusTextChanged(const QString& text);
    // The list was filled (the test for new unread entries has run).
    void listFilled();
    // The toolbar's boxes must be filled again.
    void viewChoicesChanged();
    void filterChoicesChanged();
    // Show the search bar and focus its field; select its text when asked.
    void searchBarRequested(bool selectText);
    // A fresh search found nothing.
    void notFoundBeep();
    // The view or the filter was chosen in its box: the list takes the focus back.
    void listFocusRequested();
    // The quick search was applied (its words) or cleared (empty).
    void quickSearchChanged(const QString& words);

private:
    // Listeners of the document.
    // Rewrites the row of the saved defect, or adds one when there is none.
    void UpdateRow(const DefectRecord& record);
    // Selects the defect that follows the deleted ones, then drops the one row or reads the
    // list again after several.
    void DefectsDeleted(const QList<qint32>& defectIds, qint32 nextCurrentId);
    void RemoveRow(std::int32_t defectId);

    void LoadCurrentViewWithFallback();
    long ReadRows(const ListCondition& condition, int& currentRow);
    // Runs `read` on `condition`; when the filter is faulty, before it runs or as it runs, on the
    // list without it and "My defects", with the warning (`fellBack` runs first), and `condition`
    // is no longer filtered.
    long ReadFallingBack(ListCondition& condition, const std::function<long(const ListCondition&)>& read,
                         const std::function<void()>& fellBack);
    void ShowEntryCount(bool filtered);
    void SetStatusText(const QString& text);
    void FocusRow(int row);
    bool Search(const QString& text, bool forward);

    // What the last fill read: the statement and the file's stamp taken before the read.
    struct FillStamp {
        QString statement;
        std::optional<engine::Connection::ChangeStamp> file;
    };
    bool UnchangedSinceLastFill();

    QString quickSearchWords_; // empty while the quick search is off
    std::vector<std::int32_t> quickSearchIds_;

    CDefectDoc& document_;
    FillStamp lastFill_;
    ViewDefinition view_;
    FilterDefinition filter_;
    DefectListModel model_;
    QString statusText_;
    bool lastFiltered_ = false; // the wording of the last entry count
    QString lastSearchText_;
    bool continueSearch_ = false;
};
