// The status transition dialog: the allowed statuses, "show all", the comment, and the port's way to run it.

#include "document/StatusTransitionDialog.h"

#include "base/StatusTransitionChoices.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

CStatusTransitionDialog::CStatusTransitionDialog(StatusTransitionChoices& model, QWidget* parent)
    : QDialog(parent), model_(model), statuses_(new QListWidget(this)), comment_(new QLineEdit(this)),
      showAll_(new QCheckBox(QStringLiteral("show &all statuses"), this)), description_(new QLabel(this)),
      legend_(new QLabel(this))
{
    setWindowTitle(QStringLiteral("Change status"));
    legend_->setObjectName(QStringLiteral("legend"));
    legend_->setWordWrap(true);
    statuses_->setObjectName(QStringLiteral("statusList"));
    comment_->setObjectName(QStringLiteral("comment"));
    showAll_->setObjectName(QStringLiteral("showAll"));
    description_->setObjectName(QStringLiteral("description"));
    description_->setWordWrap(true);
    comment_->setText(model_.Comment());
    showAll_->setChecked(model_.ShowAll());

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("new status:"), this));
    layout->addWidget(statuses_);
    layout->addWidget(legend_);
    layout->addWidget(showAll_);
    layout->addWidget(new QLabel(QStringLiteral("Comment:"), this));
    layout->addWidget(comment_);
    layout->addWidget(new QLabel(QStringLiteral("Description:"), this));
    layout->addWidget(description_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    ok_ = buttons->button(QDialogButtonBox::Ok);
    layout->addWidget(buttons);

    connect(buttons, &QDialogButtonBox::accepted, this, &CStatusTransitionDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(statuses_, &QListWidget::currentRowChanged, this, [this](int row) {
        model_.Select(row);
        ShowSelection();
    });
    connect(statuses_, &QListWidget::itemDoubleClicked, this, [this] { accept(); });
    connect(showAll_, &QCheckBox::toggled, this, [this](bool checked) {
        model_.SetShowAll(checked);
        FillList();
    });
    FillList();
}

void CStatusTransitionDialog::FillList()
{
    {
        const QSignalBlocker blocker(statuses_);
        statuses_->clear();
        for (const StatusTransitionChoices::Item& item : model_.Items())
            statuses_->addItem(item.text);
        statuses_->setCurrentRow(model_.SelectedIndex());
    }
    legend_->setText(model_.Legend());
    legend_->setVisible(!legend_->text().isEmpty());
    ShowSelection();
}

void CStatusTransitionDialog::ShowSelection()
{
    ok_->setEnabled(model_.IsOkEnabled());
    description_->setText(model_.Description());
}

void CStatusTransitionDialog::accept()
{
    // A double click on the separator line must not act as OK.
    if (!model_.IsOkEnabled())
        return;
    model_.SetComment(comment_->text());
    if (!model_.Accept()) {
        comment_->setFocus();
        return;
    }
    QDialog::accept();
}

bool RunStatusTransitionDialog(StatusTransitionChoices& model, QWidget* parent)
{
    CStatusTransitionDialog dialog(model, parent);
    return dialog.exec() == QDialog::Accepted;
}
