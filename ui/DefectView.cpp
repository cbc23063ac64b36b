// The defect form: header, pages, modified tracking and the status change.
#include "ui/DefectView.h"

#include "base/Check.h"
#include "base/ErrorContext.h"
#include "base/StringTable.h"
#include "document/DefectDoc.h"
#include "document/StatusChange.h"
#include "document/StatusTransitionModel.h"
#include "platform/OleDate.h"
#include "ui/AttachmentsPage.h"
#include "ui/DetailsPage.h"
#include "ui/FormFields.h"
#include "ui/HistoryPage.h"
#include "ui/SummaryPage.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

enum Page { kSummary, kDetails, kHistory, kAttachments };
// The pages' captions in the string table, in tab order.
constexpr int kPageCaptions[] = {101, 102, 104, 157};

// The first control of the page in tab order, or the page itself when it has none.
QWidget* FirstControl(QWidget* page)
{
    for (QWidget* widget = page->nextInFocusChain(); widget != page; widget = widget->nextInFocusChain()) {
        if (!page->isAncestorOf(widget))
            break;
        if (widget->isVisibleTo(page) && widget->isEnabled() && (widget->focusPolicy() & Qt::TabFocus))
            return widget;
    }
    return page;
}

} // namespace

CDefectView::CDefectView(QWidget* parent) : QScrollArea(parent)
{
    setObjectName(QStringLiteral("defectForm"));
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(true);
    auto* form = new QWidget(this);
    auto* layout = new QVBoxLayout(form);
    layout->addLayout(BuildHeader(form));
    tabs_ = new QTabWidget(form);
    tabs_->setObjectName(QStringLiteral("pages"));
    pages_ = {new CSummaryPage(tabs_), new CDetailsPage(tabs_), new CHistoryPage(tabs_), new CAttachmentsPage(tabs_)};
    for (std::size_t i = 0; i < pages_.size(); ++i) {
        tabs_->addTab(pages_[i], LoadString(kPageCaptions[i]));
        connect(pages_[i], &CFormPage::edited, this, &CDefectView::MarkModified);
    }
    connect(tabs_, &QTabWidget::currentChanged, this, &CDefectView::SwitchPage);
    layout->addWidget(tabs_, 1);
    setWidget(form);
    // The design size: a smaller pane scrolls instead of squeezing the controls.
    form->setMinimumSize(form->minimumSizeHint());
    setFocusProxy(subject_);
    // Nothing to edit until the document shows a record.
    QWidget::setEnabled(false);
}

QSize CDefectView::sizeHint() const
{
    // The design size, so that a splitter gives the rest to the list.
    return widget()->minimumSize();
}

CDefectView::~CDefectView()
{
    if (document_ && document_->defects().Form() == this)
        document_->RegisterForm(nullptr);
}

QGridLayout* CDefectView::BuildHeader(QWidget* form)
{
    id_ = new QLineEdit(form);
    id_->setObjectName(QStringLiteral("defectId"));
    id_->setReadOnly(true);
    status_ = new QPushButton(form);
    status_->setObjectName(QStringLiteral("statusButton"));
    priority_ = MakeChoiceField(form, "priority");
    subject_ = MakeTextField(form, "subject", DefectRecord::kSubjectSize);
    from_ = MakeChoiceField(form, "from");
    to_ = MakeChoiceField(form, "to");
    cc_ = MakeTextField(form, "cc", DefectRecord::kCcSize);

    // Subject, From, To and Cc take the width; ID, status and priority keep to the right edge.
    auto* header = new QGridLayout;
    AddLabelled(header, QStringLiteral("Subj.:"), subject_, 0, 0, 3);
    AddLabelled(header, QStringLiteral("ID:"), id_, 0, 4);
    unread_ = new QLabel(QStringLiteral("unread"), form);
    unread_->setObjectName(QStringLiteral("unreadMark"));
    QFont bold = unread_->font();
    bold.setBold(true);
    unread_->setFont(bold);
    unread_->setToolTip(
        QStringLiteral("This defect is addressed to you and you have not read it yet (Ctrl+Q marks it read)."));
    unread_->hide();
    header->addWidget(unread_, 0, 6);
    AddLabelled(header, QStringLiteral("From:"), from_, 1, 0);
    AddLabelled(header, QStringLiteral("To:"), to_, 1, 2);
    AddLabelled(header, QStringLiteral("Status:"), status_, 1, 4);
    AddLabelled(header, QStringLiteral("Cc:"), cc_, 2, 0, 3);
    AddLabelled(header, QStringLiteral("Prio.:"), priority_, 2, 4);
    header->setColumnStretch(1, 1);
    header->setColumnStretch(3, 1);
    header->setColumnMinimumWidth(5, status_->fontMetrics().horizontalAdvance(QStringLiteral("in progress")) * 3 / 2);

    for (QWidget* field : std::initializer_list<QWidget*>{priority_, subject_, from_, to_, cc_})
        ReportEdits(field, [this] { MarkModified(); });
    connect(status_, &QPushButton::clicked, this, &CDefectView::ChangeStatus);
    return header;
}

void CDefectView::SetDocument(CDefectDoc& document)
{
    document_ = &document;
    const auto registerForm = [this] {
        if (document_->defects().Form() != this)
            document_->RegisterForm(this);
    };
    connect(&document, &CDefectDoc::loginCompleted, this, registerForm);
    connect(&document, &CDefectDoc::closed, this, [this] { setEnabled(false); });
    // The new defect's placeholder subject is selected, so that typing replaces it.
    connect(&document, &CDefectDoc::defectCreated, this, [this] {
        subject_->setFocus(Qt::OtherFocusReason);
        subject_->selectAll();
    });
    if (document.loggedIn())
        registerForm();
}

void CDefectView::MarkModified()
{
    modified_ = true;
    if (document_)
        document_->UserChangedDefect();
    emit edited();
}

bool CDefectView::takeValues(DefectRecord& record)
{
    check::precondition(!document_.isNull(), "defect form without a document");
    asEdited();
    if (!ApplyTemplateOwnerRule(workingRecord_, document_->loggedInId(), document_->Ui()))
        return false;
    const std::int32_t key = record.Defect_ID;
    record = workingRecord_;
    record.Defect_ID = key;
    // The record as loaded stays: a save that fails must leave the edits distinct from what the
    // file holds, and a successful one shows the stored record anyway.
    return true;
}

DefectRecord CDefectView::asEdited()
{
    TakeHeader();
    CurrentPage()->TakeValues(workingRecord_);
    DefectRecord edited = workingRecord_;
    edited.Defect_ID = loadedRecord_.Defect_ID;
    return edited;
}

void CDefectView::showValues(const DefectRecord& record)
{
    check::precondition(!document_.isNull(), "defect form without a document");
    workingRecord_ = record;
    loadedRecord_ = record;
    ShowWorkingRecord();
    modified_ = false;
}

void CDefectView::showEdits(const DefectRecord& loaded, const DefectRecord& edits)
{
    check::precondition(!document_.isNull(), "defect form without a document");
    loadedRecord_ = loaded;
    workingRecord_ = edits;
    workingRecord_.Defect_ID = loaded.Defect_ID;
    ShowWorkingRecord();
    modified_ = true;
    // The commands that follow the form's state see it still modified.
    emit edited();
}

void CDefectView::ShowWorkingRecord()
{
    ShowHeader();
    CurrentPage()->ShowValues(workingRecord_, *document_);
    ShowReadState();
}

void CDefectView::ShowReadState()
{
    // Like the list's bold rows: the reader's own unread defect.
    const bool unread = document_ && workingRecord_.Defect_ID != 0 && workingRecord_.lastread == 0 &&
        workingRecord_.ToID == document_->loggedInId();
    unread_->setVisible(unread);
}

void CDefectView::setLastRead(double lastread)
{
    workingRecord_.lastread = lastread;
    loadedRecord_.lastread = lastread;
    ShowReadState();
    if (currentPage_ == kHistory)
        CurrentPage()->ShowValues(workingRecord_, *document_);
}

void CDefectView::setEnabled(bool enabled)
{
    QWidget::setEnabled(enabled);
    // A form without a record shows no page contents.
    CurrentPage()->setVisible(enabled);
}

void CDefectView::ShowHeader()
{
    const LookupLists& lookups = document_->lookups();
    id_->setText(QString::number(workingRecord_.Defect_ID));
    ShowStatusCaption();
    ShowChoices(priority_, lookups.Choices(LookupList::Priority), workingRecord_.PriorityID);
    subject_->setText(workingRecord_.Subject);
    ShowChoices(from_, lookups.Choices(LookupList::Stakeholder), workingRecord_.FromID);
    ShowChoices(to_, lookups.Choices(LookupList::Stakeholder), workingRecord_.ToID);
    cc_->setText(workingRecord_.Cc);
}

void CDefectView::TakeHeader()
{
    workingRecord_.PriorityID = ChosenId(priority_);
    workingRecord_.Subject = subject_->text();
    workingRecord_.FromID = ChosenId(from_);
    workingRecord_.ToID = ChosenId(to_);
    workingRecord_.Cc = cc_->text();
}

void CDefectView::ShowStatusCaption()
{
    QString name = document_->lookups().LookupName(LookupList::Status, workingRecord_.StatusID);
    status_->setText(name.replace(QLatin1Char('&'), QLatin1String("&&")));
}

CFormPage* CDefectView::CurrentPage() const
{
    return pages_[static_cast<std::size_t>(currentPage_)];
}

void CDefectView::SwitchPage(int index)
{
    if (index < 0 || index == currentPage_)
        return;
    // The leaving page hands its fields to the working record, the entering page shows it; the
    // found version and build stand on two pages.
    CurrentPage()->TakeValues(workingRecord_);
    currentPage_ = index;
    if (document_)
        CurrentPage()->ShowValues(workingRecord_, *document_);
    if (!tabs_->tabBar()->hasFocus())
        FirstControl(CurrentPage())->setFocus(Qt::OtherFocusReason);
}

void CDefectView::ChangeStatus()
{
    ErrorContext label("changing status");
    CDefectDoc& document = *document_;
    StatusTransitionModel model(document.lookups().statuses(), document.StatusTransitions(), workingRecord_.StatusID,
                                document.Ui());
    if (!document.Ui().RunStatusTransitionDialog(model))
        return;
    // A full history refuses the entry with its contract failure; the status then stays as it was.
    ApplyStatusChange(document, workingRecord_, model.CurrentStatus(), model.Comment());
    MarkModified();
    ShowStatusCaption();
    if (currentPage_ == kHistory)
        CurrentPage()->ShowValues(workingRecord_, document);
}
