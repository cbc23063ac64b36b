// Date texts of the list from a pattern taken apart once.

#include "list/DateTextFormat.h"

#include "platform/OleDate.h"

#include <QDate>

#include <cmath>

namespace {

constexpr double kMillisecondsPerDay = 86400000.0;
const QDate kOleEpoch(1899, 12, 30);

// Appends `value` (not negative) in decimal digits, at least `width` of them.
void AppendNumber(QString& text, int value, int width)
{
    char digits[12];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value > 0);
    for (int pad = count; pad < width; ++pad)
        text += QLatin1Char('0');
    while (count > 0)
        text += QLatin1Char(digits[--count]);
}

void AppendNumber(QByteArray& text, int value, int width)
{
    char digits[12];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value > 0);
    while (width-- > count)
        text += '0';
    while (count > 0)
        text += digits[--count];
}

// A name or literal of the pattern, held as both kinds of text.
template <typename Name>
void AppendName(QString& text, const Name& name)
{
    text += name.text;
}

template <typename Name>
void AppendName(QByteArray& text, const Name& name)
{
    text += name.utf8;
}

void AppendLocaleText(QString& text, const QString& written)
{
    text += written;
}

void AppendLocaleText(QByteArray& text, const QString& written)
{
    text += written.toUtf8();
}

bool IsAsciiLetter(QChar c)
{
    return (c >= QLatin1Char('a') && c <= QLatin1Char('z')) || (c >= QLatin1Char('A') && c <= QLatin1Char('Z'));
}

} // namespace

DateTextFormat::DateTextFormat(const QLocale& locale) : locale_(locale)
{
    usesLocale_ = locale_.zeroDigit() != QLatin1String("0") || !Parse(locale_.dateTimeFormat(QLocale::ShortFormat));
    amPmUpper_ = {Name(locale_.amText().toUpper()), Name(locale_.pmText().toUpper())};
    amPmLower_ = {Name(locale_.amText().toLower()), Name(locale_.pmText().toLower())};
    for (int month = 1; month <= 12; ++month) {
        monthShortNames_[static_cast<std::size_t>(month - 1)] = Name(locale_.monthName(month, QLocale::ShortFormat));
        monthLongNames_[static_cast<std::size_t>(month - 1)] = Name(locale_.monthName(month, QLocale::LongFormat));
    }
    for (int day = 1; day <= 7; ++day) {
        dayShortNames_[static_cast<std::size_t>(day - 1)] = Name(locale_.dayName(day, QLocale::ShortFormat));
        dayLongNames_[static_cast<std::size_t>(day - 1)] = Name(locale_.dayName(day, QLocale::LongFormat));
    }
}

bool DateTextFormat::Parse(const QString& pattern)
{
    const auto literal = [this](const QString& text) {
        if (parts_.empty() || parts_.back().field != Field::Literal)
            parts_.push_back({Field::Literal, Name()});
        parts_.back().literal = Name(parts_.back().literal.text + text);
    };
    for (qsizetype i = 0; i < pattern.size();) {
        const QChar c = pattern.at(i);
        if (c == QLatin1Char('\'')) {
            const qsizetype close = pattern.indexOf(QLatin1Char('\''), i + 1);
            // A doubled quote stands for a quote; rare enough to leave to the locale.
            if (close < 0 || close == i + 1 || (close + 1 < pattern.size() && pattern.at(close + 1) == c))
                return false;
            literal(pattern.mid(i + 1, close - i - 1));
            i = close + 1;
            continue;
        }
        if (!IsAsciiLetter(c)) {
            literal(QString(c));
            ++i;
            continue;
        }
        if (c == QLatin1Char('A') || c == QLatin1Char('a')) {
            const QChar p = c == QLatin1Char('A') ? QLatin1Char('P') : QLatin1Char('p');
            if (i + 1 >= pattern.size() || pattern.at(i + 1) != p)
                return false;
            parts_.push_back({c == QLatin1Char('A') ? Field::AmPmUpper : Field::AmPmLower, Name()});
            twelveHour_ = true;
            i += 2;
            continue;
        }
        qsizetype repeat = 1;
        while (i + repeat < pattern.size() && pattern.at(i + repeat) == c)
            ++repeat;
        Field field = Field::Literal;
        switch (c.toLatin1()) {
        case 'd': {
            constexpr std::array<Field, 4> kDays{Field::Day, Field::Day2, Field::DayShortName, Field::DayLongName};
            field = repeat <= 4 ? kDays[static_cast<std::size_t>(repeat - 1)] : Field::Literal;
            break;
        }
        case 'M': {
            constexpr std::array<Field, 4> kMonths{Field::Month, Field::Month2, Field::MonthShortName,
                                                   Field::MonthLongName};
            field = repeat <= 4 ? kMonths[static_cast<std::size_t>(repeat - 1)] : Field::Literal;
            break;
        }
        case 'y':
            field = repeat == 2 ? Field::Year2 : repeat == 4 ? Field::Year4 : Field::Literal;
            break;
        case 'h':
            field = repeat == 1 ? Field::Hour : repeat == 2 ? Field::Hour2 : Field::Literal;
            break;
        case 'H':
            field = repeat == 1 ? Field::Hour24 : repeat == 2 ? Field::Hour24Two : Field::Literal;
            break;
        case 'm':
            field = repeat == 1 ? Field::Minute : repeat == 2 ? Field::Minute2 : Field::Literal;
            break;
        case 's':
            field = repeat == 1 ? Field::Second : repeat == 2 ? Field::Second2 : Field::Literal;
            break;
        default:
            break;
        }
        // Time zones, milliseconds, eras: the locale writes those.
        if (field == Field::Literal)
            return false;
        parts_.push_back({field, Name()});
        i += repeat;
    }
    return true;
}

void DateTextFormat::Append(QString& text, double oleDate) const
{
    Write(text, oleDate);
}

void DateTextFormat::AppendUtf8(QByteArray& text, double oleDate) const
{
    Write(text, oleDate);
}

template <typename Out>
void DateTextFormat::Write(Out& text, double oleDate) const
{
    if (oleDate == 0.0 || !std::isfinite(oleDate))
        return;
    // The same day and rounding as WallClockFromOleDate.
    const double wholeDays = std::trunc(oleDate);
    const double fraction = std::fabs(oleDate - wholeDays);
    QDate date = kOleEpoch.addDays(static_cast<qint64>(wholeDays));
    qint64 msecs = std::llround(fraction * kMillisecondsPerDay);
    if (msecs >= static_cast<qint64>(kMillisecondsPerDay)) {
        date = date.addDays(1);
        msecs = 0;
    }
    int year = 0;
    int month = 0;
    int day = 0;
    date.getDate(&year, &month, &day);
    if (usesLocale_ || year < 1000 || year > 9999) {
        AppendLocaleText(text, locale_.toString(WallClockFromOleDate(oleDate), QLocale::ShortFormat));
        return;
    }
    const int seconds = static_cast<int>(msecs / 1000);
    const int hour = seconds / 3600;
    const int minute = seconds / 60 % 60;
    const int second = seconds % 60;
    const int hour12 = hour % 12 == 0 ? 12 : hour % 12;
    for (const Part& part : parts_) {
        switch (part.field) {
        case Field::Literal:
            AppendName(text, part.literal);
            break;
        case Field::Day:
        case Field::Day2:
            AppendNumber(text, day, part.field == Field::Day2 ? 2 : 1);
            break;
        case Field::DayShortName:
            AppendName(text, dayShortNames_[static_cast<std::size_t>(date.dayOfWeek() - 1)]);
            break;
        case Field::DayLongName:
            AppendName(text, dayLongNames_[static_cast<std::size_t>(date.dayOfWeek() - 1)]);
            break;
        case Field::Month:
        case Field::Month2:
            AppendNumber(text, month, part.field == Field::Month2 ? 2 : 1);
            break;
        case Field::MonthShortName:
            AppendName(text, monthShortNames_[static_cast<std::size_t>(month - 1)]);
            break;
        case Field::MonthLongName:
            AppendName(text, monthLongNames_[static_cast<std::size_t>(month - 1)]);
            break;
        case Field::Year2:
            AppendNumber(text, year % 100, 2);
            break;
        case Field::Year4:
            AppendNumber(text, year, 4);
            break;
        case Field::Hour:
        case Field::Hour2:
            AppendNumber(text, twelveHour_ ? hour12 : hour, part.field == Field::Hour2 ? 2 : 1);
            break;
        case Field::Hour24:
        case Field::Hour24Two:
            AppendNumber(text, hour, part.field == Field::Hour24Two ? 2 : 1);
            break;
        case Field::Minute:
        case Field::Minute2:
            AppendNumber(text, minute, part.field == Field::Minute2 ? 2 : 1);
            break;
        case Field::Second:
        case Field::Second2:
            AppendNumber(text, second, part.field == Field::Second2 ? 2 : 1);
            break;
        case Field::AmPmUpper:
            AppendName(text, amPmUpper_[hour < 12 ? 0 : 1]);
            break;
        case Field::AmPmLower:
            AppendName(text, amPmLower_[hour < 12 ? 0 : 1]);
            break;
        }
    }
}

QString DateTextFormat::Text(double oleDate) const
{
    QString text;
    Append(text, oleDate);
    return text;
}
