// The bot's commands with no page at all: Broadcast on and off with the
// closing line before QUIT, a side whose settings refuse it, Quit and its
// end, keep-alive on both sides, and commands given in an order no button
// would give them. Peers on 127.0.0.1: a scripted IRC server and the
// stand-in game server.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "BotTestSupport.h"
#include "platform/Socket.h"
#include "support/UnansweringTcpServer.h"

namespace coretest {
namespace {

using core::ESide;
using Lines = std::vector<std::string>;

TEST_F(BotTest, StartsIdleTellsItsStateOnceAndContactsNothing) {
    Make(Complete());
    ASSERT_TRUE(Bot().WaitForCommands(5000));
    const std::vector<core::CBotState> states = m_events.States();
    ASSERT_EQ(states.size(), 1u);
    EXPECT_EQ(states[0], Bot().State());
    EXPECT_FALSE(states[0].m_irc.m_bSessionActive);
    EXPECT_EQ(states[0].m_irc.m_eState, irc::EIrcState::Idle);
    EXPECT_EQ(states[0].m_irc.m_strNick, "bot");  // the setting's before the first connect
    EXPECT_EQ(states[0].m_game.m_eWanted, bridge::EGameState::Idle);
    EXPECT_TRUE(states[0].m_game.IsConnectUsable());
    EXPECT_FALSE(states[0].m_bBroadcast);
    EXPECT_EQ(m_irc.Connections(), 0);
    EXPECT_EQ(m_sim.StatusRequests() + m_sim.InfoRequests(), 0);
    EXPECT_EQ(m_events.Messages().Count(), 0u);
}

// Broadcast: both sides run and relaying comes on; off, the monitor's
// closing line reaches the channel before QUIT.
TEST_F(BotTest, BroadcastRunsBothSidesAndItsStopSendsTheClosingLineBeforeQuit) {
    Make(Complete());
    EXPECT_TRUE(Bot().StartBroadcast());
    EXPECT_EQ(m_events.Messages().Count(), 0u);
    ASSERT_TRUE(m_irc.WaitForConnections(1));
    ASSERT_TRUE(JoinChannel(0));
    ASSERT_TRUE(GameRunning());
    ASSERT_TRUE(Broadcasting(true));
    EXPECT_TRUE(m_events.WaitForState([](const core::CBotState& s) { return s.m_bBroadcast; }));

    Bot().StopBroadcast();
    ASSERT_TRUE(m_irc.WaitForLine(0, kQuit, kLong));
    const Lines lines = m_irc.Lines(0);
    const auto itClosed = std::find_if(lines.begin(), lines.end(), [](const std::string& s) {
        return s.rfind("PRIVMSG #relay :", 0) == 0 && s.find("Broadcast closed") != s.npos;
    });
    ASSERT_NE(itClosed, lines.end()) << testing::PrintToString(lines);
    EXPECT_EQ(lines.back(), kQuit);
    EXPECT_TRUE(GameIdle());
    EXPECT_TRUE(Broadcasting(false));
    EXPECT_EQ(m_events.LastLog(ESide::Game), kClosedLine);
    // What the faces were told ends where the bot stands.
    ASSERT_TRUE(Bot().WaitForCommands(5000));
    EXPECT_TRUE(m_events.WaitForState([](const core::CBotState& s) {
        return !s.m_bBroadcast && !s.m_irc.m_bSessionActive &&
               s.m_game.m_eWanted == bridge::EGameState::Idle;
    }));
    EXPECT_EQ(m_events.Messages().Count(), 0u);
}

// A side whose settings keep it from starting says why before the command
// returns, naming the key whose field the operator should mend; the other
// side starts all the same.
struct CRefusalRow {
    const char* m_pszName;
    void (*m_edit)(CFile&);
    bool m_bStarts;  // StartBroadcast's answer
    std::vector<core::COperatorMessage> m_messages;
};

class BotRefusal : public BotTest, public testing::WithParamInterface<CRefusalRow> {};

TEST_P(BotRefusal, IsToldBeforeTheCommandReturns) {
    const CRefusalRow& row = GetParam();
    CFile file = Complete();
    row.m_edit(file);
    Make(file);
    EXPECT_EQ(Bot().StartBroadcast(), row.m_bStarts);
    // Not waited for: the messages are there when the command returns.
    EXPECT_EQ(m_events.Messages().Messages(), row.m_messages);
    ASSERT_TRUE(Bot().WaitForCommands(5000));
    EXPECT_FALSE(Bot().State().m_bBroadcast);  // never with a side missing
}

const core::COperatorMessage kFillOutGame{"Fill out all Inputfields!", "Error",
                                          core::EMessageIcon::Error, ""};

const CRefusalRow kRefusalRows[] = {
    {"IrcServerEmpty",
     [](CFile& f) { f.m_strIrcServer.clear(); },
     true,
     {{"Fill out all Inputfields!", "Error", core::EMessageIcon::Error, "irc_Server"}}},
    {"NickEmpty",
     [](CFile& f) { f.m_strNick.clear(); },
     true,
     {{"Fill out all Inputfields!", "Error", core::EMessageIcon::Error, "irc_Nick"}}},
    {"ChannelWithoutHash",
     [](CFile& f) { f.m_strChannel = "relay"; },
     true,
     {{"Channelname is no valid", "Error", core::EMessageIcon::Error, "irc_Channel"}}},
    {"GameServerEmpty", [](CFile& f) { f.m_strGameServer.clear(); }, true, {kFillOutGame}},
    // The IRC side's first, then the game side's.
    {"NeitherSide",
     [](CFile& f) {
         f.m_nTicketSecs = 0;
         f.m_nGamePort = 0;
     },
     false,
     {{"Fill out all Inputfields!", "Error", core::EMessageIcon::Error, "irc_Tickettime"},
      kFillOutGame}},
};
INSTANTIATE_TEST_SUITE_P(Rows, BotRefusal, testing::ValuesIn(kRefusalRows),
                         [](const auto& info) { return std::string(info.param.m_pszName); });

TEST_F(BotTest, EachSidesOwnCommandRefusesWithItsOwnMessage) {
    CFile file = Complete();
    file.m_strIrcServer.clear();
    file.m_strGameServer.clear();
    Make(file);
    EXPECT_FALSE(Bot().ConnectIrc());
    EXPECT_FALSE(Bot().StartGame());
    EXPECT_FALSE(Bot().CheckQuickInfo());
    EXPECT_EQ(m_events.Messages().Messages(),
              (std::vector<core::COperatorMessage>{
                  Refusal("Fill out all Inputfields!", "irc_Server"), kFillOutGame, kFillOutGame}));
    ASSERT_TRUE(Bot().WaitForCommands(5000));
    EXPECT_EQ(m_irc.Connections(), 0);
    EXPECT_EQ(m_sim.StatusRequests() + m_sim.InfoRequests(), 0);
}

// Quit: QUIT (whether connected or not), every thread ends, OnEnded says
// so, and nothing afterwards starts a side again.
class BotQuit : public BotTest, public testing::WithParamInterface<bool> {};

TEST_P(BotQuit, SaysQuitEndsEveryThreadAndTellsItsEnd) {
    const bool bConnected = GetParam();
    Make(Complete());
    if (bConnected) {
        ASSERT_TRUE(Bot().StartBroadcast());
        ASSERT_TRUE(m_irc.WaitForConnections(1));
        ASSERT_TRUE(JoinChannel(0));
        ASSERT_TRUE(GameRunning());
    }
    const auto start = std::chrono::steady_clock::now();
    Bot().Quit();
    Bot().Quit();  // a second press changes nothing
    ASSERT_TRUE(testsupport::WaitUntil([&] { return m_events.Ended() > 0; }, kLong));
    std::printf("[ figure ] Quit to OnEnded: %lld ms\n",
                static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                           std::chrono::steady_clock::now() - start)
                                           .count()));
    EXPECT_EQ(m_events.Ended(), 1);
    const core::CBotState state = Bot().State();
    EXPECT_EQ(state.m_irc.m_eState, irc::EIrcState::Idle);
    EXPECT_FALSE(state.m_game.m_bMonitorAlive);
    EXPECT_FALSE(state.m_bBroadcast);
    if (bConnected) {
        EXPECT_TRUE(m_irc.WaitForLine(0, kQuit));
        EXPECT_EQ(m_irc.Lines(0).back(), kQuit);
    }
    // Commands after Quit are ignored.
    EXPECT_FALSE(Bot().StartBroadcast());
    EXPECT_FALSE(Bot().ConnectIrc());
    EXPECT_FALSE(Bot().StartGame());
    Bot().Shutdown();
    EXPECT_EQ(m_irc.Connections(), bConnected ? 1 : 0);
    EXPECT_EQ(m_events.Ended(), 1);
    EXPECT_EQ(m_events.Messages().Count(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Rows, BotQuit, testing::Bool(), [](const auto& info) {
    return std::string(info.param ? "Connected" : "Unconnected");
});

// ---- Commands in an order no button gives them.

TEST_F(BotTest, ConnectTwiceMakesOneConnection) {
    Make(Complete());
    EXPECT_TRUE(Bot().ConnectIrc());
    EXPECT_TRUE(Bot().ConnectIrc());
    ASSERT_TRUE(m_irc.WaitForLine(0, kUser));
    ASSERT_TRUE(Bot().WaitForCommands(5000));
    Bot().DisconnectIrc();
    ASSERT_TRUE(m_irc.WaitForLine(0, kQuit));
    ASSERT_TRUE(Bot().WaitForCommands(5000));
    EXPECT_EQ(m_irc.Connections(), 1);
    EXPECT_EQ(m_irc.Lines(0), (Lines{"NICK bot", kUser, kQuit}));
}

// A connect to a server that never answers is cut short by Quit: the bot
// ends well within the connect's own limit (10 s).
TEST_F(BotTest, QuitDuringAConnectEndsWithoutWaitingForTheConnectLimit) {
    testsupport::CUnansweringTcpServer silent;
    ASSERT_TRUE(silent.HoldsAConnectFor(300));
    CFile file = Complete();
    file.m_nIrcPort = silent.Port();
    Make(file);
    ASSERT_TRUE(Bot().ConnectIrc());
    ASSERT_TRUE(WaitFor(
        [](const core::CBotState& s) { return s.m_irc.m_eState == irc::EIrcState::Connecting; }));
    const auto start = std::chrono::steady_clock::now();
    Bot().Quit();
    // Half the connect limit: a quit that waited for the limit fails here.
    EXPECT_TRUE(testsupport::WaitUntil([&] { return m_events.Ended() > 0; },
                                       std::chrono::milliseconds(5000)))
        << "Quit waited for the connect to time out";
    std::printf("[ figure ] Quit during a connect to OnEnded: %lld ms\n",
                static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                           std::chrono::steady_clock::now() - start)
                                           .count()));
    ASSERT_TRUE(testsupport::WaitUntil([&] { return m_events.Ended() > 0; }, kLong));
}

// Stop Broadcast given while the start is still being carried out, in a few
// orders of arrival: both sides end idle, relaying is off, and each side
// ends with its own last line.
TEST_F(BotTest, StopBroadcastDuringAStartLeavesBothSidesIdle) {
    Make(Complete());
    for (int nRound = 0; nRound < 3; ++nRound) {
        SCOPED_TRACE(nRound);
        const int nRuns = GameRuns();
        ASSERT_TRUE(Bot().StartBroadcast());
        // At once, once the IRC side has connected, once the game side runs.
        if (nRound == 1) {
            ASSERT_TRUE(m_irc.WaitForLine(nRound, kUser));  // connected, not still connecting
        } else if (nRound == 2) {
            ASSERT_TRUE(GameRunning(nRuns + 1));
        }
        Bot().StopBroadcast();
        ASSERT_TRUE(Bot().WaitForCommands(10000));
        EXPECT_TRUE(GameIdle());
        EXPECT_TRUE(Broadcasting(false));
        EXPECT_FALSE(Bot().State().m_irc.m_bSessionActive);
        // Each run, whether it had opened yet or not, has said its last line.
        EXPECT_EQ(m_events.CountLog(ESide::Game, "[Broadcast closed]"), nRound + 1);
        EXPECT_EQ(m_events.LastLog(ESide::Game), kClosedLine);
        // Each connection made says QUIT last (the server closes it then).
        ASSERT_TRUE(m_irc.WaitForConnections(nRound + 1));
        ASSERT_TRUE(m_irc.WaitForLine(nRound, kQuit));
        m_irc.Close(nRound);
        EXPECT_TRUE(IrcIdle());
    }
    EXPECT_EQ(m_irc.Connections(), 3);
    EXPECT_EQ(m_events.Messages().Count(), 0u);
}

// Broadcast means "keep relaying": the IRC side keeps trying while it is on,
// even when the first connect is refused, and stops when it goes off.
TEST_F(BotTest, BroadcastKeepsTheIrcSideTryingUntilItIsSwitchedOff) {
    platform::CSocket closed = platform::CSocket::CreateTcp();
    ASSERT_TRUE(closed.Bind(platform::LoopbackAddress()));  // bound, not listening: refused
    CFile file = Complete();
    file.m_nIrcPort = closed.LocalPort();
    Make(file);
    ASSERT_TRUE(Bot().StartBroadcast());
    ASSERT_TRUE(WaitFor([](const core::CBotState& s) {
        return s.m_irc.m_eState == irc::EIrcState::Waiting && s.m_irc.m_bSessionActive;
    }));
    EXPECT_TRUE(m_events.WaitForLog(ESide::Irc, "Next attempt in "));
    EXPECT_TRUE(Broadcasting(true));

    Bot().StopBroadcast();
    EXPECT_TRUE(IrcIdle());
    EXPECT_TRUE(GameIdle());
    EXPECT_TRUE(Broadcasting(false));
    EXPECT_EQ(m_events.Messages().Count(), 0u);
}

// Broadcast keeps the game side alive: a game server that cannot be
// reached leaves the side running and waiting for its next try (so
// relaying comes on), and Stop Broadcast ends the wait and the keep-alive.
TEST_F(BotTest, BroadcastKeepsTheGameSideAliveUntilStopBroadcast) {
    CFile file = Complete();
    file.m_strGameServer = "no..such..host";  // refused by the resolver itself
    Make(file);
    ASSERT_TRUE(Bot().StartBroadcast());
    // Connected, not still connecting: a stop during the connect sends no QUIT.
    ASSERT_TRUE(m_irc.WaitForLine(0, kUser));
    ASSERT_TRUE(m_events.WaitForLog(ESide::Game, "Trying again in "));
    EXPECT_TRUE(Bot().GameSide().IsKeepAlive());
    EXPECT_TRUE(WaitFor([](const core::CBotState& s) {
        return s.m_game.m_eWanted == bridge::EGameState::Running && s.m_game.IsConnectUsable();
    }));
    EXPECT_TRUE(Broadcasting(true));

    Bot().StopBroadcast();
    EXPECT_TRUE(GameIdle());
    EXPECT_FALSE(Bot().GameSide().IsKeepAlive());
    EXPECT_TRUE(Broadcasting(false));
    EXPECT_EQ(m_events.LastLog(ESide::Game), kClosedLine);
    EXPECT_TRUE(m_irc.WaitForLine(0, kQuit));
}

TEST_F(BotTest, BroadcastOverSidesStartedByTheirOwnCommandsOnlySwitchesRelaying) {
    m_sim.StartLive(5, 64, 1000);  // replies of several kB a second
    core::CBot::COptions options;
    options.m_bTrafficMeter = true;
    Make(Complete(), options);
    ASSERT_TRUE(Bot().ConnectIrc());
    ASSERT_TRUE(Bot().StartGame());
    ASSERT_TRUE(m_irc.WaitForConnections(1));
    ASSERT_TRUE(GameRunning());
    EXPECT_FALSE(Bot().State().m_bBroadcast);  // a side's own command leaves it off

    ASSERT_TRUE(Bot().StartBroadcast());
    EXPECT_TRUE(Broadcasting(true));
    EXPECT_EQ(m_irc.Connections(), 1);  // no second connection
    EXPECT_EQ(GameRuns(), 1);           // nor a second run
    EXPECT_EQ(m_events.Messages().Count(), 0u);
    // The meter counts what the game side receives.
    EXPECT_TRUE(testsupport::WaitUntil([&] {
        const std::vector<int32_t> traffic = m_events.Traffic();
        return std::any_of(traffic.begin(), traffic.end(), [](int32_t n) { return n > 0; });
    }));
}

// Stop Broadcast decides from the game side's run state: a run that failed
// and turned the side idle is not taken for one to stop, and no run starts.
// The stop comes from the failing monitor's own thread, the moment it has
// said the side is idle.
TEST_F(BotTest, StopBroadcastWhileAFailedRunReturnsToIdleNeverStartsARun) {
    Make(Complete());
    ASSERT_TRUE(Bot().StartBroadcast());
    ASSERT_TRUE(m_irc.WaitForLine(0, kUser));  // connected: the stop says QUIT
    ASSERT_TRUE(GameRunning());
    ASSERT_TRUE(Broadcasting(true));
    // The side's own run, not kept alive, on a host the resolver refuses.
    Bot().StopGame();
    ASSERT_TRUE(GameIdle());
    CFile file = Complete();
    file.m_strGameServer = "no..such..host";
    Bot().SetSettings(Values(file));
    Bot().GameSide().SetKeepAlive(false);
    const std::thread::id testThread = std::this_thread::get_id();
    // Shared with the hook, which a thread of the bot may still be running
    // when this test's body has ended.
    const auto pPressed = std::make_shared<std::atomic<bool>>(false);
    m_events.SetOnState([this, testThread, pPressed](const core::CBotState& s) {
        if (s.m_game.m_eWanted == bridge::EGameState::Idle && s.m_game.m_bMonitorAlive &&
            std::this_thread::get_id() != testThread && !pPressed->exchange(true))
            Bot().StopBroadcast();
    });
    const int nRuns = GameRuns();
    ASSERT_TRUE(Bot().StartGame());
    ASSERT_TRUE(testsupport::WaitUntil([&] { return pPressed->load(); }, kLong));
    ASSERT_TRUE(Bot().WaitForCommands(10000));
    m_events.SetOnState(nullptr);
    EXPECT_TRUE(GameIdle());
    EXPECT_TRUE(Broadcasting(false));
    EXPECT_EQ(m_events.CountLog(ESide::Game, "Couldn't find Server at this IP!"), 1);
    EXPECT_EQ(GameRuns(), nRuns);  // none opened after the failed one
    EXPECT_EQ(m_events.CountLog(ESide::Game, "The previous run is still ending"), 0);
    EXPECT_TRUE(m_irc.WaitForLine(0, kQuit));
}

// Start Broadcast decides from the IRC side's own state: after the session
// ended on its own, it connects again instead of disconnecting.
TEST_F(BotTest, StartBroadcastConnectsWhenTheIrcSessionEndedByItself) {
    Make(Complete());
    ASSERT_TRUE(Bot().ConnectIrc());
    ASSERT_TRUE(m_irc.WaitForConnections(1));
    ASSERT_TRUE(m_irc.WaitForLine(0, kUser));
    m_irc.Close(0);  // no ERROR line and no keep-alive: the session ends
    ASSERT_TRUE(IrcIdle());
    ASSERT_TRUE(Bot().StartBroadcast());
    EXPECT_TRUE(m_irc.WaitForConnections(2));
    EXPECT_TRUE(m_irc.WaitForLine(1, kUser));
    EXPECT_TRUE(Broadcasting(true));
}

// SIGHUP while the IRC side waits for its next attempt: the wait ends and
// the side starts again with the new settings at once.
TEST_F(BotTest, ReloadWhileTheIrcSideWaitsForItsNextAttemptStartsItWithTheNewSettings) {
    platform::CSocket closed = platform::CSocket::CreateTcp();
    ASSERT_TRUE(closed.Bind(platform::LoopbackAddress()));
    CFile file = Complete();
    file.m_nIrcPort = closed.LocalPort();
    Make(file);
    ASSERT_TRUE(Bot().StartBroadcast());
    ASSERT_TRUE(WaitFor(
        [](const core::CBotState& s) { return s.m_irc.m_eState == irc::EIrcState::Waiting; }));
    file.m_nIrcPort = m_irc.Port();
    const core::CReloadResult result = Bot().Reload(Values(file));
    EXPECT_EQ(result.m_vChangedKeys, (Lines{"irc_Port"}));
    EXPECT_TRUE(result.m_bIrcStarts);
    EXPECT_FALSE(result.m_bGameChanged);
    // The first wait is several seconds: a start that waited for it fails here.
    ASSERT_TRUE(m_irc.WaitForConnections(1, std::chrono::seconds(3)));
    ASSERT_TRUE(JoinChannel(0));
    EXPECT_TRUE(Broadcasting(true));
    EXPECT_EQ(GameRuns(), 1);
}

// The same on the game side: a run waiting to try its server again is
// stopped and started on the new one.
TEST_F(BotTest, ReloadWhileTheGameSideWaitsForItsNextRunStartsItOnTheNewServer) {
    CFile file = Complete();
    file.m_strGameServer = "no..such..host";
    Make(file);
    ASSERT_TRUE(Bot().StartBroadcast());
    ASSERT_TRUE(m_events.WaitForLog(ESide::Game, "Trying again in "));
    file.m_strGameServer = "127.0.0.1";
    const core::CReloadResult result = Bot().Reload(Values(file));
    EXPECT_EQ(result.m_vChangedKeys, (Lines{"bf_Server"}));
    EXPECT_TRUE(result.m_bGameStarts);
    EXPECT_FALSE(result.m_bIrcChanged);
    ASSERT_TRUE(GameRunning(1));  // the first never reached its server
    EXPECT_TRUE(Bot().GameSide().IsKeepAlive());
    EXPECT_EQ(m_irc.Connections(), 1);
}

// Only the side whose settings changed starts again; the ticket interval
// alone needs no restart, and an interval of 0 is not taken.
TEST_F(BotTest, ReloadRestartsOnlyTheSideWhoseSettingsChanged) {
    CFile file = Complete();
    Make(file);
    ASSERT_TRUE(Bot().StartBroadcast());
    ASSERT_TRUE(m_irc.WaitForConnections(1));
    ASSERT_TRUE(JoinChannel(0));
    ASSERT_TRUE(GameRunning(1));

    file.m_strNick = "bot9";
    core::CReloadResult result = Bot().Reload(Values(file));
    EXPECT_EQ(result.m_vChangedKeys, (Lines{"irc_Nick"}));
    EXPECT_TRUE(result.m_bIrcChanged && result.m_bIrcStarts);
    EXPECT_FALSE(result.m_bGameChanged || result.m_bGameStarts);
    EXPECT_TRUE(m_irc.WaitForLine(0, kQuit));
    ASSERT_TRUE(m_irc.WaitForConnections(2));
    EXPECT_TRUE(m_irc.WaitForLine(1, "NICK bot9"));
    ASSERT_TRUE(JoinChannel(1, "bot9"));
    EXPECT_EQ(GameRuns(), 1);  // the game side ran on
    EXPECT_EQ(m_events.CountLog(ESide::Game, "[Broadcast closed]"), 0);
    EXPECT_TRUE(Broadcasting(true));

    file.m_nLanguage = 1;
    file.m_bShowKill = false;
    result = Bot().Reload(Values(file));
    EXPECT_EQ(result.m_vChangedKeys, (Lines{"bf_Language", "show_kill"}));
    EXPECT_TRUE(result.m_bGameChanged && result.m_bGameStarts);
    EXPECT_FALSE(result.m_bIrcChanged);
    ASSERT_TRUE(GameRunning(2));
    EXPECT_FALSE(Bot().GameSide().RunSettings().m_filters.m_bShowKill);
    EXPECT_EQ(m_irc.Connections(), 2);
    // The closing line of the old run reached the channel.
    EXPECT_TRUE(testsupport::WaitUntil([&] {
        const Lines lines = m_irc.Lines(1);
        return std::any_of(lines.begin(), lines.end(), [](const std::string& s) {
            return s.find("Broadcast closed") != std::string::npos;
        });
    }));

    file.m_nTicketSecs = 90;
    result = Bot().Reload(Values(file));
    EXPECT_EQ(result.m_vChangedKeys, (Lines{"irc_Tickettime"}));
    EXPECT_TRUE(result.m_bTicketChanged && result.m_bTicketApplied);
    EXPECT_FALSE(result.m_bIrcChanged || result.m_bGameChanged);
    EXPECT_EQ(Bot().GameShared().TicketSecs(), 90);
    file.m_nTicketSecs = 0;
    result = Bot().Reload(Values(file));
    EXPECT_TRUE(result.m_bTicketChanged);
    EXPECT_FALSE(result.m_bTicketApplied);
    EXPECT_EQ(Bot().GameShared().TicketSecs(), 90);
    EXPECT_EQ(Bot().Settings().m_nTicketSecs, 90);
    file.m_nTicketSecs = 90;
    EXPECT_TRUE(Bot().Reload(Values(file)).m_vChangedKeys.empty());

    ASSERT_TRUE(Bot().WaitForCommands(10000));
    EXPECT_EQ(m_irc.Connections(), 2);
    EXPECT_EQ(GameRuns(), 2);
    EXPECT_EQ(m_events.Messages().Count(), 0u);
}

// Pause holds the monitor and says so in the channel and the game log
// (whether broadcasting or not); Unpause lets it go on.
TEST_F(BotTest, PauseHoldsTheGameSideAndTellsTheChannel) {
    Make(Complete());
    ASSERT_TRUE(Bot().ConnectIrc());
    ASSERT_TRUE(m_irc.WaitForConnections(1));
    ASSERT_TRUE(JoinChannel(0));
    ASSERT_TRUE(Bot().StartGame());
    ASSERT_TRUE(GameRunning());

    Bot().TogglePause();
    ASSERT_TRUE(WaitFor([](const core::CBotState& s) {
        return s.m_game.m_eWanted == bridge::EGameState::Paused && !s.m_game.IsConnectUsable();
    }));
    ASSERT_TRUE(testsupport::WaitUntil([&] { return Bot().GameSide().IsMonitorHeld(); }));
    // Sent to the channel although not broadcasting.
    EXPECT_TRUE(testsupport::WaitUntil([&] { return ChannelLinesWith("Broadcast paused") == 1; }))
        << testing::PrintToString(m_irc.Lines(0));
    EXPECT_EQ(m_events.LastLog(ESide::Game), "* * * * * * [Broadcast paused] * * * * * * ");
    const int nRequests = m_sim.StatusRequests();

    Bot().TogglePause();
    ASSERT_TRUE(WaitFor([](const core::CBotState& s) {
        return s.m_game.m_eWanted == bridge::EGameState::Running && s.m_game.IsConnectUsable();
    }));
    EXPECT_TRUE(m_events.WaitForLog(ESide::Game, "[Broadcast resumed]"));
    EXPECT_TRUE(testsupport::WaitUntil([&] { return ChannelLinesWith("Broadcast resumed") == 1; }));
    EXPECT_TRUE(testsupport::WaitUntil([&] { return m_sim.StatusRequests() > nRequests + 1; }));
    EXPECT_FALSE(Bot().State().m_bBroadcast);
}

// Each quick-info check ends with its result and, after it, a state that
// says no check runs (a face unlocks its inputs by it); a second check
// while one runs is refused.
TEST_F(BotTest, EachQuickInfoCheckEndsWithItsResultAndAStateThatSaysItIsOver) {
    Make(Complete());
    m_sim.FallSilent(1);  // the first check waits half a second for its answer
    ASSERT_TRUE(Bot().CheckQuickInfo());
    ASSERT_TRUE(WaitFor([](const core::CBotState& s) { return s.m_bQuickInfoRunning; }));
    EXPECT_FALSE(Bot().CheckQuickInfo()) << "a second check while one runs";
    constexpr int kChecks = 5;
    for (int n = 1; n <= kChecks; ++n) {
        if (n > 1) {
            ASSERT_TRUE(Bot().CheckQuickInfo()) << n;
        }
        ASSERT_TRUE(testsupport::WaitUntil([&] {
            return static_cast<int>(m_events.QuickInfos().size()) == n;
        })) << n;
        ASSERT_TRUE(Bot().WaitForCommands(5000));
        EXPECT_TRUE(m_events.WaitForState([](const core::CBotState& s) {
            return !s.m_bQuickInfoRunning;
        })) << n;
    }
    const query::CQuickInfoResult last = m_events.QuickInfos().back();
    EXPECT_EQ(last.m_strHostname, "bf42sim");
    EXPECT_EQ(last.m_strStatus, "idle");
    EXPECT_EQ(m_sim.InfoRequests(), kChecks + 1);  // the first was asked twice
    EXPECT_EQ(m_events.Messages().Count(), 0u);
}

// Shutdown ends every thread that runs (IRC, the monitor or a quick-info
// check the server keeps waiting, the traffic meter, an update check
// waiting on a silent server) without QUIT.
class BotShutdown : public BotTest, public testing::WithParamInterface<bool> {};

TEST_P(BotShutdown, EndsEveryThreadWithoutQuit) {
    const bool bQuickInfo = GetParam();
    platform::CSocket silentHttp = platform::CSocket::CreateTcp();
    ASSERT_TRUE(silentHttp.Bind(platform::LoopbackAddress()));
    ASSERT_TRUE(silentHttp.Listen());
    core::CBot::COptions options;
    options.m_strUpdateHost = "127.0.0.1";
    options.m_nUpdatePort = silentHttp.LocalPort();
    options.m_bTrafficMeter = true;
    Make(Complete(), options);
    ASSERT_TRUE(Bot().ConnectIrc());
    if (bQuickInfo) {
        m_sim.FallSilent(1000);
        ASSERT_TRUE(Bot().CheckQuickInfo());
        ASSERT_TRUE(testsupport::WaitUntil([&] { return m_sim.SilencedRequests() >= 1; }));
        ASSERT_TRUE(WaitFor([](const core::CBotState& s) { return s.m_bQuickInfoRunning; }));
    } else {
        ASSERT_TRUE(Bot().StartGame());
        ASSERT_TRUE(GameRunning());
    }
    ASSERT_TRUE(m_irc.WaitForLine(0, kUser));
    ASSERT_TRUE(testsupport::WaitUntil([&] { return Bot().UpdateCheck().Attempts() == 1; }));
    ASSERT_FALSE(Bot().UpdateCheck().HasEnded());

    const auto start = std::chrono::steady_clock::now();
    Bot().Shutdown();
    std::printf("[ figure ] every thread of the bot stopped and joined in %lld ms\n",
                static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                           std::chrono::steady_clock::now() - start)
                                           .count()));
    const core::CBotState state = Bot().State();
    EXPECT_EQ(state.m_irc.m_eState, irc::EIrcState::Idle);
    EXPECT_FALSE(state.m_game.m_bMonitorAlive);
    EXPECT_FALSE(state.m_bQuickInfoRunning);
    EXPECT_FALSE(state.m_bBroadcast);
    EXPECT_TRUE(Bot().UpdateCheck().HasEnded());
    EXPECT_EQ(m_events.Ended(), 0);  // a stop is no Quit
    ASSERT_TRUE(testsupport::WaitUntil([&] { return m_irc.ClosedByPeer(0); }));
    const Lines lines = m_irc.Lines(0);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), kQuit), 0) << testing::PrintToString(lines);
}

INSTANTIATE_TEST_SUITE_P(GameSide, BotShutdown, testing::Bool(), [](const auto& info) {
    return std::string(info.param ? "QuickInfoCheck" : "Monitor");
});

}  // namespace
}  // namespace coretest
