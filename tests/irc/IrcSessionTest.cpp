// The send operations, the log, and connecting, with the clock replaced.
#include <gtest/gtest.h>

#include <ostream>

#include <string>
#include <vector>

#include "irc/IrcText.h"
#include "platform/Clock.h"
#include "support/RecordingIrcSession.h"
#include "support/ScriptedTcpServer.h"

using testsupport::CRecordingIrcSession;
using testsupport::CScriptedTcpServer;
using Lines = std::vector<std::string>;

namespace {

class SessionSends : public ::testing::Test {
protected:
    SessionSends() { m_session.Configure("127.0.0.1", 6667, "Bot", "Bot2", "#Chan"); }
    platform::CManualClock m_clock;
    CRecordingIrcSession m_session{m_clock, /*bForwardWrites=*/false};
};

TEST_F(SessionSends, ChannelSendsNeedTheChannelAndDoNotWaitOutsideIt) {
    m_session.SendToChannel("a");
    m_session.SendPrivmsg("Al", "b");
    m_session.SendToChannelPaced("c");
    EXPECT_EQ(m_session.Writes(), Lines{});
    EXPECT_EQ(m_clock.SleepCalls(), 0u);
}

TEST_F(SessionSends, OnlyPacedSendsPause) {
    m_session.m_bInChannel = true;
    m_session.SendToChannel("ticket line");
    EXPECT_EQ(m_clock.SleptMs(), 0u);
    for (const char* text : {"e1", "e2", "e3"}) m_session.SendToChannelPaced(text);
    m_session.SendPrivmsg("Al", "hi");
    EXPECT_EQ(m_session.Writes(),
              (Lines{"PRIVMSG #Chan :ticket line\r\n", "PRIVMSG #Chan :e1\r\n",
                     "PRIVMSG #Chan :e2\r\n", "PRIVMSG #Chan :e3\r\n", "PRIVMSG Al :hi\r\n"}));
    EXPECT_EQ(m_clock.SleepCalls(), 4u);
    EXPECT_EQ(m_clock.SleptMs(), 4u * irc::CIrcSession::kPacePauseMs);
}

TEST_F(SessionSends, SendLineSendsInAnyStateAndKeepsInnerLineEnds) {
    m_session.SendLine("NICK a\r\nUSER b");
    EXPECT_EQ(m_session.Writes(), Lines{"NICK a\r\nUSER b\r\n"});
}

TEST_F(SessionSends, ChannelTextCannotStartASecondLine) {
    // A player name or chat text must not smuggle a command to the server.
    m_session.m_bInChannel = true;
    m_session.SendToChannel("x\r\nQUIT :y");
    m_session.SendToChannelPaced("p\nJOIN #other");
    EXPECT_EQ(m_session.Writes(),
              (Lines{"PRIVMSG #Chan :xQUIT :y\r\n", "PRIVMSG #Chan :pJOIN #other\r\n"}));
}

TEST_F(SessionSends, LogStripsColoursAndPausesExceptForEmptyText) {
    m_session.AppendLog("");
    EXPECT_EQ(m_session.Logs(), Lines{});
    EXPECT_EQ(m_clock.SleepCalls(), 0u);
    m_session.AppendLog(
        "\x03"
        "04,02red\x03 done");
    EXPECT_EQ(m_session.Logs(), Lines{",02red done"});
    EXPECT_EQ(m_clock.SleptMs(), irc::CIrcSession::kLogPauseMs);
}

TEST_F(SessionSends, DisconnectSendsQuitAndClearsFlags) {
    m_session.m_bSessionActive = true;
    m_session.m_bInChannel = true;
    m_session.Disconnect();
    EXPECT_EQ(m_session.Writes(), Lines{"QUIT :v1.3 BETA /// Battlefield 1942 to IRC relay\r\n"});
    EXPECT_FALSE(m_session.m_bSessionActive);
    EXPECT_FALSE(m_session.IsInChannel());
}

TEST(SessionConnect, RegistrationIsOneSendOfTwoLines) {
    CScriptedTcpServer server;
    ASSERT_NE(server.Port(), 0);
    platform::CManualClock clock;
    CRecordingIrcSession session(clock);
    session.Configure("127.0.0.1", server.Port(), "Bot", "Bot2", "#Chan");
    ASSERT_EQ(session.ConnectToServer(), 0);
    ASSERT_TRUE(server.WaitForLine(0, "USER bf1942 * * :v1.3 BETA"));
    EXPECT_EQ(server.Received(0), "NICK Bot\r\nUSER bf1942 * * :v1.3 BETA\r\n");
    EXPECT_EQ(session.Writes(), Lines{"NICK Bot\r\nUSER bf1942 * * :v1.3 BETA\r\n"});
    EXPECT_EQ(session.Logs(), Lines{"Connecting to 127.0.0.1"});
    EXPECT_EQ(session.GetCurrentNick(), "Bot");
}

struct ConnectFailureRow {
    const char* name;
    bool bRefusedPort;  // else the host look-up fails
    Lines logs;         // after ConnectToServer and then ReceiveLoop
};
// Rows print by name, so test listings stay readable.
void PrintTo(const ConnectFailureRow& row, std::ostream* pOut) { *pOut << row.name; }

class SessionConnectFailure : public ::testing::TestWithParam<ConnectFailureRow> {};

TEST_P(SessionConnectFailure, LogsReasonAndReceiveLoopStops) {
    uint16_t nPort = 1;
    {
        CScriptedTcpServer closed;  // a port that nobody listens on afterwards
        nPort = closed.Port();
    }
    platform::CManualClock clock;
    CRecordingIrcSession session(clock);
    session.Configure(GetParam().bRefusedPort ? "127.0.0.1" : "", nPort, "Bot", "Bot2", "#Chan");
    EXPECT_EQ(session.ConnectToServer(), 1);
    EXPECT_EQ(session.ReceiveLoop(), 0);
    EXPECT_EQ(session.Logs(), GetParam().logs);
    // Nothing to send on: a quiet failure.
    session.SendLine("PING :x");
}

// clang-format off
const ConnectFailureRow kFailureRows[] = {
    // The refused connect ends the loop before any read.
    {"ConnectRefused", true, {"Couldn't find Server! Check the Portsettings."}},
    // A failed look-up leaves an unconnected socket whose read fails.
    {"HostNotFound", false, {"Couldn't find Server at this IP!", "Connection closed/refused."}},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Connect, SessionConnectFailure, ::testing::ValuesIn(kFailureRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SessionConnect, SendsOnAClosedConnectionRaiseNoSignal) {
    CScriptedTcpServer server;
    platform::CManualClock clock;
    CRecordingIrcSession session(clock);
    session.Configure("127.0.0.1", server.Port(), "Bot", "Bot2", "#Chan");
    ASSERT_EQ(session.ConnectToServer(), 0);
    ASSERT_TRUE(server.WaitForConnections(1));
    server.Close(0);
    ASSERT_TRUE(testsupport::WaitUntil([&] { return server.ClosedByPeer(0); }));
    // The first sends may still be accepted; later ones hit the reset
    // connection, which would raise SIGPIPE and end this process.
    session.m_bInChannel = true;
    for (int i = 0; i < 200; ++i) {
        session.SendLine(std::string(2000, 'z'));
        session.SendToChannel("x");
    }
    SUCCEED();
}

}  // namespace
