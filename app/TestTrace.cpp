// The trace that scripts driving the program read: dialogs, focus and widget states.
#include "app/TestTrace.h"

#include "ui/DefectListView.h"

#include <QAbstractButton>
#include <QAbstractEventDispatcher>
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QEvent>
#include <QFont>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>

#include <algorithm>

namespace {

constexpr char kTraceVariable[] = "VELLACORD_TEST_TRACE";
constexpr int kLongestText = 300;

// One line, fields apart by tabs: what a field holds loses its own tabs and line breaks.
QString Flat(QString text)
{
    text.replace(QLatin1Char('\t'), QLatin1Char(' '));
    text.replace(QLatin1Char('\n'), QStringLiteral("\\n"));
    return text.left(kLongestText);
}

// Whether the cell is drawn in bold: by its own font or, in the defect list, as unread.
bool DrawnBold(const QAbstractItemView* view, const QModelIndex& cell)
{
    if (cell.data(Qt::FontRole).value<QFont>().bold())
        return true;
    const auto* unread = dynamic_cast<const UnreadBoldDelegate*>(view->itemDelegateForIndex(cell));
    if (unread == nullptr)
        return false;
    QStyleOptionViewItem option;
    unread->initStyleOption(&option, cell);
    return option.font.bold();
}

QString ItemViewState(const QAbstractItemView* view)
{
    const QItemSelectionModel* selection = view->selectionModel();
    const int selected = selection ? static_cast<int>(selection->selectedRows().size()) : 0;
    QStringList cells;
    bool bold = false;
    const QModelIndex current = view->currentIndex();
    if (current.isValid() && view->model()) {
        for (int column = 0; column < view->model()->columnCount(current.parent()); ++column) {
            const QModelIndex cell = view->model()->index(current.row(), column, current.parent());
            cells << cell.data().toString();
            bold = bold || DrawnBold(view, cell);
        }
    }
    return QStringLiteral("rows=%1 selected=%2 bold=%3 current=%4")
        .arg(view->model() ? view->model()->rowCount() : 0)
        .arg(selected)
        .arg(bold ? 1 : 0)
        .arg(cells.join(QLatin1Char('|')));
}

// What a dialog says: the texts of its labels, which is where message boxes and hints say it.
QString Texts(const QDialog* dialog)
{
    QStringList texts;
    for (const QLabel* label : dialog->findChildren<QLabel*>()) {
        if (label->isVisibleTo(dialog) && !label->text().isEmpty())
            texts << label->text();
    }
    return texts.join(QStringLiteral(" | "));
}

} // namespace

TestTrace::TestTrace(const QString& path, QObject* parent) : QObject(parent), file_(path)
{
    if (!qApp || !file_.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text))
        return;
    qApp->installEventFilter(this);
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        if (now)
            Write(QStringLiteral("focus"), Describe(now));
    });
}

void TestTrace::InstallFromEnvironment()
{
    const QString path = qEnvironmentVariable(kTraceVariable);
    if (!path.isEmpty() && qApp)
        (new TestTrace(path, qApp))->TraceFirstIdle();
}

void TestTrace::TraceFirstIdle()
{
    const QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
    if (!tracing() || dispatcher == nullptr || idle_)
        return;
    idle_ = connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, [this] {
        if (QApplication::activeModalWidget() != nullptr)
            return;
        const QWidgetList windows = QApplication::topLevelWidgets();
        const auto shown = std::find_if(windows.begin(), windows.end(), [](const QWidget* window) {
            return window->isVisible() && qobject_cast<const QDialog*>(window) == nullptr;
        });
        if (shown == windows.end())
            return;
        disconnect(idle_);
        Write(QStringLiteral("idle"), Flat((*shown)->windowTitle()));
        for (const QAbstractItemView* view : (*shown)->findChildren<QAbstractItemView*>()) {
            if (view->isVisible() && !view->objectName().isEmpty())
                Write(QStringLiteral("view"), Describe(view));
        }
    });
}

QString TestTrace::Describe(const QWidget* widget)
{
    QString state;
    if (const auto* line = qobject_cast<const QLineEdit*>(widget))
        state = line->echoMode() == QLineEdit::Normal ? line->text() : QStringLiteral("<hidden>");
    else if (const auto* combo = qobject_cast<const QComboBox*>(widget))
        state = combo->currentText();
    else if (const auto* button = qobject_cast<const QAbstractButton*>(widget))
        state = button->text() + (button->isCheckable() ? (button->isChecked() ? " [x]" : " [ ]") : "");
    else if (const auto* plain = qobject_cast<const QPlainTextEdit*>(widget))
        state = plain->toPlainText();
    else if (const auto* rich = qobject_cast<const QTextEdit*>(widget))
        state = rich->toPlainText();
    else if (const auto* view = qobject_cast<const QAbstractItemView*>(widget))
        state = ItemViewState(view);
    return QStringList{Flat(widget->window()->windowTitle()), widget->objectName(),
                       QString::fromLatin1(widget->metaObject()->className()), Flat(state)}
        .join(QLatin1Char('\t'));
}

bool TestTrace::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Show) {
        if (const auto* dialog = qobject_cast<const QDialog*>(watched); dialog && dialog->isWindow())
            Write(QStringLiteral("dialog"), Flat(dialog->windowTitle()) + QLatin1Char('\t') + Flat(Texts(dialog)));
    } else if (event->type() == QEvent::WindowActivate || event->type() == QEvent::WindowDeactivate) {
        // Which window has the keyboard: where the keys a script sends next arrive.
        if (const auto* window = qobject_cast<const QWidget*>(watched); window && window->isWindow())
            Write(event->type() == QEvent::WindowActivate ? QStringLiteral("active") : QStringLiteral("inactive"),
                  Flat(window->windowTitle()));
    } else if (event->type() == QEvent::KeyRelease && watched == QApplication::focusWidget()) {
        // After the key's own handling: the state the key left behind, also of the lists that
        // a key in a search field or a form moves.
        const QWidget* focus = QApplication::focusWidget();
        Write(QStringLiteral("key"), Describe(focus));
        for (const QAbstractItemView* view : focus->window()->findChildren<QAbstractItemView*>()) {
            if (view != focus && view->isVisible() && !view->objectName().isEmpty())
                Write(QStringLiteral("view"), Describe(view));
        }
    }
    return QObject::eventFilter(watched, event);
}

void TestTrace::Write(const QString& kind, const QString& text)
{
    file_.write((kind + QLatin1Char('\t') + text + QLatin1Char('\n')).toUtf8());
    file_.flush();
}
