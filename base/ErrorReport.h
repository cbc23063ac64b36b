#pragma once
// The reports a failure ends in: the message box texts, the engine's error records and the
// dump file that stands behind the message box.

#include "base/ErrorRecord.h"
#include "base/UserInterface.h"

#include <QDateTime>
#include <QString>

// How a failure report looks: the guards use the error icon in the foreground, the
// document's open step the information icon.
enum class ReportStyle { Error, Information };

// The recorded error context as text; `clear` empties it.
QString ErrorContextText(bool clear);

// "the error is \"msg\"\n" followed by the error context, which is emptied.
QString DescribeError(const QString& msg);

// "Operation failed - \n" and the description of msg, with `details` behind "Details"; returns the
// button pressed.
Answer ReportFailure(const QString& msg, ReportStyle style, const QString& details = QString());

// ReportFailure of what the engine's records mean, with their report behind "Details".
Answer ReportEngineFailure(long hr, const engine::ErrorRecords& records, ReportStyle style);

// The report of the engine's error records for status hr: for behind "Details".
QString OleDbErrorReport(long hr, const engine::ErrorRecords& records);

// What the user reads about the failure the records describe: a sentence chosen by its kind that
// names the file, never the engine's own text or a status code.
QString FailureText(const engine::ErrorRecords& records);

// The same in a few words that end a sentence about a step ("cannot copy X: the disk is full").
QString FailureCause(const engine::ErrorRecords& records);

// Shows the failure's text, followed by text when given, with Yes and No and the report of the
// records behind "Details"; returns the answer.
Answer ShowOleDbErrors(UserInterface& ui, long hr, const engine::ErrorRecords& records,
                       const QString& text = QString());

// A status or platform result as eight hexadecimal digits ("80004005").
QString HexCode(long value);

// The dump file: the temporary folder followed by "Vellacord.dump.txt"; empty when there is
// no usable temporary folder.
QString ErrorDumpPath();

// The dump's content for msg at time `at` with the given context text.
QString ErrorDumpText(const QString& msg, bool crashing, const QDateTime& at, const QString& context);

// Writes the dump (the error context stays in the buffer) and opens it with the desktop's
// program for text files. A dump that cannot be written is skipped.
void WriteErrorDump(const QString& msg, bool crashing);
