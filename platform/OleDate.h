#pragma once
// Dates as the database keeps them: days since 1899-12-30 in local time, the fraction being
// the time of day; 0 means "not set".

#include <QDateTime>

double OleDateFromDateTime(const QDateTime& local);
QDateTime DateTimeFromOleDate(double oleDate);
// The same date and time of day without a time zone (UTC): for texts, which then need no
// time-zone lookup, and which show the stored time even on the day the clocks change.
QDateTime WallClockFromOleDate(double oleDate);
double OleDateNow();

// The clock the logic reads; tests replace it to move time without sleeping.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime Now() const = 0;
    qint64 SecondsSince1970() const { return Now().toSecsSinceEpoch(); }
    double OleNow() const { return OleDateFromDateTime(Now()); }
};

class SystemClock : public Clock {
public:
    QDateTime Now() const override { return QDateTime::currentDateTime(); }
};

// A clock that stands still until the test moves it.
class ManualClock : public Clock {
public:
    explicit ManualClock(QDateTime start = QDateTime(QDate(2026, 1, 15), QTime(9, 0))) : now_(std::move(start)) { }
    QDateTime Now() const override { return now_; }
    void Advance(qint64 seconds) { now_ = now_.addSecs(seconds); }
    void Set(const QDateTime& when) { now_ = when; }

private:
    QDateTime now_;
};

Clock& SystemClockInstance();
