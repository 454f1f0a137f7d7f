// The monitor loop against the stand-in game server: the lines of a game's
// phases and map changes in their order, the reporter held while the game
// is paused, the failure paths with their texts, a stop that reaches a
// monitor waiting on a silent server, the Pause gate, a stop in the middle
// of a poll's lines, and bad replies.
#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "monitor/FakeMonitorHost.h"
#include "monitor/MonitorRun.h"
#include "monitor/MonitorSupervisor.h"
#include "platform/Clock.h"
#include "platform/Gate.h"
#include "support/ColorText.h"
#include "support/RecordingIrcSession.h"
#include "support/ScriptedUdpServer.h"
#include "support/Wait.h"
#include "support/Wine.h"
#include "tools/bf42sim/SimServer.h"

namespace {

using Lines = std::vector<std::string>;
using monitor::CMonitorRun;

// Expected lines are written with "^" for the colour byte 0x03.
using testsupport::C;

std::string Long(const std::string& strText) {
    return C("^10* * * * * * * * * * ^[^14") + strText + C("^]^10 * * * * * * * * * *");
}
std::string Short(const std::string& strText) {
    return C("^10* * * * * * ^[^14") + strText + C("^]^10 * * * * * * ");
}

// Two players on a 20-minute game that begins with its start delay.
const char kGameStart[] =
    "state 3\n"
    "set gamemode = pre\n"
    "set Time Limit = 20\n"
    "set Game Start Delay = 15s\n"
    "player 0 1 0 0 0 40 Hans\n"
    "player 1 2 0 0 0 40 Tom\n";

// An IRC side whose channel requests the test hands in.
class CRequestQueueSession : public testsupport::CRecordingIrcSession {
public:
    using CRecordingIrcSession::CRecordingIrcSession;
    void AddRequest(std::string strRequest) {
        std::lock_guard<std::mutex> lock(m_mutexQueue);
        m_queue.push_back(std::move(strRequest));
    }
    std::string TakeRequest() override {
        std::lock_guard<std::mutex> lock(m_mutexQueue);
        if (m_queue.empty()) return {};
        std::string str = std::move(m_queue.front());
        m_queue.pop_front();
        return str;
    }

private:
    std::mutex m_mutexQueue;
    std::deque<std::string> m_queue;
};

class MonitorRunTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_sim.Start());
        m_irc.Configure("127.0.0.1", 6667, "Bot", "Bot2", "#chan");
        m_irc.m_bInChannel = true;
        m_host.m_settings.m_nQueryPort = m_sim.Port();
    }

    // Opens a run on the scenario; the first poll (two warm-up polls and a
    // processed one) has been made when it returns.
    std::unique_ptr<CMonitorRun> OpenRun(const std::string& strScenario) {
        std::string strError;
        EXPECT_TRUE(m_sim.LoadScenario(strScenario, &strError)) << strError;
        auto pRun = std::make_unique<CMonitorRun>(m_host, Control());
        EXPECT_TRUE(pRun->Open());
        EXPECT_EQ(pRun->Poll(), CMonitorRun::EPoll::Continue);
        return pRun;
    }
    // The lines the next poll adds to the log.
    Lines NextPoll(CMonitorRun& run) {
        const size_t nBefore = m_host.LogSize();
        EXPECT_EQ(run.Poll(), CMonitorRun::EPoll::Continue);
        const Lines log = m_host.Log();
        return Lines(log.begin() + static_cast<long>(nBefore), log.end());
    }
    // Polls driven one by one: the pause between them takes no time.
    monitor::CMonitorControl Control() { return {m_clock, m_wake, m_gate}; }
    // A whole run on a thread, with its ticket reporter: real time, so that
    // the reporter sleeps instead of spinning.
    monitor::CMonitorControl RealTime() { return {platform::SystemClock(), m_wake, m_gate}; }
    // A whole run on the manual clock; only its reporter sleeps in real time.
    monitor::CMonitorControl Manual() {
        return {m_clock, m_wake, m_gate, &platform::SystemClock()};
    }

    platform::CManualClock m_clock{5000};
    CRequestQueueSession m_irc{m_clock, /*bForwardWrites=*/false};
    testsupport::CFakeMonitorHost m_host{&m_irc};
    platform::CStopSignal m_wake;
    platform::CThreadGate m_gate;
    bf42sim::CSimServer m_sim;
};

TEST_F(MonitorRunTest, FollowsAGameThroughItsPhases) {
    const std::string strScenario = std::string(kGameStart) +
                                    "state 1\nset gamemode = openplaying\n"
                                    "state 1\nset gamemode = closedplaying\n"
                                    "player 0 1 1 1 0 40 Hans\nplayer 1 2 0 0 1 40 Tom\n"
                                    "state 1\nset gamemode = pause\n"
                                    "state 1\nset gamemode = openplaying\n"
                                    "state 1\nset gamemode = end\n"
                                    "state 1\nset gamemode = pre\n"
                                    "state 1\nset gamemode = openplaying\n"
                                    "set Time Limit = unlimited\n";
    auto pRun = OpenRun(strScenario);
    // Warm-up and the first processed poll: only the log's opening line.
    EXPECT_EQ(m_host.Log(), Lines{Short("Broadcast opened")});
    EXPECT_EQ(m_sim.StatusRequests(), 3);
    EXPECT_EQ(m_host.m_nReady, 1);

    EXPECT_EQ(NextPoll(*pRun), Lines{Long("game starts (timelimit: 20m)")});
    EXPECT_EQ(m_irc.GameShared().GameEndTick(), m_clock.GetTickCount() + 20 * 60000);

    // Playing to playing says nothing; the kill is announced.
    EXPECT_EQ(NextPoll(*pRun), Lines{C("^05Hans (1/1/0)^  [killed]  ^02Tom (0/0/1)")});

    EXPECT_EQ(NextPoll(*pRun), Lines{Long("game paused")});
    EXPECT_TRUE(m_host.m_bGamePaused);
    EXPECT_TRUE(pRun->IsTicketHeld());

    EXPECT_EQ(NextPoll(*pRun), Lines{Long("game resumed")});
    EXPECT_FALSE(m_host.m_bGamePaused);
    EXPECT_FALSE(pRun->IsTicketHeld());

    // Tom's 0/0/1 does not beat an empty place.
    EXPECT_EQ(NextPoll(*pRun), (Lines{Long("game ends"), C("1. ^05Hans (1/1/0)"), C("2. ^15 - "),
                                      C("3. ^15 - "), C("^10endscore ^[^12250^ : ^04250^]")}));
    EXPECT_EQ(m_irc.GameShared().GameEndTick(), 0u);

    EXPECT_EQ(NextPoll(*pRun), Lines{Long("game starts in 15s")});
    EXPECT_EQ(NextPoll(*pRun), Lines{Long("game starts (timelimit: unlimited)")});
    EXPECT_EQ(m_irc.GameShared().GameEndTick(), 0u);
    // Not broadcasting: nothing went to the channel.
    EXPECT_TRUE(m_irc.Writes().empty());
    EXPECT_GT(m_host.m_nTraffic, 0);
}

// The pause is over when the game ends or starts over from it: the next
// playing phase is a start with its end tick, never "game resumed".
TEST_F(MonitorRunTest, APauseThatEndsTheGameIsOver) {
    for (const char* pszAfterPause : {"end", "pre"}) {
        SCOPED_TRACE(pszAfterPause);
        m_host.ClearLog();
        auto pRun = OpenRun(std::string(kGameStart) +
                            "state 1\nset gamemode = openplaying\n"
                            "state 1\nset gamemode = pause\n"
                            "state 1\nset gamemode = " +
                            pszAfterPause + "\n" + "state 1\nset gamemode = openplaying\n");
        NextPoll(*pRun);
        EXPECT_EQ(NextPoll(*pRun), Lines{Long("game paused")});
        ASSERT_TRUE(pRun->IsTicketHeld());
        NextPoll(*pRun);
        EXPECT_FALSE(m_host.m_bGamePaused);
        EXPECT_FALSE(pRun->IsTicketHeld());
        m_irc.GameShared().SetGameEndTick(0);
        EXPECT_EQ(NextPoll(*pRun), Lines{Long("game starts (timelimit: 20m)")});
        EXPECT_EQ(m_irc.GameShared().GameEndTick(), m_clock.GetTickCount() + 20 * 60000);
    }
}

TEST_F(MonitorRunTest, AMapChangeInAPollWhereAPlayerLeftIsAnnouncedOnePollLater) {
    auto pRun = OpenRun(std::string(kGameStart) +
                        "player 2 1 0 0 0 40 Ann\n"
                        "set gamemode = openplaying\n"
                        "state 1\nremove 2\nset mapname = berlin\n"
                        "state 1\nset Time Limit = unlimited\n");
    m_irc.GameShared().SetGameEndTick(1234);
    // The poll with the falling count says nothing and asks again at once;
    // the answer to that is where the change is seen.
    EXPECT_EQ(NextPoll(*pRun), Lines{Long("Map changed from wake to berlin")});
    EXPECT_EQ(m_sim.StatusRequests(), 5);
    EXPECT_EQ(pRun->Previous().m_strMapName, "berlin");
    // The second answer already says "unlimited": no end tick.
    EXPECT_EQ(m_irc.GameShared().GameEndTick(), 0u);
    EXPECT_EQ(NextPoll(*pRun), Lines{});
}

TEST_F(MonitorRunTest, AMapChangeRestartsTheEndTickFromTheLimit) {
    auto pRun = OpenRun(std::string(kGameStart) + "set gamemode = openplaying\n" +
                        "state 1\nset mapname = berlin\n");
    EXPECT_EQ(NextPoll(*pRun), Lines{Long("Map changed from wake to berlin")});
    EXPECT_EQ(m_irc.GameShared().GameEndTick(), m_clock.GetTickCount() + 20 * 60000);
}

// The banner's paced lines each pass a safe point: the operator's Pause
// given during the banner holds its remaining lines until Unpause.
TEST_F(MonitorRunTest, PauseDuringTheOpeningBannerHoldsItsRemainingLines) {
    m_host.m_bBroadcast = true;
    ASSERT_TRUE(m_sim.LoadScenario(kGameStart));
    CMonitorRun run(m_host, Control());
    ASSERT_TRUE(run.Open());
    // Pause right after the banner's hostname line went out.
    m_host.m_onLog = [&](const std::string& strLine) {
        if (strLine.find("hostname") != std::string::npos) m_gate.Hold();
    };
    CMonitorRun::EPoll ePoll = CMonitorRun::EPoll::Failed;
    std::thread poller([&] { ePoll = run.Poll(); });
    const bool bHeld = testsupport::WaitUntil([&] { return m_gate.IsWaiting(); });
    const Lines heldLog = m_host.Log();
    const size_t nHeldWrites = m_irc.Writes().size();
    m_gate.Release();
    poller.join();

    ASSERT_TRUE(bHeld);
    ASSERT_EQ(heldLog.size(), 3u);
    EXPECT_EQ(heldLog[0], Short("Broadcast opened"));
    EXPECT_EQ(heldLog[2], C("^10hostname ^[^14") + m_host.GetStatus().m_strHostname + C("^]"));
    EXPECT_EQ(nHeldWrites, 2u);
    EXPECT_EQ(ePoll, CMonitorRun::EPoll::Continue);
    // Unpaused: the other six lines follow, to the channel and the log.
    const Lines log = m_host.Log();
    ASSERT_EQ(log.size(), 9u);
    EXPECT_EQ(log[8].find(C("^10ticketratio ^[")), 0u) << log[8];
    EXPECT_EQ(m_irc.Writes().size(), 8u);
}

// Two kills in one poll, after a quiet first poll.
const char kTwoKills[] =
    "state 3\n"
    "set gamemode = openplaying\n"
    "player 0 1 0 0 0 40 Hans\n"
    "player 1 2 0 0 0 40 Tom\n"
    "player 2 1 0 0 0 40 Ann\n"
    "player 3 2 0 0 0 40 Bob\n"
    "state 1\n"
    "player 0 1 1 1 0 40 Hans\n"
    "player 1 2 0 0 1 40 Tom\n"
    "player 2 1 1 1 0 40 Ann\n"
    "player 3 2 0 0 1 40 Bob\n";
const Lines kTwoKillLines = {C("^05Hans (1/1/0)^  [killed]  ^02Tom (0/0/1)"),
                             C("^05Ann (1/1/0)^  [killed]  ^02Bob (0/0/1)")};

// Regression: the safe point before each line also ended the run, so a
// Disconnect in the middle of a poll's lines dropped the rest of them.
TEST_F(MonitorRunTest, AStopInTheMiddleOfAPollsLinesLetsThemAllOutFirst) {
    m_host.m_bBroadcast = true;
    auto pRun = OpenRun(kTwoKills);
    m_host.m_onLog = [&](const std::string& strLine) {
        if (strLine == kTwoKillLines[0]) {
            m_host.m_bStopRequested = true;
            m_wake.Stop();
        }
    };
    EXPECT_EQ(NextPoll(*pRun), kTwoKillLines);
    EXPECT_EQ(pRun->Poll(), CMonitorRun::EPoll::Stopped);
    pRun->Finish(true);
    const Lines log = m_host.Log();
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(Lines(log.end() - 3, log.end()),
              (Lines{kTwoKillLines[0], kTwoKillLines[1], Short("Broadcast closed")}));
    // The channel got them in the same order.
    const std::vector<std::string> writes = m_irc.Writes();
    ASSERT_GE(writes.size(), 3u);
    EXPECT_NE(writes[writes.size() - 2].find("Ann"), std::string::npos);
    EXPECT_NE(writes.back().find("Broadcast closed"), std::string::npos);
}

// ---- Failures: the text in the log, the page back to idle, no closing line.
TEST_F(MonitorRunTest, AnUnknownHostEndsTheRunAtOnce) {
    m_host.m_settings.m_strServer = std::string("127.0.0.1\0x", 11);  // never resolves
    monitor::MonitorThread(m_host, RealTime());
    EXPECT_EQ(m_host.Log(), Lines{"Couldn't find Server at this IP!"});
    EXPECT_EQ(m_host.m_nReturnsToIdle, 1);
    EXPECT_EQ(m_host.m_nReady, 0);
    EXPECT_FALSE(m_host.m_bMonitoring);
    EXPECT_EQ(m_host.m_nEnded, 1);
}

// Manual clock: otherwise about four minutes of paced refusals.
TEST_F(MonitorRunTest, ARefusingPortTimesTheRunOut) {
    FR_SKIP_UNDER_WINE("select() does not see a refused UDP port");
    uint16_t nClosedPort = 0;
    {
        platform::CSocket probe = platform::CSocket::CreateUdp();
        ASSERT_TRUE(probe.Bind(platform::LoopbackAddress()));
        nClosedPort = probe.LocalPort();
    }
    m_host.m_settings.m_nQueryPort = nClosedPort;
    const uint64_t nSleptBefore = m_clock.SleptMs();
    monitor::MonitorThread(m_host, Manual());
    EXPECT_EQ(m_host.Log(), Lines{"Server timed out."});
    // Regression: the refusals used to end the run within a fraction of a
    // second. Paced at one request per readiness wait, it takes minutes.
    EXPECT_GE(m_clock.SleptMs() - nSleptBefore,
              uint64_t{query::kStatusRecvFailLimit - 1} * query::CServerQuery::kWaitMs);
    EXPECT_EQ(m_host.m_nReady, 1);
    EXPECT_EQ(m_host.m_nReturnsToIdle, 1);
    EXPECT_FALSE(m_host.m_bMonitoring);
    EXPECT_EQ(m_host.m_nEnded, 1);
}

// ---- Stops and holds, with the run on its own thread.
class MonitorThreadTest : public MonitorRunTest {
protected:
    void StartThread() {
        m_thread = std::thread([this] { monitor::MonitorThread(m_host, RealTime()); });
    }
    void RequestStop() {
        m_host.m_bStopRequested = true;
        m_wake.Stop();
    }
    bool Ended() {
        return testsupport::WaitUntil([&] { return m_host.m_nEnded > 0; });
    }
    void TearDown() override {
        RequestStop();
        m_gate.Release();
        if (m_thread.joinable()) m_thread.join();
    }
    std::thread m_thread;
};

TEST_F(MonitorThreadTest, AStopReachesAMonitorWaitingOnASilentServer) {
    m_sim.SetSilentAfter(4, -1);  // heard, then silent for ever: the exchange re-sends
    ASSERT_TRUE(m_sim.LoadScenario(kGameStart));
    StartThread();
    ASSERT_TRUE(testsupport::WaitUntil([&] { return m_sim.SilencedRequests() >= 2; }));
    RequestStop();
    ASSERT_TRUE(Ended());
    EXPECT_EQ(m_host.LastLog(), Short("Broadcast closed"));
    EXPECT_FALSE(m_host.m_bMonitoring);
    EXPECT_EQ(m_host.m_nReturnsToIdle, 0);
}

// The channel's requests are the monitor's own work between the exchange's
// rounds: a server that stays silent must not keep them waiting.
TEST_F(MonitorThreadTest, ARequestIsAnsweredWhileTheServerIsSilent) {
    m_sim.SetSilentAfter(4, -1);
    ASSERT_TRUE(m_sim.LoadScenario(kGameStart));
    StartThread();
    ASSERT_TRUE(testsupport::WaitUntil([&] { return m_sim.SilencedRequests() >= 1; }));
    m_irc.AddRequest("!join alice");
    EXPECT_TRUE(m_irc.WaitForWrite("NOTICE  alice :"));  // the nick keeps its blank
    EXPECT_EQ(m_host.m_nEnded, 0);                       // still waiting on the server
}

TEST_F(MonitorThreadTest, PauseHoldsTheRunWithoutQueriesAndAStopEndsItCleanly) {
    ASSERT_TRUE(m_sim.LoadScenario(kGameStart));
    StartThread();
    ASSERT_TRUE(testsupport::WaitUntil([&] { return m_sim.StatusRequests() >= 5; }));
    m_gate.Hold();
    m_wake.Stop();
    ASSERT_TRUE(testsupport::WaitUntil([&] { return m_gate.IsWaiting(); }));
    const int nRequests = m_sim.StatusRequests();
    const size_t nLines = m_host.LogSize();
    // Held inside the gate: it cannot ask or post until released.
    EXPECT_TRUE(m_gate.IsWaiting());
    EXPECT_EQ(m_sim.StatusRequests(), nRequests);
    m_gate.Release();
    ASSERT_TRUE(testsupport::WaitUntil([&] { return m_sim.StatusRequests() > nRequests + 2; }));
    EXPECT_EQ(m_host.LogSize(), nLines);  // a quiet game: nothing new to say

    m_gate.Hold();
    m_wake.Stop();
    ASSERT_TRUE(testsupport::WaitUntil([&] { return m_gate.IsWaiting(); }));
    RequestStop();  // the gate stays held: the stop alone must end it
    ASSERT_TRUE(Ended());
    EXPECT_EQ(m_host.LastLog(), Short("Broadcast closed"));
}

// Pause still holds at the next line; a stop given then (the gate still
// held, as at shutdown) lets the rest out and ends the run.
TEST_F(MonitorThreadTest, AStopWhileHeldBeforeALineLetsTheRestOutThenCloses) {
    ASSERT_TRUE(m_sim.LoadScenario(kTwoKills));
    m_host.m_onLog = [&](const std::string& strLine) {
        if (strLine == kTwoKillLines[0]) m_gate.Hold();
    };
    m_thread = std::thread([this] { monitor::MonitorThread(m_host, Manual()); });
    ASSERT_TRUE(testsupport::WaitUntil([&] { return m_gate.IsWaiting(); }));
    EXPECT_EQ(m_host.LastLog(), kTwoKillLines[0]);
    m_host.m_bStopRequested = true;
    m_wake.Stop();
    ASSERT_TRUE(Ended());
    const Lines log = m_host.Log();
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(Lines(log.end() - 3, log.end()),
              (Lines{kTwoKillLines[0], kTwoKillLines[1], Short("Broadcast closed")}));
}

// A server that streams datagrams without the end marker: the exchange is
// bounded (the query's own tests show the cap), and Disconnect still ends
// the run with its closing line.
TEST_F(MonitorThreadTest, AStreamWithoutEndStillAnswersAStop) {
    testsupport::CScriptedUdpServer server(std::vector<testsupport::CScriptedUdpServer::Answer>{});
    ASSERT_NE(server.Port(), 0);
    server.StreamToRequester("\\pad\\" + std::string(994, 's'));
    m_host.m_settings.m_nQueryPort = server.Port();
    StartThread();
    // Several times the reply cap has been sent at the monitor.
    ASSERT_TRUE(testsupport::WaitUntil([&] { return server.Sent() >= 300; }));
    RequestStop();
    ASSERT_TRUE(Ended());
    EXPECT_EQ(m_host.Log(), Lines{Short("Broadcast closed")});
    EXPECT_GT(m_host.m_nTraffic, 64 * 1024);
}

// ---- Bad replies keep the run going and never split a channel line.
TEST_F(MonitorRunTest, GarbageAndWildCountsNeverBreakALine) {
    const std::string strEnd = "\\final\\\\queryid\\1.1";
    int nReply = 0;
    testsupport::CScriptedUdpServer server([&](int, const std::string&) {
        ++nReply;
        if (nReply % 3 == 0) return testsupport::CScriptedUdpServer::Answer{"\\\\\\\\x" + strEnd};
        const std::string strMap = nReply % 2 ? "wake\r\nQUIT :bye" : "ber\nlin\r";
        return testsupport::CScriptedUdpServer::Answer{
            "\\gamemode\\openplaying\\mapname\\" + strMap + "\\numplayers\\" +
            std::to_string(nReply * 1000 - 40000) + "\\maxplayers\\99999" +
            "\\player_3\\A\r\nB\\score_3\\" + std::to_string(nReply) + "\\frags_3\\" +
            std::to_string(nReply) + "\\ping_3\\10\\team_3\\1" + strEnd};
    });
    ASSERT_NE(server.Port(), 0);
    m_host.m_settings.m_nQueryPort = server.Port();
    m_host.m_bBroadcast = true;
    CMonitorRun run(m_host, Control());
    ASSERT_TRUE(run.Open());
    for (int n = 0; n < 12; ++n) ASSERT_EQ(run.Poll(), CMonitorRun::EPoll::Continue);
    bool bMapLine = false;
    for (const std::string& strWrite : m_irc.Writes()) {
        EXPECT_EQ(strWrite.find_first_of("\r\n"), strWrite.size() - 2) << strWrite;
        bMapLine = bMapLine || strWrite.find("Map changed") != std::string::npos;
    }
    EXPECT_TRUE(bMapLine);
}

}  // namespace
