#pragma once
// The list's date texts made from a pattern read once: the locale's short date-time format is
// taken apart when the format is made, so a cell costs some digit writes instead of a locale
// look-up and a parse of the pattern.

#include <QByteArray>
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
    // The same text appended as UTF-8, without a QString on the way.
    void AppendUtf8(QByteArray& text, double oleDate) const;
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
    // A text of the pattern as both kinds of text are written.
    struct Name {
        Name() = default;
        explicit Name(const QString& text) : text(text), utf8(text.toUtf8()) { }
        QString text;
        QByteArray utf8;
    };
    struct Part {
        Field field = Field::Literal;
        Name literal;
    };

    bool Parse(const QString& pattern);
    template <typename Out>
    void Write(Out& text, double oleDate) const;

    QLocale locale_;
    std::vector<Part> parts_;
    bool usesLocale_ = false;
    bool twelveHour_ = false;
    std::array<Name, 2> amPmUpper_;
    std::array<Name, 2> amPmLower_;
    std::array<Name, 12> monthShortNames_;
    std::array<Name, 12> monthLongNames_;
    std::array<Name, 7> dayShortNames_;
    std::array<Name, 7> dayLongNames_;
};
