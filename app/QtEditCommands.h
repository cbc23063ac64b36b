#pragma once
// Undo, Redo, Cut, Copy and Paste act on the text field that has the keyboard focus, and are
// enabled by what that field can do; with the focus anywhere else they are disabled.

#include "ui/TextEditCommands.h"

#include <QMetaObject>
#include <QObject>
#include <QPointer>

#include <utility>
#include <vector>

class QAction;
class QWidget;

struct EditCommands {
    QAction* undo = nullptr;
    QAction* redo = nullptr;
    QAction* cut = nullptr;
    QAction* copy = nullptr;
    QAction* paste = nullptr;
};

class QtEditCommands : public QObject {
    Q_OBJECT
public:
    QtEditCommands(const EditCommands& commands, QObject* parent = nullptr);

public slots:
    // Enables the commands by the focused field's state.
    void Update();

private:
    void FollowFocus(QWidget* now);

    std::vector<std::pair<QAction*, EditCommand>> commands_;
    QPointer<QWidget> field_; // the focused text field, or null
    QList<QMetaObject::Connection> fieldSignals_;
};
