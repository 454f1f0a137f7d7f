// The session over TLS against a TLS server inside the test (127.0.0.1),
// with certificates the test makes with openssl: registration over TLS, the
// reasons a handshake fails (each its own log line, nothing sent in plain
// text, no fall-back), the connect limit over a stalled handshake, ending
// the thread in the middle of one, and reconnecting over TLS.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "irc/IrcSession.h"
#include "support/HoldingClock.h"
#include "support/RecordingIrcSession.h"
#include "support/TestCertificates.h"
#include "support/TlsTestServer.h"
#include "support/Wait.h"

using testsupport::CRecordingIrcSession;
using testsupport::CServerCertificate;
using testsupport::CTestCertificates;
using testsupport::CTlsTestServer;
using testsupport::WaitUntil;
using Lines = std::vector<std::string>;

namespace {

constexpr char kRegistration[] = "NICK Bot\r\nUSER bf1942 * * :v1.3 BETA\r\n";

bool AnyHolds(const Lines& lines, const std::string& strPart) {
    return std::any_of(lines.begin(), lines.end(),
                       [&](const std::string& s) { return s.find(strPart) != std::string::npos; });
}

class SessionOverTls : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (!CTestCertificates::Available()) return;
        s_pCerts = std::make_unique<CTestCertificates>();
        if (!s_pCerts->Make()) {
            s_strMakeLog = s_pCerts->Log();
            s_pCerts.reset();
        }
    }
    static void TearDownTestSuite() { s_pCerts.reset(); }

    void SetUp() override {
        if (!CTestCertificates::Available()) {
            if (std::getenv("FR_REQUIRE_PEERS") != nullptr)
                FAIL() << "openssl is missing (FR_REQUIRE_PEERS is set)";
            GTEST_SKIP() << "the openssl program is not installed";
        }
        ASSERT_TRUE(s_pCerts) << s_strMakeLog;
    }
    void TearDown() override {
        m_clock.Release();
        m_session.EndIrcThread();
    }

    // A server with the certificate; the session set for it, TLS on.
    void Serve(const CServerCertificate& cert, CTlsTestServer::EMode eMode,
               const std::string& strPin, const std::string& strHost = "127.0.0.1") {
        m_pServer = std::make_unique<CTlsTestServer>(cert.m_strCert, cert.m_strKey, eMode);
        ASSERT_TRUE(m_pServer->Start());
        m_session.Configure(strHost, m_pServer->Port(), "Bot", "Bot2", "#Chan");
        irc::CIrcSettings connection = m_session.Connection();
        connection.m_security.m_bTls = true;
        connection.m_security.m_strTlsFingerprint = strPin;
        m_session.SetConnection(connection);
    }
    // The connection failed with a log line holding strReason, and the
    // server never saw a byte but the handshake's.
    void FailsWith(const std::string& strReason) {
        m_session.OpenSession();
        // The attempt runs on the IRC thread, within the connect limit.
        ASSERT_TRUE(
            WaitUntil([&] { return !m_session.IsIrcThreadRunning(); },
                      std::chrono::milliseconds(irc::CIrcConnection::kConnectTimeoutMs + 10000)));
        EXPECT_FALSE(m_session.IsSessionActive());
        const Lines logs = m_session.Logs();
        EXPECT_TRUE(AnyHolds(logs, "TLS: " + strReason)) << testing::PrintToString(logs);
        EXPECT_FALSE(AnyHolds(logs, "Connecting to")) << "no registration over a failed handshake";
        EXPECT_EQ(m_pServer->Received(), "");
        EXPECT_EQ(m_session.Writes(), Lines{});
    }

    static std::unique_ptr<CTestCertificates> s_pCerts;
    static std::string s_strMakeLog;
    testsupport::CHoldingClock m_clock;
    std::unique_ptr<CTlsTestServer> m_pServer;
    CRecordingIrcSession m_session{m_clock};
};

std::unique_ptr<CTestCertificates> SessionOverTls::s_pCerts;
std::string SessionOverTls::s_strMakeLog;

TEST_F(SessionOverTls, PinnedCertificateRegistersAndJoins) {
    const CServerCertificate& cert = s_pCerts->UnknownIssuer();  // trusted by its pin alone
    Serve(cert, CTlsTestServer::EMode::Tls, cert.m_strFingerprint);
    m_session.OpenSession();
    ASSERT_TRUE(m_pServer->WaitForReceived(kRegistration));
    EXPECT_EQ(m_pServer->Received().rfind(kRegistration, 0), 0u) << "nothing before NICK";
    // Lines cut between records, and several in one: joined and split as over TCP.
    m_pServer->Send(":srv 001 Bot :Welcome\r\n:srv 37");
    m_pServer->Send("6 Bot :End of MOTD\r\n");
    ASSERT_TRUE(m_pServer->WaitForReceived("JOIN #Chan\r\n"));
    m_pServer->Send(":Bot!b@h JOIN :#Chan\r\n:al!a@h PRIVMSG #Chan :hi\r\n");
    ASSERT_TRUE(WaitUntil([&] { return m_session.IsInChannel(); }));
    m_session.SendToChannel("hello over TLS");
    EXPECT_TRUE(m_pServer->WaitForReceived("PRIVMSG #Chan :hello over TLS\r\n"));
    EXPECT_TRUE(AnyHolds(m_session.Logs(), "TLS: TLSv1."));
    EXPECT_TRUE(AnyHolds(m_session.Logs(), cert.m_strFingerprint));
    // Disconnect: QUIT leaves over TLS and the thread ends.
    m_session.Disconnect();
    EXPECT_TRUE(m_pServer->WaitForReceived("QUIT :"));
    m_pServer->CloseClient();
    EXPECT_TRUE(WaitUntil([&] { return !m_session.IsIrcThreadRunning(); }));
}

TEST_F(SessionOverTls, EachFailedCheckSaysWhyAndSendsNothing) {
    const struct {
        const char* m_pszName;
        const CServerCertificate& m_cert;
        std::string m_strPin;
        const char* m_pszReason;
    } rows[] = {
        {"WrongPin", s_pCerts->Good(), s_pCerts->Expired().m_strFingerprint,
         "fingerprint mismatch"},
        {"UnknownIssuer", s_pCerts->UnknownIssuer(), "", "certificate from an unknown issuer"},
        {"Expired", s_pCerts->Expired(), "", "certificate expired"},
    };
    // The tests' CA stands in for the system's trust store.
    ::setenv("SSL_CERT_FILE", s_pCerts->CaFile().c_str(), 1);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.m_pszName);
        Serve(row.m_cert, CTlsTestServer::EMode::Tls, row.m_strPin);
        FailsWith(row.m_pszReason);
        m_session.EndIrcThread();
    }
}

TEST_F(SessionOverTls, WrongHostNameIsRefusedAndTheRightOneConnects) {
    ::setenv("SSL_CERT_FILE", s_pCerts->CaFile().c_str(), 1);
    Serve(s_pCerts->WrongName(), CTlsTestServer::EMode::Tls, "", "localhost");
    FailsWith("certificate has the wrong name");
    m_session.EndIrcThread();
    Serve(s_pCerts->Good(), CTlsTestServer::EMode::Tls, "", "localhost");
    m_session.OpenSession();
    EXPECT_TRUE(m_pServer->WaitForReceived(kRegistration))
        << testing::PrintToString(m_session.Logs());
    EXPECT_EQ(m_pServer->ServerName(), "localhost");
}

TEST_F(SessionOverTls, APlainServerIsNoFallBack) {
    Serve(s_pCerts->Good(), CTlsTestServer::EMode::PlainText, s_pCerts->Good().m_strFingerprint);
    FailsWith("handshake failed");
}

TEST_F(SessionOverTls, AStalledHandshakeEndsAtTheConnectLimit) {
    Serve(s_pCerts->Good(), CTlsTestServer::EMode::Silent, s_pCerts->Good().m_strFingerprint);
    const auto start = std::chrono::steady_clock::now();
    FailsWith("handshake timed out");
    // Bounded by the limit (with room for a loaded machine), not reported as speed.
    EXPECT_LT(std::chrono::steady_clock::now() - start,
              std::chrono::milliseconds(irc::CIrcConnection::kConnectTimeoutMs + 5000));
}

TEST_F(SessionOverTls, EndingTheThreadCutsAStalledHandshakeShort) {
    Serve(s_pCerts->Good(), CTlsTestServer::EMode::Silent, s_pCerts->Good().m_strFingerprint);
    m_session.SetKeepAlive(true);
    m_session.OpenSession();
    // The hello has arrived: the IRC thread is inside its handshake, no
    // longer connecting.
    ASSERT_TRUE(WaitUntil([&] { return m_pServer->HeardSilently() >= 1; }));
    m_session.EndIrcThread();
    EXPECT_FALSE(m_session.IsIrcThreadRunning());
    // Stopped, not timed out: the end did not wait for the connect limit.
    EXPECT_TRUE(AnyHolds(m_session.Logs(), "TLS: handshake stopped"))
        << testing::PrintToString(m_session.Logs());
}

// Open never waits for the network: the handshake runs on the IRC thread,
// and Disconnect cuts it short instead of letting it run to the limit.
TEST_F(SessionOverTls, OpenReturnsAtOnceAndDisconnectCutsTheHandshakeShort) {
    Serve(s_pCerts->Good(), CTlsTestServer::EMode::Silent, s_pCerts->Good().m_strFingerprint);
    m_session.OpenSession();
    EXPECT_TRUE(m_session.IsSessionActive());
    EXPECT_EQ(m_session.State(), irc::EIrcState::Connecting);
    ASSERT_TRUE(WaitUntil([&] { return m_pServer->HeardSilently() >= 1; }));
    // The hello has arrived and the server keeps silent: the thread is in
    // the handshake.
    EXPECT_EQ(m_session.State(), irc::EIrcState::Connecting);
    m_session.Disconnect();
    ASSERT_TRUE(WaitUntil([&] { return !m_session.IsIrcThreadRunning(); }));
    EXPECT_TRUE(AnyHolds(m_session.Logs(), "TLS: handshake stopped"))
        << testing::PrintToString(m_session.Logs());
    EXPECT_EQ(m_session.SessionEnds(), 1);
    EXPECT_EQ(m_pServer->Received(), "");
}

TEST_F(SessionOverTls, ALostTlsLinkReconnectsOverTls) {
    const CServerCertificate& cert = s_pCerts->Good();
    Serve(cert, CTlsTestServer::EMode::Tls, cert.m_strFingerprint);
    m_session.SetKeepAlive(true);
    m_session.OpenSession();
    ASSERT_TRUE(m_pServer->WaitForReceived(kRegistration));
    m_pServer->CloseClient();
    ASSERT_TRUE(WaitUntil([&] { return m_pServer->Handshakes() >= 2; }));
    EXPECT_TRUE(m_pServer->WaitForReceived(kRegistration));
    EXPECT_TRUE(AnyHolds(m_session.Logs(), "Next attempt in "));
}

}  // namespace
