#pragma once
// The user guide shipped with the program: where it lies and how it is opened.

#include <QString>
#include <QStringList>

// Where the guide may lie for a program in programFolder: beside it (the build tree, a
// portable copy) or in the installed share/doc folder.
QStringList UserGuideCandidates(const QString& programFolder);

// Opens the guide at a section (an anchor of the page, or empty for its top) with the
// desktop's browser; tells the user when it is missing or cannot be opened.
void OpenUserGuide(const QString& section = QString());
