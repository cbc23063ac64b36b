// Moving the splitter bar by mouse and keyboard after "S&plit".

#include "app/QtSplitTracking.h"

#include <QApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QSplitter>

#include <algorithm>

namespace {

constexpr int kKeyStep = 8;

} // namespace

QtSplitTracking::QtSplitTracking(QSplitter& splitter) : QObject(&splitter), splitter_(splitter)
{
}

void QtSplitTracking::Start()
{
    if (tracking_ || splitter_.count() < 2)
        return;
    tracking_ = true;
    before_ = splitter_.sizes();
    QCursor::setPos(splitter_.mapToGlobal(QPoint(splitter_.width() / 2, before_.constFirst())));
    QApplication::setOverrideCursor(Qt::SplitVCursor);
    qApp->installEventFilter(this);
}

void QtSplitTracking::MoveTo(int y)
{
    const int total = before_.constFirst() + before_.constLast();
    const int upper = std::clamp(y, 0, total);
    splitter_.setSizes({upper, total - upper});
}

void QtSplitTracking::End(bool keep)
{
    qApp->removeEventFilter(this);
    QApplication::restoreOverrideCursor();
    if (!keep)
        splitter_.setSizes(before_);
    tracking_ = false;
}

bool QtSplitTracking::eventFilter(QObject*, QEvent* event)
{
    switch (event->type()) {
    case QEvent::MouseMove:
        MoveTo(splitter_.mapFromGlobal(static_cast<QMouseEvent*>(event)->globalPosition().toPoint()).y());
        return true;
    case QEvent::MouseButtonPress:
        End(true);
        return true;
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::ShortcutOverride:
        return true;
    case QEvent::KeyPress:
        switch (static_cast<QKeyEvent*>(event)->key()) {
        case Qt::Key_Up:
            MoveTo(splitter_.sizes().constFirst() - kKeyStep);
            break;
        case Qt::Key_Down:
            MoveTo(splitter_.sizes().constFirst() + kKeyStep);
            break;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            End(true);
            break;
        case Qt::Key_Escape:
            End(false);
            break;
        default:
            break;
        }
        return true;
    default:
        return false;
    }
}
