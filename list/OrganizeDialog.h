#pragma once
// The "Organize Views" and "Organize Filters" dialogs: a thin window over the organiser.

#include "list/Organizer.h"

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTreeWidget;

class COrganizeDialog : public QDialog {
    Q_OBJECT
public:
    // `current`: the defect the form shows, for the keywords that name its values (may be null).
    COrganizeDialog(Organizer& organizer, const DefectRecord* current, QWidget* parent = nullptr);

private:
    void FillList();
    void ShowFields(const Organizer::Fields& fields);
    Organizer::Fields CurrentFields() const;
    void UpdateRowTexts();
    void Insert(const QString& text);
    QPushButton* InsertionButton(const QString& menu, const std::vector<FilterInsertion>& items);
    void Exit();

    Organizer& organizer_;
    QTreeWidget* list_ = nullptr;
    QLineEdit* name_ = nullptr;
    QCheckBox* private_ = nullptr;
    QPlainTextEdit* text_ = nullptr;
    QPushButton* delete_ = nullptr;
    QPushButton* save_ = nullptr;
    bool filling_ = false;
};
