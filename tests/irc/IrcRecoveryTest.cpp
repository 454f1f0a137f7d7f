// The IRC side left alone with hostile or unlucky peers: keep-alive and its
// back-off, the bot's own PING, a server that never speaks, stops reading,
// closes without a word or answers every connection with ERROR, and floods
// of channel lines and CTCP requests. Time is the test's (CHoldingClock);
// each wait is bounded.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "irc/CtcpLimiter.h"
#include "irc/IrcSession.h"
#include "irc/IrcText.h"
#include "irc/ReconnectPolicy.h"
#include "platform/Backoff.h"
#include "support/HoldingClock.h"
#include "support/RecordingIrcSession.h"
#include "support/ScriptedTcpServer.h"
#include "support/Wait.h"

using testsupport::CRecordingIrcSession;
using testsupport::CScriptedTcpServer;
using testsupport::WaitUntil;
using Lines = std::vector<std::string>;

namespace {

bool InOrder(const Lines& logs, const Lines& wanted) {
    auto it = logs.begin();
    for (const std::string& w : wanted) {
        it = std::find(it, logs.end(), w);
        if (it == logs.end()) return false;
        ++it;
    }
    return true;
}

size_t CountWith(const Lines& lines, const std::string& strPart) {
    return static_cast<size_t>(std::count_if(lines.begin(), lines.end(), [&](const std::string& s) {
        return s.find(strPart) != std::string::npos;
    }));
}

long ElapsedMs(std::chrono::steady_clock::time_point start) {
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                 std::chrono::steady_clock::now() - start)
                                 .count());
}

class Recovery : public ::testing::Test {
protected:
    explicit Recovery(CScriptedTcpServer::EReading eReading = CScriptedTcpServer::EReading::Reads)
        : m_server(eReading) {
        m_session.Configure("127.0.0.1", m_server.Port(), "Bot", "Bot2", "#Chan");
    }
    ~Recovery() override {
        m_clock.Release();
        // Whatever the peer does, ending the thread is prompt.
        EXPECT_TRUE(RunPromptly([&] { m_session.EndIrcThread(); }));
    }

    void Register(int nConn, const std::string& strNick = "Bot") {
        ASSERT_TRUE(m_server.WaitForLine(nConn, "USER bf1942 * * :v1.3 BETA"));
        ASSERT_TRUE(m_server.Send(nConn, ":srv 376 " + strNick + " :End of MOTD\r\n"));
        ASSERT_TRUE(m_server.WaitForLine(nConn, "JOIN #Chan"));
        ASSERT_TRUE(m_server.Send(nConn, ":" + strNick + "!b@h JOIN :#Chan\r\n"));
        ASSERT_TRUE(WaitUntil([&] { return m_session.IsInChannel(); }));
    }
    // Moves the test's time on, a second per poll, until pred holds.
    template <typename Pred>
    bool AdvanceUntil(Pred pred) {
        return WaitUntil([&] {
            if (pred()) return true;
            m_clock.Advance(1000);
            return false;
        });
    }
    template <typename Work>
    bool RunPromptly(Work work) {
        std::atomic<bool> bDone{false};
        std::thread worker([&] {
            work();
            bDone = true;
        });
        const bool bInTime = WaitUntil([&] { return bDone.load(); });
        if (!bInTime) {
            m_server.StopListening();
            WaitUntil(
                [&] {
                    for (int i = 0; i < m_server.Connections(); ++i) m_server.Close(i);
                    return bDone.load();
                },
                std::chrono::seconds(20));
        }
        worker.join();
        return bInTime;
    }

    CScriptedTcpServer m_server;
    testsupport::CHoldingClock m_clock;
    CRecordingIrcSession m_session{m_clock};
};

// ---- Keep-alive

TEST_F(Recovery, KeepAliveComesBackAfterACloseWithoutAWord) {
    m_session.SetKeepAlive(true);
    m_session.OpenSession();
    Register(0);
    m_server.Close(0);
    ASSERT_TRUE(m_server.WaitForConnections(2));
    Register(1);
    const Lines logs = m_session.Logs();
    EXPECT_EQ(CountWith(logs, "Next attempt in "), 1u);
    EXPECT_TRUE(InOrder(logs, {"Connection closed/refused.", "Trying to reconnect ...",
                               "Connecting to 127.0.0.1"}));
    // A connection that had registered: the shortest wait, with its jitter.
    const std::vector<uint32_t> waits = m_clock.SleepsFrom(1000);
    ASSERT_EQ(waits.size(), 1u);
    EXPECT_GE(waits[0], platform::CBackoff::kFirstMs * 8 / 10);
    EXPECT_LE(waits[0], platform::CBackoff::kFirstMs * 12 / 10);
    EXPECT_TRUE(m_session.IsSessionActive());
}

TEST_F(Recovery, KeepAliveTriesAgainWhenBothNicknamesAreTaken) {
    m_session.SetKeepAlive(true);
    m_session.OpenSession();
    ASSERT_TRUE(m_server.WaitForLine(0, "NICK Bot"));
    ASSERT_TRUE(m_server.Send(0, ":srv 433 * Bot :in use\r\n:srv 433 * Bot2 :in use\r\n"));
    ASSERT_TRUE(m_server.WaitForConnections(2));
    // The first nickname again, later.
    Register(1);
    EXPECT_TRUE(m_session.HasLog(":: Nickname (Bot2) is already in use."));
    EXPECT_EQ(m_session.SessionEnds(), 0);
}

TEST_F(Recovery, KeepAliveKeepsTryingAfterAFailedFirstConnectUntilDisconnect) {
    uint16_t nClosedPort = 0;
    {
        CScriptedTcpServer gone;
        nClosedPort = gone.Port();
    }
    m_session.Configure("127.0.0.1", nClosedPort, "Bot", "Bot2", "#Chan");
    m_session.SetKeepAlive(true);
    m_clock.HoldFrom(1000);  // the waits between attempts hold until released
    m_session.OpenSession();
    EXPECT_TRUE(m_session.IsSessionActive());
    ASSERT_TRUE(WaitUntil([&] { return m_clock.IsHolding(); }));
    EXPECT_EQ(m_session.State(), irc::EIrcState::Waiting);
    m_clock.ReleaseOnce();
    ASSERT_TRUE(m_session.WaitForLog("Trying to reconnect ..."));
    ASSERT_TRUE(WaitUntil([&] { return m_clock.IsHolding(); }));
    // Each failure waits longer than the one before.
    const std::vector<uint32_t> waits = m_clock.SleepsFrom(1000);
    ASSERT_EQ(waits.size(), 2u);
    EXPECT_GT(waits[1], waits[0]);
    EXPECT_EQ(CountWith(m_session.Logs(), "Couldn't find Server! Check the Portsettings."), 2u);
    // The operator's Disconnect ends the wait and the thread.
    m_session.Disconnect();
    ASSERT_TRUE(WaitUntil([&] { return !m_session.IsIrcThreadRunning(); }));
    EXPECT_EQ(CountWith(m_session.Logs(), "Trying to reconnect ..."), 1u);
    EXPECT_EQ(m_session.SessionEnds(), 1);
}

// Regression: the back-off started short again after any registration, so
// a server that drops the bot right after its message of the day had it
// back every 5 s for weeks. Only a link that stayed registered a minute
// counts as a success.
TEST_F(Recovery, TheBackoffStartsShortOnlyAfterAMinuteRegistered) {
    m_session.SetKeepAlive(true);
    m_clock.HoldFrom(1000);  // each wait for the next attempt holds
    m_session.OpenSession();
    for (int nConn = 0; nConn < 3; ++nConn) {
        SCOPED_TRACE(nConn);
        ASSERT_TRUE(m_server.WaitForConnections(nConn + 1));
        Register(nConn);
        // The last one stays in the channel for a minute before it is dropped.
        if (nConn == 2) m_clock.Advance(irc::CReconnectPolicy::kStableMs);
        m_server.Close(nConn);
        ASSERT_TRUE(WaitUntil([&] { return m_clock.IsHolding(); }));
        m_clock.ReleaseOnce();
        ASSERT_TRUE(WaitUntil([&] { return !m_clock.IsHolding(); }));
    }
    ASSERT_TRUE(m_server.WaitForConnections(4));
    const std::vector<uint32_t> waits = m_clock.SleepsFrom(1000);
    ASSERT_EQ(waits.size(), 3u);
    constexpr uint32_t kFirst = platform::CBackoff::kFirstMs;
    EXPECT_GE(waits[0], kFirst * 8 / 10);
    EXPECT_LE(waits[0], kFirst * 12 / 10);
    EXPECT_GE(waits[1], 2 * kFirst * 8 / 10);
    EXPECT_LE(waits[1], 2 * kFirst * 12 / 10);
    EXPECT_GE(waits[2], kFirst * 8 / 10);
    EXPECT_LE(waits[2], kFirst * 12 / 10);
    EXPECT_EQ(m_session.Figures().m_nReconnects, 3u);
}

// Regression: a server that answers every connection with ERROR had the bot
// reconnect 2.5 times a second for ever.
TEST_F(Recovery, AnErrorLoopIsNeverFasterThanTheBackoff) {
    m_server.GreetEachConnection("ERROR :Closing Link: Bot[h] (Too many connections)\r\n", true);
    m_session.OpenSession();  // without keep-alive: ERROR still leads on
    ASSERT_TRUE(m_server.WaitForConnections(5));
    ASSERT_TRUE(RunPromptly([&] { m_session.EndIrcThread(); }));
    const int nConnections = m_server.Connections();
    const std::vector<uint32_t> waits = m_clock.SleepsFrom(1000);
    // Every reconnection came after a wait, and each wait doubled (within
    // its jitter) from the first step.
    ASSERT_GE(waits.size(), static_cast<size_t>(nConnections - 1));
    uint32_t nStep = platform::CBackoff::kFirstMs;
    for (size_t n = 0; n + 1 < static_cast<size_t>(nConnections); ++n) {
        EXPECT_GE(waits[n], nStep * 8 / 10) << "wait " << n;
        EXPECT_LE(waits[n], nStep * 12 / 10) << "wait " << n;
        nStep = std::min(nStep * 2, platform::CBackoff::kLastMs);
    }
    EXPECT_EQ(CountWith(m_session.Logs(), "Next attempt in "), waits.size());
}

TEST_F(Recovery, ThrottledKeepsItsThirtySecondWait) {
    m_session.SetKeepAlive(true);
    m_session.OpenSession();
    Register(0);
    ASSERT_TRUE(
        m_server.Send(0, "ERROR :Your host is trying to (re)connect too fast -- throttled\r\n"));
    m_server.Close(0);
    ASSERT_TRUE(m_server.WaitForConnections(2));
    EXPECT_TRUE(InOrder(m_session.Logs(), {"Waiting 30 seconds", "Trying to reconnect ..."}));
    EXPECT_EQ(m_clock.SleepsFrom(1000),
              std::vector<uint32_t>{irc::CIrcSupervisor::kThrottleWaitMs});
}

// ---- Liveness

TEST_F(Recovery, AQuietServerGetsAPingAndTheLinkIsLostWithoutAnAnswer) {
    m_session.OpenSession();
    Register(0);
    m_clock.Advance(irc::CIrcConnection::kQuietMs);
    ASSERT_TRUE(m_server.WaitForLine(0, irc::LivenessPing()));
    m_clock.Advance(irc::CIrcConnection::kPingWaitMs);
    ASSERT_TRUE(WaitUntil([&] { return !m_session.IsIrcThreadRunning(); }));
    EXPECT_TRUE(InOrder(m_session.Logs(), {irc::kTextNoPong, "Connection closed/refused."}));
    EXPECT_EQ(m_session.SessionEnds(), 1);
}

TEST_F(Recovery, AnyLineAfterThePingKeepsTheLink) {
    m_session.OpenSession();
    Register(0);
    m_clock.Advance(irc::CIrcConnection::kQuietMs);
    ASSERT_TRUE(m_server.WaitForLine(0, irc::LivenessPing()));
    ASSERT_TRUE(m_server.Send(0, ":srv PONG srv :fragrelay\r\n"));
    // The PONG counts as heard before the wait for it runs out.
    ASSERT_TRUE(m_server.Send(0, "PING :heard\r\n"));
    ASSERT_TRUE(m_server.WaitForLine(0, "PONG :heard"));
    m_clock.Advance(irc::CIrcConnection::kPingWaitMs);
    ASSERT_TRUE(m_server.Send(0, "PING :still\r\n"));
    ASSERT_TRUE(m_server.WaitForLine(0, "PONG :still"));
    EXPECT_TRUE(m_session.IsInChannel());
    EXPECT_FALSE(m_session.HasLog(irc::kTextNoPong));
}

TEST_F(Recovery, AServerThatNeverSpeaksIsALostLinkAndKeepAliveTriesAgain) {
    m_session.SetKeepAlive(true);
    m_session.OpenSession();
    ASSERT_TRUE(m_server.WaitForLine(0, "USER bf1942 * * :v1.3 BETA"));
    m_clock.Advance(irc::CIrcConnection::kRegisterTimeoutMs);
    ASSERT_TRUE(m_server.WaitForConnections(2));
    EXPECT_TRUE(InOrder(m_session.Logs(), {irc::kTextNoWelcome, "Connection closed/refused.",
                                           "Trying to reconnect ..."}));
    EXPECT_TRUE(WaitUntil([&] { return m_server.ClosedByPeer(0); }));
}

// ---- Floods

// Regression: the receive loop paused 100 ms per logged line, so 300
// channel lines held the PONG back 25 s and the server dropped the bot.
TEST_F(Recovery, AChannelBurstDoesNotDelayThePong) {
    m_session.OpenSession();
    Register(0);
    std::string strBurst;
    for (int n = 0; n < 300; ++n)
        strBurst += ":u" + std::to_string(n % 20) + "!u@h PRIVMSG #Chan :line " +
                    std::to_string(n) + "\r\n";
    strBurst += "PING :busy\r\n";
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(m_server.Send(0, strBurst));
    ASSERT_TRUE(m_server.WaitForLine(0, "PONG :busy"));
    std::printf("[ figure ] PONG after a 300-line channel burst: %ld ms\n", ElapsedMs(start));
    EXPECT_TRUE(m_session.HasLog("<u19> line 299"));
}

TEST_F(Recovery, ACtcpFloodGetsOnlyTheLimitedReplies) {
    m_session.OpenSession();
    Register(0);
    std::string strFlood;
    for (int n = 0; n < 2500; ++n) {
        strFlood += ":f" + std::to_string(n % 50) +
                    "!f@h PRIVMSG Bot :" + (n % 2 ? "\x01VERSION\x01" : "\x01PING 123\x01") +
                    "\r\n";
        if (strFlood.size() > 60000 || n == 2499) {
            ASSERT_TRUE(m_server.Send(0, strFlood));
            strFlood.clear();
        }
    }
    // A greeting queued behind the replies shows that they have all left.
    ASSERT_TRUE(m_server.Send(0, ":Zed!z@h JOIN :#Chan\r\n"));
    ASSERT_TRUE(WaitUntil([&] { return CountWith(m_server.Lines(0), "NOTICE Zed :") == 1; }));
    EXPECT_EQ(CountWith(m_server.Lines(0), "\x01"), irc::CCtcpLimiter::kInAll);
}

TEST_F(Recovery, ChannelRequestsQueueInOrderWithoutRepeats) {
    m_session.OpenSession();
    Register(0);
    m_session.GameShared().SetGameState(bridge::EGameState::Running);
    std::string strLines = ":Al!a@h PRIVMSG #Chan :!gameinfo\r\n";
    for (int n = 0; n < 40; ++n) strLines += ":j" + std::to_string(n) + "!j@h JOIN #Chan\r\n";
    strLines += ":Cy!c@h PRIVMSG #Chan :.gameinfo\r\nPING :done\r\n";
    ASSERT_TRUE(m_server.Send(0, strLines));
    ASSERT_TRUE(m_server.WaitForLine(0, "PONG :done"));
    // The join that came right after "!gameinfo" no longer cancels its
    // answer; the queue stays small whatever a join flood brings.
    std::vector<bridge::CChannelRequest> requests;
    while (requests.size() < 100) {
        const std::optional<bridge::CChannelRequest> request = m_session.TakeRequest();
        if (!request) break;
        requests.push_back(*request);
    }
    using bridge::EChannelRequest;
    ASSERT_EQ(requests.size(), irc::CChannelRequests::kMaxRequests);
    EXPECT_EQ(requests[0], (bridge::CChannelRequest{EChannelRequest::GameInfo, "Al", ""}));
    EXPECT_EQ(requests[1], (bridge::CChannelRequest{EChannelRequest::Join, "j0", ""}));
    EXPECT_EQ(requests.back(), (bridge::CChannelRequest{EChannelRequest::Join, "j14", ""}));
}

// ---- A server that stops reading

class StuckServer : public Recovery {
protected:
    StuckServer() : Recovery(CScriptedTcpServer::EReading::NeverReads) {}
    // The server keeps talking but takes nothing: PINGs with long tokens
    // make the bot answer faster than any pace, until its sends block.
    void FillTheBotsSends() {
        std::string strToken(400, 't');
        std::string strPings;
        for (int n = 0; n < 600; ++n) strPings += "PING :" + strToken + "\r\n";
        ASSERT_TRUE(m_server.Send(0, strPings));
        ASSERT_TRUE(
            WaitUntil([&] { return m_session.Writes().size() > 20 && m_session.IsWriting(); }));
    }
};

TEST_F(StuckServer, ItsLinkIsLostAfterTheStallLimit) {
    m_session.OpenSession();
    ASSERT_TRUE(m_server.WaitForConnections(1));
    ASSERT_TRUE(m_server.Send(0, ":srv 376 Bot :End of MOTD\r\n"));
    FillTheBotsSends();
    ASSERT_TRUE(AdvanceUntil([&] { return !m_session.IsIrcThreadRunning(); }));
    EXPECT_TRUE(InOrder(m_session.Logs(), {irc::kTextSendStalled, "Connection closed/refused."}));
    EXPECT_EQ(m_session.SessionEnds(), 1);
}

TEST_F(StuckServer, EndingTheThreadDoesNotWaitForIt) {
    m_session.OpenSession();
    ASSERT_TRUE(m_server.WaitForConnections(1));
    FillTheBotsSends();
    m_session.Disconnect();  // QUIT behind lines that cannot leave
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(RunPromptly([&] { m_session.EndIrcThread(); }));
    std::printf("[ figure ] EndIrcThread against a server that stops reading: %ld ms\n",
                ElapsedMs(start));
    EXPECT_FALSE(m_session.IsIrcThreadRunning());
}

TEST_F(StuckServer, DisconnectReturnsAtOnceAndTheLinkEndsWithinItsLimit) {
    m_session.OpenSession();
    ASSERT_TRUE(m_server.WaitForConnections(1));
    ASSERT_TRUE(m_server.Send(0, ":srv 376 Bot :End of MOTD\r\n"));
    FillTheBotsSends();
    const auto start = std::chrono::steady_clock::now();
    m_session.Disconnect();
    std::printf("[ figure ] Disconnect against a server that stops reading: %ld ms\n",
                ElapsedMs(start));
    EXPECT_EQ(m_session.State(), irc::EIrcState::Closing);
    ASSERT_TRUE(AdvanceUntil([&] { return !m_session.IsIrcThreadRunning(); }));
    EXPECT_FALSE(m_session.HasLog("Trying to reconnect ..."));
    EXPECT_EQ(m_session.SessionEnds(), 1);
}

}  // namespace
