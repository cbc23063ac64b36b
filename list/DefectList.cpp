// The defect list: view and filter handling, the list fill, navigation and search.

#include "list/DefectList.h"

#include "base/CommandIds.h"
#include "base/ErrorContext.h"
#include "base/StringTable.h"
#include "base/UserInterface.h"
#include "document/ShellStringIds.h"
#include "engine/EngineStatus.h"
#include "engine/Statement.h"
#include "list/ColumnCatalogue.h"
#include "list/ListSearch.h"
#include "list/QuickSearch.h"

namespace {

constexpr int kInvalidFilterText = 112;
constexpr int kSaveViewQuestion = 136;
constexpr int kSaveViewAsOwnQuestion = 1041;
constexpr int kFilteredCountText = 168;
constexpr int kCountText = 169;
constexpr int kOneEntryText = 40247;
// More hits than a reader looks through; the best come first.
constexpr int kQuickSearchHits = 500;
// Room for the texts of most rows read one at a time; a longer one gets a block of its own.
constexpr std::size_t kReadRowTextBytes = 16 * 1024;

bool Shown(const ListColumns& columns, int column)
{
    return column < static_cast<int>(columns.columns.size()) &&
        columns.columns[static_cast<std::size_t>(column)].width > 0;
}

// Column positions of the list statement's select part.
enum ListField {
    kClosed,
    kComments,
    kComponentId,
    kDefectId,
    kDescription,
    kFixedBuild,
    kFoundBuild,
    kFromId,
    kHistory,
    kModified,
    kOpened,
    kPriorityId,
    kSeverityId,
    kStatusId,
    kSubject,
    kToId,
    kLastRead,
    kFoundVersion,
    kFixedVersion,
    kCategoryId,
    kCc
};

QByteArrayView Utf8(const engine::Statement& statement, int field, int characters = -1)
{
    int bytes = 0;
    const char* text = statement.ColumnUtf8(field, bytes);
    if (text == nullptr)
        return QByteArrayView();
    return QByteArrayView(text, characters < 0 ? bytes : Utf8PrefixBytes(text, bytes, characters));
}

// The texts point into the statement's row until the next step. A hidden memo column comes as
// NULL (ListSelectPart), so it is neither read nor kept.
ListRow RowOf(const engine::Statement& statement, ListRow::Texts& texts)
{
    const auto id = [&](int field) { return static_cast<std::int32_t>(statement.ColumnInt(field)); };
    ListRow row;
    row.defectId = id(kDefectId);
    row.statusId = id(kStatusId);
    row.toId = id(kToId);
    row.fromId = id(kFromId);
    row.priorityId = id(kPriorityId);
    row.severityId = id(kSeverityId);
    row.componentId = id(kComponentId);
    row.categoryId = id(kCategoryId);
    row.foundBuild = id(kFoundBuild);
    row.fixedBuild = id(kFixedBuild);
    row.opened = statement.ColumnReal(kOpened);
    row.modified = statement.ColumnReal(kModified);
    row.closed = statement.ColumnReal(kClosed);
    row.lastRead = statement.ColumnReal(kLastRead);
    texts = {Utf8(statement, kSubject),
             Utf8(statement, kDescription, column::kMemoCellLength),
             Utf8(statement, kComments, column::kMemoCellLength),
             Utf8(statement, kFoundVersion),
             Utf8(statement, kFixedVersion),
             Utf8(statement, kCc)};
    return row;
}

} // namespace

CDefectList::CDefectList(CDefectDoc& document, QObject* parent)
    : QObject(parent), document_(document), model_(document.lookups())
{
    document_.defects().SetList(this);
    document_.SetViewChanges(this);
    connect(&document_, &CDefectDoc::defectSaved, this,
            [this](qint32, double, const DefectRecord& record) { UpdateRow(record); });
    connect(&document_, &CDefectDoc::defectsDeleted, this, &CDefectList::DefectsDeleted);
    connect(&document_, &CDefectDoc::readStateChanged, this, &CDefectList::UpdateRow);
    connect(&document_, &CDefectDoc::autoRefreshDue, this, &CDefectList::AutoRefresh);
    // The list editor may have renamed or reordered what the rows show; before the login there is no list.
    connect(&document_, &CDefectDoc::lookupListsEdited, this, [this] {
        if (document_.loginComplete())
            Refresh();
    });
    // A login or a reopened file shows the list of the (new) user with that user's view.
    connect(&document_, &CDefectDoc::loginCompleted, this, [this] {
        model_.SetReader(document_.loggedInId());
        view_.Drop();
        emit viewChoicesChanged();
        emit filterChoicesChanged();
        FillList();
    });
}

CDefectList::~CDefectList()
{
    document_.defects().SetList(nullptr);
    document_.SetViewChanges(nullptr);
}

// Views -------------------------------------------------------------------------------------

bool CDefectList::LoadView(std::int32_t viewId)
{
    return ::LoadView(document_, document_.Ui(), viewId, view_);
}

void CDefectList::LoadCurrentViewWithFallback()
{
    SessionSelection& selection = document_.selection();
    if (!LoadView(selection.currentViewId)) {
        selection.currentViewId = kDefaultViewId;
        LoadView(kDefaultViewId);
    }
}

void CDefectList::ApplyViewToList()
{
    model_.SetColumns(view_.ToListColumns());
}

bool CDefectList::ReadBackFromList()
{
    return view_.ReadBack(model_.columns());
}

void CDefectList::SortByClickedColumn(int column)
{
    view_.SortByClickedColumn(column);
    FillList();
}

std::vector<ColumnMenuItem> CDefectList::ColumnMenu()
{
    ReadBackFromList();
    return view_.ColumnMenu();
}

void CDefectList::ToggleColumn(int commandId)
{
    ReadBackFromList();
    if (!view_.ToggleColumn(commandId))
        return;
    ApplyViewToList();
    FillList();
}

bool CDefectList::QuerySaveView()
{
    if (!HasUnsavedChanges())
        return true;
    UserInterface& ui = document_.Ui();
    Answer answer = Answer::No;
    if (MayChangeView(view_.viewId)) {
        answer = ShowStringMessage(ui, kSaveViewQuestion, Buttons::YesNoCancel, Icon::Question);
    } else {
        // The question says where the changes go, as the view itself stays as it is for everyone.
        const QString copy = OwnCopyName(document_, view_.viewId);
        answer = ShowTextMessage(
            ui, FormatString(kSaveViewAsOwnQuestion, copy.mid(1).toUtf8().constData(), copy.toUtf8().constData()),
            Buttons::YesNoCancel, Icon::Question, kSaveViewAsOwnQuestion);
    }
    if (answer == Answer::Cancel)
        return false;
    if (answer == Answer::Yes)
        SaveCurrentView();
    return true;
}

bool CDefectList::HasUnsavedChanges()
{
    if (!view_.loaded())
        return false;
    ReadBackFromList();
    return view_.modified;
}

bool CDefectList::SaveCurrentView()
{
    if (MayChangeView(view_.viewId))
        return ::SaveView(document_, document_.Ui(), view_);
    const std::optional<std::int32_t> copy =
        SaveViewAsOwnCopy(document_, document_.Ui(), view_, document_.loggedInId());
    if (!copy)
        return false;
    // The user goes on with the copy, which the box now offers.
    document_.selection().currentViewId = *copy;
    emit viewChoicesChanged();
    return true;
}

void CDefectList::ChangeView(std::int32_t viewId)
{
    ErrorContext context("changing the view");
    SessionSelection& selection = document_.selection();
    if (viewId != selection.currentViewId && QuerySaveView()) {
        selection.currentViewId = viewId;
        view_.Drop();
        FillList();
    }
    // Reselects the current view in the box, which undoes the choice after Cancel.
    emit viewChoicesChanged();
    emit listFocusRequested();
}

BoxChoices CDefectList::ViewChoices()
{
    return ::ViewChoices(document_, document_.loggedInId(), document_.selection().currentViewId);
}

// Filters -----------------------------------------------------------------------------------

bool CDefectList::IsFilterActive() const
{
    return document_.selection().filterOn && !filter_.text.isEmpty();
}

void CDefectList::ChangeFilter(std::int32_t filterId)
{
    ErrorContext context("changing the filter");
    document_.selection().currentFilterId = filterId;
    if (document_.selection().filterOn)
        FillList();
    emit listFocusRequested();
}

void CDefectList::SetFilterOn(bool checked)
{
    document_.selection().filterOn = checked;
    filter_ = LoadFilter(document_, document_.selection().currentFilterId);
    // A checked box with an empty filter counts as off, and is stored so.
    document_.selection().filterOn = IsFilterActive();
    FillList();
}

void CDefectList::SetMyDefects(bool checked)
{
    document_.selection().myDefectsOn = checked;
    FillList();
}

BoxChoices CDefectList::FilterChoices()
{
    return ::FilterChoices(document_, document_.loggedInId(), document_.selection().currentFilterId);
}

// The list ----------------------------------------------------------------------------------

ListCondition CDefectList::BuildListCondition(bool withFilter) const
{
    ListSettings settings;
    settings.loggedInId = document_.loggedInId();
    settings.filterActive = IsFilterActive();
    settings.filterText = filter_.text;
    settings.myDefects = IsMyDefectsActive();
    settings.orderBy = view_.BuildOrderBy();
    settings.quickSearch = !quickSearchWords_.isEmpty();
    settings.quickSearchIds = quickSearchIds_;
    return ::BuildListCondition(settings, withFilter);
}

long CDefectList::ReadRows(const ListCondition& condition, int& currentRow)
{
    const std::int32_t currentId = document_.defects().CurrentDefectId();
    engine::Connection& connection = document_.GetDocumentConnection(RetryMode::Offline);
    // Taken before the read: a commit during the read makes the next comparison differ.
    lastFill_ = {ListStatement(condition, ShownMemos()), connection.ReadChangeStamp()};
    // A fill that ends early (a failure, or the file lost for good) puts the old rows back.
    struct FillGuard {
        DefectListModel& model;
        bool succeeded = false;
        ~FillGuard() { model.EndFill(succeeded); }
    } guard{model_};
    const long status = connection.ReadRows(
        lastFill_.statement, {}, condition.carriesFilter ? engine::Access::ReadOnly : engine::Access::Any,
        [&] {
            currentRow = -1;
            model_.BeginFill();
        },
        [&](const engine::Statement& statement) {
            ListRow::Texts texts;
            const ListRow row = RowOf(statement, texts);
            if (row.defectId == currentId)
                currentRow = model_.rowCount() + model_.pendingCount();
            model_.Append(row, texts);
        });
    guard.succeeded = !engine::Failed(status);
    return status;
}

ListMemos CDefectList::ShownMemos() const
{
    return {Shown(model_.columns(), column::kDescription), Shown(model_.columns(), column::kComments)};
}

void CDefectList::PrepareStatement()
{
    document_.lookups().LoadLookups(false);
    if (!view_.loaded()) {
        LoadCurrentViewWithFallback();
        ApplyViewToList();
    }
    filter_ = LoadFilter(document_, document_.selection().currentFilterId);
}

long CDefectList::ReadFallingBack(ListCondition& condition, const std::function<long(const ListCondition&)>& read,
                                  const std::function<void()>& fellBack)
{
    // A filter that leaves a comment or a quote open would silently swallow what follows it, and
    // one that closes a parenthesis it did not open would reach past the base condition.
    long status =
        condition.carriesFilter && !engine::IsCompleteFragment(filter_.text) ? engine::kFaultyCommand : read(condition);
    if (status == engine::kFaultyCommand && condition.filtered) {
        status = read(BuildListCondition(false));
        if (status != engine::kFaultyCommand) {
            fellBack();
            ShowStringMessage(document_.Ui(), kInvalidFilterText, Buttons::Ok, Icon::Warning);
            condition.filtered = false;
        }
    }
    return status;
}

void CDefectList::FillList()
{
    ErrorContext context("Filling the list");
    WaitCursor wait(document_.Ui());
    PrepareStatement();

    ListCondition condition = BuildListCondition(true);
    int currentRow = -1;
    const long status = ReadFallingBack(
        condition, [&](const ListCondition& read) { return ReadRows(read, currentRow); },
        [&] {
            // The auto-refresh compares what was asked for, so it does not refill (and warn)
            // again while the file and the faulty filter stay as they are.
            lastFill_.statement = ListStatement(condition, ShownMemos());
        });
    if (engine::Failed(status)) {
        lastFill_ = {};
        return; // the old rows stay, and so does the count
    }
    if (currentRow >= 0) {
        model_.SetSelected(currentRow, true);
        model_.SetFocusedRow(currentRow);
    } else {
        MakeDefectCurrent(model_.rowCount() > 0 ? model_.DefectIdAt(0) : -1);
    }
    ShowEntryCount(condition.filtered);
    document_.TestForNewUnread();
    emit listFilled();
}

std::optional<QString> CDefectList::ReadListRows(const std::function<void()>& begin,
                                                 const std::function<void(const ListRow&)>& row)
{
    ErrorContext context("Reading the list");
    PrepareStatement();
    ListCondition condition = BuildListCondition(true);
    engine::Connection& connection = document_.GetDocumentConnection(RetryMode::Offline);
    // One row's texts at a time.
    ListTextArena texts(kReadRowTextBytes);
    int rows = 0;
    const long status = ReadFallingBack(
        condition,
        [&](const ListCondition& read) {
            return connection.ReadRows(
                ListStatement(read, ShownMemos()), {},
                read.carriesFilter ? engine::Access::ReadOnly : engine::Access::Any,
                [&] {
                    rows = 0;
                    begin();
                },
                [&](const engine::Statement& statement) {
                    ListRow::Texts values;
                    ListRow current = RowOf(statement, values);
                    texts.DropBlocksFrom(0);
                    current.SetTexts(values, texts);
                    row(current);
                    ++rows;
                });
        },
        [] {});
    if (engine::Failed(status))
        return std::nullopt;
    return EntryCountText(rows, condition.filtered);
}

bool CDefectList::ApplyQuickSearch(const QString& words)
{
    ErrorContext context("quick search");
    const QString trimmed = words.simplified();
    if (trimmed.isEmpty()) {
        ClearQuickSearch();
        return true;
    }
    const QuickSearchResult result =
        RunQuickSearch(document_.GetDocumentConnection(RetryMode::Offline), document_.loggedInId(),
                       trimmed.split(QLatin1Char(' ')), kQuickSearchHits, 1);
    if (!result.error.isEmpty()) {
        ShowDetailedMessage(document_.Ui(), result.error, result.details, Buttons::Ok, Icon::Warning);
        return false;
    }
    if (!document_.defects().SaveRecord(true))
        return false;
    quickSearchWords_ = trimmed;
    quickSearchIds_.clear();
    for (const QuickSearchHit& hit : result.hits)
        quickSearchIds_.push_back(hit.defectId);
    FillList();
    emit quickSearchChanged(quickSearchWords_);
    SetStatusText(result.hits.empty() ? FormatString(string_id::kSearchResultCount, 0)
                                      : (result.hits.size() == 1 ? LoadString(string_id::kSearchResultOne)
                                                                 : FormatString(string_id::kSearchResultCount,
                                                                                static_cast<int>(result.hits.size()))) +
                          QStringLiteral(" — ") + result.hits.front().excerpt);
    return true;
}

void CDefectList::ClearQuickSearch()
{
    if (quickSearchWords_.isEmpty())
        return;
    if (!document_.defects().SaveRecord(true))
        return;
    quickSearchWords_.clear();
    quickSearchIds_.clear();
    FillList();
    emit quickSearchChanged(QString());
}

bool CDefectList::UnchangedSinceLastFill()
{
    if (!lastFill_.file || !view_.loaded())
        return false;
    // The stamp first, one read transaction: without a commit since the fill, the filter, the views
    // and the rows in the file are those read then.
    if (document_.GetDocumentConnection(RetryMode::Offline).ReadChangeStamp() != lastFill_.file)
        return false;
    // What the statement is made of in memory (the user's choices) may have changed without a commit.
    return ListStatement(BuildListCondition(true), ShownMemos()) == lastFill_.statement;
}

void CDefectList::AutoRefresh()
{
    ErrorContext context("refreshing the list by itself");
    DocumentTimers& timers = document_.timers();
    timers.StartTimer(DocumentTimers::kAutoRefresh, false);
    const bool wasConnected = document_.connected();
    {
        ConnectionUse use(document_.connectionUse(), true, false);
        // Each read is a round trip on a file share: an unchanged file is read no further, and
        // the boxes are filled again only after a commit, which may have changed their tables.
        if (UnchangedSinceLastFill()) {
            document_.TestForNewUnread(true);
        } else {
            emit filterChoicesChanged();
            emit viewChoicesChanged();
            FillList();
        }
    }
    if (!wasConnected)
        document_.GoOffline();
    timers.StartTimer(DocumentTimers::kAutoRefresh, true);
}

void CDefectList::ShowEntryCount(bool filtered)
{
    lastFiltered_ = filtered;
    SetStatusText(EntryCountText(model_.rowCount(), filtered));
}

QString CDefectList::EntryCountText(int shown, bool filtered)
{
    if (!filtered)
        return shown == 1 ? LoadString(kOneEntryText) : FormatString(kCountText, shown);
    std::int64_t total = 0;
    document_.GetDocumentConnection(RetryMode::Offline).QueryInt(TotalCountStatement(), {}, total);
    return FormatString(kFilteredCountText, shown, static_cast<int>(total));
}

void CDefectList::SetStatusText(const QString& text)
{
    statusText_ = text;
    emit statusTextChanged(text);
}

void CDefectList::Refresh()
{
    emit filterChoicesChanged();
    emit viewChoicesChanged();
    FillList();
    document_.defects().ReloadCurrentDefect();
}

void CDefectList::RowFocused(int row)
{
    if (row < 0 || row >= model_.rowCount())
        return;
    model_.SetFocusedRow(row);
    MakeDefectCurrent(model_.DefectIdAt(row));
}

void CDefectList::MakeDefectCurrent(std::int32_t defectId)
{
    DefectPersistence& defects = document_.defects();
    if (defectId == defects.CurrentDefectId() || !defects.SaveRecord(true))
        return;
    defects.SelectDefect(defectId);
}

void CDefectList::FocusRow(int row)
{
    model_.ClearSelection();
    model_.SetSelected(row, true);
    RowFocused(row);
}

void CDefectList::Navigate(int commandId)
{
    if (!document_.defects().SaveRecord(true))
        return;
    const int rows = model_.rowCount();
    const int focused = model_.focusedRow();
    int target = focused;
    switch (commandId) {
    case command::kFirstRecord:
        target = 0;
        break;
    case command::kLastRecord:
        target = rows - 1;
        break;
    case command::kNextRecord:
        if (focused >= rows - 1)
            return;
        target = focused + 1;
        break;
    case command::kPreviousRecord:
        if (focused < 1)
            return;
        target = focused - 1;
        break;
    default:
        return;
    }
    if (target != focused && target >= 0)
        FocusRow(target);
}

bool CDefectList::GoToFirstUnread()
{
    const int row = model_.FirstUnreadRow();
    if (row < 0 || !document_.defects().SaveRecord(true))
        return false;
    FocusRow(row);
    return true;
}

bool CDefectList::CanNavigate(int commandId) const
{
    const int focused = model_.focusedRow();
    switch (commandId) {
    case command::kNextRecord:
    case command::kLastRecord:
        return focused < model_.rowCount() - 1;
    case command::kFirstRecord:
    case command::kPreviousRecord:
        return focused > 0;
    default:
        return false;
    }
}

// Search ------------------------------------------------------------------------------------

void CDefectList::Find()
{
    continueSearch_ = false;
    emit searchBarRequested(true);
}

bool CDefectList::Search(const QString& text, bool forward)
{
    if (text.isEmpty()) {
        Find();
        return false;
    }
    if (text != lastSearchText_) {
        lastSearchText_ = text;
        continueSearch_ = false;
    }
    // The list does not hold the texts of memo columns it does not show; the file has them.
    std::vector<int> hiddenMemos;
    for (const int memo : {column::kDescription, column::kComments})
        if (memo < model_.columnCount() && !Shown(model_.columns(), memo))
            hiddenMemos.push_back(memo);
    const HiddenMatches hidden = hiddenMemos.empty()
        ? HiddenMatches{}
        : FindInHiddenMemos(document_.GetDocumentConnection(RetryMode::Offline), text, hiddenMemos);
    const SearchOutcome outcome = SearchList(model_, text, forward, continueSearch_, hidden);
    if (!outcome.statusText.isEmpty())
        SetStatusText(outcome.statusText);
    if (outcome.found)
        MakeDefectCurrent(model_.DefectIdAt(outcome.row));
    if (outcome.found || continueSearch_)
        emit searchBarRequested(false);
    else
        emit notFoundBeep();
    continueSearch_ = true;
    return outcome.found;
}

bool CDefectList::FindNext(const QString& text)
{
    return Search(text, true);
}

bool CDefectList::FindPrevious(const QString& text)
{
    return Search(text, false);
}

// The record's operations -------------------------------------------------------------------

std::vector<DefectListSeam::Row> CDefectList::Rows() const
{
    std::vector<Row> rows;
    rows.reserve(static_cast<std::size_t>(model_.rowCount()));
    for (int i = 0; i < model_.rowCount(); ++i)
        rows.push_back({model_.DefectIdAt(i), model_.CellText(i, column::kFrom), model_.IsSelected(i)});
    return rows;
}

void CDefectList::UpdateRow(const DefectRecord& record)
{
    const int row = model_.RowOf(record.Defect_ID);
    if (row >= 0) {
        model_.ReplaceRow(row, ListRow::FromRecord(record, model_.textArena()));
        return;
    }
    model_.InsertRowAtEnd(ListRow::FromRecord(record, model_.textArena()));
    ShowEntryCount(lastFiltered_);
}

void CDefectList::AddRow(const DefectRecord& record)
{
    model_.InsertRowAtEnd(ListRow::FromRecord(record, model_.textArena()));
    // The count follows rows added or removed between two fills.
    ShowEntryCount(lastFiltered_);
}

void CDefectList::SelectDefect(std::int32_t defectId)
{
    model_.ClearSelection();
    const int row = model_.RowOf(defectId);
    if (row >= 0) {
        model_.SetSelected(row, true);
        model_.SetFocusedRow(row);
    }
    MakeDefectCurrent(defectId);
}

void CDefectList::DefectsDeleted(const QList<qint32>& defectIds, qint32 nextCurrentId)
{
    SelectDefect(nextCurrentId);
    if (defectIds.size() > 1)
        FillList();
    else if (!defectIds.isEmpty())
        RemoveRow(defectIds.front());
}

void CDefectList::RemoveRow(std::int32_t defectId)
{
    const int row = model_.RowOf(defectId);
    if (row < 0)
        return;
    model_.RemoveRowAt(row);
    ShowEntryCount(lastFiltered_);
}
