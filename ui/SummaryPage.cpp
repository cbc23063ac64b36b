// The "&Summary" page of the defect form.
#include "ui/SummaryPage.h"

#include "document/DefectDoc.h"
#include "document/DefectRecord.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

CSummaryPage::CSummaryPage(QWidget* parent)
    : CFormPage(parent), found_(this, "found"), severity_(MakeChoiceField(this, "severity")),
      component_(MakeChoiceField(this, "component")), category_(MakeChoiceField(this, "category")),
      description_(MakeMemoField(this, "description", DefectRecord::kDescriptionSize))
{
    setObjectName(QStringLiteral("summaryPage"));
    auto* grid = new QGridLayout(this);
    found_.AddTo(grid, 0, 0, QStringLiteral("Found:"), QStringLiteral("build nr"));
    AddLabelled(grid, QStringLiteral("Severity:"), severity_, 0, 2);
    AddLabelled(grid, QStringLiteral("Component:"), component_, 1, 0);
    AddLabelled(grid, QStringLiteral("Category:"), category_, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("Description:"), this), 2, 0, 1, 4);
    grid->addWidget(description_, 3, 0, 1, 4);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
    grid->setRowStretch(3, 1);
    for (QWidget* field :
         std::initializer_list<QWidget*>{found_.version, found_.build, severity_, component_, category_, description_})
        ReportEdits(field, [this] { emit edited(); });
}

void CSummaryPage::ShowValues(const DefectRecord& record, CDefectDoc& document)
{
    const LookupLists& lookups = document.lookups();
    found_.Show(record.foundversion, record.FoundBuild);
    ShowChoices(severity_, lookups.Choices(LookupList::Severity), record.SeverityID);
    ShowChoices(component_, lookups.Choices(LookupList::Component), record.ComponentID);
    ShowChoices(category_, lookups.Choices(LookupList::Category), record.categoryid);
    ShowMemo(description_, record.Description);
}

void CSummaryPage::TakeValues(DefectRecord& record) const
{
    found_.Take(record.foundversion, record.FoundBuild);
    record.SeverityID = ChosenId(severity_);
    record.ComponentID = ChosenId(component_);
    record.categoryid = ChosenId(category_);
    record.Description = description_->toPlainText();
}
