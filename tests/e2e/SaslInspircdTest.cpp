// The SASL steps against a real IRC server with services: InspIRCd linked
// with Atheme on 127.0.0.1. The test registers the account through NickServ,
// then the negotiation logs in with PLAIN, and with EXTERNAL by the
// fingerprint of a client certificate over the TLS stream.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "irc/IrcSession.h"
#include "irc/Sasl.h"
#include "platform/Clock.h"
#include "platform/TlsStream.h"
#include "support/InspircdAtheme.h"
#include "support/IrcLineConnection.h"
#include "support/RecordingIrcSession.h"
#include "support/TestCertificates.h"
#include "support/Wait.h"

using namespace irc;
using testsupport::CInspircdAtheme;
using testsupport::CIrcLineConnection;
using testsupport::CTestCertificates;

namespace {

constexpr char kAccount[] = "fragbot";
constexpr char kPassword[] = "hunter2-fragrelay";

struct CSaslOutcome {
    ESaslState m_eState = ESaslState::Idle;
    ESaslFailure m_eFailure = ESaslFailure::None;
    std::vector<std::string> m_vLog;   // the negotiation's log lines
    std::vector<std::string> m_vSent;  // every line sent
    bool m_bEnd = false;
    bool m_bWelcomed = false;
};

// Registers with SASL as the session will: "CAP LS 302" before NICK and
// USER, every server line through the negotiation, its time from a real
// clock; then, unless it asked to end, waits for the welcome.
CSaslOutcome RegisterWithSasl(CIrcLineConnection& conn, const CSaslConfig& config,
                              const std::string& strNick) {
    CSaslOutcome outcome;
    CSaslNegotiation sasl(config);
    const auto start = std::chrono::steady_clock::now();
    auto now = [&] {
        return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                         std::chrono::steady_clock::now() - start)
                                         .count());
    };
    auto send = [&](const std::string& strLine) {
        outcome.m_vSent.push_back(strLine);
        conn.SendLine(strLine);
    };
    auto apply = [&](const CSaslStep& step) {
        for (const std::string& str : step.m_vSend) send(str);
        for (const std::string& str : step.m_vLog) outcome.m_vLog.push_back(str);
        outcome.m_bEnd = outcome.m_bEnd || step.m_bEndConnection;
    };
    apply(sasl.Start(now()));
    send("NICK " + strNick);
    send("USER bf1942 * * :v1.3 BETA");
    const auto deadline = start + std::chrono::seconds(40);
    while (sasl.Waiting() && std::chrono::steady_clock::now() < deadline) {
        std::string strLine;
        if (!conn.NextLine(strLine, std::chrono::milliseconds(500))) {
            if (conn.Ended()) break;
            apply(sasl.OnTime(now()));
            continue;
        }
        apply(sasl.OnLine(strLine, now()));
    }
    outcome.m_eState = sasl.State();
    outcome.m_eFailure = sasl.Failure();
    if (!outcome.m_bEnd && outcome.m_eState != ESaslState::Idle)
        outcome.m_bWelcomed = conn.WaitFor(" 001 " + strNick + " ");
    return outcome;
}

CSaslConfig PlainConfig(const std::string& strPassword, bool bWithout = false) {
    CSaslConfig config;
    config.m_eMechanism = ESaslMechanism::Plain;
    config.m_strAccount = kAccount;
    config.m_strPassword = strPassword;
    config.m_bRegisterWithoutSasl = bWithout;
    return config;
}

class SaslAgainstInspircdAtheme : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (!CInspircdAtheme::Available() || !CTestCertificates::Available()) return;
        s_pCerts = std::make_unique<CTestCertificates>();
        if (!s_pCerts->Make()) {
            s_strStartLog = s_pCerts->Log();
            s_pCerts.reset();
            return;
        }
        // One network for the suite: the account registered first is used
        // by the tests that follow.
        s_pNetwork = std::make_unique<CInspircdAtheme>();
        if (!s_pNetwork->Start(s_pCerts->Good().m_strCert, s_pCerts->Good().m_strKey)) {
            s_strStartLog = s_pNetwork->Log();
            s_pNetwork.reset();
            return;
        }
        s_bAccount = RegisterAccount();
        if (!s_bAccount)
            s_strStartLog =
                ::testing::PrintToString(s_pFounder->Lines()) + "\n" + s_pNetwork->Log();
    }
    static void TearDownTestSuite() {
        s_pNetwork.reset();
        s_pCerts.reset();
    }

    void SetUp() override {
        if (!CInspircdAtheme::Available() || !CTestCertificates::Available()) {
            if (std::getenv("FR_REQUIRE_PEERS") != nullptr)
                FAIL()
                    << "inspircd, atheme-services or openssl is missing (FR_REQUIRE_PEERS is set)";
            GTEST_SKIP() << "inspircd, atheme-services or openssl is not installed";
        }
        ASSERT_TRUE(s_pCerts && s_pNetwork && s_bAccount) << s_strStartLog;
    }

    // Registers the account through NickServ and a channel for registered
    // users only (+R), held by its founder.
    static bool RegisterAccount() {
        s_pFounder = std::make_unique<CIrcLineConnection>();
        CIrcLineConnection& conn = *s_pFounder;
        if (!conn.ConnectPlain(s_pNetwork->Port())) return false;
        conn.SendLine("NICK " + std::string(kAccount));
        conn.SendLine("USER founder * * :founder");
        if (!conn.WaitFor(" 001 ")) return false;
        conn.SendLine("PRIVMSG NickServ :REGISTER " + std::string(kPassword) +
                      " bot@fragrelay.test");
        if (!conn.WaitFor(" is now registered to ")) return false;
        // Another nick keeps the channel open, so the bot's nick is free.
        conn.SendLine("NICK founder");
        conn.SendLine("JOIN #relay");
        conn.SendLine("MODE #relay +R");
        return conn.WaitFor(" MODE #relay ");
    }

    static std::unique_ptr<CTestCertificates> s_pCerts;
    static std::unique_ptr<CInspircdAtheme> s_pNetwork;
    static std::unique_ptr<CIrcLineConnection> s_pFounder;
    static bool s_bAccount;
    static std::string s_strStartLog;
};

std::unique_ptr<CTestCertificates> SaslAgainstInspircdAtheme::s_pCerts;
std::unique_ptr<CInspircdAtheme> SaslAgainstInspircdAtheme::s_pNetwork;
std::unique_ptr<CIrcLineConnection> SaslAgainstInspircdAtheme::s_pFounder;
bool SaslAgainstInspircdAtheme::s_bAccount = false;
std::string SaslAgainstInspircdAtheme::s_strStartLog;

TEST_F(SaslAgainstInspircdAtheme, PlainLogsInAndGetsIntoARegisteredOnlyChannel) {
    CIrcLineConnection conn;
    ASSERT_TRUE(conn.ConnectPlain(s_pNetwork->Port()));
    const CSaslOutcome outcome = RegisterWithSasl(conn, PlainConfig(kPassword), "relaybot");
    EXPECT_EQ(outcome.m_eState, ESaslState::LoggedIn) << ::testing::PrintToString(conn.Lines());
    EXPECT_EQ(outcome.m_vLog, (std::vector<std::string>{"SASL: logged in as fragbot"}));
    ASSERT_TRUE(outcome.m_bWelcomed) << ::testing::PrintToString(conn.Lines());
    // The steps, the secret only in its encoded response.
    EXPECT_EQ(outcome.m_vSent,
              (std::vector<std::string>{
                  "CAP LS 302", "NICK relaybot", "USER bf1942 * * :v1.3 BETA", "CAP REQ :sasl",
                  "AUTHENTICATE PLAIN",
                  "AUTHENTICATE " + Base64Encode(PlainResponse(kAccount, kPassword)), "CAP END"}));
    ASSERT_TRUE(conn.SendLine("JOIN #relay"));
    EXPECT_TRUE(conn.WaitFor(" 366 relaybot #relay ")) << ::testing::PrintToString(conn.Lines());

    // Without an account the channel stays shut.
    CIrcLineConnection guest;
    ASSERT_TRUE(guest.ConnectPlain(s_pNetwork->Port()));
    guest.SendLine("NICK guest");
    guest.SendLine("USER guest * * :guest");
    ASSERT_TRUE(guest.WaitFor(" 001 guest "));
    guest.SendLine("JOIN #relay");
    EXPECT_TRUE(guest.WaitFor(" 477 guest #relay ")) << ::testing::PrintToString(guest.Lines());
}

TEST_F(SaslAgainstInspircdAtheme, WrongPasswordEndsOrGoesOnAsAllowed) {
    {
        CIrcLineConnection conn;
        ASSERT_TRUE(conn.ConnectPlain(s_pNetwork->Port()));
        const CSaslOutcome outcome = RegisterWithSasl(conn, PlainConfig("wrong"), "relaybot2");
        EXPECT_EQ(outcome.m_eFailure, ESaslFailure::Rejected)
            << ::testing::PrintToString(conn.Lines());
        EXPECT_TRUE(outcome.m_bEnd);
        ASSERT_EQ(outcome.m_vLog.size(), 1u);
        EXPECT_NE(outcome.m_vLog[0].find("904"), std::string::npos) << outcome.m_vLog[0];
        EXPECT_EQ(outcome.m_vLog[0].find("wrong"), std::string::npos);
    }
    {
        // Allowed to go on: CAP END, registered without an account, and the
        // registered-only channel stays shut.
        CIrcLineConnection conn;
        ASSERT_TRUE(conn.ConnectPlain(s_pNetwork->Port()));
        const CSaslOutcome outcome =
            RegisterWithSasl(conn, PlainConfig("wrong", true), "relaybot3");
        EXPECT_EQ(outcome.m_eFailure, ESaslFailure::Rejected);
        EXPECT_FALSE(outcome.m_bEnd);
        EXPECT_EQ(outcome.m_vSent.back(), "CAP END");
        ASSERT_TRUE(outcome.m_bWelcomed) << ::testing::PrintToString(conn.Lines());
        conn.SendLine("JOIN #relay");
        EXPECT_TRUE(conn.WaitFor(" 477 relaybot3 #relay "));
    }
}

TEST_F(SaslAgainstInspircdAtheme, ExternalByCertificateFingerprintOverTls) {
    platform::CTlsOptions options;
    options.m_strHost = "127.0.0.1";
    options.m_strCaFile = s_pCerts->CaFile();
    options.m_strClientCert = s_pCerts->ClientPem();

    // Logged in once by password over TLS, the bot adds its certificate.
    {
        CIrcLineConnection conn;
        const auto result = conn.ConnectTls(s_pNetwork->TlsPort(), options);
        ASSERT_TRUE(result.Ok()) << platform::TlsFailureText(result);
        const CSaslOutcome outcome = RegisterWithSasl(conn, PlainConfig(kPassword), "certbot");
        ASSERT_EQ(outcome.m_eState, ESaslState::LoggedIn) << ::testing::PrintToString(conn.Lines());
        ASSERT_TRUE(outcome.m_bWelcomed);
        conn.SendLine("PRIVMSG NickServ :CERT ADD");
        ASSERT_TRUE(conn.WaitFor("fingerprint")) << ::testing::PrintToString(conn.Lines());
        // NickServ names the fingerprint it saw: the one openssl computed.
        std::string strHex;
        for (char c : s_pCerts->Client().m_strFingerprint)
            if (c != ':') strHex += static_cast<char>(std::tolower(c));
        EXPECT_NE(conn.Lines().back().find(strHex), std::string::npos)
            << conn.Lines().back() << "\n"
            << strHex;
        conn.SendLine("QUIT");
    }
    // Then the certificate alone logs it in.
    CIrcLineConnection conn;
    const auto result = conn.ConnectTls(s_pNetwork->TlsPort(), options);
    ASSERT_TRUE(result.Ok()) << platform::TlsFailureText(result);
    CSaslConfig config;
    config.m_eMechanism = ESaslMechanism::External;
    const CSaslOutcome outcome = RegisterWithSasl(conn, config, "certbot2");
    EXPECT_EQ(outcome.m_eState, ESaslState::LoggedIn) << ::testing::PrintToString(conn.Lines());
    EXPECT_EQ(outcome.m_vLog, (std::vector<std::string>{"SASL: logged in as fragbot"}));
    EXPECT_TRUE(outcome.m_bWelcomed);

    // Without a certificate EXTERNAL has nothing to go by.
    CIrcLineConnection plain;
    ASSERT_TRUE(plain.ConnectPlain(s_pNetwork->Port()));
    const CSaslOutcome refused = RegisterWithSasl(plain, config, "certbot3");
    EXPECT_EQ(refused.m_eFailure, ESaslFailure::Rejected)
        << ::testing::PrintToString(plain.Lines());
}

// ---- The bot's own session: SASL in its registration, over TLS.

class SessionWithSasl : public SaslAgainstInspircdAtheme {
protected:
    void SetUp() override {
        SaslAgainstInspircdAtheme::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        // The tests' CA stands in for the system's trust store.
        ::setenv("SSL_CERT_FILE", s_pCerts->CaFile().c_str(), 1);
    }
    void TearDown() override { m_bot.EndIrcThread(); }

    // The bot set for the network's TLS port, SASL chosen.
    void Configure(const std::string& strNick, const std::string& strPassword,
                   const std::string& strClientCert = {}) {
        m_bot.Configure("127.0.0.1", s_pNetwork->TlsPort(), strNick, strNick + "_", "#relay");
        irc::CIrcSettings connection = m_bot.Connection();
        connection.m_bAuth = true;
        connection.m_nNetwork = irc::kNetworkSasl;
        connection.m_strUsername = kAccount;
        connection.m_strPassword = strPassword;
        connection.m_security.m_bTls = true;
        connection.m_security.m_strClientCert = strClientCert;
        m_bot.SetConnection(connection);
    }
    bool LogHolds(const std::string& strPart) const {
        for (const std::string& str : m_bot.Logs())
            if (str.find(strPart) != std::string::npos) return true;
        return false;
    }

    testsupport::CRecordingIrcSession m_bot{platform::SystemClock()};
};

TEST_F(SessionWithSasl, PlainOverTlsGetsTheBotIntoTheRegisteredOnlyChannel) {
    Configure("sessbot", kPassword);
    m_bot.OpenSession();
    ASSERT_TRUE(
        testsupport::WaitUntil([&] { return m_bot.IsInChannel(); }, std::chrono::seconds(20)))
        << ::testing::PrintToString(m_bot.Logs());
    EXPECT_TRUE(LogHolds("SASL: logged in as fragbot"));
    EXPECT_TRUE(LogHolds("TLS: TLSv1."));
    EXPECT_FALSE(LogHolds(kPassword));
    // No account message after the registration: SASL did the login.
    for (const std::string& str : m_bot.Writes()) EXPECT_EQ(str.find("PRIVMSG"), std::string::npos);
    EXPECT_TRUE(s_pFounder->WaitFor(":sessbot!")) << ::testing::PrintToString(s_pFounder->Lines());
}

TEST_F(SessionWithSasl, AWrongPasswordEndsTheConnectionWithTheReason) {
    Configure("sessbot2", "wrong-password");
    m_bot.OpenSession();
    ASSERT_TRUE(testsupport::WaitUntil([&] { return !m_bot.IsIrcThreadRunning(); },
                                       std::chrono::seconds(20)))
        << ::testing::PrintToString(m_bot.Logs());
    EXPECT_TRUE(LogHolds("SASL failed: the server refused the account or password (904)"))
        << ::testing::PrintToString(m_bot.Logs());
    EXPECT_FALSE(LogHolds("wrong-password"));
    for (const std::string& str : m_bot.Writes()) EXPECT_EQ(str.find("JOIN"), std::string::npos);
}

TEST_F(SessionWithSasl, ExternalLogsInByTheClientCertificate) {
    // The account learns the certificate from a login by password over TLS.
    {
        platform::CTlsOptions options;
        options.m_strHost = "127.0.0.1";
        options.m_strCaFile = s_pCerts->CaFile();
        options.m_strClientCert = s_pCerts->ClientPem();
        CIrcLineConnection conn;
        const auto result = conn.ConnectTls(s_pNetwork->TlsPort(), options);
        ASSERT_TRUE(result.Ok()) << platform::TlsFailureText(result);
        const CSaslOutcome outcome = RegisterWithSasl(conn, PlainConfig(kPassword), "certadd");
        ASSERT_TRUE(outcome.m_bWelcomed) << ::testing::PrintToString(conn.Lines());
        conn.SendLine("PRIVMSG NickServ :CERT ADD");
        ASSERT_TRUE(conn.WaitFor("fingerprint")) << ::testing::PrintToString(conn.Lines());
        conn.SendLine("QUIT");
    }
    Configure("sessbot3", "", s_pCerts->ClientPem());
    m_bot.OpenSession();
    ASSERT_TRUE(
        testsupport::WaitUntil([&] { return m_bot.IsInChannel(); }, std::chrono::seconds(20)))
        << ::testing::PrintToString(m_bot.Logs());
    EXPECT_TRUE(LogHolds("SASL: logged in as fragbot"));
    bool bExternal = false;
    for (const std::string& str : m_bot.Writes())
        bExternal = bExternal || str == "AUTHENTICATE EXTERNAL\r\n";
    EXPECT_TRUE(bExternal);
}

}  // namespace
