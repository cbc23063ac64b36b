#pragma once
// Points a report document at the reports' data source: every connection string stored in the
// document that names "DSN=Vellacord" is cut after the name, so that the document reads the
// registered data source, and with it the current database.

#include <QByteArray>
#include <QString>

namespace report {

// Only the start of a document is scanned; its connection strings are stored early.
inline constexpr qint64 kScannedBytes = 300000;

// After every "DSN=Vellacord" (8-bit) the next ";" becomes a NUL byte, after every UTF-16
// (little-endian) one the next UTF-16 ";" a NUL code unit. Returns how many were replaced.
int CutAfterDataSourceName(QByteArray& bytes);

enum class DsnFixResult { Unchanged, Fixed, Failed };

// Reads up to kScannedBytes of the file and, when anything was cut, writes the same number of
// bytes back over its start. A document without the name is not written at all.
DsnFixResult FixDataSourceNames(const QString& path);

} // namespace report
