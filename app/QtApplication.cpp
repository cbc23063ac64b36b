// The Qt application object, which keeps an exception from an event handler until the loop can rethrow it.

#include "app/QtApplication.h"

QtApplication::QtApplication(int& argc, char** argv) : QApplication(argc, argv)
{
    // The program ends with its main window, which may be hidden in the notification area
    // while the last visible window, a message box, closes.
    setQuitOnLastWindowClosed(false);
}

bool QtApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        // The first failure decides; whatever fails while the loops wind down is a consequence.
        if (!pending_) {
            pending_ = std::current_exception();
            // Outside the application's loop (during start-up) the dialog that failed runs on
            // and the failure surfaces when the start sequence asks for it; ending the loops
            // there would make every later dialog return at once.
            if (inEventLoop_)
                exit(0);
        }
        return false;
    }
}

int QtApplication::RunEventLoop()
{
    inEventLoop_ = true;
    const int exitCode = exec();
    inEventLoop_ = false;
    ThrowPending();
    return exitCode;
}

void QtApplication::ThrowPending()
{
    if (pending_)
        std::rethrow_exception(std::exchange(pending_, nullptr));
}
