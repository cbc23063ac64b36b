#pragma once
// The list's date texts made from a pattern read once: the locale's short date-time format is
// taken apart when the format is made, so a cell costs some digit writes instead of a locale
// look-up and a parse of the pattern.

#include <QLocale>
#include <QString>

#include <array>
#include <vector>

class DateTextFormat {
public:
    // The short date-time format of `locale` (the user's default locale unless given).
    explicit DateTextFormat(const QLocale& locale = QLocale());

    // Appends the text that `locale.toString(WallClockFromOleDate(oleDate), QLocale::ShortFormat)`
    // gives: empty for 0 or a value that is no date.
    void Append(QString& text, double oleDate) const;
    QString Text(double oleDate) const;

    // A pattern with parts this class does not write itself is handed to the locale whole.
    bool usesLocale() const { return usesLocale_; }

private:
    enum class Field {
        Literal,
        Day,
        Day2,
        DayShortName,
        DayLongName,
        Month,
        Month2,
        MonthShortName,
        MonthLongName,
        Year2,
        Year4,
        Hour,
        Hour2,
        Hour24,
        Hour24Two,
        Minute,
        Minute2,
        Second,
        Second2,
        AmPmUpper,
        AmPmLower
    };
    struct Part {
        Field field = Field::Literal;
        QString literal;
    };

    bool Parse(const QString& pattern);

    QLocale locale_;
    std::vector<Part> parts_;
    bool usesLocale_ = false;
    bool twelveHour_ = false;
    std::array<QString, 2> amPmUpper_;
    std::array<QString, 2> amPmLower_;
    std::array<QString, 12> monthShortNames_;
    std::array<QString, 12> monthLongNames_;
    std::array<QString, 7> dayShortNames_;
    std::array<QString, 7> dayLongNames_;
};
