// The IRC thread against a scripted server on 127.0.0.1: the receive loop
// applied, the three outcomes of a closed connection, and ending the thread.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/Clock.h"
#include "support/HoldingClock.h"
#include "support/RecordingIrcSession.h"
#include "support/ScriptedTcpServer.h"
#include "support/Wait.h"

using testsupport::CRecordingIrcSession;
using testsupport::CScriptedTcpServer;
using testsupport::WaitUntil;
using Lines = std::vector<std::string>;

namespace {

// True when wanted appears in logs in this order (other lines may lie between).
bool InOrder(const Lines& logs, const Lines& wanted) {
    auto it = logs.begin();
    for (const std::string& w : wanted) {
        it = std::find(it, logs.end(), w);
        if (it == logs.end()) return false;
        ++it;
    }
    return true;
}

class Supervisor : public ::testing::Test {
protected:
    Supervisor() { m_session.Configure("127.0.0.1", m_server.Port(), "Bot", "Bot2", "#Chan"); }
    ~Supervisor() override {
        m_clock.Release();
        if (!EndThreadPromptly()) ADD_FAILURE() << "the IRC thread did not end when asked";
    }

    // Completes registration on connection n as the nickname nick and
    // confirms the join; the bot is then in the channel.
    void Register(int nConn, const std::string& strNick, const std::string& strEcho = "#Chan") {
        ASSERT_TRUE(m_server.WaitForLine(nConn, "USER bf1942 * * :v1.3 BETA"));
        ASSERT_TRUE(m_server.Send(nConn, ":srv 376 " + strNick + " :End of MOTD\r\n"));
        ASSERT_TRUE(m_server.WaitForLine(nConn, "JOIN #Chan"));
        ASSERT_TRUE(m_server.Send(nConn, ":" + strNick + "!b@h JOIN :" + strEcho + "\r\n"));
        ASSERT_TRUE(WaitUntil([&] { return m_session.IsInChannel(); }));
    }
    bool ThreadEnds() {
        return WaitUntil([&] { return !m_session.IsIrcThreadRunning(); });
    }
    // Runs work on another thread and tells whether it finished in time. If
    // not, the server hangs up on everything and stops accepting, so that
    // the work can end and the fault shows as a failure, not a hang.
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
            m_clock.Release();
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
    bool EndThreadPromptly() {
        return RunPromptly([&] { m_session.EndIrcThread(); });
    }

    CScriptedTcpServer m_server;
    testsupport::CHoldingClock m_clock;
    CRecordingIrcSession m_session{m_clock};
};

TEST_F(Supervisor, ReceivedLinesAreApplied) {
    m_session.OpenSession();
    Register(0, "Bot", "#chan");
    EXPECT_EQ(m_session.GetChannel(), "#chan");
    m_session.GameShared().SetGameState(bridge::EGameState::Running);
    ASSERT_TRUE(m_server.Send(0, ":Al!a@h JOIN :#chan\r\n"));
    std::optional<bridge::CChannelRequest> request;
    ASSERT_TRUE(WaitUntil([&] { return (request = m_session.TakeRequest()).has_value(); }));
    EXPECT_EQ(*request, (bridge::CChannelRequest{bridge::EChannelRequest::Join, "Al", ""}));
    EXPECT_EQ(m_session.TakeRequest(), std::nullopt);
    EXPECT_EQ(m_session.Requests(), 1);
    ASSERT_TRUE(m_server.Send(0,
                              ":Al!a@h PRIVMSG #chan :\x03"
                              "04hi\r\n"));
    EXPECT_TRUE(m_session.WaitForLog("<Al> hi"));
    ASSERT_TRUE(m_server.Send(0, ":Op!o@h KICK #chan Bot :out\r\n"));
    EXPECT_TRUE(m_server.WaitForLine(0, "JOIN #chan"));
    EXPECT_TRUE(m_session.HasLog(":: Bot was kicked by Op"));
}

// Regression: after a kick the JOIN waited behind every event line queued
// before it, and those lines went to a channel the bot was no longer in.
TEST_F(Supervisor, AKickRejoinsAheadOfTheChannelsBacklog) {
    m_session.OpenSession();
    Register(0, "Bot");
    // From here every wait for the pace holds until the test lets it go;
    // the game fills the queue with event lines.
    m_clock.HoldFrom(irc::CIrcSender::kPacePauseMs / 2);
    for (int n = 0; n < 20; ++n) m_session.SendToChannelPaced("event " + std::to_string(n));
    ASSERT_TRUE(WaitUntil([&] { return m_clock.IsHolding(); }));
    ASSERT_GE(m_session.Figures().m_nQueued, irc::CSendQueue::kMaxEvents);
    const size_t nBeforeKick = m_server.Lines(0).size();
    ASSERT_TRUE(m_server.Send(0, ":Op!o@h KICK #Chan Bot :out\r\n"));
    ASSERT_TRUE(m_session.WaitForLog(":: Bot was kicked by Op"));
    ASSERT_TRUE(WaitUntil([&] { return !m_session.IsInChannel(); }));
    // The rejoin takes the next send slot, whatever waits for the channel.
    ASSERT_TRUE(WaitUntil([&] {
        if (m_clock.IsHolding()) m_clock.ReleaseOnce();
        const Lines lines = m_server.Lines(0);
        return lines.size() > nBeforeKick && lines.back() == "JOIN #Chan";
    }));
    const size_t nRejoin = m_server.Lines(0).size() - 1;
    // At most the line that was leaving when the kick came went before it.
    EXPECT_LE(nRejoin - nBeforeKick, 1u) << testing::PrintToString(m_server.Lines(0));
    // The backlog waits for the join's echo, with time to go: a reply to
    // someone queued behind it leaves, and nothing for the channel before it.
    const uint64_t nBacklog = m_session.Figures().m_nQueued;
    EXPECT_GE(nBacklog, irc::CSendQueue::kMaxEvents);
    m_clock.Release();
    ASSERT_TRUE(m_server.Send(0, ":Al!a@h PRIVMSG Bot :\x01PING 1\x01\r\n"));
    ASSERT_TRUE(m_server.WaitForLine(0, "NOTICE Al :\x01PING 1\x01"));
    EXPECT_EQ(m_server.Lines(0).size(), nRejoin + 2) << testing::PrintToString(m_server.Lines(0));
    EXPECT_EQ(m_session.Figures().m_nQueued, nBacklog);
    ASSERT_TRUE(m_server.Send(0, ":Bot!b@h JOIN :#Chan\r\n"));
    // Back in: all of it, in its order.
    ASSERT_TRUE(m_server.WaitForLine(0, "PRIVMSG #Chan :event 19"));
    const Lines lines = m_server.Lines(0);
    EXPECT_EQ(lines.size(), nRejoin + 2 + nBacklog);
    for (size_t n = nRejoin + 2; n < lines.size(); ++n)
        EXPECT_EQ(lines[n].rfind("PRIVMSG #Chan :", 0), 0u) << lines[n];
}

TEST_F(Supervisor, LineCutBetweenReadsIsDispatchedWhole) {
    m_session.OpenSession();
    ASSERT_TRUE(m_server.WaitForLine(0, "USER bf1942 * * :v1.3 BETA"));
    ASSERT_TRUE(m_server.Send(0, "PING :first\r\nPING :sec"));
    // The answer proves that the read holding the first piece was dispatched.
    ASSERT_TRUE(m_server.WaitForLine(0, "PONG :first"));
    ASSERT_TRUE(m_server.Send(0, "ond\r\n"));
    ASSERT_TRUE(m_server.WaitForLine(0, "PONG :second"));
    const Lines lines = m_server.Lines(0);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "PONG :sec"), 0);
}

// The server's ERROR leads to a new attempt after the back-off's shortest
// wait (a registered connection), with the first nickname again.
TEST_F(Supervisor, ServerRestartReconnectsAfterTheBackoffWithFirstNick) {
    m_session.OpenSession();
    ASSERT_TRUE(m_server.WaitForLine(0, "NICK Bot"));
    ASSERT_TRUE(m_server.Send(0, ":srv 433 * Bot :Nickname already in use\r\n"));
    ASSERT_TRUE(m_server.WaitForLine(0, "NICK Bot2"));
    Register(0, "Bot2");
    ASSERT_TRUE(m_server.Send(0, "ERROR :Closing Link: Bot2[127.0.0.1] (Server restart)\r\n"));
    m_server.Close(0);
    ASSERT_TRUE(m_server.WaitForConnections(2));
    ASSERT_TRUE(m_server.WaitForLine(1, "NICK Bot"));
    Register(1, "Bot");
    EXPECT_TRUE(
        InOrder(m_session.Logs(), {":: Closing Link (Server restart)", "Connection closed/refused.",
                                   "Trying to reconnect ...", "Connecting to 127.0.0.1"}));
    EXPECT_FALSE(m_session.HasLog("Waiting 30 seconds"));
    EXPECT_EQ(m_clock.CountSleeps(irc::CIrcSupervisor::kThrottleWaitMs), 0);
    const std::vector<uint32_t> waits = m_clock.SleepsFrom(1000);
    ASSERT_EQ(waits.size(), 1u);
    EXPECT_GE(waits[0], 4000u);
    EXPECT_LE(waits[0], 6000u);
    EXPECT_TRUE(m_session.IsSessionActive());
}

TEST_F(Supervisor, ThrottledServerIsRetriedAfterThirtySeconds) {
    m_session.OpenSession();
    Register(0, "Bot");
    ASSERT_TRUE(
        m_server.Send(0, "ERROR :Your host is trying to (re)connect too fast -- throttled\r\n"));
    m_server.Close(0);
    ASSERT_TRUE(m_server.WaitForConnections(2));
    ASSERT_TRUE(m_server.WaitForLine(1, "USER bf1942 * * :v1.3 BETA"));
    EXPECT_TRUE(InOrder(m_session.Logs(), {":: (re)connect too fast -- throttled",
                                           "Connection closed/refused.", "Waiting 30 seconds",
                                           "Trying to reconnect ...", "Connecting to 127.0.0.1"}));
    EXPECT_EQ(m_clock.CountSleeps(irc::CIrcSupervisor::kThrottleWaitMs), 1);
}

TEST_F(Supervisor, CloseWithoutErrorEndsTheThread) {
    m_session.OpenSession();
    Register(0, "Bot");
    ASSERT_TRUE(m_server.Send(0, ":srv NOTICE Bot :going away\r\n"));
    m_server.Close(0);
    ASSERT_TRUE(ThreadEnds());
    EXPECT_EQ(m_session.Logs().back(), "Connection closed/refused.");
    EXPECT_EQ(m_session.SessionEnds(), 1);
    EXPECT_FALSE(m_session.IsSessionActive());
    EXPECT_FALSE(m_session.IsInChannel());
    EXPECT_EQ(m_server.Connections(), 1);
}

TEST_F(Supervisor, DisconnectBeforeServerClosesDoesNotReconnect) {
    m_session.OpenSession();
    Register(0, "Bot");
    m_session.Disconnect();
    ASSERT_TRUE(m_server.WaitForLine(0, "QUIT :v1.3 BETA /// Battlefield 1942 to IRC relay"));
    EXPECT_TRUE(m_session.IsIrcThreadRunning());  // the server has not answered yet
    ASSERT_TRUE(m_server.Send(0, "ERROR :Closing Link: Bot[127.0.0.1] (Quit: v1.3 BETA)\r\n"));
    m_server.Close(0);
    ASSERT_TRUE(ThreadEnds());
    EXPECT_FALSE(m_session.HasLog("Trying to reconnect ..."));
    EXPECT_EQ(m_server.Connections(), 1);
    EXPECT_EQ(m_session.SessionEnds(), 1);
}

TEST_F(Supervisor, DisconnectDuringThrottleWaitStopsIt) {
    m_clock.HoldFrom(irc::CIrcSupervisor::kThrottleWaitMs);
    m_session.OpenSession();
    Register(0, "Bot");
    ASSERT_TRUE(
        m_server.Send(0, "ERROR :Your host is trying to (re)connect too fast -- throttled\r\n"));
    m_server.Close(0);
    ASSERT_TRUE(WaitUntil([&] { return m_clock.IsHolding(); }));
    m_session.Disconnect();
    m_clock.Release();
    ASSERT_TRUE(ThreadEnds());
    EXPECT_FALSE(m_session.HasLog("Trying to reconnect ..."));
    EXPECT_EQ(m_server.Connections(), 1);
}

TEST_F(Supervisor, FailedReconnectionEndsTheThread) {
    m_session.OpenSession();
    Register(0, "Bot");
    m_server.StopListening();
    ASSERT_TRUE(m_server.Send(0, "ERROR :Closing Link: Bot[127.0.0.1] (Server restart)\r\n"));
    m_server.Close(0);
    ASSERT_TRUE(ThreadEnds());
    const Lines logs = m_session.Logs();
    EXPECT_TRUE(InOrder(logs, {"Connection closed/refused.", "Trying to reconnect ..."}));
    EXPECT_EQ(logs.back(), "Couldn't find Server! Check the Portsettings.");
    EXPECT_EQ(std::count(logs.begin(), logs.end(), "Connection closed/refused."), 1);
    EXPECT_EQ(m_session.SessionEnds(), 1);
    EXPECT_FALSE(m_session.IsSessionActive());
}

// A failed attempt ends with its own reason, not with a "closed" line for a
// connection that never existed: here each look-up fails, and keep-alive
// tries again after the back-off.
TEST_F(Supervisor, AttemptsWhoseLookUpFailsLogOnlyTheirReason) {
    {
        irc::CIrcSettings connection = m_session.Connection();
        connection.m_strServer.clear();  // nothing to look up
        m_session.SetConnection(connection);
    }
    m_clock.HoldFrom(1000);  // the second wait holds
    m_session.SetKeepAlive(true);
    m_session.OpenSession();
    ASSERT_TRUE(WaitUntil([&] { return m_clock.IsHolding(); }));
    m_clock.ReleaseOnce();
    ASSERT_TRUE(m_session.WaitForLog("Trying to reconnect ..."));
    ASSERT_TRUE(WaitUntil([&] { return m_clock.IsHolding(); }));
    m_session.Disconnect();
    ASSERT_TRUE(ThreadEnds());
    const Lines logs = m_session.Logs();
    EXPECT_EQ(std::count(logs.begin(), logs.end(), "Couldn't find Server at this IP!"), 2);
    EXPECT_EQ(std::count(logs.begin(), logs.end(), "Connection closed/refused."), 0);
    EXPECT_EQ(m_session.SessionEnds(), 1);
    EXPECT_EQ(m_server.Connections(), 0);
}

TEST_F(Supervisor, BothNicknamesInUseEndWithoutReconnecting) {
    m_session.OpenSession();
    ASSERT_TRUE(m_server.WaitForLine(0, "NICK Bot"));
    ASSERT_TRUE(m_server.Send(0, ":srv 433 * Bot :Nickname already in use\r\n"));
    ASSERT_TRUE(m_server.WaitForLine(0, "NICK Bot2"));
    ASSERT_TRUE(m_server.Send(0, ":srv 433 * Bot2 :Nickname already in use\r\n"));
    // The bot hangs up by itself; the server never closes.
    ASSERT_TRUE(ThreadEnds());
    EXPECT_TRUE(InOrder(m_session.Logs(),
                        {":: Nickname (Bot2) is already in use.", "Connection closed/refused."}));
    EXPECT_TRUE(WaitUntil([&] { return m_server.ClosedByPeer(0); }));
    EXPECT_EQ(m_server.Connections(), 1);
    EXPECT_EQ(m_session.SessionEnds(), 1);
}

TEST_F(Supervisor, EndingTheThreadDoesNotWaitForTheServer) {
    m_session.OpenSession();
    Register(0, "Bot");
    // The server stays silent; program exit must not hang on it.
    ASSERT_TRUE(EndThreadPromptly());
    EXPECT_FALSE(m_session.IsIrcThreadRunning());
    EXPECT_EQ(m_session.SessionEnds(), 0);
    EXPECT_TRUE(WaitUntil([&] { return m_server.ClosedByPeer(0); }));
}

TEST_F(Supervisor, EndingTheThreadCutsTheThrottleWaitShort) {
    m_clock.HoldFrom(irc::CIrcSupervisor::kThrottleWaitMs);
    m_session.OpenSession();
    Register(0, "Bot");
    ASSERT_TRUE(
        m_server.Send(0, "ERROR :Your host is trying to (re)connect too fast -- throttled\r\n"));
    m_server.Close(0);
    ASSERT_TRUE(WaitUntil([&] { return m_clock.IsHolding(); }));
    ASSERT_TRUE(EndThreadPromptly());
    EXPECT_FALSE(m_session.HasLog("Trying to reconnect ..."));
    EXPECT_EQ(m_server.Connections(), 1);
}

TEST_F(Supervisor, ConnectWhileOldThreadWaitsEndsItFirst) {
    m_session.OpenSession();
    Register(0, "Bot");
    m_session.Disconnect();
    ASSERT_TRUE(m_server.WaitForLine(0, "QUIT :v1.3 BETA /// Battlefield 1942 to IRC relay"));
    // The server never closes the old connection; Connect again at once.
    ASSERT_TRUE(RunPromptly([&] { m_session.OpenSession(); }));
    EXPECT_TRUE(WaitUntil([&] { return m_server.ClosedByPeer(0); }));
    ASSERT_TRUE(m_server.WaitForConnections(2));
    Register(1, "Bot");
    EXPECT_TRUE(m_session.IsIrcThreadRunning());
    EXPECT_TRUE(m_session.IsSessionActive());
    EXPECT_EQ(m_session.SessionEnds(), 0);
}

}  // namespace
