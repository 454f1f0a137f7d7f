// The send operations, the log, connecting, and what the session tells its
// owner, with the clock replaced.
#include <gtest/gtest.h>

#include <ostream>

#include <string>
#include <vector>

#include "irc/IrcSessionState.h"
#include "irc/IrcText.h"
#include "irc/LineFit.h"
#include "irc/SendQueue.h"
#include "platform/Clock.h"
#include "res/Resource.h"
#include "res/StringTable.h"
#include "support/Ipv6Loopback.h"
#include "support/RecordingIrcSession.h"
#include "support/ScriptedTcpServer.h"
#include "support/Wait.h"

using testsupport::CRecordingIrcSession;
using testsupport::CScriptedTcpServer;
using Lines = std::vector<std::string>;

namespace {

class SessionSends : public ::testing::Test {
protected:
    SessionSends() { m_session.Configure("127.0.0.1", 6667, "Bot", "Bot2", "#Chan"); }
    platform::CManualClock m_clock;
    // Lines stop at the send queue: Writes() lists them as queued.
    CRecordingIrcSession m_session{m_clock, /*bForwardWrites=*/false};
};

TEST_F(SessionSends, ChannelSendsNeedTheChannel) {
    m_session.SendToChannel("a");
    m_session.SendToChannelPaced("c");
    m_session.SendTicketLine("d");
    EXPECT_EQ(m_session.Writes(), Lines{});
}

// The senders only queue: the pace is the writer's, never the caller's.
TEST_F(SessionSends, EachLineQueuesAsWhatItIsAndNoSenderWaits) {
    m_session.SetInChannel(true);
    m_session.SendToChannel("answer");
    m_session.SendTicketLine("tickets");
    for (const char* text : {"e1", "e2", "e3"}) m_session.SendToChannelPaced(text);
    m_session.SendLine("NOTICE bob :welcome");
    EXPECT_EQ(m_session.Writes(), (Lines{"PRIVMSG #Chan :answer\r\n", "PRIVMSG #Chan :tickets\r\n",
                                         "PRIVMSG #Chan :e1\r\n", "PRIVMSG #Chan :e2\r\n",
                                         "PRIVMSG #Chan :e3\r\n", "NOTICE bob :welcome\r\n"}));
    using irc::ELineKind;
    EXPECT_EQ(m_session.Kinds(),
              (std::vector<ELineKind>{ELineKind::Reply, ELineKind::Ticket, ELineKind::Event,
                                      ELineKind::Event, ELineKind::Event, ELineKind::Reply}));
    EXPECT_EQ(m_clock.SleepCalls(), 0u);
}

TEST_F(SessionSends, SendLineSendsInAnyStateAsOneLine) {
    m_session.SendLine("NICK a\r\nUSER b");
    m_session.SendLine(std::string("PING a\0b\rc", 11));
    EXPECT_EQ(m_session.Writes(), (Lines{"NICK aUSER b\r\n", "PING abc\r\n"}));
}

TEST_F(SessionSends, ChannelTextCannotStartASecondLine) {
    // A player name or chat text must not smuggle a command to the server.
    m_session.SetInChannel(true);
    m_session.SendToChannel("x\r\nQUIT :y");
    m_session.SendToChannelPaced("p\nJOIN #other");
    EXPECT_EQ(m_session.Writes(),
              (Lines{"PRIVMSG #Chan :xQUIT :y\r\n", "PRIVMSG #Chan :pJOIN #other\r\n"}));
}

// Regression: a 2 KB host name from the game server made the server drop
// the bot ("Request too long") and the lines behind it were lost.
TEST_F(SessionSends, LongTextIsCutToWhatTheServerCanRelay) {
    m_session.SetInChannel(true);
    m_session.SendToChannelPaced(std::string(2000, 'h'));
    m_session.SendLine("NOTICE bob :" + std::string(2000, 'n'));
    m_session.SendLine("JOIN #" + std::string(2000, 'c'));
    const Lines writes = m_session.Writes();
    ASSERT_EQ(writes.size(), 3u);
    EXPECT_EQ(writes[0], "PRIVMSG #Chan :" + std::string(irc::kMaxMessageBytes - 15, 'h') + "\r\n");
    EXPECT_EQ(writes[1].size(), irc::kMaxMessageBytes + 2);
    EXPECT_EQ(writes[2].size(), 512u);
}

// What the session tells its owner, counted.
class CCountingEvents : public irc::IIrcEvents {
public:
    void OnIrcLog(const std::string& strLine) override { m_logs.push_back(strLine); }
    void OnIrcStatusChanged() override { ++m_nStatusChanges; }
    void OnIrcRequest() override {}
    Lines m_logs;
    int m_nStatusChanges = 0;
};

// Regression: every logged line paused the receive loop 100 ms, so a busy
// channel held a PONG back until the server gave up on the bot.
TEST(SessionState, LogStripsColoursAndNeverPauses) {
    CCountingEvents events;
    irc::CIrcSessionState state(events);
    platform::CManualClock clock;
    state.Log("");
    // Colour codes alone leave nothing to say.
    state.Log(
        "\x03"
        "04\x03");
    EXPECT_EQ(events.m_logs, Lines{});
    state.Log(
        "\x03"
        "04,02red\x03 done");
    EXPECT_EQ(events.m_logs, Lines{",02red done"});
    EXPECT_EQ(clock.SleepCalls(), 0u);
}

// The owner is told of each change once, and only of changes.
TEST(SessionState, EachChangeOfTheStatusIsToldOnce) {
    CCountingEvents events;
    irc::CIrcSessionState state(events);
    state.BeginSession("#Chan", "Bot");
    EXPECT_EQ(events.m_nStatusChanges, 1);
    EXPECT_EQ(state.Status(),
              (irc::CIrcStatus{irc::EIrcState::Connecting, true, "#Chan", "Bot", 0}));
    state.SetPhase(irc::EIrcState::Registering);
    state.SetPhase(irc::EIrcState::Registering);
    state.SetCurrentNick("Bot");
    EXPECT_EQ(events.m_nStatusChanges, 2);
    state.EnterChannel("#chan");
    EXPECT_TRUE(state.IsInChannel());
    EXPECT_EQ(state.Status(),
              (irc::CIrcStatus{irc::EIrcState::InChannel, true, "#chan", "Bot", 0}));
    state.LeaveChannel();
    EXPECT_EQ(state.Status().m_eState, irc::EIrcState::Registered);
    state.SetPhase(irc::EIrcState::Waiting, 5000);
    EXPECT_EQ(state.Status().m_nNextAttemptMs, 5000u);
    // Disconnect while the thread runs: closing, the typed channel again.
    state.EnterChannel("#chan");
    state.EndSession(true);
    EXPECT_EQ(state.Status(), (irc::CIrcStatus{irc::EIrcState::Closing, false, "#Chan", "Bot", 0}));
    EXPECT_FALSE(state.IsInChannel());
    const int nBefore = events.m_nStatusChanges;
    state.ThreadEnded();
    EXPECT_EQ(state.Status().m_eState, irc::EIrcState::Idle);
    EXPECT_EQ(events.m_nStatusChanges, nBefore + 1);
}

class SessionOnServer : public ::testing::Test {
protected:
    SessionOnServer() { m_session.Configure("127.0.0.1", m_server.Port(), "Bot", "Bot2", "#Chan"); }
    void Connect() {
        m_session.OpenSession();
        ASSERT_TRUE(m_server.WaitForLine(0, "USER bf1942 * * :v1.3 BETA"));
    }
    CScriptedTcpServer m_server;
    platform::CManualClock m_clock;
    CRecordingIrcSession m_session{m_clock};
};

TEST_F(SessionOnServer, RegistrationIsOneSendOfTwoLines) {
    Connect();
    EXPECT_EQ(m_server.Received(0), "NICK Bot\r\nUSER bf1942 * * :v1.3 BETA\r\n");
    EXPECT_EQ(m_session.Writes(), Lines{"NICK Bot\r\nUSER bf1942 * * :v1.3 BETA\r\n"});
    EXPECT_EQ(m_session.Logs(), Lines{"Connecting to 127.0.0.1"});
    EXPECT_EQ(m_session.GetCurrentNick(), "Bot");
}

// Stop Broadcast: the poll's lines and "Broadcast closed" reach the channel
// before QUIT, and nothing joins them after it.
TEST_F(SessionOnServer, DisconnectLetsTheQueuedLinesGoFirstThenSaysQuit) {
    Connect();
    EXPECT_TRUE(m_session.IsSessionActive());
    m_session.SetInChannel(true);
    for (const char* text : {"kill 1", "kill 2", "Broadcast closed"})
        m_session.SendToChannelPaced(text);
    m_session.Disconnect();
    EXPECT_FALSE(m_session.IsSessionActive());
    EXPECT_FALSE(m_session.IsInChannel());
    m_session.SendToChannelPaced("too late");
    m_session.SendLine("NOTICE al :too late");
    ASSERT_TRUE(m_server.WaitForLine(0, "QUIT :v1.3 BETA /// Battlefield 1942 to IRC relay"));
    EXPECT_EQ(m_server.Lines(0),
              (Lines{"NICK Bot", "USER bf1942 * * :v1.3 BETA", "PRIVMSG #Chan :kill 1",
                     "PRIVMSG #Chan :kill 2", "PRIVMSG #Chan :Broadcast closed",
                     "QUIT :v1.3 BETA /// Battlefield 1942 to IRC relay"}));
}

TEST_F(SessionOnServer, SendsOnAClosedConnectionRaiseNoSignal) {
    Connect();
    // The IRC thread is held at a log line, so that it does not end the
    // connection before the writer has met the reset one.
    const std::string strHold = "<al> hold";
    m_session.HoldLogAt(strHold);
    ASSERT_TRUE(m_server.Send(0, ":al!a@h PRIVMSG #Chan :hold\r\n"));
    ASSERT_TRUE(testsupport::WaitUntil([&] { return m_session.IsHeld(); }));
    m_server.Close(0);
    ASSERT_TRUE(testsupport::WaitUntil([&] { return m_server.ClosedByPeer(0); }));
    // The first writes may still be accepted; later ones hit the reset
    // connection, which would raise SIGPIPE and end this process.
    m_session.SetInChannel(true);
    for (int i = 0; i < 200; ++i) {
        m_session.SendLine(std::string(400, 'z'));
        m_session.SendToChannel("x");
    }
    EXPECT_TRUE(testsupport::WaitUntil([&] { return m_session.FailedWrites() > 0; }));
    m_session.ReleaseLog();
}

struct FieldBreakRow {
    const char* m_name;
    void (*m_inject)(CRecordingIrcSession& session, const std::string& strBreak);
};
void PrintTo(const FieldBreakRow& row, std::ostream* pOut) {
    *pOut << row.m_name;
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
            irc::CIrcSettings connection = session.Connection();
            connection.m_bAuth = true;
            connection.m_nNetwork = 0;
            connection.m_strUsername = "user";
            connection.m_strPassword = "pass";
            session.SetConnection(connection);
        }
        GetParam().m_inject(session, strBreak);
        session.OpenSession();
        ASSERT_TRUE(server.WaitForConnections(1));
        // The registration's end, then the first nickname refused.
        ASSERT_TRUE(server.Send(0, ":srv 376 Bot :End of MOTD\r\n"));
        ASSERT_TRUE(testsupport::WaitUntil([&] { return session.Writes().size() >= 4; }));
        ASSERT_TRUE(server.Send(0, ":srv 433 * Bot :in use\r\n"));
        ASSERT_TRUE(testsupport::WaitUntil([&] { return session.Writes().size() >= 5; }));
        session.SetInChannel(true);
        session.SendToChannel("hi");
        session.SendToChannelPaced("yo");
        session.Disconnect();
        ASSERT_TRUE(testsupport::WaitUntil([&] {
            const Lines writes = session.Writes();
            return !writes.empty() && writes.back().rfind("QUIT", 0) == 0;
        }));

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

// The break at the end of one connection setting.
template <std::string irc::CIrcSettings::*pField>
void AddToSetting(CRecordingIrcSession& s, const std::string& b) {
    irc::CIrcSettings connection = s.Connection();
    connection.*pField += b;
    s.SetConnection(connection);
}

// clang-format off
const FieldBreakRow kFieldBreakRows[] = {
    {"Channel", AddToSetting<&irc::CIrcSettings::m_strChannel>},
    {"Nick", AddToSetting<&irc::CIrcSettings::m_strNick>},
    {"AltNick", AddToSetting<&irc::CIrcSettings::m_strAltNick>},
    {"Username", AddToSetting<&irc::CIrcSettings::m_strUsername>},
    {"Password", AddToSetting<&irc::CIrcSettings::m_strPassword>},
    {"Ident", [](CRecordingIrcSession& s, const std::string& b) {
         s.SetRegistrationTexts(irc::kIdent + b, res::LoadResString(res::IDS_VERSION)); }},
    {"Version", [](CRecordingIrcSession& s, const std::string& b) {
         s.SetRegistrationTexts(irc::kIdent, res::LoadResString(res::IDS_VERSION) + b); }},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Fields, SessionFieldBreaks, ::testing::ValuesIn(kFieldBreakRows),
                         [](const auto& info) { return std::string(info.param.m_name); });

struct ConnectFailureRow {
    const char* m_name;
    const char* m_pszHost;  // refused there, or "" (the host look-up fails)
    Lines m_logs;           // once the attempt is over
};
// Rows print by name, so test listings stay readable.
void PrintTo(const ConnectFailureRow& row, std::ostream* pOut) {
    *pOut << row.m_name;
}

class SessionConnectFailure : public ::testing::TestWithParam<ConnectFailureRow> {};

TEST_P(SessionConnectFailure, LogsReasonAndTheSessionEnds) {
    const bool bIpv6 = std::string(GetParam().m_pszHost).find(':') != std::string::npos;
    if (bIpv6) FR_SKIP_WITHOUT_IPV6();
    uint16_t nPort = 1;
    {
        // A port that nobody listens on afterwards.
        CScriptedTcpServer closed(
            CScriptedTcpServer::EReading::Reads,
            bIpv6 ? platform::EAddressFamily::IPv6 : platform::EAddressFamily::IPv4);
        nPort = closed.Port();
    }
    platform::CManualClock clock;
    CRecordingIrcSession session(clock);
    session.Configure(GetParam().m_pszHost, nPort, "Bot", "Bot2", "#Chan");
    session.OpenSession();
    ASSERT_TRUE(testsupport::WaitUntil([&] { return !session.IsIrcThreadRunning(); }));
    EXPECT_FALSE(session.IsSessionActive());
    EXPECT_EQ(session.Logs(), GetParam().m_logs);
    // Nothing to send on: a quiet failure.
    session.SendLine("PING :x");
}

// clang-format off
const ConnectFailureRow kFailureRows[] = {
    // The refused connect ends the loop before any read.
    {"ConnectRefused", "127.0.0.1", {"Couldn't find Server! Check the Portsettings."}},
    {"ConnectRefusedOverIpv6", "[::1]", {"Couldn't find Server! Check the Portsettings."}},
    // A failed look-up ends it the same way: no read, no second line.
    {"HostNotFound", "", {"Couldn't find Server at this IP!"}},
};
// clang-format on

INSTANTIATE_TEST_SUITE_P(Connect, SessionConnectFailure, ::testing::ValuesIn(kFailureRows),
                         [](const auto& info) { return std::string(info.param.m_name); });

// The server field as the operator may type it: an IPv6 address bare or in
// brackets, or a name. "localhost" may give ::1 before 127.0.0.1, where
// nobody listens: the next address is tried, and the bot registers all the same.
TEST(SessionConnect, RegistersWithTheServerGivenByAnyAddressForm) {
    const struct {
        const char* m_pszName;
        const char* m_pszHost;
        platform::EAddressFamily m_eFamily;
    } kRows[] = {
        {"Ipv6", "::1", platform::EAddressFamily::IPv6},
        {"Ipv6InBrackets", "[::1]", platform::EAddressFamily::IPv6},
        {"Localhost", "localhost", platform::EAddressFamily::IPv4},
    };
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.m_pszName);
        if (row.m_eFamily == platform::EAddressFamily::IPv6 && !testsupport::HasIpv6Loopback())
            continue;
        CScriptedTcpServer server(CScriptedTcpServer::EReading::Reads, row.m_eFamily);
        ASSERT_NE(server.Port(), 0);
        platform::CManualClock clock;
        CRecordingIrcSession session(clock);
        session.Configure(row.m_pszHost, server.Port(), "Bot", "Bot2", "#Chan");
        session.OpenSession();
        EXPECT_TRUE(server.WaitForLine(0, "NICK Bot")) << testing::PrintToString(session.Logs());
        EXPECT_TRUE(server.WaitForLine(0, "USER bf1942 * * :v1.3 BETA"));
        EXPECT_EQ(session.Logs(), Lines{std::string("Connecting to ") + row.m_pszHost});
        session.EndIrcThread();
    }
}

}  // namespace
