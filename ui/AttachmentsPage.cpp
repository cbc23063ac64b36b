// The "&Attachments" page of the defect form.
#include "ui/AttachmentsPage.h"

#include "base/UserInterface.h"
#include "document/AttachmentCopy.h"
#include "document/DefectDoc.h"
#include "document/DefectRecord.h"
#include "store/AttachmentDirectory.h"
#include "ui/FormFields.h"

#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileSystemModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QTreeView>
#include <QUrl>
#include <QVBoxLayout>

namespace {

const QString kCreateHint = QStringLiteral("Click 'Create' to create a folder for attachments.");

QStringList LocalFiles(const QMimeData* data)
{
    QStringList files;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile())
            files << url.toLocalFile();
    return files;
}

} // namespace

CAttachmentsPage::CAttachmentsPage(QWidget* parent)
    : CFormPage(parent), add_(new QPushButton(QStringLiteral("&Add..."), this)),
      remove_(new QPushButton(QStringLiteral("&Remove"), this)),
      create_(new QPushButton(QStringLiteral("Create"), this)), createHint_(new QLabel(kCreateHint, this)),
      files_(new QFileSystemModel(this)), folder_(new QTreeView(this))
{
    setObjectName(QStringLiteral("attachmentsPage"));
    add_->setObjectName(QStringLiteral("addAttachment"));
    remove_->setObjectName(QStringLiteral("removeAttachment"));
    remove_->setEnabled(false);
    create_->setObjectName(QStringLiteral("createFolder"));
    createHint_->setObjectName(QStringLiteral("createHint"));
    createHint_->setWordWrap(true);
    folder_->setObjectName(QStringLiteral("folderView"));
    // Links are not shown: each could lead anywhere on the machine that opens it.
    files_->setFilter(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::NoSymLinks);
    folder_->setModel(files_);
    SetMinimumLines(folder_, 4);
    folder_->setRootIsDecorated(false);
    folder_->setItemsExpandable(false);
    folder_->setSortingEnabled(true);
    folder_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    folder_->setContextMenuPolicy(Qt::CustomContextMenu);
    folder_->sortByColumn(0, Qt::AscendingOrder);
    // The name takes the width; size, type and date show in full.
    folder_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    folder_->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    folder_->header()->setStretchLastSection(false);
    // Files dropped anywhere on the page are copied in, the list included.
    folder_->setAcceptDrops(false);
    folder_->viewport()->setAcceptDrops(false);
    setAcceptDrops(true);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(add_);
    buttons->addWidget(remove_);
    buttons->addWidget(create_);
    buttons->addWidget(createHint_);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(folder_, 1);
    layout->addStretch(0);

    connect(add_, &QPushButton::clicked, this, &CAttachmentsPage::AddChosenFile);
    connect(create_, &QPushButton::clicked, this, &CAttachmentsPage::CreateFolder);
    connect(remove_, &QPushButton::clicked, this, &CAttachmentsPage::RemoveSelected);
    connect(folder_, &QTreeView::activated, this, &CAttachmentsPage::OpenFile);
    connect(folder_, &QWidget::customContextMenuRequested, this, &CAttachmentsPage::ShowContextMenu);
    connect(folder_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { remove_->setEnabled(add_->isEnabled() && !SelectedFiles().isEmpty()); });
}

QStringList CAttachmentsPage::SelectedFiles() const
{
    QStringList files;
    for (const QModelIndex& index : folder_->selectionModel()->selectedRows())
        files << files_->filePath(index);
    return files;
}

void CAttachmentsPage::RemoveSelected()
{
    if (RemoveAttachments(document_->Ui(), SelectedFiles()) > 0) {
        folder_->clearSelection();
        IndexAttachments(*document_, document_->DatabasePath(), defectId_);
    }
}

void CAttachmentsPage::ShowContextMenu(const QPoint& position)
{
    const QModelIndex clicked = folder_->indexAt(position);
    if (clicked.isValid() && !folder_->selectionModel()->isRowSelected(clicked.row(), clicked.parent()))
        folder_->setCurrentIndex(clicked);
    QMenu menu(this);
    QAction* open = menu.addAction(QStringLiteral("&Open"));
    open->setEnabled(clicked.isValid());
    connect(open, &QAction::triggered, this, [this, clicked] { OpenFile(clicked); });
    QAction* remove = menu.addAction(QStringLiteral("&Remove..."));
    remove->setEnabled(remove_->isEnabled());
    connect(remove, &QAction::triggered, this, &CAttachmentsPage::RemoveSelected);
    menu.addSeparator();
    QAction* add = menu.addAction(QStringLiteral("&Add..."));
    add->setEnabled(add_->isEnabled());
    connect(add, &QAction::triggered, this, &CAttachmentsPage::AddChosenFile);
    menu.exec(folder_->viewport()->mapToGlobal(position));
}

void CAttachmentsPage::ShowValues(const DefectRecord& record, CDefectDoc& document)
{
    document_ = &document;
    defectId_ = record.Defect_ID;
    Refresh();
}

void CAttachmentsPage::Refresh()
{
    // A defect that is not stored yet has no id to name a folder after.
    const bool stored = document_ != nullptr && defectId_ > 0;
    const QString path = stored ? AttachmentDirectory(document_->DatabasePath(), defectId_, false) : QString();
    // A link in the folder's place is neither shown nor replaced: the hint says why.
    const QString refusal =
        stored && path.isEmpty() ? AttachmentDirectoryRefusal(document_->DatabasePath(), defectId_) : QString();
    if (!path.isEmpty() && path != shownPath_) {
        files_->setRootPath(path);
        folder_->setRootIndex(files_->index(path));
        shownPath_ = path;
    }
    folder_->setVisible(!path.isEmpty());
    create_->setVisible(path.isEmpty() && refusal.isEmpty());
    createHint_->setText(refusal.isEmpty() ? kCreateHint : refusal);
    createHint_->setVisible(path.isEmpty());
    create_->setEnabled(stored);
    add_->setEnabled(stored && refusal.isEmpty());
    remove_->setEnabled(stored && !path.isEmpty() && !SelectedFiles().isEmpty());
}

void CAttachmentsPage::CreateFolder()
{
    AttachmentDirectory(document_->DatabasePath(), defectId_, true);
    Refresh();
}

void CAttachmentsPage::AddChosenFile()
{
    if (ChooseAndAddAttachment(document_->Ui(), document_->DatabasePath(), defectId_))
        IndexAttachments(*document_, document_->DatabasePath(), defectId_);
    Refresh();
}

void CAttachmentsPage::OpenFile(const QModelIndex& index)
{
    const QString path = files_->filePath(index);
    const QString refusal = AttachmentFileRefusal(shownPath_, path);
    if (!refusal.isEmpty()) {
        ShowTextMessage(document_->Ui(), refusal, Buttons::Ok, Icon::Warning);
        return;
    }
    OpenAttachment(document_->Ui(), path);
}

void CAttachmentsPage::dragEnterEvent(QDragEnterEvent* event)
{
    if (add_->isEnabled() && !LocalFiles(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void CAttachmentsPage::dropEvent(QDropEvent* event)
{
    const QStringList files = LocalFiles(event->mimeData());
    if (!add_->isEnabled() || files.isEmpty())
        return;
    event->acceptProposedAction();
    for (const QString& file : files)
        AddAttachment(document_->Ui(), document_->DatabasePath(), defectId_, file);
    IndexAttachments(*document_, document_->DatabasePath(), defectId_);
    Refresh();
}
