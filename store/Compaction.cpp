#include "store/Compaction.h"

#include "app/base/ErrorContext.h"
#include "app/base/Result.h"
#include "store/Connection.h"
#include "store/EngineStatus.h"

#include <QFile>

bool CompactDatabase(const QString& source, const QString& destination)
{
    ErrorContext context("compacting database");
    QFile::remove(destination);
    const long status = engine::Connection::CompactInto(source, destination);
    if (engine::Failed(status))
        // A partial copy at the destination would keep the lock's release from moving the
        // original back.
        QFile::remove(destination);
    CHResult result(status);
    result.check();
    return true;
}
