#pragma once
// The toolbar's dialog bar of the list: the view box, the filter box, "On" and "My defects".

#include <QToolBar>

class CDefectList;
class QCheckBox;
class QComboBox;
struct BoxChoices;

class CViewFilterBar : public QToolBar {
    Q_OBJECT
public:
    CViewFilterBar(CDefectList& list, QWidget* parent = nullptr);

    void FillViewBox();
    void FillFilterBox();

private:
    static void Fill(QComboBox* box, const BoxChoices& choices);

    CDefectList& list_;
    QComboBox* views_ = nullptr;
    QComboBox* filters_ = nullptr;
    QCheckBox* filterOn_ = nullptr;
    QCheckBox* myDefects_ = nullptr;
    bool filling_ = false; // the boxes are being filled: their changes are not the user's
};

// The search bar: "Search:", the text, "&Next" and "&Prev."; Escape in the text closes it.
class CSearchBar : public QToolBar {
    Q_OBJECT
public:
    CSearchBar(CDefectList& list, QWidget* parent = nullptr);

    QString text() const;
    // Shows the bar and puts the focus into the text, selecting it when asked.
    void Activate(bool selectText);

signals:
    // The user closed the bar with Escape; the keys belong to the list again.
    void dismissed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    class QLineEdit* edit_ = nullptr;
};
