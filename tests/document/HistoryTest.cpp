// The history log: one line per entry, names from the lists, and entries that do not fit refused.

#include "document/History.h"
#include "base/Check.h"
#include "platform/Utf8Text.h"

#include <QLocale>

#include <gtest/gtest.h>

namespace {

const QDate kToday(2024, 3, 7);

QString Date()
{
    return QLocale::system().toString(kToday, QLocale::ShortFormat);
}

} // namespace

TEST(History, AppendsOneTabSeparatedLinePerEntry)
{
    QString history;
    AddHistoryEntry(history, QStringLiteral("new"), QStringLiteral("Ann Example"), QString(), kToday);
    EXPECT_EQ(history, Date() + QStringLiteral("\tnew (Ann Example)\t\n"));

    // The comment goes in as given, line breaks and percent signs included; earlier lines stay.
    AddHistoryEntry(history, QStringLiteral("rejected"), QStringLiteral("Ann Example"),
                    QStringLiteral("works as designed\nsee %1 and %s"), kToday);
    EXPECT_EQ(history,
              Date() + QStringLiteral("\tnew (Ann Example)\t\n") + Date() +
                  QStringLiteral("\trejected (Ann Example)\tworks as designed\nsee %1 and %s\n"));
}

TEST(History, NamesComeFromTheListsOrAreUnknown)
{
    const std::vector<StatusEntry> statuses{{1, QStringLiteral("new"), 1, QString()},
                                            {10, QStringLiteral("closed"), 10, QString()}};
    StakeholderEntry ann;
    ann.stakeholder_id = 4;
    ann.displayname = QStringLiteral("Ann Example");
    ann.loginname = QStringLiteral("ann");
    StakeholderEntry bob;
    bob.stakeholder_id = 5;
    bob.loginname = QStringLiteral("bob");
    StakeholderEntry mailOnly;
    mailOnly.stakeholder_id = 6;
    mailOnly.email = QStringLiteral("cy@example.org");
    const std::vector<StakeholderEntry> stakeholders{ann, bob, mailOnly};

    const auto entry = [&](int statusId, int userId) {
        QString history;
        AddHistoryEntry(history, statuses, stakeholders, statusId, userId, QStringLiteral("c"), kToday);
        return history.mid(Date().size());
    };
    EXPECT_EQ(entry(10, 4), QStringLiteral("\tclosed (Ann Example)\tc\n"));
    EXPECT_EQ(entry(10, 5), QStringLiteral("\tclosed (bob)\tc\n"));
    EXPECT_EQ(entry(1, 6), QStringLiteral("\tnew (cy@example.org)\tc\n"));
    EXPECT_EQ(entry(3, 4), QStringLiteral("\t??? (Ann Example)\tc\n"));
    EXPECT_EQ(entry(1, 77),
              QStringLiteral("\tnew (???"
                             ")\tc\n"));
}

TEST(History, RefusesAnEntryThatDoesNotFitTheBuffer)
{
    // The date's length depends on the locale, so the history is sized around the entry: with an
    // 18-byte entry these are the 7980 + 18 accepted and 7981 + 18 refused cases.
    const QString comment = QStringLiteral("c");
    const int entryBytes = Utf8Length(Date()) + 9;
    const auto filled = [&](int bytes) { return QString(bytes, QLatin1Char('x')); };
    const int fitting = 7998 - entryBytes; // + entry + terminator = 7999

    QString history = filled(fitting);
    AddHistoryEntry(history, QStringLiteral("s"), QStringLiteral("u"), comment, kToday);
    EXPECT_EQ(Utf8Length(history), 7998);

    history = filled(fitting + 1);
    try {
        AddHistoryEntry(history, QStringLiteral("s"), QStringLiteral("u"), comment, kToday);
        ADD_FAILURE() << "an entry fitted that makes 8000 bytes with the terminator";
    } catch (const check::assertion_failed& failure) {
        EXPECT_STREQ(failure.what(),
                     "History buffer too small to store comment information. Create a new database entry instead.");
    }
    EXPECT_EQ(history, filled(fitting + 1));

    // The limit counts bytes: a two-byte character where one fitted no longer fits.
    history = filled(fitting);
    EXPECT_THROW(AddHistoryEntry(history, QStringLiteral("s"), QStringLiteral("u"), QString(QChar(0x00E9)), kToday),
                 check::assertion_failed);
    EXPECT_EQ(history, filled(fitting));
}
