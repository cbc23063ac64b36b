#pragma once
// The upper pane: the list of defects.

#include <QWidget>

class CDefectListView : public QWidget {
    Q_OBJECT
public:
    explicit CDefectListView(QWidget* parent = nullptr);
};
