// The quick search box and its chip in the toolbar.

#include "ui/QuickSearchBox.h"

#include "base/StringTable.h"
#include "document/ShellStringIds.h"
#include "list/DefectList.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>

namespace {
constexpr int kBoxWidth = 320;
}

CQuickSearchBox::CQuickSearchBox(CDefectList& list, QWidget* parent) : QWidget(parent), list_(list)
{
    setObjectName(QStringLiteral("quickSearch"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 0, 4, 0);
    layout->addWidget(new QLabel(QStringLiteral("Quick search: "), this));
    edit_ = new QLineEdit(this);
    edit_->setObjectName(QStringLiteral("quickSearchText"));
    edit_->setPlaceholderText(QStringLiteral("words in any field"));
    edit_->setToolTip(LoadString(string_id::kQuickSearchTip));
    edit_->setClearButtonEnabled(true);
    edit_->setMinimumWidth(kBoxWidth);
    layout->addWidget(edit_);
    chip_ = new QToolButton(this);
    chip_->setObjectName(QStringLiteral("quickSearchChip"));
    chip_->setAutoRaise(false);
    chip_->setToolButtonStyle(Qt::ToolButtonTextOnly);
    chip_->setToolTip(QStringLiteral("Show the whole list again"));
    chip_->hide();
    layout->addWidget(chip_);

    connect(edit_, &QLineEdit::returnPressed, this, [this] { list_.ApplyQuickSearch(edit_->text()); });
    connect(chip_, &QToolButton::clicked, this, [this] { list_.ClearQuickSearch(); });
    connect(&list_, &CDefectList::quickSearchChanged, this, &CQuickSearchBox::ShowChip);
}

void CQuickSearchBox::ShowChip(const QString& words)
{
    chip_->setVisible(!words.isEmpty());
    chip_->setText(FormatString(string_id::kSearchChip, words.toUtf8().constData()) + QStringLiteral("  ✕"));
    if (words.isEmpty())
        edit_->clear();
}
