// The Edit menu's text commands on line edits, plain text edits and rich text edits.

#include "app/QtEditCommands.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTextEdit>

namespace {

// What a text field offers the Edit commands now.
struct FieldState {
    bool undo = false;
    bool redo = false;
    bool cut = false;
    bool copy = false;
    bool paste = false;
};

bool ClipboardHasText()
{
    const QMimeData* data = QApplication::clipboard()->mimeData();
    return data != nullptr && data->hasText();
}

template <typename TextEdit>
FieldState TextEditState(const TextEdit& edit)
{
    const bool selection = edit.textCursor().hasSelection();
    const bool writable = !edit.isReadOnly();
    return {writable && edit.document()->isUndoAvailable(), writable && edit.document()->isRedoAvailable(),
            writable && selection, selection, writable && edit.canPaste()};
}

// An editable combo box's field is its line edit.
QWidget* TextFieldOf(QWidget* widget)
{
    if (auto* combo = qobject_cast<QComboBox*>(widget); combo != nullptr && combo->isEditable())
        return combo->lineEdit();
    if (qobject_cast<QLineEdit*>(widget) || qobject_cast<QTextEdit*>(widget) || qobject_cast<QPlainTextEdit*>(widget))
        return widget;
    return nullptr;
}

FieldState StateOf(QWidget* field)
{
    if (const auto* line = qobject_cast<QLineEdit*>(field)) {
        const bool writable = !line->isReadOnly();
        // A single-line field offers no Redo.
        return {writable && line->isUndoAvailable(), false, writable && line->hasSelectedText(),
                line->hasSelectedText() && line->echoMode() == QLineEdit::Normal, writable && ClipboardHasText()};
    }
    if (const auto* rich = qobject_cast<QTextEdit*>(field))
        return TextEditState(*rich);
    if (const auto* plain = qobject_cast<QPlainTextEdit*>(field))
        return TextEditState(*plain);
    return {};
}

} // namespace

CQtEditCommands::CQtEditCommands(const EditCommands& commands, QObject* parent) : QObject(parent), commands_(commands)
{
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) { FollowFocus(now); });
    connect(QApplication::clipboard(), &QClipboard::dataChanged, this, &CQtEditCommands::Update);
    connect(commands_.undo, &QAction::triggered, this, [this] { Run("undo"); });
    connect(commands_.redo, &QAction::triggered, this, [this] { Run("redo"); });
    connect(commands_.cut, &QAction::triggered, this, [this] { Run("cut"); });
    connect(commands_.copy, &QAction::triggered, this, [this] { Run("copy"); });
    connect(commands_.paste, &QAction::triggered, this, [this] { Run("paste"); });
    FollowFocus(QApplication::focusWidget());
}

void CQtEditCommands::FollowFocus(QWidget* now)
{
    // While another program has the focus the field stays the one the commands act on.
    if (now == nullptr)
        return;
    for (const QMetaObject::Connection& connection : fieldSignals_)
        disconnect(connection);
    fieldSignals_.clear();
    field_ = TextFieldOf(now);
    if (field_ != nullptr) {
        if (auto* line = qobject_cast<QLineEdit*>(field_.data())) {
            fieldSignals_ << connect(line, &QLineEdit::selectionChanged, this, &CQtEditCommands::Update)
                          << connect(line, &QLineEdit::textChanged, this, &CQtEditCommands::Update);
        } else {
            fieldSignals_ << connect(field_.data(), SIGNAL(selectionChanged()), this, SLOT(Update()))
                          << connect(field_.data(), SIGNAL(textChanged()), this, SLOT(Update()));
        }
    }
    Update();
}

void CQtEditCommands::Update()
{
    const FieldState state = StateOf(field_.data());
    commands_.undo->setEnabled(state.undo);
    commands_.redo->setEnabled(state.redo);
    commands_.cut->setEnabled(state.cut);
    commands_.copy->setEnabled(state.copy);
    commands_.paste->setEnabled(state.paste);
}

void CQtEditCommands::Run(const char* slot)
{
    if (field_ != nullptr)
        QMetaObject::invokeMethod(field_.data(), slot);
    Update();
}
