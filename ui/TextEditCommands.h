#pragma once
// The Edit menu's commands on the text field that has the keyboard focus: whether each one
// applies, and carrying it out. With the focus anywhere else none applies.

class QWidget;

enum class EditCommand { Undo, Redo, Cut, Copy, Paste, SelectAll };

// Multi-line texts offer all six; one-line texts all but Redo. Read-only texts only Copy and
// Select all.
bool CanRunEditCommand(const QWidget* focus, EditCommand command);

// Does nothing where CanRunEditCommand says no. Paste inserts plain text.
void RunEditCommand(QWidget* focus, EditCommand command);
