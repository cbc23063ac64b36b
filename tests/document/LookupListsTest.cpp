// The lookup lists on a test file: when they reload, their order, failing queries, names and cut texts.

#include "DocumentTestSupport.h"

#include "document/LookupLists.h"
#include "platform/OleDate.h"

namespace {

class LookupListsTest : public DatabaseTest {
protected:
    CountingConnection db_{path_};
    ManualClock clock_;
    LookupLists lists_{db_, clock_};

    QString StatusName(std::int32_t id) const { return lists_.LookupName(LookupList::Status, id); }
};

TEST_F(LookupListsTest, LoadsAtMostEveryFifteenSecondsUnlessForced)
{
    lists_.LoadLookups(false);
    EXPECT_EQ(db_.requests, 1);
    EXPECT_EQ(StatusName(2), "open");

    Exec(db_.connection, QStringLiteral("UPDATE status SET status='opened' WHERE status_id=2"));
    clock_.Advance(15);
    lists_.LoadLookups(false);
    EXPECT_EQ(db_.requests, 1);
    EXPECT_EQ(StatusName(2), "open") << "a load within 15 seconds must not read";

    clock_.Advance(1);
    lists_.LoadLookups(false);
    EXPECT_EQ(db_.requests, 2);
    EXPECT_EQ(StatusName(2), "opened");

    Exec(db_.connection, QStringLiteral("UPDATE status SET status='active' WHERE status_id=2"));
    lists_.LoadLookups(true);
    EXPECT_EQ(StatusName(2), "active");
    lists_.LoadLookups(true);
    EXPECT_EQ(db_.requests, 4);

    Exec(db_.connection, QStringLiteral("UPDATE status SET status='reconnected' WHERE status_id=2"));
    lists_.ForgetLoadTime();
    lists_.LoadLookups(false);
    EXPECT_EQ(StatusName(2), "reconnected");

    // A forgotten load time forces the next load whatever the clock says.
    ManualClock early(QDateTime::fromSecsSinceEpoch(10));
    LookupLists fresh(db_, early);
    fresh.LoadLookups(false);
    EXPECT_EQ(fresh.LookupName(LookupList::Status, 2), "reconnected");
}

TEST_F(LookupListsTest, ReadsEveryListInSortOrder)
{
    lists_.LoadLookups(true);
    ASSERT_FALSE(lists_.statuses().empty());
    EXPECT_EQ(lists_.statuses().front().status, "new");
    EXPECT_EQ(lists_.priorities().size(), 5u);
    EXPECT_EQ(lists_.severities().back().name, "critical");
    EXPECT_EQ(lists_.categories().size(), 3u);
    EXPECT_EQ(lists_.components().size(), 1u);
    EXPECT_EQ(lists_.components().front().component, "<none>");
    ASSERT_NE(lists_.FindStatus(reserved::kStatusDraft), nullptr);
    EXPECT_EQ(lists_.FindStatus(reserved::kStatusDraft)->status, "draft");
    EXPECT_EQ(lists_.FindStatus(4711), nullptr);
    ASSERT_NE(lists_.FindStakeholder(reserved::kNobody), nullptr);
    EXPECT_EQ(lists_.FindStakeholder(reserved::kNobody)->loginname, "none");
}

TEST_F(LookupListsTest, AFailingQueryKeepsItsListAndTheOthersLoad)
{
    lists_.LoadLookups(true);
    ASSERT_EQ(lists_.components().size(), 1u);
    Exec(db_.connection, QStringLiteral("DROP TABLE component"));
    Exec(db_.connection, QStringLiteral("UPDATE category SET category='defect' WHERE category_id=0"));
    lists_.LoadLookups(true);
    EXPECT_EQ(lists_.components().size(), 1u);
    EXPECT_EQ(lists_.LookupName(LookupList::Category, 0), "defect");
    EXPECT_EQ(lists_.lookupsLoadedAt(), clock_.SecondsSince1970());
}

TEST_F(LookupListsTest, NamesOfUnknownIdsAndDisplayNameFallbacks)
{
    AddStakeholder(db_.connection, 1, QStringLiteral("Ann Smith"), QStringLiteral("ann"));
    AddStakeholder(db_.connection, 2, QString(), QStringLiteral("bob"));
    AddStakeholder(db_.connection, 3, QString(), QString(), QString(), QString(), QStringLiteral("carl@example.org"));
    lists_.LoadLookups(true);

    EXPECT_EQ(StatusName(123), "-- 123 --");
    EXPECT_EQ(StatusName(-7), "-- -7 --");
    EXPECT_EQ(lists_.LookupName(LookupList::Priority, 3), "high");
    EXPECT_EQ(lists_.LookupName(LookupList::Severity, 99), "-- 99 --");
    EXPECT_EQ(lists_.LookupName(LookupList::Component, 99), "-- 99 --");
    EXPECT_EQ(lists_.LookupName(LookupList::Stakeholder, 1), "Ann Smith");
    EXPECT_EQ(lists_.LookupName(LookupList::Stakeholder, 2), "bob");
    EXPECT_EQ(lists_.LookupName(LookupList::Stakeholder, 3), "carl@example.org");
    EXPECT_EQ(lists_.LookupName(LookupList::Stakeholder, 0), "- ? -");
    EXPECT_EQ(lists_.LookupName(LookupList::Stakeholder, 9), "-- 9 --");
}

TEST_F(LookupListsTest, LoginNamesMatchExactlyBeforeIgnoringCase)
{
    AddStakeholder(db_.connection, 1, QStringLiteral("lower"), QStringLiteral("smith"));
    AddStakeholder(db_.connection, 2, QStringLiteral("Ärger"), QStringLiteral("ärger"));
    lists_.LoadLookups(true);
    ASSERT_NE(lists_.FindStakeholderByLogin(QStringLiteral("SMITH")), nullptr);
    EXPECT_EQ(lists_.FindStakeholderByLogin(QStringLiteral("SMITH"))->stakeholder_id, 1);
    ASSERT_NE(lists_.FindStakeholderByLogin(QStringLiteral("ÄRGER")), nullptr) << "case folding beyond ASCII";
    EXPECT_EQ(lists_.FindStakeholderByLogin(QStringLiteral("ÄRGER"))->stakeholder_id, 2);
    EXPECT_EQ(lists_.FindStakeholderByLogin(QStringLiteral("smit")), nullptr);

    // The exact match wins although the case-insensitive one comes first in list order.
    AddStakeholder(db_.connection, 3, QStringLiteral("upper"), QStringLiteral("SMITH"));
    lists_.LoadLookups(true);
    EXPECT_EQ(lists_.FindStakeholderByLogin(QStringLiteral("SMITH"))->stakeholder_id, 3);
    EXPECT_EQ(lists_.FindStakeholderByLogin(QStringLiteral("smith"))->stakeholder_id, 1);
    EXPECT_EQ(lists_.FindStakeholderByLogin(QStringLiteral("Smith"))->stakeholder_id, 1);
}

TEST_F(LookupListsTest, AdministratorsAreCountedByTheLetterA)
{
    AddStakeholder(db_.connection, 1, QStringLiteral("one"), QStringLiteral("one"), QString(), QStringLiteral("rw"));
    lists_.LoadLookups(true);
    EXPECT_EQ(lists_.administratorCount(), 0);

    AddStakeholder(db_.connection, 2, QStringLiteral("two"), QStringLiteral("two"), QString(), QStringLiteral("a"));
    AddStakeholder(db_.connection, 3, QStringLiteral("three"), QStringLiteral("three"), QString(),
                   QStringLiteral("xA"));
    lists_.LoadLookups(true);
    EXPECT_EQ(lists_.administratorCount(), 2);
}

TEST_F(LookupListsTest, TextsAreCutToTheirBuffersAtCharacterBoundaries)
{
    const QString longName = QString(79, QLatin1Char('x')) + QStringLiteral("éé");
    AddStakeholder(db_.connection, 1, longName, QStringLiteral("long"));
    lists_.LoadLookups(true);
    const StakeholderEntry* entry = lists_.FindStakeholder(1);
    ASSERT_NE(entry, nullptr);
    // 80 bytes fit: the 79 letters and no half of the two-byte é.
    EXPECT_EQ(entry->displayname, QString(79, QLatin1Char('x')));
}

} // namespace
