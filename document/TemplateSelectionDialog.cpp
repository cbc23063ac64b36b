// The template chooser: subjects with shortcut digits that choose at once, and the port's way to run it.

#include "document/TemplateSelectionDialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

constexpr int kShortcutRows = 10;

QString ShortcutFor(int row)
{
    return row < kShortcutRows ? QString::number((row + 1) % 10) : QString();
}

} // namespace

CTemplateSelectionDialog::CTemplateSelectionDialog(const QStringList& subjects, int preselectedRow, QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Select a template"));
    list_ = new QTreeWidget(this);
    list_->setColumnCount(2);
    list_->setHeaderLabels({QStringLiteral("shortcut"), QStringLiteral("subject")});
    list_->setRootIsDecorated(false);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->header()->resizeSection(0, 40);
    list_->header()->resizeSection(1, 400);
    for (int row = 0; row < subjects.size(); ++row)
        list_->addTopLevelItem(new QTreeWidgetItem({ShortcutFor(row), subjects[row]}));
    list_->installEventFilter(this);

    connect(list_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        if (item != nullptr)
            choice_ = list_->indexOfTopLevelItem(item);
    });
    connect(list_, &QTreeWidget::itemActivated, this, [this] { accept(); });

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list_);
    layout->addWidget(buttons);
    resize(480, 300);

    const int initial = preselectedRow >= 0 && preselectedRow < subjects.size() ? preselectedRow : 0;
    if (QTreeWidgetItem* item = list_->topLevelItem(initial)) {
        list_->setCurrentItem(item);
        list_->scrollToItem(item);
    }
    choice_ = initial;
    list_->setFocus();
}

bool CTemplateSelectionDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == list_ && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() >= Qt::Key_0 && key->key() <= Qt::Key_9) {
            const int digit = key->key() - Qt::Key_0;
            SelectAndConfirm(digit == 0 ? 9 : digit - 1);
            return true;
        }
        if (key->key() == Qt::Key_Space) {
            accept();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void CTemplateSelectionDialog::SelectAndConfirm(int row)
{
    QTreeWidgetItem* item = list_->topLevelItem(row);
    if (item == nullptr)
        return;
    list_->setCurrentItem(item);
    accept();
}

std::optional<int> RunTemplateSelectionDialog(const TemplateChoiceRequest& request, QWidget* parent)
{
    CTemplateSelectionDialog dialog(request.subjects, request.preselectedRow, parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.choice();
}
