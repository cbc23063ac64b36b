#include "store/DBRetryDialog.h"
#include "app/QtUserInterface.h"
#include "base/StringTable.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

namespace {
QString LabelText(const QWidget& dialog, const char* name)
{
    const auto* label = dialog.findChild<QLabel*>(QString::fromLatin1(name));
    return label != nullptr ? label->text() : QStringLiteral("<no label>");
}
} // namespace

TEST(DBRetryDialogTest, CountdownShowsTheSecondsAndRetriesByItself)
{
    CDBRetryDialog dialog(nullptr, QStringLiteral("The file is away."), 2, 0, false);
    EXPECT_EQ(QStringLiteral("Vellacord - Notification"), dialog.windowTitle());
    EXPECT_EQ(QStringLiteral("The file is away."), LabelText(dialog, "message"));
    EXPECT_EQ(QStringLiteral("Automatically retrying in 2 sec."), LabelText(dialog, "countdown"));
    const auto* icon = dialog.findChild<QLabel*>(QStringLiteral("icon"));
    ASSERT_NE(nullptr, icon);
    EXPECT_FALSE(icon->pixmap().isNull());

    QString afterOneTick;
    QTimer::singleShot(700, &dialog, [&] { afterOneTick = LabelText(dialog, "countdown"); });
    QElapsedTimer elapsed;
    elapsed.start();
    EXPECT_EQ(QDialog::Accepted, dialog.Run());
    EXPECT_GE(elapsed.elapsed(), 1800);
    EXPECT_LT(elapsed.elapsed(), 10000);
    EXPECT_EQ(QStringLiteral("Automatically retrying in 1 sec."), afterOneTick);
}

TEST(DBRetryDialogTest, ButtonsAnswerAndTheDefaultMessageStandsInForAnEmptyOne)
{
    CDBRetryDialog dialog(nullptr, QString(), 180, 20, false);
    EXPECT_EQ(LoadString(152), LabelText(dialog, "message"));
    EXPECT_EQ(QStringLiteral("Automatically retrying in 180 sec."), LabelText(dialog, "countdown"));
    QTimer::singleShot(100, &dialog, [&] { dialog.findChild<QPushButton*>(QStringLiteral("cancel"))->click(); });
    EXPECT_EQ(QDialog::Rejected, dialog.Run());

    CDBRetryDialog retry(nullptr, QString(), 180, 0, false);
    QTimer::singleShot(100, &retry, [&] { retry.findChild<QPushButton*>(QStringLiteral("retry"))->click(); });
    EXPECT_EQ(QDialog::Accepted, retry.Run());
}

TEST(DBRetryDialogTest, PortRunsTheDialogAndStaysHiddenWithAHiddenMainWindow)
{
    QWidget mainWindow;
    QtUserInterface ui;
    ui.SetMainWindow(&mainWindow);
    RetryDialogRequest request;
    request.message = QStringLiteral("offline");
    request.autoRetrySeconds = 1;
    request.startHidden = true;
    bool dialogVisible = true;
    QTimer::singleShot(300, [&] {
        for (QWidget* child : mainWindow.findChildren<CDBRetryDialog*>())
            dialogVisible = child->isVisible();
    });
    EXPECT_EQ(RetryAnswer::Retry, ui.RunRetryDialog(request));
    EXPECT_FALSE(dialogVisible);
    EXPECT_FALSE(mainWindow.isVisible());

    // The main window comes back while the dialog waits: the dialog appears with it.
    request.autoRetrySeconds = 180;
    bool shownWithMainWindow = false;
    QTimer::singleShot(200, [&] { mainWindow.show(); });
    QTimer::singleShot(500, [&] {
        for (CDBRetryDialog* child : mainWindow.findChildren<CDBRetryDialog*>()) {
            shownWithMainWindow = child->isVisible();
            child->reject();
        }
    });
    EXPECT_EQ(RetryAnswer::Cancel, ui.RunRetryDialog(request));
    EXPECT_TRUE(shownWithMainWindow);
}
