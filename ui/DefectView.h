#pragma once
// The lower pane: the form that shows the current defect.

#include <QWidget>

class CDefectView : public QWidget {
    Q_OBJECT
public:
    explicit CDefectView(QWidget* parent = nullptr);
};
