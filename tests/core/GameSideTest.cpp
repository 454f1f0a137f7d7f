// The game side's run life cycle with a real monitor behind it, against the
// stand-in game server: start to stop with the closing line, Pause holding
// the monitor, a stop while paused, the failures back to idle (or, kept
// alive, a side that stays running and waits for its next try), a start
// while the previous monitor is still ending, and the snapshot and the
// lines it shares with other threads. The IRC side is a session whose
// lines stop at its send queue.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "BotTestSupport.h"
#include "core/GameLog.h"
#include "core/GameSide.h"
#include "core/SideSettings.h"
#include "monitor/Announcements.h"
#include "platform/Clock.h"
#include "support/ColorText.h"
#include "support/RecordingIrcSession.h"
#include "support/Wait.h"
#include "tools/bf42sim/SimServer.h"

namespace coretest {
namespace {

using Lines = std::vector<std::string>;
using testsupport::C;

const char kOpenedLine[] = "* * * * * * [Broadcast opened] * * * * * * ";

// An IRC side whose channel sends can be held at the line that holds a
// chosen text, so that the monitor is caught in the middle of its end.
class CHoldingIrcSession : public testsupport::CRecordingIrcSession {
public:
    using CRecordingIrcSession::CRecordingIrcSession;
    ~CHoldingIrcSession() override { Release(); }

    void HoldSendOf(const std::string& strPart) {
        std::lock_guard<std::mutex> lock(m_mutexHold);
        m_strHold = strPart;
    }
    bool IsHolding() const {
        std::lock_guard<std::mutex> lock(m_mutexHold);
        return m_bHolding;
    }
    void Release() {
        {
            std::lock_guard<std::mutex> lock(m_mutexHold);
            m_strHold.clear();
        }
        m_cv.notify_all();
    }

protected:
    // Lines are handed to the send queue on the sender's thread: the
    // monitor is held there.
    void QueueLine(std::string strLine, irc::ELineKind eKind, irc::ELineTarget eTarget) override {
        {
            std::unique_lock<std::mutex> lock(m_mutexHold);
            if (!m_strHold.empty() && strLine.find(m_strHold) != std::string::npos) {
                m_bHolding = true;
                // At most 20 s, so that a failing test cannot hang.
                m_cv.wait_for(lock, std::chrono::seconds(20), [&] { return m_strHold.empty(); });
                m_bHolding = false;
            }
        }
        CRecordingIrcSession::QueueLine(std::move(strLine), eKind, eTarget);
    }

private:
    mutable std::mutex m_mutexHold;
    std::condition_variable m_cv;
    std::string m_strHold;
    bool m_bHolding = false;
};

// What the side tells its owner: the log as the game log shows it.
class CSideEvents : public core::IGameSideEvents {
public:
    void OnGameLog(const std::string& strLine) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_log.push_back(core::GameLogText(strLine));
    }
    void OnGameStatusChanged() override { m_nChanges.fetch_add(1); }
    Lines Log() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_log;
    }
    std::string LastLog() const {
        const Lines log = Log();
        return log.empty() ? std::string() : log.back();
    }
    std::atomic<int> m_nChanges{0};

private:
    mutable std::mutex m_mutex;
    Lines m_log;
};

class GameSideTest : public testing::Test {
protected:
    GameSideTest() {
        m_irc.Configure("127.0.0.1", 6667, "Bot", "Bot2", "#chan");
        m_irc.SetInChannel(true);
        m_irc.GameShared().SetTicketSecs(3600);  // no ticket lines among the ones under test
        m_side.SetIrcLink(&m_irc);
        m_side.SetBroadcastFlag(&m_bBroadcast);
        EXPECT_TRUE(m_sim.Start());
    }
    ~GameSideTest() override { m_side.Shutdown(); }

    // The run's settings as a settings file gives them, for this server.
    core::CGameRunSettings Settings(const std::string& strServer = "127.0.0.1",
                                    uint16_t nPort = 0) {
        CFile file;
        file.m_nGamePort = nPort != 0 ? nPort : m_sim.Port();
        core::CGameRunSettings settings =
            core::GameRunSettingsOf(config::ParseSettings(SettingsText(file)));
        // Set here: a settings file's line would end at a NUL in the name.
        settings.m_announce.m_strServer = strServer;
        return settings;
    }
    core::CGameStatus Status() const { return m_side.Status(); }
    bool Running() {
        return testsupport::WaitUntil([&] {
            const core::CGameStatus s = Status();
            return s.m_eWanted == bridge::EGameState::Running && s.IsConnectUsable() &&
                   m_sim.StatusRequests() >= 3;
        });
    }
    bool Idle(std::chrono::milliseconds timeout = std::chrono::milliseconds(5000)) {
        return testsupport::WaitUntil(
            [&] {
                const core::CGameStatus s = Status();
                return s.m_eWanted == bridge::EGameState::Idle && s.IsConnectUsable() &&
                       !s.m_bMonitorAlive &&
                       m_irc.GameShared().GameState() == bridge::EGameState::Idle &&
                       !m_side.IsMonitoring();
            },
            timeout);
    }
    size_t CountWrites(std::string_view strPart) const {
        size_t n = 0;
        for (const std::string& str : m_irc.Writes()) n += str.find(strPart) != std::string::npos;
        return n;
    }

    bf42sim::CSimServer m_sim;
    platform::CManualClock m_ircClock;  // no sender sleeps on it: the queue paces
    CHoldingIrcSession m_irc{m_ircClock, /*bForwardWrites=*/false};
    std::atomic<bool> m_bBroadcast{false};
    CSideEvents m_events;
    core::CGameSide m_side{m_irc.GameShared(), m_events, platform::SystemClock()};
};

TEST_F(GameSideTest, StartRunsTheMonitorAndStopEndsItWithTheClosingLine) {
    m_bBroadcast = true;
    const int nChanges = m_events.m_nChanges.load();
    m_side.Start(Settings());
    EXPECT_EQ(m_irc.GameShared().GameState(), bridge::EGameState::Running);
    EXPECT_GT(m_events.m_nChanges.load(), nChanges);
    // Disconnect waits until the monitor is set up.
    ASSERT_TRUE(Running());
    EXPECT_TRUE(m_side.IsMonitoring());
    EXPECT_EQ(m_events.Log().front(), kOpenedLine);
    // The snapshot of the last poll is the side's.
    EXPECT_TRUE(
        testsupport::WaitUntil([&] { return m_side.GetStatus().m_strHostname == "bf42sim"; }));
    EXPECT_GT(m_side.TrafficBytes().load(), 0);

    EXPECT_TRUE(m_side.Stop());
    EXPECT_EQ(m_irc.GameShared().GameState(), bridge::EGameState::Idle);
    EXPECT_FALSE(m_side.Stop()) << "a second stop finds nothing to stop";
    ASSERT_TRUE(Idle());
    EXPECT_EQ(m_events.LastLog(), kClosedLine);
    EXPECT_EQ(CountWrites("Broadcast closed"), 1u);
}

TEST_F(GameSideTest, PauseHoldsTheMonitorUntilUnpause) {
    m_side.Start(Settings());
    ASSERT_TRUE(Running());
    m_side.Pause(true);
    EXPECT_EQ(Status().m_eWanted, bridge::EGameState::Paused);
    EXPECT_FALSE(Status().IsConnectUsable());
    EXPECT_EQ(m_irc.GameShared().GameState(), bridge::EGameState::Paused);
    ASSERT_TRUE(testsupport::WaitUntil([&] { return m_side.IsMonitorHeld(); }));
    const int nRequests = m_sim.StatusRequests();
    const size_t nLines = m_events.Log().size();

    // Held at its safe point: no query, no line.
    EXPECT_TRUE(m_side.IsMonitorHeld());
    EXPECT_EQ(m_sim.StatusRequests(), nRequests);
    m_side.Pause(false);
    EXPECT_EQ(Status().m_eWanted, bridge::EGameState::Running);
    EXPECT_TRUE(Status().IsConnectUsable());
    EXPECT_EQ(m_irc.GameShared().GameState(), bridge::EGameState::Running);
    EXPECT_TRUE(testsupport::WaitUntil([&] { return m_sim.StatusRequests() > nRequests + 1; }));
    EXPECT_EQ(m_events.Log().size(), nLines);  // the side itself says nothing of it
}

TEST_F(GameSideTest, AStopWhilePausedEndsTheHeldMonitorCleanly) {
    m_side.Start(Settings());
    ASSERT_TRUE(Running());
    m_side.Pause(true);
    ASSERT_TRUE(testsupport::WaitUntil([&] { return m_side.IsMonitorHeld(); }));
    EXPECT_TRUE(m_side.Stop());
    ASSERT_TRUE(Idle());
    EXPECT_EQ(m_events.LastLog(), kClosedLine);
    m_side.Pause(true);  // idle: nothing to hold
    EXPECT_EQ(Status().m_eWanted, bridge::EGameState::Idle);
}

// A refusing port takes minutes of paced refusals; the monitor's own tests
// show its "Server timed out." on a manual clock.
TEST_F(GameSideTest, FailuresReturnTheSideToIdleWithTheirText) {
    const struct {
        const char* m_pszName;
        std::string m_strServer;
        const char* m_pszText;
    } rows[] = {
        {"UnknownHost", std::string("127.0.0.1\0x", 11), "Couldn't find Server at this IP!"},
        // Five empty waits of half a second: about 2.5 s.
        {"NoAnswer", "127.0.0.1", "Couldn't find Server! Check the Portsettings."},
    };
    m_sim.FallSilent(-1);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.m_pszName);
        ASSERT_TRUE(m_side.WaitForPrevious(5000));
        m_side.Start(Settings(row.m_strServer));
        ASSERT_TRUE(Idle());
        EXPECT_EQ(m_events.LastLog(), row.m_pszText);
        EXPECT_EQ(CountWrites("Broadcast closed"), 0u);
    }
}

// Kept alive (as Broadcast makes it), a failure leaves the side running
// while it waits for the next try, and a stop ends the wait (the shortest
// is 4 s).
TEST_F(GameSideTest, KeptAliveAFailureLeavesTheSideRunningUntilStopped) {
    m_bBroadcast = true;
    m_side.SetKeepAlive(true);
    m_side.Start(Settings(std::string("127.0.0.1\0x", 11)));  // never resolves
    ASSERT_TRUE(testsupport::WaitUntil([&] {
        const Lines log = m_events.Log();
        return log.size() >= 2 && log[1].rfind("Trying again in ", 0) == 0;
    }));
    EXPECT_EQ(m_events.Log()[0], "Couldn't find Server at this IP!");
    ASSERT_TRUE(testsupport::WaitUntil([&] { return Status().IsConnectUsable(); }));
    EXPECT_EQ(Status().m_eWanted, bridge::EGameState::Running);
    EXPECT_TRUE(Status().m_bMonitorAlive);
    EXPECT_EQ(m_irc.GameShared().GameState(), bridge::EGameState::Running);
    EXPECT_TRUE(m_side.IsMonitoring());

    EXPECT_TRUE(m_side.Stop());
    ASSERT_TRUE(Idle(std::chrono::milliseconds(2000)));
    EXPECT_EQ(m_events.Log().size(), 3u);
    EXPECT_EQ(m_events.LastLog(), kClosedLine);
    EXPECT_EQ(CountWrites("Broadcast closed"), 1u);
}

// Never two monitors: while the stopped one still sends its closing line,
// the side is idle but Connect is not usable and a start does nothing; the
// owner waits for the old monitor's end and starts then.
TEST_F(GameSideTest, AStartWaitsForTheMonitorStillEnding) {
    m_bBroadcast = true;
    m_irc.HoldSendOf("Broadcast closed");
    m_side.Start(Settings());
    ASSERT_TRUE(Running());
    ASSERT_TRUE(m_side.Stop());
    ASSERT_TRUE(testsupport::WaitUntil([&] { return m_irc.IsHolding(); }));
    EXPECT_EQ(Status().m_eWanted, bridge::EGameState::Idle);
    EXPECT_TRUE(Status().m_bMonitorAlive);
    EXPECT_FALSE(Status().IsConnectUsable());
    m_side.Start(Settings());
    EXPECT_EQ(Status().m_eWanted, bridge::EGameState::Idle) << "no second monitor";
    EXPECT_FALSE(m_side.WaitForPrevious(50));

    // The old run ends before the new one starts, whichever comes first.
    std::thread releaser([&] { m_irc.Release(); });
    EXPECT_TRUE(m_side.WaitForPrevious(5000));
    m_side.Start(Settings());
    releaser.join();
    EXPECT_EQ(Status().m_eWanted, bridge::EGameState::Running);
    // The new run opens (and posts its banner) after the old one's closing line.
    ASSERT_TRUE(testsupport::WaitUntil([&] {
        const Lines log = m_events.Log();
        return std::count(log.begin(), log.end(), kOpenedLine) == 2;
    }));
    const Lines log = m_events.Log();
    ASSERT_EQ(std::count(log.begin(), log.end(), kClosedLine), 1);
    const auto itClosed = std::find(log.begin(), log.end(), kClosedLine);
    EXPECT_EQ(*(itClosed + 1), kOpenedLine);
    EXPECT_TRUE(Status().m_bMonitorAlive);
}

TEST_F(GameSideTest, AnnouncedLinesReachTheChannelWhileBroadcastingAndTheLogAlways) {
    m_bBroadcast = true;
    monitor::Announce(m_side, C("^10on"));
    m_bBroadcast = false;
    monitor::Announce(m_side, C("^10off"));
    EXPECT_EQ(m_irc.Writes(), Lines{C("PRIVMSG #chan :^10on\r\n")});
    EXPECT_EQ(m_events.Log(), (Lines{"on", "off"}));
}

TEST_F(GameSideTest, TheSnapshotIsAlwaysReadWhole) {
    monitor::CServerStatus a;
    a.m_strMapName = std::string(200, 'a');
    a.m_strTickets1 = "1";
    a.m_nNumPlayers = 1;
    monitor::CServerStatus b;
    b.m_strMapName = std::string(300, 'b');
    b.m_strTickets1 = "2";
    b.m_nNumPlayers = 2;
    m_side.SetStatus(a);
    std::atomic<bool> bDone{false};
    std::thread writer([&] {
        for (int n = 0; n < 5000; ++n) m_side.SetStatus(n % 2 ? a : b);
        bDone = true;
    });
    int nTorn = 0;
    for (int n = 0; n < 100000 && !bDone; ++n) {
        const monitor::CServerStatus seen = m_side.GetStatus();
        if (!(seen == a) && !(seen == b)) ++nTorn;
    }
    writer.join();
    EXPECT_EQ(nTorn, 0);
}

}  // namespace
}  // namespace coretest
