#pragma once
// The mail's temporary files. They live in a folder of this program's own below the temporary
// folder, made with an unpredictable name and readable by this user only, and each file is made
// anew with an unpredictable name: nobody who shares the temporary folder can plant a link or a
// file where the mail writes, or read what it writes.

#include <QByteArray>
#include <QString>

namespace mail {

// The folder; made at the first call, removed with everything in it when the program ends.
// Empty when it cannot be made.
QString TemporaryFolder();

// "<TemporaryFolder()>/id_<n>_VC<process id in lower-case hex>": the start of the names of the
// files of defect n (0 and 1 for the command and output logs).
QString TemporaryBase(long number);

// Makes a new file "<TemporaryBase(number)>-<random><suffix>" exclusively and writes `bytes`
// into it; its name goes to `path`. 0, or the system's error number when it could not be made or
// written in full (a partly written file is removed).
int WriteTemporaryFile(long number, const QString& suffix, const QByteArray& bytes, QString& path);

// A name like those of WriteTemporaryFile for a file that another program makes (an archive):
// nothing of that name exists. Empty when the folder cannot be made.
QString NewTemporaryName(long number, const QString& suffix);

} // namespace mail
