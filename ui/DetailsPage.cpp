// The "&Details" page of the defect form.
#include "ui/DetailsPage.h"

#include "document/DefectRecord.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

CDetailsPage::CDetailsPage(QWidget* parent)
    : CFormPage(parent), found_(this, "found"), fixed_(this, "fixed"),
      comments_(MakeMemoField(this, "comments", DefectRecord::kCommentsSize))
{
    setObjectName(QStringLiteral("detailsPage"));
    auto* grid = new QGridLayout(this);
    found_.AddTo(grid, 0, 0, QStringLiteral("Found:"), QStringLiteral("build nr"));
    fixed_.AddTo(grid, 0, 2, QStringLiteral("Fixed:"), QStringLiteral("Build Nr"));
    grid->addWidget(new QLabel(QStringLiteral("Comments:"), this), 1, 0, 1, 4);
    grid->addWidget(comments_, 2, 0, 1, 4);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
    grid->setRowStretch(2, 1);
    for (QWidget* field :
         std::initializer_list<QWidget*>{found_.version, found_.build, fixed_.version, fixed_.build, comments_})
        ReportEdits(field, [this] { emit edited(); });
}

void CDetailsPage::ShowValues(const DefectRecord& record, CDefectDoc&)
{
    found_.Show(record.foundversion, record.FoundBuild);
    fixed_.Show(record.fixedversion, record.FixedBuild);
    ShowMemo(comments_, record.Comments);
}

void CDetailsPage::TakeValues(DefectRecord& record) const
{
    found_.Take(record.foundversion, record.FoundBuild);
    fixed_.Take(record.fixedversion, record.FixedBuild);
    record.Comments = comments_->toPlainText();
}
