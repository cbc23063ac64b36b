#pragma once
// Command templates of the external tools: split into arguments first, then filled, so that no
// value (a defect's subject, say) can add arguments or reach a shell.

#include <QString>
#include <QStringList>

#include <utility>
#include <vector>

namespace mail {

using TemplateTokens = std::vector<std::pair<QString, QString>>; // token, value

// Program and arguments: blanks separate; double quotes group, and three double quotes in a row
// inside a group stand for one.
QStringList SplitCommandTemplate(const QString& commandTemplate);

// For each token in the given order, its first occurrence (case-sensitive) in the template's
// own text is replaced by the value; later occurrences stay, and values are never searched. Line
// breaks in a value become blanks: a value is one line of one argument. A value that would begin
// an argument with "-" before a "--" argument of the template would be read by the tool as an
// option; it goes to `optionLike` (the first one), and the command must not run.
QStringList FillCommandTemplate(const QString& commandTemplate, const TemplateTokens& tokens,
                                QString* optionLike = nullptr);

// The template's arguments joined for logs and files; arguments with blanks are quoted.
QString CommandLineText(const QStringList& arguments);

} // namespace mail
