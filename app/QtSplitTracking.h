#pragma once
// "S&plit": the splitter bar between the list and the form follows the mouse until a click or
// Enter fixes it; the arrow keys move it too, and Escape puts it back where it was.

#include <QList>
#include <QObject>

class QSplitter;

class QtSplitTracking : public QObject {
    Q_OBJECT
public:
    explicit QtSplitTracking(QSplitter& splitter);

    void Start();
    bool tracking() const { return tracking_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Puts the bar at y, in the splitter's coordinates.
    void MoveTo(int y);
    void End(bool keep);

    QSplitter& splitter_;
    QList<int> before_;
    bool tracking_ = false;
};
