// The Edit menu's text commands follow the keyboard focus and the focused field's changes.

#include "app/QtEditCommands.h"

#include "ui/TextEditCommands.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>

#include <utility>

namespace {

// An editable combo box's text is its line edit.
QWidget* TextFieldOf(QWidget* widget)
{
    if (auto* combo = qobject_cast<QComboBox*>(widget); combo != nullptr && combo->isEditable())
        return combo->lineEdit();
    return widget;
}

} // namespace

QtEditCommands::QtEditCommands(const EditCommands& commands, QObject* parent) : QObject(parent)
{
    commands_ = {{commands.undo, EditCommand::Undo},
                 {commands.redo, EditCommand::Redo},
                 {commands.cut, EditCommand::Cut},
                 {commands.copy, EditCommand::Copy},
                 {commands.paste, EditCommand::Paste}};
    for (const auto& [action, command] : commands_)
        connect(action, &QAction::triggered, this, [this, command = command] {
            RunEditCommand(field_.data(), command);
            Update();
        });
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) { FollowFocus(now); });
    connect(QApplication::clipboard(), &QClipboard::dataChanged, this, &QtEditCommands::Update);
    FollowFocus(QApplication::focusWidget());
}

void QtEditCommands::FollowFocus(QWidget* now)
{
    // While another program has the focus the field stays the one the commands act on.
    if (now == nullptr)
        return;
    for (const QMetaObject::Connection& connection : fieldSignals_)
        disconnect(connection);
    fieldSignals_.clear();
    field_ = TextFieldOf(now);
    // Selections and edits change what the commands can do; other widgets have no such signals.
    if (qobject_cast<QLineEdit*>(field_.data()) != nullptr) {
        fieldSignals_ << connect(field_.data(), SIGNAL(selectionChanged()), this, SLOT(Update()))
                      << connect(field_.data(), SIGNAL(textChanged(QString)), this, SLOT(Update()));
    } else if (field_->metaObject()->indexOfSignal("copyAvailable(bool)") >= 0) {
        fieldSignals_ << connect(field_.data(), SIGNAL(selectionChanged()), this, SLOT(Update()))
                      << connect(field_.data(), SIGNAL(textChanged()), this, SLOT(Update()));
    }
    Update();
}

void QtEditCommands::Update()
{
    for (const auto& [action, command] : commands_)
        action->setEnabled(CanRunEditCommand(field_.data(), command));
}
