// The Edit menu's commands on the focused text field.
#include "ui/TextEditCommands.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTextEdit>

namespace {

bool ClipboardHasText()
{
    const QMimeData* data = QApplication::clipboard()->mimeData();
    return data != nullptr && data->hasText();
}

bool CanRun(const QLineEdit* line, EditCommand command)
{
    const bool writable = !line->isReadOnly();
    const bool selection = line->hasSelectedText() && line->echoMode() == QLineEdit::Normal;
    switch (command) {
    case EditCommand::Undo:
        return writable && line->isUndoAvailable();
    case EditCommand::Redo:
        return false;
    case EditCommand::Cut:
        return writable && selection;
    case EditCommand::Copy:
        return selection;
    case EditCommand::Paste:
        return writable && ClipboardHasText();
    case EditCommand::SelectAll:
        return true;
    }
    return false;
}

void Run(QLineEdit* line, EditCommand command)
{
    switch (command) {
    case EditCommand::Undo:
        return line->undo();
    case EditCommand::Redo:
        return;
    case EditCommand::Cut:
        return line->cut();
    case EditCommand::Copy:
        return line->copy();
    case EditCommand::Paste:
        return line->paste();
    case EditCommand::SelectAll:
        return line->selectAll();
    }
}

// QTextEdit and QPlainTextEdit share these members without a common base.
template <typename Memo>
bool CanRun(const Memo* memo, EditCommand command)
{
    const bool writable = !memo->isReadOnly();
    switch (command) {
    case EditCommand::Undo:
        return writable && memo->document()->isUndoAvailable();
    case EditCommand::Redo:
        return writable && memo->document()->isRedoAvailable();
    case EditCommand::Cut:
        return writable && memo->textCursor().hasSelection();
    case EditCommand::Copy:
        return memo->textCursor().hasSelection();
    case EditCommand::Paste:
        return writable && memo->canPaste();
    case EditCommand::SelectAll:
        return true;
    }
    return false;
}

template <typename Memo>
void Run(Memo* memo, EditCommand command)
{
    switch (command) {
    case EditCommand::Undo:
        return memo->undo();
    case EditCommand::Redo:
        return memo->redo();
    case EditCommand::Cut:
        return memo->cut();
    case EditCommand::Copy:
        return memo->copy();
    case EditCommand::Paste:
        return memo->paste();
    case EditCommand::SelectAll:
        return memo->selectAll();
    }
}

} // namespace

bool CanRunEditCommand(const QWidget* focus, EditCommand command)
{
    if (const auto* line = qobject_cast<const QLineEdit*>(focus))
        return CanRun(line, command);
    if (const auto* memo = qobject_cast<const QPlainTextEdit*>(focus))
        return CanRun(memo, command);
    if (const auto* memo = qobject_cast<const QTextEdit*>(focus))
        return CanRun(memo, command);
    return false;
}

void RunEditCommand(QWidget* focus, EditCommand command)
{
    if (!CanRunEditCommand(focus, command))
        return;
    if (auto* line = qobject_cast<QLineEdit*>(focus))
        Run(line, command);
    else if (auto* memo = qobject_cast<QPlainTextEdit*>(focus))
        Run(memo, command);
    else if (auto* memo = qobject_cast<QTextEdit*>(focus))
        Run(memo, command);
}
