// The TLS client against a real IRC server (ngircd) with its TLS port on
// 127.0.0.1 and ::1, with certificates the test makes with openssl.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "platform/TlsStream.h"
#include "support/IrcLineConnection.h"
#include "support/NgircdTlsServer.h"
#include "support/NgircdTlsTest.h"
#include "support/TestCertificates.h"

using platform::CTlsOptions;
using platform::ETlsFailure;
using platform::TlsFailureText;
using testsupport::CIrcLineConnection;
using testsupport::CNgircdTlsServer;
using testsupport::CServerCertificate;
using testsupport::CTestCertificates;

namespace {

class TlsAgainstNgircd : public testsupport::CNgircdTlsTest {
protected:
    // Starts a server showing the certificate.
    static std::unique_ptr<CNgircdTlsServer> ServerWith(const CServerCertificate& cert) {
        auto pServer = std::make_unique<CNgircdTlsServer>();
        if (!pServer->Start(cert.m_strCert, cert.m_strKey)) {
            ADD_FAILURE() << "ngircd did not start:\n" << pServer->Log();
            return nullptr;
        }
        return pServer;
    }

    static CTlsOptions Trusting(const std::string& strHost) {
        CTlsOptions options;
        options.m_strHost = strHost;
        options.m_strCaFile = s_pCerts->CaFile();
        return options;
    }

    // Registers over the connection and waits for the welcome.
    static void Registers(CIrcLineConnection& conn, const std::string& strNick) {
        ASSERT_TRUE(conn.SendLine("NICK " + strNick));
        ASSERT_TRUE(conn.SendLine("USER bf1942 * * :v1.3 BETA"));
        EXPECT_TRUE(conn.WaitFor(" 001 " + strNick + " "))
            << ::testing::PrintToString(conn.Lines());
    }
};

TEST_F(TlsAgainstNgircd, VerifiedConnectionRegistersAndJoins) {
    auto pServer = ServerWith(s_pCerts->Good());
    ASSERT_TRUE(pServer);
    CIrcLineConnection conn;
    const auto result = conn.ConnectTls(pServer->TlsPort(), Trusting("localhost"));
    ASSERT_TRUE(result.Ok()) << TlsFailureText(result);
    EXPECT_EQ(result.m_strFingerprint, s_pCerts->Good().m_strFingerprint);
    Registers(conn, "fragbot");
    ASSERT_TRUE(conn.SendLine("JOIN #Relay"));
    EXPECT_TRUE(conn.WaitFor(" 366 fragbot #Relay "));
    // The server knows the link is protected.
    ASSERT_TRUE(conn.SendLine("WHOIS fragbot"));
    EXPECT_TRUE(conn.WaitFor(" 275 fragbot fragbot :is connected via SSL"))
        << ::testing::PrintToString(conn.Lines());
}

TEST_F(TlsAgainstNgircd, EachBadCertificateFailsWithItsOwnReasonAndTheRightPinConnects) {
    struct Row {
        const char* m_pszName;
        const CServerCertificate& m_cert;
        bool m_bTrustCa;
        std::string m_strPin;
        ETlsFailure m_eExpected;
        std::string m_strInText;
    };
    const CTestCertificates& c = *s_pCerts;
    const Row rows[] = {
        {"wrong host name", c.WrongName(), true, "", ETlsFailure::WrongName, "wrong name"},
        {"unknown issuer", c.UnknownIssuer(), true, "", ETlsFailure::UnknownIssuer,
         "unknown issuer"},
        {"expired", c.Expired(), true, "", ETlsFailure::Expired, "certificate expired"},
        {"wrong pin", c.UnknownIssuer(), false, c.Good().m_strFingerprint,
         ETlsFailure::FingerprintMismatch, "fingerprint mismatch"},
        {"right pin", c.UnknownIssuer(), false, c.UnknownIssuer().m_strFingerprint,
         ETlsFailure::None, "connected"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.m_pszName);
        auto pServer = ServerWith(row.m_cert);
        ASSERT_TRUE(pServer);
        CTlsOptions options;
        options.m_strHost = "localhost";
        if (row.m_bTrustCa) options.m_strCaFile = c.CaFile();
        options.m_strFingerprint = row.m_strPin;
        CIrcLineConnection conn;
        const auto result = conn.ConnectTls(pServer->TlsPort(), options);
        EXPECT_EQ(result.m_eFailure, row.m_eExpected) << TlsFailureText(result);
        const std::string strText = TlsFailureText(result);
        EXPECT_NE(strText.find(row.m_strInText), std::string::npos) << strText;
        EXPECT_EQ(result.m_strFingerprint, row.m_cert.m_strFingerprint);
        if (row.m_eExpected == ETlsFailure::None) {
            Registers(conn, "fragbot");
        } else {
            // No fallback: nothing goes over the failed connection.
            EXPECT_FALSE(conn.SendLine("NICK fragbot"));
        }
    }
}

TEST_F(TlsAgainstNgircd, TlsToThePlainPortEndsAtTheTimeLimit) {
    auto pServer = ServerWith(s_pCerts->Good());
    ASSERT_TRUE(pServer);
    // The server takes the handshake for the start of a line and waits for its end.
    CIrcLineConnection tlsOnPlain;
    const auto result = tlsOnPlain.ConnectTls(pServer->Port(), Trusting("localhost"), false, 1000);
    EXPECT_EQ(result.m_eFailure, ETlsFailure::TimedOut) << TlsFailureText(result);
    EXPECT_FALSE(tlsOnPlain.SendLine("NICK fragbot"));
}

TEST_F(TlsAgainstNgircd, Ipv6LoopbackPlainAndVerifiedByAddress) {
    auto pServer = ServerWith(s_pCerts->Good());
    ASSERT_TRUE(pServer);
    CIrcLineConnection plain;
    ASSERT_TRUE(plain.ConnectPlain(pServer->Port(), true));
    Registers(plain, "plainbot");
    ASSERT_TRUE(plain.SendLine("WHOIS plainbot"));
    ASSERT_TRUE(plain.WaitFor(" 378 plainbot plainbot :is connecting from "))
        << ::testing::PrintToString(plain.Lines());
    EXPECT_NE(plain.Lines().back().find("::1"), std::string::npos) << plain.Lines().back();

    // The certificate names ::1; "[::1]" is the same address.
    for (const char* pszHost : {"::1", "[::1]"}) {
        SCOPED_TRACE(pszHost);
        CIrcLineConnection tls;
        const auto result = tls.ConnectTls(pServer->TlsPort(), Trusting(pszHost), true);
        ASSERT_TRUE(result.Ok()) << TlsFailureText(result);
        Registers(tls, std::string("tls") + (pszHost[0] == '[' ? "b" : "a"));
    }
    CIrcLineConnection wrong;
    const auto result = wrong.ConnectTls(pServer->TlsPort(), Trusting("::2"), true);
    EXPECT_EQ(result.m_eFailure, ETlsFailure::WrongName) << TlsFailureText(result);
}

}  // namespace
