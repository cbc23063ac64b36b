// The retry dialog on a manual clock: its texts, the countdown that retries, the buttons, and the port.

#include "store/DBRetryDialog.h"
#include "app/QtUserInterface.h"
#include "base/StringTable.h"
#include "platform/OleDate.h"

#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

namespace {
constexpr int kOneTickAndAHalfMs = RetryCountdown::kTickMs * 3 / 2;
constexpr int kGiveUpMs = 10000;

QString LabelText(const QWidget& dialog, const char* name)
{
    const auto* label = dialog.findChild<QLabel*>(QString::fromLatin1(name));
    return label != nullptr ? label->text() : QStringLiteral("<no label>");
}
} // namespace

TEST(DBRetryDialogTest, CountdownShowsTheSecondsAndRetriesByItself)
{
    ManualClock clock;
    CDBRetryDialog dialog(nullptr, QStringLiteral("The file is away."), 3, 0, false, clock);
    EXPECT_EQ(QStringLiteral("Vellacord - Notification"), dialog.windowTitle());
    EXPECT_EQ(QStringLiteral("The file is away."), LabelText(dialog, "message"));
    EXPECT_EQ(QStringLiteral("Automatically retrying in 3 sec."), LabelText(dialog, "countdown"));
    const auto* icon = dialog.findChild<QLabel*>(QStringLiteral("icon"));
    ASSERT_NE(nullptr, icon);
    EXPECT_FALSE(icon->pixmap().isNull());

    // The clock, not the number of ticks, decides: two seconds on it show at the first tick, and the
    // dialog waits until the clock has moved the third one.
    clock.Advance(2);
    QString afterTwoSeconds;
    bool stillWaiting = false;
    QTimer::singleShot(kOneTickAndAHalfMs, &dialog, [&] {
        afterTwoSeconds = LabelText(dialog, "countdown");
        stillWaiting = dialog.isVisible();
        clock.Advance(1);
    });
    QTimer::singleShot(kGiveUpMs, &dialog, &QDialog::reject); // a countdown that never ends fails, not hangs
    EXPECT_EQ(QDialog::Accepted, dialog.Run());
    EXPECT_EQ(QStringLiteral("Automatically retrying in 1 sec."), afterTwoSeconds);
    EXPECT_TRUE(stillWaiting);
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
    ManualClock clock;
    QtUserInterface ui(clock);
    ui.SetMainWindow(&mainWindow);
    RetryDialogRequest request;
    request.message = QStringLiteral("offline");
    request.autoRetrySeconds = 60;
    request.startHidden = true;
    bool dialogVisible = true;
    QTimer::singleShot(300, [&] {
        for (QWidget* child : mainWindow.findChildren<CDBRetryDialog*>())
            dialogVisible = child->isVisible();
        clock.Advance(60); // the hidden dialog counts down all the same, on the port's clock
    });
    QTimer::singleShot(kGiveUpMs, &mainWindow, [&] {
        for (CDBRetryDialog* child : mainWindow.findChildren<CDBRetryDialog*>())
            child->reject();
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
