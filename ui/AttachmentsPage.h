#pragma once
// The "&Attachments" page: the defect's attachment folder with its files, "Create" while there
// is no folder, "&Add..." and dropped files copied into it, "&Remove" and a context menu to
// open, remove and add. Looking never creates a folder.

#include "ui/FormPage.h"

#include <QString>
#include <QStringList>

class QFileSystemModel;
class QLabel;
class QModelIndex;
class QPoint;
class QPushButton;
class QTreeView;

class CAttachmentsPage : public CFormPage {
    Q_OBJECT
public:
    explicit CAttachmentsPage(QWidget* parent = nullptr);

    void ShowValues(const DefectRecord& record, CDefectDoc& document) override;

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // Shows the folder when it exists, else the "Create" button and its text.
    void Refresh();
    void CreateFolder();
    void AddChosenFile();
    void OpenFile(const QModelIndex& index);
    QStringList SelectedFiles() const;
    void RemoveSelected();
    void ShowContextMenu(const QPoint& position);

    CDefectDoc* document_ = nullptr;
    int defectId_ = 0;
    QString shownPath_; // the folder the view shows; it is pointed elsewhere only when this changes
    QPushButton* add_;
    QPushButton* remove_;
    QPushButton* create_;
    QLabel* createHint_;
    QFileSystemModel* files_;
    QTreeView* folder_;
};
