// Converting between OLE dates and date-times, and the system clock.

#include "platform/OleDate.h"

#include <cmath>

namespace {
const QDate kOleEpoch(1899, 12, 30);
constexpr double kMillisecondsPerDay = 86400000.0;
} // namespace

double OleDateFromDateTime(const QDateTime& local)
{
    if (!local.isValid())
        return 0.0;
    const qint64 days = kOleEpoch.daysTo(local.date());
    const double dayFraction = local.time().msecsSinceStartOfDay() / kMillisecondsPerDay;
    // Before the epoch the fraction still counts forwards from midnight, as the engine's dates do.
    return days >= 0 ? static_cast<double>(days) + dayFraction : static_cast<double>(days) - dayFraction;
}

QDateTime WallClockFromOleDate(double oleDate)
{
    if (oleDate == 0.0 || !std::isfinite(oleDate))
        return {};
    const double wholeDays = std::trunc(oleDate);
    const double fraction = std::fabs(oleDate - wholeDays);
    QDate date = kOleEpoch.addDays(static_cast<qint64>(wholeDays));
    qint64 msecs = std::llround(fraction * kMillisecondsPerDay);
    if (msecs >= static_cast<qint64>(kMillisecondsPerDay)) { // rounded up to the next midnight
        date = date.addDays(1);
        msecs = 0;
    }
    return QDateTime(date, QTime::fromMSecsSinceStartOfDay(static_cast<int>(msecs)), Qt::UTC);
}

QDateTime DateTimeFromOleDate(double oleDate)
{
    const QDateTime wallClock = WallClockFromOleDate(oleDate);
    return wallClock.isValid() ? QDateTime(wallClock.date(), wallClock.time()) : QDateTime();
}

double OleDateNow()
{
    return OleDateFromDateTime(QDateTime::currentDateTime());
}

Clock& SystemClockInstance()
{
    static SystemClock clock;
    return clock;
}
