#include "ui/DefectView.h"

CDefectView::CDefectView(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("defectForm"));
    setFocusPolicy(Qt::StrongFocus);
}
