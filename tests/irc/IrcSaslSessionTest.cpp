// SASL in the session's registration, against a scripted server on
// 127.0.0.1 that follows the protocol to the byte, or does not: the lines
// the bot sends and in which order, what it logs (never the secret), and
// how every failure ends the connection and is retried only after the
// back-off. Time is the test's (CHoldingClock); each wait is bounded.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "irc/IrcSession.h"
#include "irc/Sasl.h"
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

constexpr char kPassword[] = "s3cr3t-Pw";

bool AnyHolds(const Lines& lines, const std::string& strPart) {
    return std::any_of(lines.begin(), lines.end(),
                       [&](const std::string& s) { return s.find(strPart) != std::string::npos; });
}

class SaslRegistration : public ::testing::Test {
protected:
    SaslRegistration() {
        m_session.Configure("127.0.0.1", m_server.Port(), "Bot", "Bot2", "#Chan");
        irc::CIrcSettings connection = m_session.Connection();
        connection.m_bAuth = true;
        connection.m_nNetwork = irc::kNetworkSasl;
        connection.m_strUsername = "clanbot";
        connection.m_strPassword = kPassword;
        m_session.SetConnection(connection);
    }
    ~SaslRegistration() override {
        m_clock.Release();
        m_session.EndIrcThread();
    }
    // The registration up to the server's challenge: CAP LS, REQ, ACK.
    void UpToTheChallenge(int nConn) {
        ASSERT_TRUE(m_server.WaitForLine(nConn, "USER bf1942 * * :v1.3 BETA"));
        ASSERT_TRUE(m_server.Send(nConn, ":srv CAP * LS :multi-prefix sasl=PLAIN,EXTERNAL\r\n"));
        ASSERT_TRUE(m_server.WaitForLine(nConn, "CAP REQ :sasl"));
        ASSERT_TRUE(m_server.Send(nConn, ":srv CAP * ACK :sasl\r\n"));
        ASSERT_TRUE(m_server.WaitForLine(nConn, "AUTHENTICATE PLAIN"));
    }
    // Connection nConn has ended from the bot's side.
    bool Ended(int nConn) {
        return WaitUntil([&] { return m_server.ClosedByPeer(nConn); });
    }

    CScriptedTcpServer m_server;
    testsupport::CHoldingClock m_clock;
    CRecordingIrcSession m_session{m_clock};
};

TEST_F(SaslRegistration, PlainLogsInBeforeNickAndUserAndSendsNoAccountMessage) {
    m_session.OpenSession();
    UpToTheChallenge(0);
    ASSERT_TRUE(m_server.Send(0, "AUTHENTICATE +\r\n"));
    const std::string strResponse =
        "AUTHENTICATE " + irc::Base64Encode(irc::PlainResponse("clanbot", kPassword));
    ASSERT_TRUE(m_server.WaitForLine(0, strResponse));
    ASSERT_TRUE(m_server.Send(0,
                              ":srv 900 Bot Bot!b@h clanbot :You are now logged in\r\n"
                              ":srv 903 Bot :SASL authentication successful\r\n"));
    ASSERT_TRUE(m_server.WaitForLine(0, "CAP END"));
    ASSERT_TRUE(m_server.Send(0, ":srv 001 Bot :Welcome\r\n:srv 376 Bot :End of MOTD\r\n"));
    ASSERT_TRUE(m_server.WaitForLine(0, "JOIN #Chan"));
    EXPECT_EQ(m_server.Lines(0),
              (Lines{"CAP LS 302", "NICK Bot", "USER bf1942 * * :v1.3 BETA", "CAP REQ :sasl",
                     "AUTHENTICATE PLAIN", strResponse, "CAP END", "MODE Bot +x", "JOIN #Chan"}));
    // The operator sees the login; nobody sees the password, plain or encoded.
    const Lines logs = m_session.Logs();
    EXPECT_TRUE(AnyHolds(logs, "SASL: logged in as clanbot")) << testing::PrintToString(logs);
    EXPECT_FALSE(AnyHolds(logs, kPassword));
    EXPECT_FALSE(AnyHolds(logs, strResponse.substr(13)));
}

TEST_F(SaslRegistration, ExternalWhenAClientCertificateIsSet) {
    {
        irc::CIrcSettings connection = m_session.Connection();
        connection.m_security.m_strClientCert = "/nonexistent/client.pem";
        m_session.SetConnection(connection);
    }
    m_session.OpenSession();
    ASSERT_TRUE(m_server.WaitForLine(0, "USER bf1942 * * :v1.3 BETA"));
    ASSERT_TRUE(m_server.Send(0, ":srv CAP * LS :sasl=PLAIN,EXTERNAL\r\n:srv CAP * ACK :sasl\r\n"));
    ASSERT_TRUE(m_server.WaitForLine(0, "AUTHENTICATE EXTERNAL"));
    ASSERT_TRUE(m_server.Send(0, "AUTHENTICATE +\r\n"));
    ASSERT_TRUE(m_server.WaitForLine(0, "AUTHENTICATE +"));
}

// Each failure: its own log line, the connection ends, and with keep-alive
// the next attempt comes only after the back-off (never a tight loop).
struct CFailureRow {
    const char* m_pszName;
    const char* m_pszAnswer;  // the server's lines after NICK/USER
    const char* m_pszLog;     // part of the bot's log line
};

class SaslFailures : public SaslRegistration, public ::testing::WithParamInterface<CFailureRow> {};

TEST_P(SaslFailures, EndTheConnectionAndWaitForTheBackoff) {
    const CFailureRow& row = GetParam();
    m_session.SetKeepAlive(true);
    m_clock.HoldFrom(platform::CBackoff::kFirstMs * 8 / 10);  // the back-off holds
    m_session.OpenSession();
    ASSERT_TRUE(m_server.WaitForLine(0, "USER bf1942 * * :v1.3 BETA"));
    if (std::string(row.m_pszName) == "Rejected") {
        UpToTheChallenge(0);
        ASSERT_TRUE(m_server.Send(0, "AUTHENTICATE +\r\n"));
    }
    ASSERT_TRUE(m_server.Send(0, row.m_pszAnswer));
    ASSERT_TRUE(Ended(0));
    ASSERT_TRUE(WaitUntil([&] { return m_clock.IsHolding(); }));
    const Lines logs = m_session.Logs();
    EXPECT_TRUE(AnyHolds(logs, std::string("SASL failed: ") + row.m_pszLog))
        << testing::PrintToString(logs);
    // Never registered without the login: no JOIN, no CAP END after a failure.
    EXPECT_FALSE(AnyHolds(m_server.Lines(0), "JOIN"));
    EXPECT_EQ(m_server.Connections(), 1);
    const std::vector<uint32_t> waits = m_clock.SleepsFrom(platform::CBackoff::kFirstMs * 8 / 10);
    ASSERT_EQ(waits.size(), 1u);
    EXPECT_LE(waits[0], platform::CBackoff::kFirstMs * 12 / 10);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SaslFailures,
    ::testing::Values(CFailureRow{"Rejected", ":srv 904 Bot :SASL authentication failed\r\n",
                                  "the server refused the account or password (904)"},
                      CFailureRow{"NotOffered", ":srv CAP * LS :multi-prefix\r\n",
                                  "the server does not offer SASL"},
                      CFailureRow{"NoCap", ":srv 421 Bot CAP :Unknown command\r\n",
                                  "the server does not know capability negotiation"},
                      CFailureRow{"RegisteredWithoutCap",
                                  ":srv 001 Bot :Welcome\r\n:srv 376 Bot :End of MOTD\r\n",
                                  "the server registered the bot without answering CAP"},
                      CFailureRow{"Nak", ":srv CAP * LS :sasl\r\n:srv CAP * NAK :sasl\r\n",
                                  "the server refused the sasl capability"}),
    [](const ::testing::TestParamInfo<CFailureRow>& info) { return info.param.m_pszName; });

TEST_F(SaslRegistration, NoAnswerToAuthenticateIsGivenUpAfterThirtySeconds) {
    m_session.OpenSession();
    UpToTheChallenge(0);
    m_clock.Advance(irc::CSaslNegotiation::kAnswerTimeoutMs - 1000);
    EXPECT_FALSE(m_server.ClosedByPeer(0));
    m_clock.Advance(1000);
    ASSERT_TRUE(Ended(0));
    EXPECT_TRUE(AnyHolds(m_session.Logs(), "SASL failed: no answer from the server within 30 s"));
    EXPECT_FALSE(AnyHolds(m_server.Lines(0), "CAP END")) << "never registered without the login";
}

TEST_F(SaslRegistration, EndlessCapLinesEndTheConnectionWithBoundedMemory) {
    m_session.OpenSession();
    ASSERT_TRUE(m_server.WaitForLine(0, "USER bf1942 * * :v1.3 BETA"));
    const std::string strLine = ":srv CAP * LS * :" + std::string(400, 'x') + "\r\n";
    std::string strFlood;
    for (int n = 0; n < 200; ++n) strFlood += strLine;
    m_server.Send(0, strFlood);  // the bot may hang up while it arrives
    ASSERT_TRUE(Ended(0));
    EXPECT_TRUE(
        AnyHolds(m_session.Logs(), "SASL failed: the server's capability list is too long"));
    EXPECT_FALSE(AnyHolds(m_server.Lines(0), "CAP REQ"));
}

// Without SASL chosen, the registration is as it always was.
TEST_F(SaslRegistration, AccountNetworksRegisterWithoutCap) {
    {
        irc::CIrcSettings connection = m_session.Connection();
        connection.m_nNetwork = 0;
        m_session.SetConnection(connection);
    }
    m_session.OpenSession();
    ASSERT_TRUE(m_server.WaitForLine(0, "USER bf1942 * * :v1.3 BETA"));
    EXPECT_EQ(m_server.Received(0), "NICK Bot\r\nUSER bf1942 * * :v1.3 BETA\r\n");
}

}  // namespace
