#pragma once
// The kinds of field the defect form is made of: texts limited to the record's buffers, build
// numbers, choice lists filled from the lookup lists, and the found/fixed version rows. Each
// reports the user's changes, never the form's own fills.

#include "base/UserInterface.h"

#include <QString>

#include <functional>
#include <vector>

class QAbstractScrollArea;
class QComboBox;
class QGridLayout;
class QLineEdit;
class QPlainTextEdit;
class QWidget;

// A one-line text that holds what fits a buffer of `bufferSize` bytes (terminator included).
QLineEdit* MakeTextField(QWidget* parent, const char* name, int bufferSize);
// A one-line text for a whole number.
QLineEdit* MakeNumberField(QWidget* parent, const char* name);
// A multi-line plain text that holds what fits a buffer of `bufferSize` bytes.
QPlainTextEdit* MakeMemoField(QWidget* parent, const char* name, int bufferSize);
QComboBox* MakeChoiceField(QWidget* parent, const char* name);
// The least height of a text or list: `lines` lines of its font.
void SetMinimumLines(QAbstractScrollArea* field, int lines);

// A label with its field in the next column, the field spanning `span` columns.
void AddLabelled(QGridLayout* grid, const QString& text, QWidget* field, int row, int column, int span = 1);

// Calls `edited` whenever the user changes the field (a text, a number, a memo or a choice).
void ReportEdits(QWidget* field, const std::function<void()>& edited);

// Every choice in order with its id as item data; selects the first with the id, else the first.
void ShowChoices(QComboBox* field, const std::vector<ChoiceItem>& choices, int id);
// The id of the chosen item; 0 for an empty list.
int ChosenId(const QComboBox* field);

void ShowNumber(QLineEdit* field, int value);
// An empty field reads as 0.
int TakeNumber(const QLineEdit* field);

// Fills a memo without reporting an edit, starting a fresh undo history.
void ShowMemo(QPlainTextEdit* field, const QString& text);

// "Found:" version and build number, or "Fixed:" ones, in one row of a grid; the fields are
// named prefix + "Version" and prefix + "Build".
struct VersionRow {
    QLineEdit* version = nullptr;
    QLineEdit* build = nullptr;

    VersionRow(QWidget* parent, const char* prefix);
    // The label in `column`, the version, the build label and the build number in the next one.
    void AddTo(QGridLayout* grid, int row, int column, const QString& versionLabel, const QString& buildLabel);
    void Show(const QString& versionText, int buildNumber);
    void Take(QString& versionText, int& buildNumber) const;
};
