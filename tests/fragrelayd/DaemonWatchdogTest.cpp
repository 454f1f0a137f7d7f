// fragrelayd's beat of systemd's watchdog, between the bot and a stand-in
// for systemd's socket: the beat goes out while the bot's threads keep
// their promises, and none while the monitor thread is held past its
// promise and the daemon's grace (the clock holds its pause between two
// polls and jumps ahead); the beat comes back once the thread goes on.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "config/SettingsFormat.h"
#include "config/TempFolder.h"
#include "core/Bot.h"
#include "fragrelayd/Daemon.h"
#include "monitor/MonitorRun.h"
#include "platform/ServiceNotify.h"
#include "support/JumpClock.h"
#include "support/NotifyStandIn.h"
#include "support/Wait.h"
#include "tools/bf42sim/SimServer.h"

namespace {

constexpr auto kLong = std::chrono::seconds(10);

// Settings of both sides, the game server the stand-in at nPort; only the
// game side is started. No statistics file: the test leaves nothing behind.
std::string SettingsText(uint16_t nPort) {
    return "irc_Server=127.0.0.1\r\nirc_Port=6667\r\nirc_Nick=bot\r\nirc_altNick=bot2\r\n"
           "irc_Channel=#relay\r\nirc_Auth=no\r\nirc_Username=\r\nirc_Password=\r\n"
           "irc_Network=0\r\nirc_Tickettime=60\r\nbf_Language=0\r\nbf_Server=127.0.0.1\r\n"
           "bf_Port=" +
           std::to_string(nPort) +
           "\r\nallied_farbe_kill=02\r\nallied_farbe_flagge=12\r\naxis_farbe_kill=05\r\n"
           "axis_farbe_flagge=04\r\nstatus_farbe=14\r\nkey_farbe=10\r\nvalue_farbe=14\r\n"
           "show_flag=yes\r\nshow_kill=yes\r\nshow_ticket=yes\r\nshow_tk=yes\r\nstats_File=\r\n";
}

TEST(DaemonWatchdog, BeatsOnlyWhileTheBotsThreadsKeepTheirPromises) {
    testsupport::CTempFolder folder;
    ASSERT_TRUE(folder.IsValid());
    const std::string strSocket = folder / "notify";
    testsupport::CNotifyStandIn manager(strSocket);
    ASSERT_TRUE(manager.IsBound());
    const std::string strPid = std::to_string(::getpid());
    platform::CServiceNotifier notifier(strSocket.c_str(), "1000000", strPid.c_str());
    ASSERT_TRUE(notifier.IsActive()) << notifier.Problem();

    bf42sim::CSimServer sim;
    ASSERT_TRUE(sim.Start());
    std::string strError;
    ASSERT_TRUE(sim.LoadScenario("state 1\nplayer 0 1 0 0 0 40 Hans\n", &strError)) << strError;
    testsupport::CJumpClock clock;
    core::CBot bot(config::ParseSettings(SettingsText(sim.Port())), {}, clock);
    bot.Start();
    ASSERT_TRUE(bot.StartGame());
    ASSERT_TRUE(testsupport::WaitUntil([&] { return sim.StatusRequests() >= 3; }, kLong));
    EXPECT_TRUE(fragrelayd::BeatWatchdog(bot, notifier));
    EXPECT_EQ(manager.Next(), "WATCHDOG=1");

    // The monitor is held in its pause; time passes its promise and the grace.
    clock.HoldNextSleepOf(monitor::CMonitorRun::kPollPauseMs);
    ASSERT_TRUE(testsupport::WaitUntil([&] { return clock.IsHolding(); }, kLong));
    clock.Jump(monitor::CMonitorRun::kPollBeatMs + fragrelayd::CDaemon::kBeatGraceMs + 1000);
    EXPECT_FALSE(fragrelayd::BeatWatchdog(bot, notifier));
    EXPECT_FALSE(fragrelayd::BeatWatchdog(bot, notifier));
    // Nothing went out: the next datagram is the one sent after them.
    ASSERT_TRUE(notifier.Status("held"));
    EXPECT_EQ(manager.Next(), "STATUS=held");

    clock.Release();
    ASSERT_TRUE(
        testsupport::WaitUntil([&] { return fragrelayd::BeatWatchdog(bot, notifier); }, kLong));
    EXPECT_EQ(manager.Next(), "WATCHDOG=1");
    bot.Shutdown();
}

}  // namespace
