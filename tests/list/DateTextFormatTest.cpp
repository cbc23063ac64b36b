// The list's date texts from a pattern read once: the same texts as the locale writes, in every locale,
// as text and as UTF-8.

#include "list/DateTextFormat.h"

#include "platform/OleDate.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// Midnight, a morning, noon, an afternoon, the last second, a fraction that rounds up to the
// next midnight, a date before 1970, and a negative (pre-1899) date.
const std::vector<double> kDates{45000.0,
                                 45000.0 + 1.0 / 24 + 5.0 / 1440,
                                 45000.5,
                                 45321.75 + 7.0 / 86400,
                                 44999.0 + 86399.0 / 86400,
                                 45000.0 - 1e-10 + 1,
                                 10000.25,
                                 -5.5,
                                 1.0 / 3};

} // namespace

TEST(DateTextFormat, WritesWhatTheLocaleWritesInEveryLocale)
{
    int written = 0;
    const QList<QLocale> locales =
        QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript, QLocale::AnyTerritory);
    ASSERT_GT(locales.size(), 100);
    for (const QLocale& locale : locales) {
        const DateTextFormat format(locale);
        written += format.usesLocale() ? 0 : 1;
        for (const double date : kDates) {
            const QString expected = locale.toString(WallClockFromOleDate(date), QLocale::ShortFormat);
            ASSERT_EQ(format.Text(date), expected)
                << qPrintable(locale.name()) << " " << qPrintable(locale.dateTimeFormat(QLocale::ShortFormat)) << " "
                << date;
            // The UTF-8 text goes after what the buffer holds.
            QByteArray utf8("x");
            format.AppendUtf8(utf8, date);
            ASSERT_EQ(utf8, "x" + expected.toUtf8()) << qPrintable(locale.name()) << " " << date;
        }
        EXPECT_TRUE(format.Text(0).isEmpty());
        QByteArray none;
        format.AppendUtf8(none, 0);
        EXPECT_TRUE(none.isEmpty());
    }
    // The usual patterns are written without the locale, else there is nothing gained.
    for (const char* name : {"en_US", "de_DE", "fr_FR", "en_GB", "C"})
        EXPECT_FALSE(DateTextFormat(QLocale(QLatin1String(name))).usesLocale()) << name;
    EXPECT_GT(written, locales.size() / 2);
}
