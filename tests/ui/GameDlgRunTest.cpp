// The BF42 tab's buttons with the bot's real monitor behind them, against
// the stand-in game server: the tab's look from Connect to Disconnect, its
// log, Pause and Unpause, a stop of Broadcast while paused, the failures
// back to the idle look, and a tab kept running by Broadcast while its
// server cannot be reached. The run's own life cycle is the core's
// (tests/core/GameSideTest.cpp); here is what the tab shows of it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "WindowTestSupport.h"

namespace uitest {
namespace {

using Lines = std::vector<std::string>;

constexpr int kColorEdits[] = {1020, 1006, 1021, 1007, 1008, 1011, 1010};
constexpr int kFilterBoxes[] = {1059, 1060, 1061, 1062};

const char kPausedLine[] = "* * * * * * [Broadcast paused] * * * * * * ";
const char kResumedLine[] = "* * * * * * [Broadcast resumed] * * * * * * ";
const char kClosedLine[] = "* * * * * * [Broadcast closed] * * * * * * ";
const char kOpenedLine[] = "* * * * * * [Broadcast opened] * * * * * * ";

class GameDlgRunTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        WriteSettings();
        Open();
    }
    std::string Connect() const { return Game().GetItemText(res::IDC_GAME_CONNECT); }
    bool Enabled(int nId) const { return Game().IsItemEnabled(nId); }
    Lines Log() const { return LogLines(Game(), res::IDC_GAME_LOG); }
    std::string LastLog() const { return Log().back(); }
    bool LogHas(const std::string& strLine) const {
        for (const std::string& s : Log())
            if (s == strLine) return true;
        return false;
    }
    // The idle look, with the bot idle behind it.
    bool Idle(std::chrono::milliseconds timeout = std::chrono::milliseconds(5000)) {
        return RunUntil(
            [&] {
                return Connect() == "Connect" && Enabled(res::IDC_GAME_CONNECT) &&
                       !Enabled(res::IDC_GAME_PAUSE) &&
                       Game().GetItemText(res::IDC_GAME_PAUSE) == "Pause" &&
                       Enabled(res::IDC_GAME_CHECK) && Enabled(res::IDC_GAME_LANGUAGE) &&
                       !Game().IsReadOnly(res::IDC_GAME_SERVER) &&
                       !Colors().IsReadOnly(kColorEdits[0]) &&
                       Colors().IsItemEnabled(kFilterBoxes[0]) &&
                       Bot().GameShared().GameState() == bridge::EGameState::Idle &&
                       !Bot().State().m_game.m_bMonitorAlive;
            },
            timeout);
    }
};

TEST_F(GameDlgRunTest, ConnectRunsTheMonitorAndDisconnectEndsItWithTheClosingLine) {
    ASSERT_TRUE(Game().Click(res::IDC_GAME_CONNECT));
    ASSERT_TRUE(GameRunning());
    EXPECT_TRUE(Enabled(res::IDC_GAME_PAUSE));
    EXPECT_FALSE(Enabled(res::IDC_GAME_CHECK));
    ASSERT_TRUE(RunUntil([&] { return LogHas(kOpenedLine); }));
    EXPECT_EQ(Log().front(), kOpenedLine);

    ASSERT_TRUE(Game().Click(res::IDC_GAME_CONNECT));
    ASSERT_TRUE(Idle());
    EXPECT_TRUE(RunUntil([&] { return LastLog() == kClosedLine; })) << LastLog();
    EXPECT_EQ(m_sink.Count(), 0u);
}

TEST_F(GameDlgRunTest, PauseHoldsTheMonitorUntilUnpause) {
    ASSERT_TRUE(Game().Click(res::IDC_GAME_CONNECT));
    ASSERT_TRUE(GameRunning());
    ASSERT_TRUE(Game().Click(res::IDC_GAME_PAUSE));
    ASSERT_TRUE(RunUntil([&] { return LastLog() == kPausedLine; })) << LastLog();
    EXPECT_EQ(Game().GetItemText(res::IDC_GAME_PAUSE), "Unpause");
    EXPECT_FALSE(Enabled(res::IDC_GAME_CONNECT));
    EXPECT_EQ(Bot().GameShared().GameState(), bridge::EGameState::Paused);
    ASSERT_TRUE(testsupport::WaitUntil([&] { return Bot().GameSide().IsMonitorHeld(); }));
    const size_t nLines = Log().size();

    ASSERT_TRUE(Game().Click(res::IDC_GAME_PAUSE));
    ASSERT_TRUE(RunUntil([&] { return LastLog() == kResumedLine; })) << LastLog();
    EXPECT_EQ(Log().size(), nLines + 1);
    EXPECT_EQ(Game().GetItemText(res::IDC_GAME_PAUSE), "Pause");
    EXPECT_TRUE(Enabled(res::IDC_GAME_CONNECT));
    EXPECT_EQ(Bot().GameShared().GameState(), bridge::EGameState::Running);
}

// Connect is disabled while paused: Stop Broadcast ends the held run.
TEST_F(GameDlgRunTest, StopBroadcastWhilePausedEndsTheHeldMonitorCleanly) {
    ASSERT_TRUE(Main().Click(res::IDC_MAIN_BROADCAST));
    ASSERT_TRUE(GameRunning());
    ASSERT_TRUE(IrcConnected());
    ASSERT_TRUE(Game().Click(res::IDC_GAME_PAUSE));
    ASSERT_TRUE(testsupport::WaitUntil([&] { return Bot().GameSide().IsMonitorHeld(); }));
    ASSERT_TRUE(RunUntil([&] { return Broadcast() == "Stop Broadcast"; }));
    ASSERT_TRUE(Main().Click(res::IDC_MAIN_BROADCAST));
    ASSERT_TRUE(Idle());
    EXPECT_TRUE(RunUntil([&] { return LastLog() == kClosedLine; })) << LastLog();
    // Relaying goes off after the game side has stopped: the caption follows.
    EXPECT_TRUE(RunUntil([&] { return Broadcast() == "Start Broadcast"; })) << Broadcast();
}

// A refusing port takes minutes of paced refusals; the monitor's own tests
// show its "Server timed out." on a manual clock.
TEST_F(GameDlgRunTest, FailuresReturnTheTabToIdleWithTheirText) {
    const struct {
        const char* m_pszName;
        std::string m_strServer;
        const char* m_pszText;
    } rows[] = {
        {"UnknownHost", "no..such..host", "Couldn't find Server at this IP!"},
        // Five empty waits of half a second: about 2.5 s.
        {"NoAnswer", "127.0.0.1", "Couldn't find Server! Check the Portsettings."},
    };
    m_sim.FallSilent(-1);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.m_pszName);
        Game().TypeText(res::IDC_GAME_SERVER, row.m_strServer);
        ASSERT_TRUE(Game().Click(res::IDC_GAME_CONNECT));
        Settle();
        ASSERT_TRUE(Idle());
        EXPECT_TRUE(RunUntil([&] { return LastLog() == row.m_pszText; })) << LastLog();
        EXPECT_FALSE(LogHas(kClosedLine));
    }
    EXPECT_EQ(m_sink.Count(), 0u);
}

// Kept alive by Broadcast, a failure leaves the tab running while it waits
// for the next try, and Disconnect ends the wait (the shortest is 4 s).
TEST_F(GameDlgRunTest, KeptAliveAFailureLeavesTheTabRunningUntilDisconnect) {
    Game().TypeText(res::IDC_GAME_SERVER, "no..such..host");  // refused by the resolver itself
    ASSERT_TRUE(Main().Click(res::IDC_MAIN_BROADCAST));
    ASSERT_TRUE(RunUntil([&] {
        const Lines log = Log();
        return log.size() >= 2 && log[1].rfind("Trying again in ", 0) == 0;
    })) << testing::PrintToString(Log());
    EXPECT_EQ(Log()[0], "Couldn't find Server at this IP!");
    ASSERT_TRUE(RunUntil([&] { return Enabled(res::IDC_GAME_CONNECT); }));
    EXPECT_EQ(Connect(), "Disconnect");
    EXPECT_TRUE(Enabled(res::IDC_GAME_PAUSE));
    EXPECT_FALSE(Enabled(res::IDC_GAME_CHECK));
    EXPECT_TRUE(Game().IsReadOnly(res::IDC_GAME_SERVER));
    EXPECT_TRUE(Colors().IsReadOnly(kColorEdits[0]));
    EXPECT_EQ(Bot().GameShared().GameState(), bridge::EGameState::Running);

    ASSERT_TRUE(Game().Click(res::IDC_GAME_CONNECT));
    ASSERT_TRUE(Idle(std::chrono::milliseconds(2000)));
    EXPECT_TRUE(RunUntil([&] { return Log().size() == 3u && LastLog() == kClosedLine; }))
        << testing::PrintToString(Log());
}

}  // namespace
}  // namespace uitest
