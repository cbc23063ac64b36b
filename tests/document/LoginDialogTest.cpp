// The login and change-password dialogs: sorted users with their ids, the fields, the focus.

#include "document/LoginDialog.h"
#include "document/ChangePasswordDialog.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QLineEdit>

#include <gtest/gtest.h>

TEST(LoginDialogTest, SortsTheUsersAndKeepsTheirIds)
{
    LoginDialogRequest request;
    request.users = {{QStringLiteral("Zed"), 1}, {QStringLiteral("amy"), 2}, {QStringLiteral("<add user...>"), -1}};
    request.preselectedData = 1;
    CLoginDialog dialog(request);
    ASSERT_EQ(dialog.users()->count(), 3);
    EXPECT_EQ(dialog.users()->itemText(0), "<add user...>");
    EXPECT_EQ(dialog.users()->itemText(1), "amy");
    EXPECT_EQ(dialog.users()->itemText(2), "Zed");
    EXPECT_EQ(dialog.users()->currentText(), "Zed");
    EXPECT_EQ(dialog.password()->echoMode(), QLineEdit::Password);
    dialog.password()->setText(QStringLiteral("pw"));
    EXPECT_EQ(dialog.Result().selectedData, 1);
    EXPECT_EQ(dialog.Result().password, "pw");

    request.preselectedData = -2;
    CLoginDialog unselected(request);
    EXPECT_EQ(unselected.users()->currentIndex(), -1);
    EXPECT_EQ(unselected.Result().selectedData, -2);
}

TEST(LoginDialogTest, ChangePasswordHandsBackAllThreeFields)
{
    CChangePasswordDialog dialog;
    EXPECT_EQ(dialog.newPassword()->echoMode(), QLineEdit::Password);
    dialog.currentPassword()->setText(QStringLiteral("a"));
    dialog.newPassword()->setText(QStringLiteral("b"));
    dialog.repeatedPassword()->setText(QStringLiteral("c"));
    const ChangePasswordAnswer answer = dialog.Result();
    EXPECT_EQ(answer.currentPassword, "a");
    EXPECT_EQ(answer.newPassword, "b");
    EXPECT_EQ(answer.repeatedPassword, "c");
}

TEST(LoginDialogTest, APreselectedUserPutsTheFocusOnThePassword)
{
    LoginDialogRequest request;
    request.users = {{QStringLiteral("amy"), 2}, {QStringLiteral("<add user...>"), -1}};
    request.preselectedData = 2;
    request.focusPassword = true;
    CLoginDialog preselected(request);
    preselected.show();
    QCoreApplication::processEvents();
    EXPECT_EQ(preselected.focusWidget(), preselected.password());
    preselected.hide();

    request.focusPassword = false;
    CLoginDialog choosing(request);
    choosing.show();
    QCoreApplication::processEvents();
    EXPECT_EQ(choosing.focusWidget(), choosing.users());
}
