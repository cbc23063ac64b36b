#pragma once
// The toolbar's quick search: a box that finds defects by any word, and the removable "search: …"
// chip that shows while the list holds only its hits.

#include <QWidget>

class CDefectList;
class QLineEdit;
class QToolButton;

class CQuickSearchBox : public QWidget {
    Q_OBJECT
public:
    explicit CQuickSearchBox(CDefectList& list, QWidget* parent = nullptr);

private:
    void ShowChip(const QString& words);

    CDefectList& list_;
    QLineEdit* edit_ = nullptr;
    QToolButton* chip_ = nullptr;
};
