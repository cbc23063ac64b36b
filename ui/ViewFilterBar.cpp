// The list's dialog bar and search bar.

#include "ui/ViewFilterBar.h"

#include "base/CommandIds.h"
#include "list/DefectList.h"

#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

constexpr int kBoxWidth = 180;

} // namespace

CViewFilterBar::CViewFilterBar(CDefectList& list, QWidget* parent) : QToolBar(parent), list_(list)
{
    setObjectName(QStringLiteral("viewFilterBar"));
    setWindowTitle(QStringLiteral("View and filter"));
    addWidget(new QLabel(QStringLiteral("View: "), this));
    views_ = new QComboBox(this);
    views_->setObjectName(QStringLiteral("viewBox"));
    views_->setMinimumWidth(kBoxWidth);
    addWidget(views_);
    addSeparator();
    addWidget(new QLabel(QStringLiteral("Filter: "), this));
    filters_ = new QComboBox(this);
    filters_->setObjectName(QStringLiteral("filterBox"));
    filters_->setMinimumWidth(kBoxWidth);
    addWidget(filters_);
    filterOn_ = new QCheckBox(QStringLiteral("On"), this);
    filterOn_->setObjectName(QStringLiteral("filterOn"));
    addWidget(filterOn_);
    myDefects_ = new QCheckBox(QStringLiteral("My defects"), this);
    myDefects_->setObjectName(QStringLiteral("myDefects"));
    addWidget(myDefects_);

    connect(views_, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (!filling_ && index >= 0)
            list_.ChangeView(views_->itemData(index).toInt());
    });
    connect(filters_, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (!filling_)
            list_.ChangeFilter(index >= 0 ? filters_->itemData(index).toInt() : -1);
    });
    connect(filterOn_, &QCheckBox::clicked, this, [this](bool checked) {
        list_.SetFilterOn(checked);
        filterOn_->setChecked(list_.IsFilterActive());
    });
    connect(myDefects_, &QCheckBox::clicked, this, [this](bool checked) { list_.SetMyDefects(checked); });
    connect(&list_, &CDefectList::viewChoicesChanged, this, &CViewFilterBar::FillViewBox);
    connect(&list_, &CDefectList::filterChoicesChanged, this, &CViewFilterBar::FillFilterBox);
}

void CViewFilterBar::Fill(QComboBox* box, const BoxChoices& choices)
{
    box->clear();
    for (const ChoiceItem& item : choices.items)
        box->addItem(item.text, item.data);
    box->setCurrentIndex(choices.selected);
}

void CViewFilterBar::FillViewBox()
{
    filling_ = true;
    Fill(views_, list_.ViewChoices());
    filling_ = false;
}

void CViewFilterBar::FillFilterBox()
{
    filling_ = true;
    Fill(filters_, list_.FilterChoices());
    filterOn_->setChecked(list_.FilterStateOn());
    myDefects_->setChecked(list_.IsMyDefectsActive());
    filling_ = false;
}

CSearchBar::CSearchBar(CDefectList& list, QWidget* parent) : QToolBar(parent)
{
    setObjectName(QStringLiteral("searchBar"));
    setWindowTitle(QStringLiteral("Search"));
    addWidget(new QLabel(QStringLiteral("Search: "), this));
    edit_ = new QLineEdit(this);
    edit_->setObjectName(QStringLiteral("searchText"));
    edit_->setMinimumWidth(kBoxWidth);
    addWidget(edit_);
    auto* next = new QPushButton(QStringLiteral("&Next"), this);
    auto* previous = new QPushButton(QStringLiteral("&Prev."), this);
    addWidget(next);
    addWidget(previous);
    connect(next, &QPushButton::clicked, this, [this, &list] { list.FindNext(text()); });
    connect(previous, &QPushButton::clicked, this, [this, &list] { list.FindPrevious(text()); });
    connect(edit_, &QLineEdit::returnPressed, this, [this, &list] { list.FindNext(text()); });
    connect(&list, &CDefectList::searchBarRequested, this, &CSearchBar::Activate);
    edit_->installEventFilter(this);
}

bool CSearchBar::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == edit_ && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        hide();
        emit dismissed();
        return true;
    }
    return QToolBar::eventFilter(watched, event);
}

QString CSearchBar::text() const
{
    return edit_->text();
}

void CSearchBar::Activate(bool selectText)
{
    show();
    edit_->setFocus();
    if (selectText)
        edit_->selectAll();
}
