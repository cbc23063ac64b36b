// The notification-area icon's states: the blink after new entries, a state that only changes
// the tip, and removing and showing the icon again.

#include "app/TrayIconStates.h"

#include <gtest/gtest.h>

namespace {

constexpr int kNormalIcon = TrayIconStates::kNormalIcon;
constexpr int kNewEntriesIcon = TrayIconStates::kNewEntriesIcon;

} // namespace

TEST(TrayIconStates, NewEntriesBlinkAboutElevenSecondsThenTheAlertStaysUntilOpened)
{
    TrayIconStates tray;
    tray.SetTrayState(TrayIconStates::kStartBlinking, QStringLiteral("new entries"));
    EXPECT_FALSE(tray.blinking()) << "without an icon nothing blinks";
    tray.SetTrayState(TrayIconStates::kNormal, QString());
    tray.SetTrayIcon(true, QStringLiteral("Vellacord"));
    ASSERT_TRUE(tray.shown());
    EXPECT_EQ(tray.icon(), kNormalIcon);

    tray.SetTrayState(TrayIconStates::kStartBlinking, QStringLiteral("new entries"));
    EXPECT_TRUE(tray.blinking());
    EXPECT_EQ(tray.icon(), kNewEntriesIcon);
    std::vector<int> icons;
    while (tray.blinking() && icons.size() < 100) {
        tray.BlinkStep();
        icons.push_back(tray.icon());
    }
    ASSERT_EQ(icons.size(), 22u) << "22 steps of 500 ms";
    for (std::size_t step = 0; step < icons.size(); ++step)
        EXPECT_EQ(icons[step], step % 2 == 0 ? kNormalIcon : kNewEntriesIcon) << "step " << step;
    EXPECT_EQ(tray.state(), TrayIconStates::kAlert);
    EXPECT_EQ(tray.tip(), QStringLiteral("new entries"));

    tray.SetTrayState(TrayIconStates::kNormal, QStringLiteral("Vellacord"));
    EXPECT_EQ(tray.icon(), kNormalIcon);
}

TEST(TrayIconStates, KeepChangesOnlyTheTipAnyOtherStateStopsTheBlinkAndOffRemovesTheIcon)
{
    TrayIconStates tray;
    tray.SetTrayIcon(true, QStringLiteral("Vellacord"));
    tray.SetTrayState(TrayIconStates::kStartBlinking, QStringLiteral("new entries"));
    tray.BlinkStep();
    const int icon = tray.icon();
    tray.SetTrayState(TrayIconStates::kKeep, QString(70, QLatin1Char('x')));
    EXPECT_TRUE(tray.blinking());
    EXPECT_EQ(tray.icon(), icon);
    EXPECT_EQ(tray.state(), TrayIconStates::kBlinkPhaseTwo);
    EXPECT_EQ(tray.tip().size(), TrayIconStates::kMaxTipLength);

    tray.SetTrayState(TrayIconStates::kAlert, QStringLiteral("Vellacord database offline"));
    EXPECT_FALSE(tray.blinking());
    EXPECT_EQ(tray.blinkCountdown(), 0);
    EXPECT_EQ(tray.icon(), kNewEntriesIcon);

    tray.SetTrayIcon(false, QString());
    EXPECT_FALSE(tray.shown());
    tray.SetTrayIcon(true, QStringLiteral("Vellacord"));
    EXPECT_EQ(tray.state(), TrayIconStates::kNormal) << "after no icon the normal one";
    EXPECT_EQ(tray.icon(), kNormalIcon);
}
