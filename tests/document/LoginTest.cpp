// Logging in: autologin, the dialog's users and preselection, an empty user list, passwords, administrators.

#include "DefectDocFixture.h"
#include "DefectTestDoubles.h"

#include <QSignalSpy>

#include "base/Check.h"
#include "document/Login.h"
#include "document/PasswordHash.h"
#include "platform/LastLogin.h"

namespace {

class LoginTest : public DefectDocFixture {
protected:
    LoginTest()
    {
        doc_.database().SetDatabaseFileName(path_);
        doc_.SetOperatingSystemUser([this] { return systemUser_; });
    }

    static std::function<std::optional<LoginDialogAnswer>(const LoginDialogRequest&)> Choose(int id,
                                                                                             QString password = {})
    {
        return [id, password](const LoginDialogRequest&) { return LoginDialogAnswer{id, password}; };
    }

    std::optional<QString> systemUser_;
};

TEST_F(LoginTest, AutoLoginFindsTheUserOnceWithoutAPassword)
{
    AddStakeholder(setup_, 1, QStringLiteral("Ann"), QStringLiteral("smith"), PasswordHash(QStringLiteral("pw")));
    doc_.SetAutoLogin(QStringLiteral("SMITH"));
    QSignalSpy loggedIn(&doc_, &CDefectDoc::loginCompleted);
    ASSERT_TRUE(doc_.Login());
    EXPECT_EQ(doc_.loggedInId(), 1);
    EXPECT_TRUE(doc_.loginComplete());
    EXPECT_EQ(doc_.CurrentUserName(), "Ann");
    EXPECT_EQ(ui_.CountOf("login"), 0);
    EXPECT_EQ(loggedIn.count(), 1);

    // The name is used once: the next login asks.
    ui_.ExpectLogin(std::nullopt);
    EXPECT_FALSE(doc_.Login());
}

TEST_F(LoginTest, AnUnknownAutoLoginFallsBackToTheDialog)
{
    AddStakeholder(setup_, 1, QStringLiteral("Ann"), QStringLiteral("ann"));
    doc_.SetAutoLogin(QStringLiteral("nobody-here"));
    ui_.ExpectMessage(154);
    ui_.ExpectLoginScript(Choose(1));
    ASSERT_TRUE(doc_.Login());
    EXPECT_EQ(doc_.loggedInId(), 1);

    // The nobody row has the login name "none", but nobody logs in as it.
    doc_.SetAutoLogin(QStringLiteral("none"));
    ui_.ExpectMessage(154);
    ui_.ExpectLogin(std::nullopt);
    EXPECT_FALSE(doc_.Login());
}

TEST_F(LoginTest, TheDialogOffersEveryoneButNobodyAndPreselectsTheSystemUser)
{
    AddStakeholder(setup_, 1, QStringLiteral("Zed"), QStringLiteral("zed"));
    AddStakeholder(setup_, 2, QString(), QStringLiteral("amy"));
    systemUser_ = QStringLiteral("AMY");
    ui_.ExpectLogin(std::nullopt);
    EXPECT_FALSE(doc_.Login());
    EXPECT_FALSE(doc_.loggedIn());
    ASSERT_EQ(ui_.loginRequests.size(), 1u);
    const LoginDialogRequest& request = ui_.loginRequests.front();
    ASSERT_EQ(request.users.size(), 3u);
    EXPECT_EQ(request.users[0].text, "Zed");
    EXPECT_EQ(request.users[0].data, 1);
    EXPECT_EQ(request.users[1].text, "amy");
    EXPECT_EQ(request.users[1].data, 2);
    EXPECT_EQ(request.users[2].text, "<add user...>");
    EXPECT_EQ(request.users[2].data, -1);
    EXPECT_EQ(request.preselectedData, 2);
    EXPECT_TRUE(request.focusPassword);
}

TEST_F(LoginTest, AnEmptyListPreselectsItsOnlyItemAndAddUserStartsAgain)
{
    systemUser_ = QStringLiteral("unknown");
    doc_.SetListEditor({});
    ui_.ExpectLoginScript(Choose(-1));
    ui_.ExpectMessage(40144);
    ui_.ExpectLogin(std::nullopt);
    EXPECT_FALSE(doc_.Login());
    ASSERT_EQ(ui_.loginRequests.size(), 2u);
    ASSERT_EQ(ui_.loginRequests[0].users.size(), 1u);
    EXPECT_EQ(ui_.loginRequests[0].preselectedData, -1);
    EXPECT_FALSE(ui_.loginRequests[0].focusPassword);

    // With the editor plugged in, a file without users goes to it at once, with a word why; once
    // only, so that leaving it empty still reaches the login dialog.
    int editorRuns = 0;
    bool addsUser = false;
    doc_.SetListEditor([&] {
        ++editorRuns;
        if (addsUser)
            AddStakeholder(setup_, 5, QStringLiteral("New"), QStringLiteral("new"));
    });
    ui_.ExpectMessage(40145);
    ui_.ExpectLogin(std::nullopt);
    EXPECT_FALSE(doc_.Login());
    EXPECT_EQ(editorRuns, 1);

    // "<add user...>" runs it and the login starts again with the new list.
    ui_.ExpectMessage(40145);
    ui_.ExpectLoginScript([&](const LoginDialogRequest&) {
        addsUser = true;
        return LoginDialogAnswer{-1, {}};
    });
    ui_.ExpectLoginScript(Choose(5));
    ASSERT_TRUE(doc_.Login());
    EXPECT_EQ(editorRuns, 3);
    EXPECT_EQ(doc_.loggedInId(), 5);
    EXPECT_EQ(ui_.loginRequests.back().users.size(), 2u);
}

TEST_F(LoginTest, PasswordsAreCheckedAgainstTheStoredHash)
{
    AddStakeholder(setup_, 1, QStringLiteral("Open"), QStringLiteral("open"));
    AddStakeholder(setup_, 2, QStringLiteral("Locked"), QStringLiteral("locked"), PasswordHash(QStringLiteral("pw")));

    ui_.ExpectLoginScript(Choose(1, QStringLiteral("x"))); // no stored password: typing anything fails
    ui_.ExpectMessage(194);
    ui_.ExpectLoginScript(Choose(2)); // an empty entry never matches a hash
    ui_.ExpectMessage(194);
    ui_.ExpectLoginScript(Choose(2, QStringLiteral("PW")));
    ui_.ExpectMessage(194);
    ui_.ExpectLoginScript(Choose(4711)); // gone from the list: ask again, silently
    ui_.ExpectLoginScript(Choose(0));    // nobody is never a login
    ui_.ExpectLoginScript(Choose(2, QStringLiteral("pw")));
    ASSERT_TRUE(doc_.Login());
    EXPECT_EQ(doc_.loggedInId(), 2);
    EXPECT_EQ(ui_.CountOf("login"), 6);

    ui_.ExpectLoginScript(Choose(1));
    ASSERT_TRUE(doc_.Login());
    EXPECT_EQ(doc_.loggedInId(), 1);
}

TEST_F(LoginTest, AWrongPasswordKeepsTheUserAndTheNextLoginOffersTheLastUserOfThisDatabase)
{
    AddStakeholder(setup_, 1, QStringLiteral("Ann"), QStringLiteral("ann"));
    AddStakeholder(setup_, 2, QStringLiteral("Bob"), QStringLiteral("bob"), PasswordHash(QStringLiteral("pw")));
    AddStakeholder(setup_, 3, QStringLiteral("Cid"), QStringLiteral("cid"));
    systemUser_ = QStringLiteral("ann");

    // First login here: the system user is offered; Bob is chosen and mistypes.
    ui_.ExpectLoginScript(Choose(2, QStringLiteral("wrong")));
    ui_.ExpectMessage(194);
    ui_.ExpectLoginScript(Choose(2, QStringLiteral("pw")));
    ASSERT_TRUE(doc_.Login());
    ASSERT_EQ(ui_.loginRequests.size(), 2u);
    EXPECT_EQ(ui_.loginRequests[0].preselectedData, 1);
    EXPECT_EQ(ui_.loginRequests[1].preselectedData, 2) << "the user stays chosen after a wrong password";
    EXPECT_TRUE(ui_.loginRequests[1].focusPassword);

    // The next login, also in a new session, offers Bob for this database.
    ui_.ExpectLogin(std::nullopt);
    EXPECT_FALSE(doc_.Login());
    EXPECT_EQ(ui_.loginRequests.back().preselectedData, 2);
    EXPECT_EQ(LastLoginName(path_), QStringLiteral("bob"));

    // Another database remembers its own user; a remembered user who is gone is not offered.
    EXPECT_TRUE(LastLoginName(folder_.file(QStringLiteral("other.defl"))).isEmpty());
    Exec(setup_, QStringLiteral("DELETE FROM stakeholder WHERE stakeholder_id = 2"));
    ui_.ExpectLogin(std::nullopt);
    EXPECT_FALSE(doc_.Login());
    EXPECT_EQ(ui_.loginRequests.back().preselectedData, 1);
}

TEST_F(LoginTest, AdministratorsByFlagOrEverybodyWhenNobodyIsFlagged)
{
    AddStakeholder(setup_, 1, QStringLiteral("One"), QStringLiteral("one"));
    AddStakeholder(setup_, 2, QStringLiteral("Two"), QStringLiteral("two"));
    ui_.ExpectLoginScript(Choose(1));
    ASSERT_TRUE(doc_.Login());
    EXPECT_TRUE(doc_.currentUserIsAdministrator());

    Exec(setup_, QStringLiteral("UPDATE stakeholder SET userflags='a' WHERE stakeholder_id=2"));
    ui_.ExpectLoginScript(Choose(1));
    ASSERT_TRUE(doc_.Login());
    EXPECT_FALSE(doc_.currentUserIsAdministrator());
    ui_.ExpectLoginScript(Choose(2));
    ASSERT_TRUE(doc_.Login());
    EXPECT_TRUE(doc_.currentUserIsAdministrator());

    StakeholderEntry user;
    user.userflags = QStringLiteral("rwA");
    EXPECT_TRUE(IsAdministrator(user, 3));
    user.userflags = QStringLiteral("rw");
    EXPECT_FALSE(IsAdministrator(user, 3));
    EXPECT_TRUE(IsAdministrator(user, 0));
}

TEST_F(LoginTest, AStakeholderDeletedDuringTheLoginIsAContractFailure)
{
    AddStakeholder(setup_, 1, QStringLiteral("One"), QStringLiteral("one"));
    ui_.ExpectLoginScript([this](const LoginDialogRequest&) {
        // Another workstation removes the user while the dialog is open; the lists read again
        // while the settings load selects the last defect no longer hold the user.
        Exec(setup_, QStringLiteral("DELETE FROM stakeholder WHERE stakeholder_id=1"));
        return LoginDialogAnswer{1, QString()};
    });
    InsertDefectRow(setup_, 5, 1, 1);
    QObject::connect(&doc_, &CDefectDoc::currentDefectChanged, [this] { doc_.lookups().LoadLookups(true); });
    Exec(setup_, QStringLiteral("INSERT INTO UserSettings (UserId, LastDefectId) VALUES (1, 5)"));
    EXPECT_THROW(doc_.Login(), check::abort_on);
}

} // namespace
