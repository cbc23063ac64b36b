#pragma once
// The names of the mail's temporary files: one set per number and process.

#include <QByteArray>
#include <QString>

namespace mail {

// "<temporary folder>/id_<n>_VC<process id in lower-case hex>"; callers add the extension.
QString TemporaryBase(long number);

// Writes the file anew: 0, or the system's error number when it could not be written in full.
int WriteTemporaryFile(const QString& path, const QByteArray& bytes);

} // namespace mail
