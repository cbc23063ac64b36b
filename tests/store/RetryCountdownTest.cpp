// The retry dialog's countdown on a manual clock: what it shows, when it runs out, a clock set back.

#include "store/RetryCountdown.h"

#include <gtest/gtest.h>

namespace {

class RetryCountdownTest : public ::testing::Test {
protected:
    void Move(qint64 milliseconds)
    {
        clock_.Set(clock_.Now().addMSecs(milliseconds));
        countdown_.Update();
    }

    ManualClock clock_;
    RetryCountdown countdown_{clock_, 2};
};

TEST_F(RetryCountdownTest, ShowsTheWholeSecondsLeftAndRunsOutWithTheClock)
{
    EXPECT_EQ(2, countdown_.SecondsLeft());
    countdown_.Update();
    EXPECT_EQ(2, countdown_.SecondsLeft()) << "a clock that stands still counts nothing";
    Move(500);
    EXPECT_EQ(1, countdown_.SecondsLeft());
    Move(500);
    EXPECT_EQ(1, countdown_.SecondsLeft());
    Move(500);
    EXPECT_EQ(0, countdown_.SecondsLeft());
    EXPECT_FALSE(countdown_.Expired());
    Move(500);
    EXPECT_TRUE(countdown_.Expired());
}

TEST_F(RetryCountdownTest, ATickALittleEarlyOrLateShowsWhatAPunctualOneWould)
{
    Move(480);
    EXPECT_EQ(1, countdown_.SecondsLeft());
    Move(540); // 1 020 ms in
    EXPECT_EQ(1, countdown_.SecondsLeft());
    Move(460); // 1 480 ms in
    EXPECT_EQ(0, countdown_.SecondsLeft());
    Move(480); // 1 960 ms in: the last tick, a little early
    EXPECT_TRUE(countdown_.Expired());
}

TEST_F(RetryCountdownTest, AClockSetBackPausesTheCountdownInsteadOfProlongingIt)
{
    Move(1000);
    Move(-3600 * 1000);
    EXPECT_EQ(1, countdown_.SecondsLeft());
    EXPECT_FALSE(countdown_.Expired());
    Move(1000);
    EXPECT_TRUE(countdown_.Expired()) << "time after the change counts again";
}

TEST(RetryCountdown, NoSecondsRunOutAtTheFirstTickAndAJumpForwardEndsTheWait)
{
    ManualClock clock;
    RetryCountdown none(clock, 0);
    EXPECT_EQ(0, none.SecondsLeft());
    EXPECT_TRUE(none.Expired());

    RetryCountdown minutes(clock, 180);
    EXPECT_EQ(180, minutes.SecondsLeft());
    clock.Advance(3600);
    minutes.Update();
    EXPECT_TRUE(minutes.Expired());
}

} // namespace
