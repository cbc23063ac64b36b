// The document's two timers on a manual clock: pauses, nested pauses, restarts while paused.

#include "document/DocumentTimers.h"
#include "platform/OleDate.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

namespace {

constexpr int kCloseMinutes = 5;
constexpr int kRefreshMinutes = 10;
constexpr int kMsPerMinute = 60000;
constexpr int kFireWaitMs = 1000;
constexpr int kClose = DocumentTimers::kAutoClose;
constexpr int kRefresh = DocumentTimers::kAutoRefresh;

class DocumentTimersTest : public ::testing::Test {
protected:
    DocumentTimersTest()
    {
        timers_.StartTimer(kClose, true);
        timers_.StartTimer(kRefresh, true);
    }

    ManualClock clock_;
    DocumentTimers timers_{clock_, [](int id) { return id == kClose ? kCloseMinutes : kRefreshMinutes; }};
    QSignalSpy fired_{&timers_, &DocumentTimers::timeout};
};

TEST_F(DocumentTimersTest, APeriodThatRanOutDuringNestedPausesFiresRightAfterTheOutermostResume)
{
    EXPECT_EQ(timers_.intervalMs(kClose), kCloseMinutes * kMsPerMinute);
    clock_.Advance(60);
    timers_.PauseTimers();
    timers_.PauseTimers();
    EXPECT_EQ(timers_.intervalMs(kClose), -1) << "nothing runs while paused";
    EXPECT_TRUE(timers_.running(kClose));
    clock_.Advance(300); // auto-close is due, auto-refresh has 4 minutes left

    timers_.ResumeTimers();
    EXPECT_TRUE(timers_.paused());
    EXPECT_FALSE(fired_.wait(50)) << "the inner resume starts nothing";

    timers_.ResumeTimers();
    EXPECT_FALSE(timers_.paused());
    EXPECT_EQ(timers_.intervalMs(kRefresh), 4 * kMsPerMinute) << "what was left of the period";
    ASSERT_TRUE(fired_.wait(kFireWaitMs)) << "the due auto-close fires at once";
    EXPECT_EQ(fired_.takeFirst().at(0).toInt(), kClose);
    EXPECT_EQ(timers_.intervalMs(kClose), kCloseMinutes * kMsPerMinute) << "then the full period repeats";
}

TEST_F(DocumentTimersTest, AStartOrRestartWhilePausedGivesAFullPeriodFromThere)
{
    clock_.Advance(120);
    timers_.PauseTimers();
    clock_.Advance(120);
    timers_.StartTimer(kRefresh, true);
    timers_.ResumeTimers();
    EXPECT_EQ(timers_.intervalMs(kRefresh), kRefreshMinutes * kMsPerMinute);

    timers_.PauseTimers();
    clock_.Advance(120);
    timers_.RestartTimer(kClose);
    timers_.ResumeTimers();
    EXPECT_EQ(timers_.intervalMs(kClose), kCloseMinutes * kMsPerMinute);
}

} // namespace
