// The list editor's window over SetupListsEditor.
#include "document/SetupListsDialog.h"

#include "document/MultilineCanvas.h"
#include "document/SetupListsEditor.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIntValidator>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QSignalBlocker>
#include <QTabBar>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int kFirstFieldId = 9992; // the field of table column c is 9992 + c
constexpr int kColumnWidth = 100;
constexpr int kLabelGap = 10;
const QString kValuesTitle = QStringLiteral("Values");
const QString kNewEntryTitle = QStringLiteral("New entry: fill in the fields, then click Save");
// The guide's section on the users and the other lists.
const QString kUsersHelp = QStringLiteral("first-user");
const QString kListsHelp = QStringLiteral("setup-lists");

QPushButton* Button(const QString& text, const QString& name, QWidget* parent)
{
    auto* button = new QPushButton(text, parent);
    button->setObjectName(name);
    button->setAutoDefault(false);
    return button;
}

} // namespace

CSetupListsDialog::CSetupListsDialog(ListEditorActions& editor, QWidget* parent)
    : QDialog(parent), editor_(editor), tabs_(new QTabBar(this)), list_(new QTreeWidget(this)),
      values_(new QGroupBox(kValuesTitle, this)), new_(Button(QStringLiteral("&New"), QStringLiteral("new1047"), this)),
      delete_(Button(QStringLiteral("&Delete"), QStringLiteral("delete1033"), this)),
      up_(Button(QStringLiteral("Move up"), QStringLiteral("up1064"), this)),
      down_(Button(QStringLiteral("Move down"), QStringLiteral("down1065"), this)),
      save_(Button(QStringLiteral("&Save"), QStringLiteral("save1035"), this)),
      close_(Button(QStringLiteral("&Close"), QStringLiteral("close1"), this)),
      help_(Button(QStringLiteral("&Help"), QStringLiteral("help"), this))
{
    setWindowTitle(QStringLiteral("Setup lists"));
    tabs_->setObjectName(QStringLiteral("tabs1044"));
    list_->setObjectName(QStringLiteral("list1045"));
    values_->setObjectName(QStringLiteral("values1046"));
    for (int page = 0; page < editor_.PageCount(); ++page)
        tabs_->addTab(editor_.PageCaption(page));
    tabs_->setCurrentIndex(editor_.Page());

    list_->setRootIsDecorated(false);
    list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->header()->setSectionsMovable(true);
    list_->header()->setStretchLastSection(false);

    auto* valuesLayout = new QVBoxLayout(values_);
    valuesLayout->setContentsMargins(6, 6, 6, 6);

    auto* buttons = new QHBoxLayout;
    for (QPushButton* button : {new_, delete_, up_, down_, save_})
        buttons->addWidget(button);
    buttons->addStretch();
    buttons->addWidget(help_);
    buttons->addWidget(close_);

    auto* body = new QHBoxLayout;
    body->addWidget(list_, 3);
    body->addWidget(values_, 2);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs_);
    layout->addLayout(body, 1);
    layout->addLayout(buttons);
    resize(760, 420);

    connect(tabs_, &QTabBar::currentChanged, this, &CSetupListsDialog::PageChosen);
    connect(list_, &QTreeWidget::itemSelectionChanged, this, &CSetupListsDialog::RowChosen);
    connect(new_, &QPushButton::clicked, this, [this] {
        if (!editor_.NewRecord())
            return;
        ShowRows();
        ShowFields();
        if (!fields_.empty())
            fields_.begin()->second->setFocus();
    });
    connect(save_, &QPushButton::clicked, this, [this] {
        editor_.Save();
        ShowRows();
        ShowFields();
    });
    connect(delete_, &QPushButton::clicked, this, [this] {
        editor_.Delete();
        ShowRows();
        ShowFields();
    });
    connect(up_, &QPushButton::clicked, this, [this] { MoveRows(true); });
    connect(down_, &QPushButton::clicked, this, [this] { MoveRows(false); });
    connect(close_, &QPushButton::clicked, this, [this] {
        if (editor_.Close())
            accept();
    });
    auto* refresh = new QShortcut(QKeySequence::Refresh, this);
    connect(refresh, &QShortcut::activated, this, &CSetupListsDialog::Refresh);
    connect(help_, &QPushButton::clicked, this, &CSetupListsDialog::ShowHelp);
    auto* help = new QShortcut(QKeySequence::HelpContents, this);
    connect(help, &QShortcut::activated, this, &CSetupListsDialog::ShowHelp);

    ShowPage();
}

QLineEdit* CSetupListsDialog::field(int column) const
{
    const auto found = fields_.find(column);
    return found != fields_.end() ? found->second : nullptr;
}

QCheckBox* CSetupListsDialog::checkBox(int column) const
{
    const auto found = checks_.find(column);
    return found != checks_.end() ? found->second : nullptr;
}

void CSetupListsDialog::ShowHelp()
{
    TheUserInterface().ShowHelp(editor_.Page() == setup_lists::kUsersPage ? kUsersHelp : kListsHelp);
}

void CSetupListsDialog::ShowPage()
{
    const QSignalBlocker blocker(list_);
    list_->clear();
    const std::vector<ListEditorColumn> columns = editor_.Columns();
    QStringList headers;
    for (const ListEditorColumn& column : columns)
        headers << column.header;
    list_->setColumnCount(static_cast<int>(columns.size()));
    list_->setHeaderLabels(headers);
    for (int i = 0; i < static_cast<int>(columns.size()); ++i) {
        list_->setColumnHidden(i, columns[static_cast<std::size_t>(i)].hidden);
        list_->setColumnWidth(i, kColumnWidth);
    }
    BuildFields();
    ShowRows();
    ShowFields();
    if (!fields_.empty())
        fields_.begin()->second->setFocus();
}

void CSetupListsDialog::BuildFields()
{
    delete canvas_;
    fields_.clear();
    checks_.clear();
    canvas_ = new MultilineCanvas(values_);
    values_->layout()->addWidget(canvas_);
    setTabOrder(list_, canvas_);

    int labelWidth = 0;
    int row = 1;
    QWidget* previous = list_;
    for (const ListEditorField& wanted : editor_.Fields()) {
        auto* label = new QLabel(wanted.label);
        label->adjustSize();
        labelWidth = std::max(labelWidth, label->sizeHint().width());
        const int column = wanted.column;
        if (wanted.checkBox) {
            auto* check = new QCheckBox(QStringLiteral("may delete any defect"));
            check->setToolTip(QStringLiteral("An administrator may delete anybody's defects and change the settings "
                                             "that apply to everybody."));
            check->setObjectName(QStringLiteral("field%1").arg(kFirstFieldId + wanted.column));
            canvas_->Add(row, 0, label);
            canvas_->Add(row, 2, check);
            canvas_->SetRow(row, std::max(label->fontMetrics().height() + 4, check->sizeHint().height()), false);
            setTabOrder(previous, check);
            previous = check;
            connect(check, &QCheckBox::clicked, this,
                    [this, column](bool checked) { editor_.SetFieldChecked(column, checked); });
            checks_[column] = check;
            row += 2;
            continue;
        }
        auto* edit = new QLineEdit;
        edit->setObjectName(QStringLiteral("field%1").arg(kFirstFieldId + wanted.column));
        if (wanted.digitsOnly)
            edit->setValidator(new QIntValidator(edit));
        if (wanted.password)
            edit->setEchoMode(QLineEdit::Password);
        if (wanted.maxLength > 0)
            edit->setMaxLength(wanted.maxLength);
        canvas_->Add(row, 0, label);
        canvas_->Add(row, 2, edit);
        canvas_->SetRow(row, std::max(label->fontMetrics().height() + 4, edit->sizeHint().height()), false);
        setTabOrder(previous, edit);
        previous = edit;
        connect(edit, &QLineEdit::textEdited, this,
                [this, column](const QString& text) { editor_.SetFieldText(column, text); });
        fields_[column] = edit;
        row += 2;
    }
    canvas_->SetColumn(0, labelWidth, false);
    canvas_->SetColumn(1, kLabelGap, false);
    canvas_->SetColumn(2, -1, true);
    // An empty last row takes the remaining height, so that the fields keep their line height.
    canvas_->SetRow(row, -1, true);
    canvas_->show();
}

void CSetupListsDialog::ShowRows()
{
    const QSignalBlocker blocker(list_);
    const int rows = editor_.RowCount();
    if (list_->topLevelItemCount() != rows) {
        list_->clear();
        for (int row = 0; row < rows; ++row)
            list_->addTopLevelItem(new QTreeWidgetItem(editor_.RowTexts(row)));
    } else {
        for (int row = 0; row < rows; ++row) {
            const QStringList texts = editor_.RowTexts(row);
            QTreeWidgetItem* item = list_->topLevelItem(row);
            for (int column = 0; column < texts.size(); ++column)
                item->setText(column, texts.at(column));
        }
    }
    SelectCurrentRow();
}

void CSetupListsDialog::SelectCurrentRow()
{
    const QSignalBlocker blocker(list_);
    const int current = editor_.CurrentRow();
    if (current < 0) {
        list_->clearSelection();
        return;
    }
    QTreeWidgetItem* item = list_->topLevelItem(current);
    if (!item->isSelected() || list_->currentItem() != item) {
        list_->setCurrentItem(item);
    }
    list_->scrollToItem(item);
}

void CSetupListsDialog::ShowFields()
{
    for (const auto& [column, edit] : fields_) {
        const QSignalBlocker blocker(edit);
        edit->setText(editor_.FieldText(column));
        edit->setEnabled(editor_.FieldEnabled(column));
    }
    for (const auto& [column, check] : checks_) {
        const QSignalBlocker blocker(check);
        check->setChecked(editor_.FieldChecked(column));
        check->setEnabled(editor_.FieldEnabled(column));
    }
    // Without a row the fields make a new entry; the frame says so.
    values_->setTitle(editor_.CurrentRow() < 0 ? kNewEntryTitle : kValuesTitle);
    up_->setEnabled(editor_.CanMoveUp());
    down_->setEnabled(editor_.CanMoveDown());
    delete_->setEnabled(editor_.CanDelete());
}

void CSetupListsDialog::PageChosen(int page)
{
    if (page == editor_.Page())
        return;
    if (!editor_.ChangePage(page)) {
        const QSignalBlocker blocker(tabs_);
        tabs_->setCurrentIndex(editor_.Page());
        ShowRows();
        ShowFields();
        return;
    }
    ShowPage();
}

void CSetupListsDialog::RowChosen()
{
    QTreeWidgetItem* item = list_->currentItem();
    const QList<QTreeWidgetItem*> selected = list_->selectedItems();
    if (item == nullptr || !selected.contains(item)) {
        // The selection went away: the changes are stored, the fields stay.
        if (selected.isEmpty() && editor_.StorePending())
            ShowRows();
        return;
    }
    const int row = list_->indexOfTopLevelItem(item);
    if (row == editor_.CurrentRow())
        return;
    editor_.SelectRow(row);
    ShowRows();
    ShowFields();
}

void CSetupListsDialog::MoveRows(bool up)
{
    std::vector<int> selected;
    for (QTreeWidgetItem* item : list_->selectedItems())
        selected.push_back(list_->indexOfTopLevelItem(item));
    const std::vector<int> moved = editor_.MoveRows(selected, up);
    ShowRows();
    const QSignalBlocker blocker(list_);
    list_->clearSelection();
    for (const int row : moved)
        list_->topLevelItem(row)->setSelected(true);
    if (editor_.CurrentRow() >= 0)
        list_->setCurrentItem(list_->topLevelItem(editor_.CurrentRow()), 0, QItemSelectionModel::NoUpdate);
    ShowFields();
}

void CSetupListsDialog::Refresh()
{
    if (editor_.Refresh())
        ShowPage();
}

void CSetupListsDialog::keyPressEvent(QKeyEvent* event)
{
    // Escape drops the typed changes; only the close box ends the dialog without storing.
    if (event->key() == Qt::Key_Escape) {
        editor_.DropFieldChanges();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void RunListEditorDialog(ListEditorActions& editor, QWidget* parent)
{
    CSetupListsDialog dialog(editor, parent);
    dialog.exec();
}
