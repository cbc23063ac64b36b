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
    engine::ErrorRecords errors;
    const long status = engine::Connection::CompactInto(source, destination, &errors);
    if (engine::Failed(status))
        // A partial copy at the destination would keep the lock's release from moving the
        // original back.
        QFile::remove(destination);
    CHResult result(status, std::move(errors));
    result.check();
    return true;
}
