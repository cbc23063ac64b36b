// Changing one's password: asking again on a wrong entry, empty passwords, the list updated after the file.

#include "DocumentTestSupport.h"

#include "base/Check.h"
#include "document/ChangePassword.h"
#include "document/LookupLists.h"
#include "document/PasswordHash.h"
#include "platform/OleDate.h"
#include "support/ScriptedUserInterface.h"

namespace {

class ChangePasswordTest : public DatabaseTest {
protected:
    ChangePasswordTest()
    {
        AddStakeholder(db_.connection, 1, QStringLiteral("Ann"), QStringLiteral("ann"),
                       PasswordHash(QStringLiteral("old")));
        lists_.LoadLookups(true);
    }

    QString StoredPasswd()
    {
        engine::Rowset rows;
        EXPECT_EQ(
            db_.connection.Query(
                QStringLiteral("SELECT passwd, passwd IS NULL FROM stakeholder WHERE stakeholder_id=1"), {}, rows),
            engine::kOk);
        EXPECT_EQ(rows.MoveFirst(), engine::kOk);
        EXPECT_EQ(rows.Int(1), 0) << "an empty password is an empty value, not NULL";
        return rows.Text(0);
    }

    QString EntryPasswd() const { return lists_.FindStakeholder(1)->passwd; }

    CountingConnection db_{path_};
    ManualClock clock_;
    LookupLists lists_{db_, clock_};
    ScriptedUserInterface ui_;
};

TEST_F(ChangePasswordTest, WrongCurrentAndDifferingNewPasswordsAskAgain)
{
    ui_.ExpectChangePassword(ChangePasswordAnswer{QStringLiteral("wrong"), QStringLiteral("n"), QStringLiteral("n")});
    ui_.ExpectMessage(194);
    ui_.ExpectChangePassword(ChangePasswordAnswer{QStringLiteral("old"), QStringLiteral("new"), QStringLiteral("New")});
    ui_.ExpectMessage(195);
    ui_.ExpectChangePassword(std::nullopt);
    ChangePassword(ui_, db_, lists_, 1);
    EXPECT_EQ(StoredPasswd(), PasswordHash(QStringLiteral("old")));
    EXPECT_EQ(EntryPasswd(), PasswordHash(QStringLiteral("old")));

    ui_.ExpectChangePassword(ChangePasswordAnswer{QStringLiteral("old"), QStringLiteral("new"), QStringLiteral("new")});
    ChangePassword(ui_, db_, lists_, 1);
    EXPECT_EQ(StoredPasswd(), PasswordHash(QStringLiteral("new")));
    EXPECT_EQ(EntryPasswd(), PasswordHash(QStringLiteral("new")));
}

TEST_F(ChangePasswordTest, AnEmptyNewPasswordStoresAnEmptyValue)
{
    ui_.ExpectChangePassword(ChangePasswordAnswer{QStringLiteral("old"), QString(), QString()});
    ChangePassword(ui_, db_, lists_, 1);
    EXPECT_EQ(StoredPasswd(), QString());
    EXPECT_EQ(EntryPasswd(), QString());

    // Without a password only the empty entry counts as the current one.
    ui_.ExpectChangePassword(ChangePasswordAnswer{QStringLiteral("old"), QStringLiteral("a"), QStringLiteral("a")});
    ui_.ExpectMessage(194);
    ui_.ExpectChangePassword(ChangePasswordAnswer{QString(), QStringLiteral("a"), QStringLiteral("a")});
    ChangePassword(ui_, db_, lists_, 1);
    EXPECT_EQ(StoredPasswd(), PasswordHash(QStringLiteral("a")));
}

TEST_F(ChangePasswordTest, TheListTakesTheNewValueOnlyAfterTheDatabaseDid)
{
    Exec(
        db_.connection,
        QStringLiteral("CREATE TRIGGER refuse BEFORE UPDATE ON stakeholder BEGIN SELECT RAISE(ABORT, 'refused'); END"));
    ui_.ExpectChangePassword(ChangePasswordAnswer{QStringLiteral("old"), QStringLiteral("new"), QStringLiteral("new")});
    ui_.ExpectMessageText(QStringLiteral("Operation failed"));
    ui_.ExpectChangePassword(std::nullopt);
    ChangePassword(ui_, db_, lists_, 1);
    // The engine's words are behind "Details".
    EXPECT_TRUE(ui_.messages.back().details.contains(QStringLiteral("refused")));
    EXPECT_FALSE(ui_.messages.back().text.contains(QStringLiteral("OLE DB")));
    EXPECT_EQ(EntryPasswd(), PasswordHash(QStringLiteral("old")));
    EXPECT_EQ(StoredPasswd(), PasswordHash(QStringLiteral("old")));
}

TEST_F(ChangePasswordTest, AMissingLoggedInUserIsAContractFailure)
{
    ui_.ExpectChangePassword(ChangePasswordAnswer{QStringLiteral("old"), QString(), QString()});
    EXPECT_THROW(ChangePassword(ui_, db_, lists_, 77), check::abort_on);
}

} // namespace
