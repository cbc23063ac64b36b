#pragma once
// The Qt application object. An exception that leaves an event handler must not travel through
// Qt's event dispatch, so it is kept here, every running loop is told to end, and the message
// loop hands it on to the run guard.

#include <QApplication>

#include <exception>

class QtApplication : public QApplication {
public:
    QtApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;

    // The event loop; an exception kept from an event handler is thrown on from here.
    int RunEventLoop();
    // Throws on an exception kept from a nested loop, such as a dialog's during start-up.
    void ThrowPending();

private:
    std::exception_ptr pending_;
    bool inEventLoop_ = false;
};
