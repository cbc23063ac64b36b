// Tests of the progress window of Send email.

#include "mail/SendProgressDialog.h"

#include <QLabel>
#include <QMainWindow>
#include <QProgressBar>
#include <QStatusBar>

#include <gtest/gtest.h>

namespace {

TEST(SendProgressDialog, ShutsOffTheWindowShowsTheCountAndTakesACloseRequestAsCancel)
{
    QMainWindow window;
    window.show();
    {
        CSendProgressDialog progress(3, &window);
        EXPECT_FALSE(window.isEnabled());
        EXPECT_TRUE(progress.isEnabled()) << "Cancel must stay pressable";
        progress.Step(1, 3, QStringLiteral("Sending notification 2 of 3..."));
        EXPECT_EQ(progress.findChild<QLabel*>(QStringLiteral("progressText1126"))->text(),
                  QStringLiteral("1 of 3 mails sent."));
        EXPECT_EQ(progress.findChild<QProgressBar*>()->value(), 1);
        EXPECT_EQ(window.statusBar()->currentMessage(), QStringLiteral("Sending notification 2 of 3..."));
        EXPECT_FALSE(progress.Cancelled());
        window.close();
        EXPECT_TRUE(progress.Cancelled());
    }
    EXPECT_TRUE(window.isEnabled());
    EXPECT_TRUE(window.statusBar()->currentMessage().isEmpty());

    // Its own close button must not hide it while the mails go on.
    CSendProgressDialog progress(2, &window);
    progress.close();
    EXPECT_TRUE(progress.Cancelled());
    EXPECT_TRUE(progress.isVisible());
}

} // namespace
