// Temporary file names of the mail.

#include "mail/TemporaryFiles.h"

#include <QCoreApplication>
#include <QDir>

namespace mail {

QString TemporaryBase(long number)
{
    return QDir::tempPath() + QDir::separator() +
           QStringLiteral("id_%1_VC%2").arg(number).arg(QCoreApplication::applicationPid(), 0, 16);
}

} // namespace mail
