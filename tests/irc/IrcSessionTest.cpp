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

TEST_F(SessionSends, SendLineSendsInAnyStateAsOneLine) {
    m_session.SendLine("NICK a\r\nUSER b");
    m_session.SendLine(std::string("PING a\0b\rc", 11));
    EXPECT_EQ(m_session.Writes(), (Lines{"NICK aUSER b\r\n", "PING abc\r\n"}));
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

struct FieldBreakRow {
    const char* name;
    void (*inject)(CRecordingIrcSession& session, const std::string& strBreak);
};
void PrintTo(const FieldBreakRow& row, std::ostream* pOut) {
    *pOut << row.name;
}

class SessionFieldBreaks : public ::testing::TestWithParam<FieldBreakRow> {};

// Every setting that reaches a line, with each kind of break in it, leaves
// exactly the lines the session means to send: nothing extra on the wire.
TEST_P(SessionFieldBreaks, NeverYieldAnExtraLine) {
    const std::string kBreaks[] = {"\r\nQUIT :x", "\rQUIT", "\nQUIT", std::string("\0QUIT", 5)};
    for (const std::string& strBreak : kBreaks) {
        SCOPED_TRACE(testing::PrintToString(strBreak));
        CScriptedTcpServer server;
        ASSERT_NE(server.Port(), 0);
        platform::CManualClock clock;
        CRecordingIrcSession session(clock);
        session.Configure("127.0.0.1", server.Port(), "Bot", "Alt", "#Chan");
        {
            auto lock = session.LockFields();
            session.m_bAuth = true;
            session.m_nNetwork = 0;
            session.m_strUsername = "user";
            session.m_strPassword = "pass";
        }
        GetParam().inject(session, strBreak);
        ASSERT_EQ(session.ConnectToServer(), 0);
        session.OnRegistered();
        session.OnNickInUse();
        session.m_bInChannel = true;
        session.SendToChannel("hi");
        session.SendPrivmsg("Al", "yo");
        session.Disconnect();

        std::string strWire;
        for (const std::string& s : session.Writes()) strWire += s;
        // Split only at "\r\n"; any other CR, LF or NUL left is a fault too.
        std::vector<std::string> words;
        size_t nAt = 0;
        for (int i = 0; i < 20 && nAt < strWire.size(); ++i) {
            const size_t nEnd = strWire.find("\r\n", nAt);
            ASSERT_NE(nEnd, std::string::npos) << "unterminated: " << strWire.substr(nAt);
            const std::string strLine = strWire.substr(nAt, nEnd - nAt);
            EXPECT_EQ(strLine.find_first_of(std::string("\r\n\0", 3)), std::string::npos)
                << strLine;
            words.push_back(strLine.substr(0, strLine.find(' ')));
            nAt = nEnd + 2;
        }
        EXPECT_EQ(words, (Lines{"NICK", "USER", "PRIVMSG", "MODE", "JOIN", "NICK", "PRIVMSG",
                                "PRIVMSG", "QUIT"}));
        // Registration still leaves as one write of two lines.
        ASSERT_FALSE(session.Writes().empty());
        EXPECT_EQ(session.Writes()[0].rfind("NICK Bot", 0), 0u) << session.Writes()[0];
        EXPECT_NE(session.Writes()[0].find("\r\nUSER "), std::string::npos);
    }
}

// clang-format off
const FieldBreakRow kFieldBreakRows[] = {
    {"Channel", [](CRecordingIrcSession& s, const std::string& b) { s.m_strChannel += b; }},
    {"Nick", [](CRecordingIrcSession& s, const std::string& b) { s.m_strNick += b; }},
    {"AltNick", [](CRecordingIrcSession& s, const std::string& b) { s.m_strAltNick += b; }},
    {"Username", [](CRecordingIrcSession& s, const std::string& b) { s.m_strUsername += b; }},
    {"Password", [](CRecordingIrcSession& s, const std::string& b) { s.m_strPassword += b; }},
    {"Ident", [](CRecordingIrcSession& s, const std::string& b) { s.m_strIdent += b; }},
    {"Version", [](CRecordingIrcSession& s, const std::string& b) { s.m_strVersion += b; }},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Fields, SessionFieldBreaks, ::testing::ValuesIn(kFieldBreakRows),
                         [](const auto& info) { return std::string(info.param.name); });

struct ConnectFailureRow {
    const char* name;
    bool bRefusedPort;  // else the host look-up fails
    Lines logs;         // after ConnectToServer and then ReceiveLoop
};
// Rows print by name, so test listings stay readable.
void PrintTo(const ConnectFailureRow& row, std::ostream* pOut) {
    *pOut << row.name;
}

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
    // A failed look-up ends it the same way: no read, no second line.
    {"HostNotFound", false, {"Couldn't find Server at this IP!"}},
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
