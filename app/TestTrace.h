#pragma once
// A trace for scripts that drive the program from outside (tests/e2e): with
// VELLACORD_TEST_TRACE=<file> set, what each dialog says when it opens, which window is active,
// each change of the keyboard focus and, after each key, the state of the focused widget and of
// the lists in its window go into that file, one line each, so that a script can tell what a
// user would read on the screen. Without the variable nothing is installed.

#include <QFile>
#include <QObject>
#include <QString>

class QWidget;

class TestTrace : public QObject {
public:
    // Traces into the file at `path` (appended to) while it lives; it needs the application
    // object. Nothing is traced when the file cannot be opened.
    explicit TestTrace(const QString& path, QObject* parent = nullptr);

    bool tracing() const { return file_.isOpen(); }

    // Installs a trace for the life of the application when the variable names a file; it
    // also notes when the program first waits for the user.
    static void InstallFromEnvironment();

    // Writes "idle" with the window's title, and a "view" line for each named list in it, the
    // first time the event loop waits for input while a window and no dialog is shown: the
    // moment a start-up is over for the user.
    void TraceFirstIdle();

    // One widget as a script sees it, fields apart by tabs: its window's title, its name, its
    // class and its state (a field's text, "<hidden>" for a password, a button's text and
    // check state, a list's row count, selected rows, whether the current row is bold and the
    // current row's cells apart by "|").
    static QString Describe(const QWidget* widget);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Write(const QString& kind, const QString& text);

    QFile file_;
    QMetaObject::Connection idle_;
};
