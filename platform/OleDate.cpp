#include "platform/OleDate.h"

#include <cmath>

namespace {
const QDate kOleEpoch(1899, 12, 30);
constexpr double kMillisecondsPerDay = 86400000.0;
}

double OleDateFromDateTime(const QDateTime& local)
{
    if (!local.isValid())
        return 0.0;
    const qint64 days = kOleEpoch.daysTo(local.date());
    const double dayFraction = local.time().msecsSinceStartOfDay() / kMillisecondsPerDay;
    // Before the epoch the fraction still counts forwards from midnight, as the engine's dates do.
    return days >= 0 ? static_cast<double>(days) + dayFraction : static_cast<double>(days) - dayFraction;
}

QDateTime DateTimeFromOleDate(double oleDate)
{
    if (oleDate == 0.0 || !std::isfinite(oleDate))
        return {};
    const double wholeDays = std::trunc(oleDate);
    const double fraction = std::fabs(oleDate - wholeDays);
    const QDate date = kOleEpoch.addDays(static_cast<qint64>(wholeDays));
    const int msecs = static_cast<int>(std::llround(fraction * kMillisecondsPerDay));
    return QDateTime(date, QTime(0, 0)).addMSecs(msecs);
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
