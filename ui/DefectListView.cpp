// The defect list's table view.

#include "ui/DefectListView.h"

#include "list/DefectList.h"
#include "ui/ColumnsMenu.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMenu>
#include <QScrollBar>

#include <utility>

void UnreadBoldDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    if (index.data(DefectListModel::kUnreadRole).toBool())
        option->font.setBold(true);
}

CDefectListView::CDefectListView(QWidget* parent) : QTableView(parent)
{
    setObjectName(QStringLiteral("defectList"));
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setWordWrap(false);
    setShowGrid(false);
    setSortingEnabled(false); // the document sorts, through the statement
    verticalHeader()->hide();
    // Fixed row heights keep scrolling through 100 000 rows smooth.
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    horizontalHeader()->setSectionsMovable(true);
    horizontalHeader()->setSectionsClickable(true);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setStretchLastSection(false);
    // The arrow shows the view's first sort key; the list sorts through its statement.
    horizontalHeader()->setSortIndicatorShown(true);
    horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    setItemDelegate(new UnreadBoldDelegate(this));

    selectAll_ = new QAction(QStringLiteral("Select All"), this);
    selectAll_->setShortcut(QKeySequence(QStringLiteral("Ctrl+A")));
    selectAll_->setShortcutContext(Qt::WidgetShortcut);
    selectAll_->setStatusTip(QStringLiteral("Select the entire document"));
    addAction(selectAll_);
    connect(selectAll_, &QAction::triggered, this, &QTableView::selectAll);
}

void CDefectListView::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu menu(this);
    QAction* remove = menu.addAction(QStringLiteral("&Delete\tCtrl+D"));
    remove->setStatusTip(QStringLiteral("Delete all selected records from the database..."));
    remove->setEnabled(deleteCommand_ != nullptr && deleteCommand_->isEnabled());
    if (deleteCommand_ != nullptr)
        connect(remove, &QAction::triggered, deleteCommand_, &QAction::trigger);
    menu.addSeparator();
    // No command carries this item.
    menu.addAction(QStringLiteral("&Filter..."))->setEnabled(false);
    QMenu* columns = menu.addMenu(QStringLiteral("&Columns"));
    if (list_ != nullptr)
        FillColumnsMenu(*columns, *list_);
    columns->setEnabled(!columns->isEmpty());
    // From the keyboard the menu opens at the list's top-left corner.
    const QPoint at = event->reason() == QContextMenuEvent::Keyboard ? mapToGlobal(QPoint(0, 0)) : event->globalPos();
    menu.exec(at);
}

void CDefectListView::SetList(CDefectList* list)
{
    list_ = list;
    DefectListModel& model = list->model();
    setModel(&model);
    connect(&model, &DefectListModel::columnsChanged, this, &CDefectListView::ApplyColumns);
    connect(&model, &DefectListModel::focusedRowChanged, this, &CDefectListView::FollowModelFocus);
    connect(&model, &DefectListModel::selectionChanged, this, &CDefectListView::FollowModelSelection);
    connect(&model, &DefectListModel::topRowRestored, this, [this](int row) { verticalScrollBar()->setValue(row); });
    // A long fill shows its first rows at once: the first batch is laid out and painted while
    // the rest is still being read.
    connect(&model, &QAbstractItemModel::rowsInserted, this, [this](const QModelIndex&, int first) {
        if (first != 0)
            return;
        executeDelayedItemsLayout();
        viewport()->repaint();
    });
    connect(verticalScrollBar(), &QScrollBar::valueChanged, &model,
            [this](int value) { list_->model().SetTopRow(value); });
    connect(horizontalHeader(), &QHeaderView::sectionClicked, this,
            [this](int column) { list_->SortByClickedColumn(column); });
    connect(list, &CDefectList::listFilled, this, &CDefectListView::ShowSortKey);
    connect(horizontalHeader(), &QHeaderView::sectionResized, this, [this](int column, int, int width) {
        if (!following_)
            list_->model().SetColumnWidth(column, width);
    });
    connect(horizontalHeader(), &QHeaderView::sectionMoved, this, [this] {
        if (following_)
            return;
        std::vector<int> order;
        for (int visual = 0; visual < horizontalHeader()->count(); ++visual)
            order.push_back(horizontalHeader()->logicalIndex(visual));
        list_->model().SetColumnOrder(std::move(order));
    });
    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this](const QModelIndex& current) {
        if (!following_ && current.isValid())
            list_->RowFocused(current.row());
    });
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (following_)
            return;
        const QModelIndexList rows = selectionModel()->selectedRows();
        std::vector<bool> selected(static_cast<std::size_t>(list_->model().rowCount()), false);
        for (const QModelIndex& index : rows)
            selected[static_cast<std::size_t>(index.row())] = true;
        following_ = true;
        for (std::size_t row = 0; row < selected.size(); ++row)
            list_->model().SetSelected(static_cast<int>(row), selected[row]);
        following_ = false;
    });
    ApplyColumns();
    ShowSortKey();
}

void CDefectListView::ApplyColumns()
{
    const ListColumns& columns = list_->model().columns();
    following_ = true;
    QHeaderView* header = horizontalHeader();
    for (int column = 0; column < static_cast<int>(columns.columns.size()); ++column) {
        const int width = columns.columns[static_cast<std::size_t>(column)].width;
        header->setSectionHidden(column, width == 0);
        if (width > 0)
            header->resizeSection(column, width);
    }
    // Entry k of the order is the column shown at position k.
    for (int visual = 0; visual < static_cast<int>(columns.order.size()); ++visual) {
        const int logical = columns.order[static_cast<std::size_t>(visual)];
        if (logical >= 0 && logical < header->count() && header->visualIndex(logical) != visual)
            header->moveSection(header->visualIndex(logical), visual);
    }
    following_ = false;
}

void CDefectListView::ShowSortKey()
{
    const std::vector<SortKey>& keys = list_->view().sortList;
    const bool sorted = !keys.empty() && keys.front().column >= 0;
    horizontalHeader()->setSortIndicator(sorted ? keys.front().column : -1,
                                         sorted && keys.front().descending ? Qt::DescendingOrder : Qt::AscendingOrder);
}

void CDefectListView::FollowModelFocus(int row)
{
    if (following_)
        return;
    following_ = true;
    const QModelIndex index = model()->index(row, 0);
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
    if (index.isValid())
        scrollTo(index);
    following_ = false;
}

void CDefectListView::FollowModelSelection()
{
    if (following_)
        return;
    following_ = true;
    QItemSelection selection;
    const DefectListModel& model = list_->model();
    for (const int row : model.SelectedRows())
        selection.select(model.index(row, 0), model.index(row, std::max(model.columnCount() - 1, 0)));
    selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    following_ = false;
}
