// The bot's IRC session over TLS against ngircd's TLS port, with a plain
// client as the other user in the channel and certificates the test makes
// with openssl: it registers, joins and speaks; each bad certificate ends
// the attempt with its own log line and no line in plain text; the right
// pin connects; and a TLS peer that stops reading mid-session is given up
// by the writer, and the bot comes back.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "irc/IrcSession.h"
#include "irc/IrcText.h"
#include "platform/Clock.h"
#include "support/Ipv6Loopback.h"
#include "support/IrcTestClient.h"
#include "support/NgircdTlsServer.h"
#include "support/NgircdTlsTest.h"
#include "support/RecordingIrcSession.h"
#include "support/TestCertificates.h"
#include "support/TlsTestServer.h"
#include "support/Wait.h"

using testsupport::CIrcTestClient;
using testsupport::CNgircdTlsServer;
using testsupport::CRecordingIrcSession;
using testsupport::CServerCertificate;
using testsupport::CTestCertificates;
using testsupport::WaitUntil;

namespace {

constexpr auto kLong = std::chrono::seconds(20);

class SessionOverTlsToNgircd : public testsupport::CNgircdTlsTest {
protected:
    void SetUp() override {
        testsupport::CNgircdTlsTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        // The tests' CA stands in for the system's trust store.
        ::setenv("SSL_CERT_FILE", s_pCerts->CaFile().c_str(), 1);
    }
    void TearDown() override { m_bot.EndIrcThread(); }

    std::unique_ptr<CNgircdTlsServer> ServerWith(const CServerCertificate& cert) {
        auto pServer = std::make_unique<CNgircdTlsServer>();
        if (!pServer->Start(cert.m_strCert, cert.m_strKey)) {
            ADD_FAILURE() << "ngircd did not start:\n" << pServer->Log();
            return nullptr;
        }
        return pServer;
    }
    void Configure(const std::string& strHost, uint16_t nPort, const std::string& strPin = {}) {
        m_bot.Configure(strHost, nPort, "fragbot", "fragbot2", "#Relay");
        irc::CIrcSettings connection = m_bot.Connection();
        connection.m_security.m_bTls = true;
        connection.m_security.m_strTlsFingerprint = strPin;
        m_bot.SetConnection(connection);
    }
    bool LogHolds(const std::string& strPart) const {
        for (const std::string& str : m_bot.Logs())
            if (str.find(strPart) != std::string::npos) return true;
        return false;
    }
    // The bot joins #Relay where alice waits, and says something there.
    void JoinsAndSpeaks(CNgircdTlsServer& server, const std::string& strHost) {
        CIrcTestClient alice;
        ASSERT_TRUE(alice.Connect(server.Port(), "alice"));
        ASSERT_TRUE(alice.SendLine("JOIN #Relay"));
        ASSERT_TRUE(alice.WaitFor(" 366 alice #Relay "));
        m_bot.OpenSession();
        ASSERT_TRUE(WaitUntil([&] { return m_bot.IsInChannel(); }, kLong))
            << ::testing::PrintToString(m_bot.Logs()) << server.Log();
        m_bot.SendToChannel("relayed over TLS to " + strHost);
        EXPECT_TRUE(alice.WaitFor(" PRIVMSG #Relay :relayed over TLS to " + strHost))
            << ::testing::PrintToString(alice.Lines());
        EXPECT_TRUE(LogHolds("TLS: TLSv1."));
    }

    CRecordingIrcSession m_bot{platform::SystemClock()};
};

TEST_F(SessionOverTlsToNgircd, VerifiedCertificateJoinsAndSpeaks) {
    auto pServer = ServerWith(s_pCerts->Good());
    ASSERT_TRUE(pServer);
    Configure("127.0.0.1", pServer->TlsPort());
    JoinsAndSpeaks(*pServer, "127.0.0.1");
}

TEST_F(SessionOverTlsToNgircd, VerifiedCertificateOverIpv6) {
    FR_SKIP_WITHOUT_IPV6();
    auto pServer = ServerWith(s_pCerts->Good());
    ASSERT_TRUE(pServer);
    Configure("::1", pServer->TlsPort());
    JoinsAndSpeaks(*pServer, "::1");
}

TEST_F(SessionOverTlsToNgircd, EachBadCertificateEndsWithItsOwnLineAndTheRightPinConnects) {
    const CTestCertificates& c = *s_pCerts;
    const struct {
        const char* m_pszName;
        const CServerCertificate& m_cert;
        std::string m_strPin;
        std::string m_strLog;  // empty: it connects
    } rows[] = {
        {"WrongHostName", c.WrongName(), "", "TLS: certificate has the wrong name"},
        {"UnknownIssuer", c.UnknownIssuer(), "", "TLS: certificate from an unknown issuer"},
        {"WrongPin", c.UnknownIssuer(), c.Good().m_strFingerprint, "TLS: fingerprint mismatch"},
        {"RightPin", c.UnknownIssuer(), c.UnknownIssuer().m_strFingerprint, ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.m_pszName);
        auto pServer = ServerWith(row.m_cert);
        ASSERT_TRUE(pServer);
        CRecordingIrcSession bot(platform::SystemClock());
        bot.Configure("127.0.0.1", pServer->TlsPort(), "fragbot", "fragbot2", "#Relay");
        {
            irc::CIrcSettings connection = bot.Connection();
            connection.m_security.m_bTls = true;
            connection.m_security.m_strTlsFingerprint = row.m_strPin;
            bot.SetConnection(connection);
        }
        if (row.m_strLog.empty()) {
            bot.OpenSession();
            EXPECT_TRUE(WaitUntil([&] { return bot.IsInChannel(); }, kLong))
                << ::testing::PrintToString(bot.Logs());
            continue;
        }
        bot.OpenSession();
        ASSERT_TRUE(WaitUntil([&] { return !bot.IsIrcThreadRunning(); }, kLong));
        const std::vector<std::string> logs = bot.Logs();
        ASSERT_FALSE(logs.empty());
        EXPECT_EQ(logs.back().rfind(row.m_strLog, 0), 0u) << logs.back();
        EXPECT_NE(logs.back().find(row.m_cert.m_strFingerprint), std::string::npos) << logs.back();
        // No fallback: not a line went out, in plain text or otherwise.
        EXPECT_EQ(bot.Writes(), std::vector<std::string>{});
    }
}

// A TLS peer that stops reading: the write gives up at the stall limit (a
// real 30 s: a TLS write waits in one call), the link is lost, and with
// keep-alive the bot connects again over TLS.
TEST_F(SessionOverTlsToNgircd, APeerThatStopsReadingIsGivenUpAndTheBotComesBack) {
    const CServerCertificate& cert = s_pCerts->Good();
    testsupport::CTlsTestServer server(cert.m_strCert, cert.m_strKey);
    ASSERT_TRUE(server.Start());
    class CBulkSession : public CRecordingIrcSession {
    public:
        using CRecordingIrcSession::CRecordingIrcSession;
        std::atomic<bool> m_bBulk{false};

    protected:
        // Once set, the writer's next line carries more than any socket
        // buffers: a backlog in one write, as the writer thread makes it.
        bool WriteToSocket(const std::string& strBytes) override {
            if (!m_bBulk.exchange(false)) return CRecordingIrcSession::WriteToSocket(strBytes);
            return CRecordingIrcSession::WriteToSocket(std::string(32 << 20, 'x') + strBytes);
        }
    } bot(platform::SystemClock());
    bot.Configure("127.0.0.1", server.Port(), "fragbot", "fragbot2", "#Relay");
    {
        irc::CIrcSettings connection = bot.Connection();
        connection.m_security.m_bTls = true;
        connection.m_security.m_strTlsFingerprint = cert.m_strFingerprint;
        bot.SetConnection(connection);
    }
    bot.SetKeepAlive(true);
    bot.OpenSession();
    ASSERT_TRUE(server.WaitForReceived("USER bf1942 * * :v1.3 BETA\r\n"));
    server.StopReading();
    bot.m_bBulk = true;
    bot.SendLine("PING :backlog");
    ASSERT_TRUE(WaitUntil([&] { return bot.FailedWrites() == 1; }, std::chrono::seconds(45)));
    server.CloseClient();  // a server that does not read does not see the end either
    ASSERT_TRUE(WaitUntil([&] { return server.Handshakes() >= 2; }, std::chrono::seconds(30)))
        << ::testing::PrintToString(bot.Logs());
    const std::vector<std::string> logs = bot.Logs();
    EXPECT_NE(std::find(logs.begin(), logs.end(), irc::kTextSendStalled), logs.end())
        << ::testing::PrintToString(logs);
    bot.EndIrcThread();
}

}  // namespace
