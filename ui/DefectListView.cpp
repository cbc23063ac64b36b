#include "ui/DefectListView.h"

CDefectListView::CDefectListView(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("defectList"));
}
