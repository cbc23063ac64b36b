// The organiser dialogs of views and filters.

#include "list/OrganizeDialog.h"

#include "platform/OleDate.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCursor>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <map>

namespace {

constexpr int kPrivateWidth = 50;
constexpr int kFilterWidth = 250;

} // namespace

COrganizeDialog::COrganizeDialog(Organizer& organizer, const DefectRecord* current, QWidget* parent)
    : QDialog(parent), organizer_(organizer)
{
    const bool filters = organizer.kind() == Organizer::Kind::Filters;
    setWindowTitle(filters ? QStringLiteral("Organize Filters") : QStringLiteral("Organize Views"));
    list_ = new QTreeWidget(this);
    list_->setObjectName(QStringLiteral("rows"));
    list_->setRootIsDecorated(false);
    list_->setHeaderLabels(
        filters ? QStringList{QStringLiteral("Name"), QStringLiteral("Private"), QStringLiteral("Filter")}
                : QStringList{QStringLiteral("Name"), QStringLiteral("Private")});
    list_->header()->setStretchLastSection(true);
    list_->header()->resizeSection(0, 200);
    list_->header()->resizeSection(1, kPrivateWidth);
    if (filters)
        list_->header()->resizeSection(2, kFilterWidth);
    name_ = new QLineEdit(this);
    name_->setObjectName(QStringLiteral("name"));
    private_ = new QCheckBox(QStringLiteral("Private"), this);
    private_->setObjectName(QStringLiteral("private"));
    auto* copy = new QPushButton(QStringLiteral("&Copy"), this);
    delete_ = new QPushButton(QStringLiteral("&Delete"), this);
    save_ = new QPushButton(QStringLiteral("&Save"), this);
    auto* exit = new QPushButton(QStringLiteral("&Exit"), this);
    copy->setObjectName(QStringLiteral("copy"));
    delete_->setObjectName(QStringLiteral("delete"));
    save_->setObjectName(QStringLiteral("save"));
    exit->setObjectName(QStringLiteral("exit"));

    auto* fields = new QGridLayout;
    fields->addWidget(new QLabel(QStringLiteral("Name:"), this), 0, 0);
    fields->addWidget(name_, 0, 1);
    fields->addWidget(private_, 0, 2);
    if (filters) {
        text_ = new QPlainTextEdit(this);
        text_->setObjectName(QStringLiteral("filterText"));
        text_->setMaximumHeight(fontMetrics().height() * 5);
        fields->addWidget(new QLabel(QStringLiteral("Filter:"), this), 1, 0, Qt::AlignTop);
        fields->addWidget(text_, 1, 1, 1, 2);
        const std::vector<FilterInsertion> items = FilterInsertions(current, OleDateNow());
        auto* inserts = new QHBoxLayout;
        for (const char* menu : {"Keywords", "Operators", "Columns"})
            inserts->addWidget(InsertionButton(QLatin1String(menu), items));
        inserts->addStretch();
        fields->addLayout(inserts, 2, 1, 1, 2);
    }
    auto* buttons = new QHBoxLayout;
    for (QPushButton* button : {copy, delete_, save_})
        buttons->addWidget(button);
    buttons->addStretch();
    buttons->addWidget(exit);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_);
    layout->addLayout(fields);
    layout->addLayout(buttons);
    resize(filters ? 620 : 420, 420);

    connect(list_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        if (filling_)
            return;
        ShowFields(organizer_.Select(item != nullptr ? list_->indexOfTopLevelItem(item) : -1, CurrentFields()));
        UpdateRowTexts();
    });
    connect(save_, &QPushButton::clicked, this, [this] {
        ShowFields(organizer_.Save(CurrentFields()));
        UpdateRowTexts();
    });
    connect(copy, &QPushButton::clicked, this, [this] {
        if (organizer_.selected() < 0)
            return;
        organizer_.Copy(CurrentFields());
        FillList();
    });
    connect(delete_, &QPushButton::clicked, this, [this] {
        if (organizer_.selected() < 0)
            return;
        organizer_.Delete();
        FillList();
    });
    connect(exit, &QPushButton::clicked, this, &COrganizeDialog::Exit);
    organizer_.Fill();
    FillList();
}

QPushButton* COrganizeDialog::InsertionButton(const QString& menu, const std::vector<FilterInsertion>& items)
{
    auto* button = new QPushButton(menu, this);
    auto* popup = new QMenu(button);
    std::map<QString, QMenu*> submenus;
    for (const FilterInsertion& item : items) {
        if (item.menu != menu)
            continue;
        QMenu* target = popup;
        QString caption = item.item;
        if (const qsizetype slash = caption.indexOf(QLatin1Char('/')); slash > 0) {
            QMenu*& submenu = submenus[caption.left(slash)];
            if (submenu == nullptr)
                submenu = popup->addMenu(caption.left(slash));
            target = submenu;
            caption = caption.mid(slash + 1);
        }
        QAction* action = target->addAction(caption);
        action->setEnabled(!item.text.isEmpty());
        // A keyword that names a whole condition joins what is there with "and".
        const bool condition = item.menu == QLatin1String("Keywords") && !item.text.startsWith(QLatin1Char('@'));
        const QString text = item.text;
        connect(action, &QAction::triggered, this, [this, text, condition] {
            const QString before = text_->toPlainText().left(text_->textCursor().position()).trimmed();
            const bool join = condition && !before.isEmpty() && !before.endsWith(QLatin1Char('('));
            Insert(join ? QStringLiteral(" and ") + text : text);
        });
    }
    button->setMenu(popup);
    return button;
}

void COrganizeDialog::Insert(const QString& text)
{
    text_->insertPlainText(text);
    text_->setFocus();
}

void COrganizeDialog::FillList()
{
    filling_ = true;
    list_->clear();
    const bool filters = organizer_.kind() == Organizer::Kind::Filters;
    for (const Organizer::Row& row : organizer_.rows()) {
        QStringList texts{row.name, row.userId != 0 ? QStringLiteral("*") : QString()};
        if (filters)
            texts << row.text;
        list_->addTopLevelItem(new QTreeWidgetItem(texts));
    }
    if (organizer_.selected() >= 0)
        list_->setCurrentItem(list_->topLevelItem(organizer_.selected()));
    filling_ = false;
    const std::vector<Organizer::Row>& rows = organizer_.rows();
    ShowFields(organizer_.selected() >= 0 ? Organizer::FieldsOf(rows[static_cast<std::size_t>(organizer_.selected())])
                                          : Organizer::Fields{});
}

void COrganizeDialog::UpdateRowTexts()
{
    const std::vector<Organizer::Row>& rows = organizer_.rows();
    for (int i = 0; i < static_cast<int>(rows.size()) && i < list_->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = list_->topLevelItem(i);
        const Organizer::Row& row = rows[static_cast<std::size_t>(i)];
        item->setText(0, row.name);
        item->setText(1, row.userId != 0 ? QStringLiteral("*") : QString());
        if (organizer_.kind() == Organizer::Kind::Filters)
            item->setText(2, row.text);
    }
}

void COrganizeDialog::ShowFields(const Organizer::Fields& fields)
{
    name_->setText(fields.name);
    private_->setChecked(fields.isPrivate);
    const bool editable = organizer_.Editable();
    if (text_ != nullptr) {
        text_->setPlainText(fields.text);
        // An inserted keyword or column goes after what is there.
        text_->moveCursor(QTextCursor::End);
        // What cannot be saved should not look editable.
        text_->setReadOnly(!editable);
    }
    for (QWidget* control : {static_cast<QWidget*>(name_), static_cast<QWidget*>(private_),
                             static_cast<QWidget*>(delete_), static_cast<QWidget*>(save_)})
        control->setEnabled(editable);
}

Organizer::Fields COrganizeDialog::CurrentFields() const
{
    return {name_->text(), private_->isChecked(), text_ != nullptr ? text_->toPlainText() : QString()};
}

void COrganizeDialog::Exit()
{
    if (organizer_.Editable())
        organizer_.Save(CurrentFields());
    accept();
}
