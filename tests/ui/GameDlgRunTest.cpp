// The BF42 tab's buttons with a real monitor behind them: the page's states
// from Connect to Disconnect, Pause and Unpause holding the monitor, a stop
// while paused, the failure paths back to idle (or, kept alive, a running
// tab that waits for its next try), and a Connect while the previous
// monitor is still ending.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "framework/MessageBox.h"
#include "platform/Clock.h"
#include "platform/Socket.h"
#include "res/Resource.h"
#include "support/RecordingIrcSession.h"
#include "support/Wait.h"
#include "support/Wine.h"
#include "tools/bf42sim/SimServer.h"
#include "ui/ColorDlg.h"
#include "ui/GameDlg.h"

namespace {

using Lines = std::vector<std::string>;

constexpr int kColorEdits[] = {1020, 1006, 1021, 1007, 1008, 1011, 1010};
constexpr int kFilterBoxes[] = {1059, 1060, 1061, 1062};

const char kPausedLine[] = "* * * * * * [Broadcast paused] * * * * * * ";
const char kResumedLine[] = "* * * * * * [Broadcast resumed] * * * * * * ";
const char kClosedLine[] = "* * * * * * [Broadcast closed] * * * * * * ";
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
    void QueueLine(std::string strLine, irc::ELineKind eKind) override {
        {
            std::unique_lock<std::mutex> lock(m_mutexHold);
            if (!m_strHold.empty() && strLine.find(m_strHold) != std::string::npos) {
                m_bHolding = true;
                // At most 20 s, so that a failing test cannot hang.
                m_cv.wait_for(lock, std::chrono::seconds(20), [&] { return m_strHold.empty(); });
                m_bHolding = false;
            }
        }
        CRecordingIrcSession::QueueLine(std::move(strLine), eKind);
    }

private:
    mutable std::mutex m_mutexHold;
    std::condition_variable m_cv;
    std::string m_strHold;
    bool m_bHolding = false;
};

class GameDlgRunTest : public testing::Test {
protected:
    GameDlgRunTest() {
        m_irc.Configure("127.0.0.1", 6667, "Bot", "Bot2", "#chan");
        m_irc.m_bInChannel = true;
        m_irc.GameShared().SetTicketSecs(3600);  // no ticket lines among the ones under test
        EXPECT_TRUE(m_colors.Create(m_sink));
        EXPECT_TRUE(m_game.Create(m_sink));
        m_game.SetIrcLink(&m_irc);
        m_game.SetColorDlg(&m_colors);
        const char* colors[] = {"2", "5", "15", "12", "4", "14", "10"};
        for (size_t n = 0; n < 7; ++n) m_colors.TypeText(kColorEdits[n], colors[n]);
        EXPECT_TRUE(m_sim.Start());
        m_game.TypeText(res::IDC_GAME_SERVER, "127.0.0.1");
        m_game.TypeText(res::IDC_GAME_PORT, std::to_string(m_sim.Port()));
    }
    ~GameDlgRunTest() override { m_game.StopThreads(); }

    std::string Connect() const { return m_game.GetItemText(res::IDC_GAME_CONNECT); }
    bool Enabled(int nId) const { return m_game.IsItemEnabled(nId); }
    Lines Log() const {
        Lines lines;
        std::string strLog = m_game.GetItemText(res::IDC_GAME_LOG);
        for (size_t nAt = 0; nAt <= strLog.size();) {
            const size_t nEnd = std::min(strLog.find('\n', nAt), strLog.size());
            lines.push_back(strLog.substr(nAt, nEnd - nAt));
            nAt = nEnd + 1;
        }
        return lines;
    }
    std::string LastLog() const { return Log().back(); }
    bool Running() {
        return testsupport::WaitUntil([&] {
            return Connect() == "Disconnect" && Enabled(res::IDC_GAME_CONNECT) &&
                   m_sim.StatusRequests() >= 3;
        });
    }
    bool Idle(std::chrono::milliseconds timeout = std::chrono::milliseconds(5000)) {
        return testsupport::WaitUntil(
            [&] {
                return Connect() == "Connect" && Enabled(res::IDC_GAME_CONNECT) &&
                       !Enabled(res::IDC_GAME_PAUSE) &&
                       m_game.GetItemText(res::IDC_GAME_PAUSE) == "Pause" &&
                       Enabled(res::IDC_GAME_CHECK) && Enabled(res::IDC_GAME_LANGUAGE) &&
                       !m_game.IsReadOnly(res::IDC_GAME_SERVER) &&
                       !m_colors.IsReadOnly(kColorEdits[0]) &&
                       m_colors.IsItemEnabled(kFilterBoxes[0]) &&
                       m_irc.GameShared().GameState() == bridge::EGameState::Idle &&
                       !m_game.IsMonitoring() && !m_game.IsMonitorRunning();
            },
            timeout);
    }
    size_t CountWrites(std::string_view strPart) const {
        size_t n = 0;
        for (const std::string& str : m_irc.Writes()) n += str.find(strPart) != std::string::npos;
        return n;
    }

    framework::CRecordingMessageSink m_sink;
    bf42sim::CSimServer m_sim;
    platform::CManualClock m_ircClock;  // no sender sleeps on it: the queue paces
    CHoldingIrcSession m_irc{m_ircClock, /*bForwardWrites=*/false};
    ui::CColorDlg m_colors;
    ui::CGameDlg m_game{m_irc.GameShared()};
};

TEST_F(GameDlgRunTest, ConnectRunsTheMonitorAndDisconnectEndsItWithTheClosingLine) {
    m_game.m_bBroadcast = true;
    ASSERT_TRUE(m_game.Click(res::IDC_GAME_CONNECT));
    EXPECT_EQ(m_irc.GameShared().GameState(), bridge::EGameState::Running);
    ASSERT_TRUE(Running());
    EXPECT_TRUE(Enabled(res::IDC_GAME_PAUSE));
    EXPECT_FALSE(Enabled(res::IDC_GAME_CHECK));
    EXPECT_TRUE(m_game.IsMonitoring());
    EXPECT_EQ(Log().front(), kOpenedLine);
    // The snapshot of the last poll is the page's.
    EXPECT_TRUE(
        testsupport::WaitUntil([&] { return m_game.GetStatus().m_strHostname == "bf42sim"; }));
    EXPECT_GT(m_game.m_nTrafficBytes, 0);

    ASSERT_TRUE(m_game.Click(res::IDC_GAME_CONNECT));
    EXPECT_EQ(m_irc.GameShared().GameState(), bridge::EGameState::Idle);
    ASSERT_TRUE(Idle());
    EXPECT_EQ(LastLog(), kClosedLine);
    EXPECT_EQ(CountWrites("Broadcast closed"), 1u);
    EXPECT_EQ(m_sink.Count(), 0u);
}

TEST_F(GameDlgRunTest, PauseHoldsTheMonitorUntilUnpause) {
    ASSERT_TRUE(m_game.Click(res::IDC_GAME_CONNECT));
    ASSERT_TRUE(Running());
    ASSERT_TRUE(m_game.Click(res::IDC_GAME_PAUSE));
    EXPECT_EQ(LastLog(), kPausedLine);
    EXPECT_EQ(m_game.GetItemText(res::IDC_GAME_PAUSE), "Unpause");
    EXPECT_FALSE(Enabled(res::IDC_GAME_CONNECT));
    EXPECT_EQ(m_irc.GameShared().GameState(), bridge::EGameState::Paused);
    // Sent to the channel, paced by the send queue (the button never
    // waits), although not broadcasting; never dropped in a busy channel.
    EXPECT_EQ(CountWrites("Broadcast paused"), 1u);
    EXPECT_EQ(m_irc.Kinds().back(), irc::ELineKind::Reply);
    EXPECT_EQ(m_ircClock.SleptMs(), 0u);
    ASSERT_TRUE(testsupport::WaitUntil([&] { return m_game.IsMonitorHeld(); }));
    const int nRequests = m_sim.StatusRequests();
    const size_t nLines = Log().size();

    // Held at its safe point: no query, no line.
    EXPECT_TRUE(m_game.IsMonitorHeld());
    EXPECT_EQ(m_sim.StatusRequests(), nRequests);
    ASSERT_TRUE(m_game.Click(res::IDC_GAME_PAUSE));
    EXPECT_EQ(Log().size(), nLines + 1);
    EXPECT_EQ(LastLog(), kResumedLine);
    EXPECT_EQ(CountWrites("Broadcast resumed"), 1u);
    EXPECT_EQ(m_ircClock.SleptMs(), 0u);
    EXPECT_EQ(m_game.GetItemText(res::IDC_GAME_PAUSE), "Pause");
    EXPECT_TRUE(Enabled(res::IDC_GAME_CONNECT));
    EXPECT_EQ(m_irc.GameShared().GameState(), bridge::EGameState::Running);
    EXPECT_TRUE(testsupport::WaitUntil([&] { return m_sim.StatusRequests() > nRequests + 1; }));
}

TEST_F(GameDlgRunTest, AStopWhilePausedEndsTheHeldMonitorCleanly) {
    ASSERT_TRUE(m_game.Click(res::IDC_GAME_CONNECT));
    ASSERT_TRUE(Running());
    ASSERT_TRUE(m_game.Click(res::IDC_GAME_PAUSE));
    ASSERT_TRUE(testsupport::WaitUntil([&] { return m_game.IsMonitorHeld(); }));
    m_game.StopMonitoring();  // what Broadcast does: Connect itself is disabled while paused
    ASSERT_TRUE(Idle());
    EXPECT_EQ(LastLog(), kClosedLine);
}

// A refusing port takes minutes of paced refusals; the monitor's own tests
// show its "Server timed out." on a manual clock.
TEST_F(GameDlgRunTest, FailuresReturnThePageToIdleWithTheirText) {
    const struct {
        const char* pszName;
        std::string strServer;
        uint16_t nPort;
        const char* pszText;
    } rows[] = {
        {"UnknownHost", std::string("127.0.0.1\0x", 11), m_sim.Port(),
         "Couldn't find Server at this IP!"},
        // Five empty waits of half a second: about 2.5 s.
        {"NoAnswer", "127.0.0.1", m_sim.Port(), "Couldn't find Server! Check the Portsettings."},
    };
    m_sim.FallSilent(-1);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.pszName);
#ifdef _WIN32
        // Wine: select() does not see a refused UDP port; Windows does.
        if (std::string(row.pszName) == "Refusal" && testsupport::RunningUnderWine()) continue;
#endif
        m_game.TypeText(res::IDC_GAME_SERVER, row.strServer);
        m_game.TypeText(res::IDC_GAME_PORT, std::to_string(row.nPort));
        ASSERT_TRUE(m_game.Click(res::IDC_GAME_CONNECT));
        ASSERT_TRUE(Idle());
        EXPECT_EQ(LastLog(), row.pszText);
        EXPECT_EQ(CountWrites("Broadcast closed"), 0u);
    }
}

// Kept alive (as Broadcast does), a failure leaves the tab running while it
// waits for the next try, and Disconnect ends the wait (the shortest is 4 s).
TEST_F(GameDlgRunTest, KeptAliveAFailureLeavesTheTabRunningUntilDisconnect) {
    m_game.m_bBroadcast = true;
    m_game.SetKeepAlive(true);
    m_game.TypeText(res::IDC_GAME_SERVER, std::string("127.0.0.1\0x", 11));  // never resolves
    ASSERT_TRUE(m_game.Click(res::IDC_GAME_CONNECT));
    ASSERT_TRUE(testsupport::WaitUntil(
        [&] { return Log().size() >= 2 && Log()[1].rfind("Trying again in ", 0) == 0; }));
    EXPECT_EQ(Log()[0], "Couldn't find Server at this IP!");
    ASSERT_TRUE(testsupport::WaitUntil([&] { return Enabled(res::IDC_GAME_CONNECT); }));
    EXPECT_EQ(Connect(), "Disconnect");
    EXPECT_TRUE(Enabled(res::IDC_GAME_PAUSE));
    EXPECT_FALSE(Enabled(res::IDC_GAME_CHECK));
    EXPECT_TRUE(m_game.IsReadOnly(res::IDC_GAME_SERVER));
    EXPECT_TRUE(m_colors.IsReadOnly(kColorEdits[0]));
    EXPECT_EQ(m_irc.GameShared().GameState(), bridge::EGameState::Running);
    EXPECT_TRUE(m_game.IsMonitoring());
    EXPECT_TRUE(m_game.IsMonitorRunning());

    ASSERT_TRUE(m_game.Click(res::IDC_GAME_CONNECT));
    ASSERT_TRUE(Idle(std::chrono::milliseconds(2000)));
    EXPECT_EQ(Log().size(), 3u);
    EXPECT_EQ(LastLog(), kClosedLine);
    EXPECT_EQ(CountWrites("Broadcast closed"), 1u);
}

TEST_F(GameDlgRunTest, ConnectWaitsForTheMonitorStillEnding) {
    m_game.m_bBroadcast = true;
    m_irc.HoldSendOf("Broadcast closed");
    ASSERT_TRUE(m_game.Click(res::IDC_GAME_CONNECT));
    ASSERT_TRUE(Running());
    ASSERT_TRUE(m_game.Click(res::IDC_GAME_CONNECT));
    ASSERT_TRUE(testsupport::WaitUntil([&] { return m_irc.IsHolding(); }));
    // The caption says "Connect", but the button waits for the monitor's end.
    EXPECT_EQ(Connect(), "Connect");
    EXPECT_FALSE(Enabled(res::IDC_GAME_CONNECT));
    EXPECT_FALSE(m_game.Click(res::IDC_GAME_CONNECT));
    EXPECT_TRUE(m_game.IsMonitorRunning());

    // The main window's toggle waits for it instead (whichever of the two
    // below comes first): the old run has ended before the new one starts.
    std::thread releaser([&] { m_irc.Release(); });
    m_game.StartMonitoring();
    releaser.join();
    EXPECT_EQ(Connect(), "Disconnect");
    // The new run opens (and posts its banner) after the old one's closing line.
    ASSERT_TRUE(testsupport::WaitUntil([&] {
        const Lines log = Log();
        return std::count(log.begin(), log.end(), kOpenedLine) == 2;
    }));
    const Lines log = Log();
    ASSERT_EQ(std::count(log.begin(), log.end(), kClosedLine), 1);
    ASSERT_EQ(std::count(log.begin(), log.end(), kOpenedLine), 2);
    const auto itClosed = std::find(log.begin(), log.end(), kClosedLine);
    EXPECT_EQ(*(itClosed + 1), kOpenedLine);
    EXPECT_TRUE(m_game.IsMonitorRunning());
}

TEST_F(GameDlgRunTest, CheckFillsThePanelAndGivesTheInputsBack) {
    // The first request goes unanswered, so that the check still runs when
    // the test looks (a loopback answer can beat a busy test thread).
    m_sim.FallSilent(1);
    ASSERT_TRUE(m_game.Click(res::IDC_GAME_CHECK));
    EXPECT_FALSE(Enabled(res::IDC_GAME_CHECK));
    EXPECT_TRUE(m_game.IsReadOnly(res::IDC_GAME_SERVER));
    ASSERT_TRUE(testsupport::WaitUntil([&] { return !m_game.IsQuickInfoRunning(); }));
    EXPECT_TRUE(Enabled(res::IDC_GAME_CHECK));
    EXPECT_EQ(m_game.GetItemText(res::IDC_QI_HOSTNAME), "bf42sim");
    EXPECT_EQ(m_game.GetItemText(res::IDC_QI_STATUS), "idle");
    EXPECT_FALSE(m_game.IsReadOnly(res::IDC_GAME_SERVER));
    EXPECT_FALSE(m_game.IsReadOnly(res::IDC_GAME_PORT));

    m_game.TypeText(res::IDC_GAME_PORT, "0");
    ASSERT_TRUE(m_game.Click(res::IDC_GAME_CHECK));
    EXPECT_EQ(m_sink.Last(),
              (framework::CMessage{"Fill out all Inputfields!", "Error", framework::EIcon::Error}));
    EXPECT_TRUE(Enabled(res::IDC_GAME_CHECK));
}

TEST_F(GameDlgRunTest, ACheckEndingWhileMonitoringLeavesTheInputsLocked) {
    m_sim.FallSilent(1);  // the check's first request: it asks again half a second later
    ASSERT_TRUE(m_game.Click(res::IDC_GAME_CHECK));
    m_game.StartMonitoring();  // Broadcast starts monitoring during the check
    ASSERT_TRUE(Running());
    ASSERT_TRUE(testsupport::WaitUntil(
        [&] { return m_game.GetItemText(res::IDC_QI_HOSTNAME) == "bf42sim"; }));
    ASSERT_TRUE(testsupport::WaitUntil([&] { return m_sim.InfoRequests() == 2; }));
    ASSERT_TRUE(testsupport::WaitUntil([&] { return !m_game.IsQuickInfoRunning(); }));
    EXPECT_FALSE(Enabled(res::IDC_GAME_CHECK));
    EXPECT_TRUE(m_game.IsReadOnly(res::IDC_GAME_SERVER));
    EXPECT_TRUE(m_game.IsReadOnly(res::IDC_GAME_PORT));
    ASSERT_TRUE(m_game.Click(res::IDC_GAME_CONNECT));
    ASSERT_TRUE(Idle());
    EXPECT_TRUE(Enabled(res::IDC_GAME_CHECK));
}

}  // namespace
