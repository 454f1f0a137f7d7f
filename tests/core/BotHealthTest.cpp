// The bot's health as a watchdog asks it: a thread of the bot that is held
// past what it promised at its last beat makes the bot unhealthy, and the
// bot is healthy again once the thread goes on. The monitor thread is held
// in its pause between two polls (the clock holds that sleep) while the
// clock jumps past the promise, as a thread stuck in a call that never
// returns would let it.
#include <gtest/gtest.h>

#include "BotTestSupport.h"
#include "monitor/MonitorRun.h"
#include "support/JumpClock.h"

namespace {

using coretest::kLong;

const char kMatch[] =
    "state 1\nset Time Limit = unlimited\n"
    "player 0 1 10 5 2 40 Hans\nplayer 1 2 4 2 6 40 Tom\n";
constexpr uint32_t kGraceMs = 5000;

TEST(BotHealth, AMonitorHeldPastItsPromiseIsUnhealthyUntilItGoesOn) {
    bf42sim::CSimServer sim;
    ASSERT_TRUE(sim.Start());
    std::string strError;
    ASSERT_TRUE(sim.LoadScenario(kMatch, &strError)) << strError;
    coretest::CFile file;
    file.m_nGamePort = sim.Port();
    testsupport::CJumpClock clock;
    // No statistics file: the test leaves nothing behind.
    core::CBot bot(config::ParseSettings(coretest::SettingsText(file) + "stats_File=\r\n"), {},
                   clock);
    bot.Start();
    // Nothing runs yet: nothing to watch, whatever the time.
    clock.Jump(24 * 3600 * 1000);
    EXPECT_TRUE(bot.IsHealthy(0));

    ASSERT_TRUE(bot.StartGame());
    ASSERT_TRUE(testsupport::WaitUntil([&] { return sim.StatusRequests() >= 3; }, kLong));
    EXPECT_TRUE(bot.IsHealthy(kGraceMs));

    // Held in its pause, the monitor has beaten with its promise of the
    // next poll; within it, all is well.
    clock.HoldNextSleepOf(monitor::CMonitorRun::kPollPauseMs);
    ASSERT_TRUE(testsupport::WaitUntil([&] { return clock.IsHolding(); }, kLong));
    EXPECT_TRUE(bot.IsHealthy(kGraceMs));
    const int nRequests = sim.StatusRequests();

    // Past its promise and the grace, still held: unhealthy.
    clock.Jump(monitor::CMonitorRun::kPollBeatMs + kGraceMs + 1000);
    EXPECT_FALSE(bot.IsHealthy(kGraceMs));
    EXPECT_TRUE(clock.IsHolding());
    EXPECT_EQ(sim.StatusRequests(), nRequests) << "the monitor was not the thread held";

    // It goes on, beats again, and polls: healthy.
    clock.Release();
    EXPECT_TRUE(testsupport::WaitUntil([&] { return bot.IsHealthy(kGraceMs); }, kLong));
    EXPECT_TRUE(testsupport::WaitUntil([&] { return sim.StatusRequests() > nRequests; }, kLong));
    bot.Shutdown();
}

}  // namespace
