// The TLS client against a TLS server in the test's own process on
// 127.0.0.1, with certificates the test makes with the openssl program.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <thread>

#include "config/TempFolder.h"
#include "irc/IrcLineSplitter.h"
#include "platform/Clock.h"
#include "platform/PemKey.h"
#include "platform/TlsStream.h"
#include "support/ChildProcess.h"
#include "support/TestCertificates.h"
#include "support/TlsTestServer.h"
#include "support/Wait.h"

using namespace platform;
using testsupport::CServerCertificate;
using testsupport::CTestCertificates;
using testsupport::CTlsTestServer;
using testsupport::WaitUntil;

namespace {

constexpr int kHandshakeMs = 10000;

CSocket ConnectTo(uint16_t nPort) {
    CSocket socket = CSocket::CreateTcp();
    if (!socket.Connect(LoopbackAddress(nPort), 5000)) socket.Close();
    return socket;
}

// Reads until the splitter holds nLines lines or the deadline passes.
std::vector<std::string> ReadLines(CTlsStream& stream, size_t nLines) {
    irc::CIrcLineSplitter splitter;
    std::vector<std::string> vLines;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (vLines.size() < nLines && std::chrono::steady_clock::now() < end) {
        char buf[512];
        const int n = stream.Recv(buf, sizeof buf, 100);
        if (n == 0 || n == -1) break;
        if (n > 0) splitter.Feed(buf, static_cast<size_t>(n));
        for (std::string strLine; splitter.Next(strLine);) vLines.push_back(strLine);
    }
    return vLines;
}

// One set of certificates for every test of this file: making them takes a
// moment.
class TlsStreamTest : public ::testing::Test {
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
                FAIL() << "the openssl program is missing (FR_REQUIRE_PEERS is set)";
            GTEST_SKIP() << "the openssl program is not installed";
        }
        ASSERT_TRUE(s_pCerts) << s_strMakeLog;
    }

    static const CTestCertificates& Certs() { return *s_pCerts; }

    // Options that trust the test CA for host "localhost".
    static CTlsOptions Trusting(const std::string& strHost = "localhost") {
        CTlsOptions options;
        options.m_strHost = strHost;
        options.m_strCaFile = Certs().CaFile();
        return options;
    }

    static std::unique_ptr<CTestCertificates> s_pCerts;
    static std::string s_strMakeLog;
};

std::unique_ptr<CTestCertificates> TlsStreamTest::s_pCerts;
std::string TlsStreamTest::s_strMakeLog;

TEST_F(TlsStreamTest, VerifiedConnectionCarriesLinesBothWays) {
    CTlsTestServer server(Certs().Good().m_strCert, Certs().Good().m_strKey);
    ASSERT_TRUE(server.Start());
    CTlsStream stream;
    const CTlsHandshakeResult result =
        stream.Handshake(ConnectTo(server.Port()), Trusting(), kHandshakeMs);
    ASSERT_TRUE(result.Ok()) << TlsFailureText(result);
    EXPECT_EQ(result.m_strFingerprint, Certs().Good().m_strFingerprint);
    EXPECT_EQ(stream.PeerFingerprint(), Certs().Good().m_strFingerprint);
    EXPECT_TRUE(stream.IsOpen());
    EXPECT_EQ(stream.Version().rfind("TLSv1.", 0), 0u) << stream.Version();

    // Records cut through lines: a read may hold part of a line or several.
    server.Send("PING :one\r\nPING :two\r\nPI");
    server.Send("NG :three\r\n");
    EXPECT_EQ(ReadLines(stream, 3),
              (std::vector<std::string>{"PING :one", "PING :two", "PING :three"}));

    ASSERT_EQ(stream.Send("PONG :one\r\n", 1000), 11);
    EXPECT_TRUE(server.WaitForReceived("PONG :one\r\n"));

    // The server's close ends the stream like a TCP close.
    server.CloseClient();
    char buf[64];
    int n = CTlsStream::kTimedOut;
    for (int i = 0; i < 50 && n == CTlsStream::kTimedOut; ++i)
        n = stream.Recv(buf, sizeof buf, 100);
    EXPECT_EQ(n, 0);
    // Writing on into the closed connection fails; it raises no SIGPIPE
    // (which would end this process).
    int nSent = 0;
    for (int i = 0; i < 20 && nSent >= 0; ++i) {
        nSent = stream.Send("PRIVMSG #c :late\r\n", 500);
        if (nSent >= 0) WaitUntil([] { return false; }, std::chrono::milliseconds(10));
    }
    EXPECT_EQ(nSent, -1);
}

TEST_F(TlsStreamTest, ServerCertificateChecks) {
    struct Row {
        const char* m_pszName;
        const CServerCertificate& m_cert;
        std::string m_strHost;
        bool m_bTrustCa;
        std::string m_strPin;
        ETlsFailure m_eExpected;
    };
    const CTestCertificates& c = Certs();
    const Row rows[] = {
        {"good for localhost", c.Good(), "localhost", true, "", ETlsFailure::None},
        {"good for its IPv4 address", c.Good(), "127.0.0.1", true, "", ETlsFailure::None},
        {"host name of the wrong case", c.Good(), "LocalHost", true, "", ETlsFailure::None},
        {"another address", c.Good(), "127.0.0.2", true, "", ETlsFailure::WrongName},
        {"another name", c.WrongName(), "localhost", true, "", ETlsFailure::WrongName},
        {"CA not trusted", c.Good(), "localhost", false, "", ETlsFailure::UnknownIssuer},
        {"unknown issuer", c.UnknownIssuer(), "localhost", true, "", ETlsFailure::UnknownIssuer},
        {"expired", c.Expired(), "localhost", true, "", ETlsFailure::Expired},
        {"self-signed", c.Client(), "localhost", true, "", ETlsFailure::SelfSigned},
        // A pin replaces the checks: exactly its certificate passes.
        {"pinned, unknown issuer", c.UnknownIssuer(), "localhost", false,
         c.UnknownIssuer().m_strFingerprint, ETlsFailure::None},
        {"pinned in lower case without colons", c.WrongName(), "localhost", false,
         [&] {
             std::string str;
             for (char ch : c.WrongName().m_strFingerprint)
                 if (ch != ':') str += static_cast<char>(std::tolower(ch));
             return str;
         }(),
         ETlsFailure::None},
        {"pinned, another certificate", c.Good(), "localhost", true,
         c.UnknownIssuer().m_strFingerprint, ETlsFailure::FingerprintMismatch},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.m_pszName);
        CTlsTestServer server(row.m_cert.m_strCert, row.m_cert.m_strKey);
        ASSERT_TRUE(server.Start());
        CTlsOptions options;
        options.m_strHost = row.m_strHost;
        if (row.m_bTrustCa) options.m_strCaFile = c.CaFile();
        options.m_strFingerprint = row.m_strPin;
        CTlsStream stream;
        const CTlsHandshakeResult result =
            stream.Handshake(ConnectTo(server.Port()), options, kHandshakeMs);
        EXPECT_EQ(result.m_eFailure, row.m_eExpected) << TlsFailureText(result);
        // The operator always learns which certificate the server showed.
        EXPECT_EQ(result.m_strFingerprint, row.m_cert.m_strFingerprint);
        EXPECT_EQ(stream.IsOpen(), row.m_eExpected == ETlsFailure::None);
        // The name goes out as SNI; an address never does.
        if (row.m_eExpected == ETlsFailure::None) {
            // The client may finish its part first: the server's comes after.
            ASSERT_TRUE(WaitUntil([&] { return server.Handshakes() == 1; }));
            const bool bAddress =
                row.m_strHost.find_first_not_of("0123456789.") == std::string::npos;
            EXPECT_EQ(server.ServerName(), bAddress ? "" : row.m_strHost);
        }
        if (row.m_eExpected != ETlsFailure::None) {
            EXPECT_NE(TlsFailureText(result).find(row.m_cert.m_strFingerprint), std::string::npos);
            char buf[8];
            EXPECT_EQ(stream.Recv(buf, sizeof buf, 0), -1);
            EXPECT_EQ(stream.Send("x", 1, 0), -1);
        }
    }
}

TEST_F(TlsStreamTest, ServersThatAreNoTlsServers) {
    struct Row {
        const char* m_pszName;
        CTlsTestServer::EMode m_eMode;
        ETlsFailure m_eExpected;
    };
    const Row rows[] = {
        {"never speaks", CTlsTestServer::EMode::Silent, ETlsFailure::TimedOut},
        {"hangs up", CTlsTestServer::EMode::CloseAtOnce, ETlsFailure::PeerClosed},
        {"speaks plain text", CTlsTestServer::EMode::PlainText, ETlsFailure::Protocol},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.m_pszName);
        CTlsTestServer server(Certs().Good().m_strCert, Certs().Good().m_strKey, row.m_eMode);
        ASSERT_TRUE(server.Start());
        CTlsStream stream;
        const CTlsHandshakeResult result =
            stream.Handshake(ConnectTo(server.Port()), Trusting(),
                             row.m_eMode == CTlsTestServer::EMode::Silent ? 300 : kHandshakeMs);
        EXPECT_EQ(result.m_eFailure, row.m_eExpected) << TlsFailureText(result);
        EXPECT_FALSE(stream.IsOpen());
        EXPECT_EQ(result.m_strFingerprint, "");
    }
}

TEST_F(TlsStreamTest, StopSignalAndShutdownEndAStalledHandshake) {
    CTlsTestServer server(Certs().Good().m_strCert, Certs().Good().m_strKey,
                          CTlsTestServer::EMode::Silent);
    ASSERT_TRUE(server.Start());
    {
        CStopSignal stop;
        std::thread stopper([&] {
            WaitUntil([&] { return server.Accepted() >= 1; });
            stop.Stop();
        });
        CTlsStream stream;
        const CTlsHandshakeResult result =
            stream.Handshake(ConnectTo(server.Port()), Trusting(), 60000, &stop);
        stopper.join();
        EXPECT_EQ(result.m_eFailure, ETlsFailure::Stopped);
    }
    {
        CTlsStream stream;
        std::thread stopper([&] {
            WaitUntil([&] { return server.Accepted() >= 2; });
            stream.Shutdown();
        });
        const CTlsHandshakeResult result =
            stream.Handshake(ConnectTo(server.Port()), Trusting(), 60000);
        stopper.join();
        EXPECT_EQ(result.m_eFailure, ETlsFailure::Stopped);
    }
}

TEST_F(TlsStreamTest, BadOptionsFailBeforeAByteIsSent) {
    const std::string strDir = Certs().Dir();
    {
        std::ofstream junk(strDir + "/junk.pem");
        junk << "not a certificate\n";
    }
    struct Row {
        const char* m_pszName;
        CTlsOptions m_options;
        ETlsFailure m_eExpected;
        std::string m_strInText;
    };
    auto with = [&](auto change) {
        CTlsOptions options = Trusting();
        change(options);
        return options;
    };
    const Row rows[] = {
        {"client certificate missing",
         with([&](CTlsOptions& o) { o.m_strClientCert = strDir + "/missing.pem"; }),
         ETlsFailure::ClientCertificate, strDir + "/missing.pem"},
        {"client certificate file holds no certificate",
         with([&](CTlsOptions& o) { o.m_strClientCert = strDir + "/junk.pem"; }),
         ETlsFailure::ClientCertificate, strDir + "/junk.pem"},
        {"client certificate without its key",
         with([&](CTlsOptions& o) { o.m_strClientCert = Certs().Client().m_strCert; }),
         ETlsFailure::ClientCertificate, Certs().Client().m_strCert},
        {"CA file missing", with([&](CTlsOptions& o) { o.m_strCaFile = strDir + "/none.pem"; }),
         ETlsFailure::CaFile, strDir + "/none.pem"},
        {"pin too short", with([](CTlsOptions& o) { o.m_strFingerprint = "AB:CD"; }),
         ETlsFailure::BadPin, "SHA-256"},
        {"no host name to check", with([](CTlsOptions& o) { o.m_strHost.clear(); }),
         ETlsFailure::Untrusted, "no host name"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.m_pszName);
        CTlsTestServer server(Certs().Good().m_strCert, Certs().Good().m_strKey);
        ASSERT_TRUE(server.Start());
        CTlsStream stream;
        const CTlsHandshakeResult result =
            stream.Handshake(ConnectTo(server.Port()), row.m_options, kHandshakeMs);
        EXPECT_EQ(result.m_eFailure, row.m_eExpected) << TlsFailureText(result);
        EXPECT_NE(TlsFailureText(result).find(row.m_strInText), std::string::npos)
            << TlsFailureText(result);
        // The socket was closed without a word: the server saw nothing.
        ASSERT_TRUE(WaitUntil([&] { return server.Finished() == 1; }));
        EXPECT_EQ(server.RawBytesBeforeHandshake(), 0u);
        EXPECT_EQ(server.Handshakes(), 0);
    }
}

TEST_F(TlsStreamTest, ClientCertificateIsShown) {
    CTlsTestServer server(Certs().Good().m_strCert, Certs().Good().m_strKey);
    ASSERT_TRUE(server.Start());
    CTlsOptions options = Trusting();
    options.m_strClientCert = Certs().ClientPem();
    CTlsStream stream;
    const CTlsHandshakeResult result =
        stream.Handshake(ConnectTo(server.Port()), options, kHandshakeMs);
    ASSERT_TRUE(result.Ok()) << TlsFailureText(result);
    // TLS 1.3 finishes the client's part after its first flight: a line
    // through makes sure the server has seen the certificate.
    ASSERT_EQ(stream.Send("PING :x\r\n", 1000), 9);
    ASSERT_TRUE(server.WaitForReceived("PING :x"));
    EXPECT_EQ(server.ClientFingerprint(), Certs().Client().m_strFingerprint);
}

// Runs the openssl program in strDir; true when it succeeded.
bool RunOpenssl(const std::vector<std::string>& vArgs, const std::string& strDir) {
    std::vector<std::string> vFull = {testsupport::FindProgram("openssl")};
    vFull.insert(vFull.end(), vArgs.begin(), vArgs.end());
    testsupport::CChildProcess child;
    return child.Start(vFull, strDir) && child.Wait(std::chrono::seconds(20)) == 0;
}

// Runs body in a child process without a controlling terminal, whose
// standard input is a pipe that stays open and silent: a prompt for a pass
// phrase would wait there for ever, and the deadline catches it. Returns
// what body returned, or nothing when the child had to be killed.
std::optional<std::string> RunWithoutTerminal(const std::function<std::string()>& body) {
    int vInput[2];
    int vReport[2];
    if (::pipe(vInput) != 0) return std::nullopt;
    if (::pipe(vReport) != 0) {
        ::close(vInput[0]);
        ::close(vInput[1]);
        return std::nullopt;
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::setsid();
        ::dup2(vInput[0], STDIN_FILENO);
        ::close(vReport[0]);
        const std::string strReport = body();
        const ssize_t n = ::write(vReport[1], strReport.data(), strReport.size());
        ::_exit(n == static_cast<ssize_t>(strReport.size()) ? 0 : 1);
    }
    ::close(vInput[0]);
    ::close(vReport[1]);
    std::string strReport;
    bool bEnded = false;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (pid > 0 && !bEnded && std::chrono::steady_clock::now() < end) {
        pollfd pfd{vReport[0], POLLIN, 0};
        if (::poll(&pfd, 1, 100) <= 0) continue;
        char buf[512];
        const ssize_t n = ::read(vReport[0], buf, sizeof buf);
        if (n > 0) strReport.append(buf, static_cast<size_t>(n));
        bEnded = n <= 0;
    }
    if (pid > 0 && !bEnded) ::kill(pid, SIGKILL);
    int nStatus = 0;
    if (pid > 0) ::waitpid(pid, &nStatus, 0);
    ::close(vInput[1]);
    ::close(vReport[0]);
    if (!bEnded || !WIFEXITED(nStatus) || WEXITSTATUS(nStatus) != 0) return std::nullopt;
    return strReport;
}

// Regression: a client key with a pass phrase made OpenSSL ask for it on the
// terminal, and the connection (the window, or fragrelayd) waited for an
// answer nobody gives. It fails at once, before a byte is sent, and says why.
TEST_F(TlsStreamTest, EncryptedClientKeyFailsAtOnceWithoutAPrompt) {
    const std::string strDir = Certs().Dir();
    const std::string strKey = Certs().Client().m_strKey;
    // Both forms: PKCS#8, and the older one with its Proc-Type header.
    ASSERT_TRUE(RunOpenssl(
        {"pkey", "-in", strKey, "-aes256", "-passout", "pass:secret", "-out", "enc-pkcs8.key"},
        strDir));
    ASSERT_TRUE(RunOpenssl(
        {"ec", "-in", strKey, "-aes256", "-passout", "pass:secret", "-out", "enc-traditional.key"},
        strDir));
    const std::string strCert = testsupport::ReadWholeFile(Certs().Client().m_strCert);
    for (const char* pszKey : {"enc-pkcs8", "enc-traditional"}) {
        SCOPED_TRACE(pszKey);
        const std::string strPem = strDir + "/" + pszKey + ".pem";
        {
            std::ofstream out(strPem);
            out << testsupport::ReadWholeFile(strDir + "/" + pszKey + ".key") << strCert;
        }
        EXPECT_EQ(InspectPemKeyFile(strPem), EPemKey::Encrypted);

        const std::optional<std::string> report = RunWithoutTerminal([&] {
            // A listener of the child's own: the connection is taken from
            // its queue afterwards, to see what the client sent.
            const int nListener = ::socket(AF_INET, SOCK_STREAM, 0);
            sockaddr_in addr{};
            addr.sin_family = AF_INET;
            addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            socklen_t nLen = sizeof addr;
            if (::bind(nListener, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
                ::listen(nListener, 1) != 0 ||
                ::getsockname(nListener, reinterpret_cast<sockaddr*>(&addr), &nLen) != 0)
                return std::string("no listener");
            CTlsOptions options = Trusting();
            options.m_strClientCert = strPem;
            CTlsStream stream;
            const CTlsHandshakeResult result =
                stream.Handshake(ConnectTo(ntohs(addr.sin_port)), options, kHandshakeMs);
            const int nServer = ::accept(nListener, nullptr, nullptr);
            char buf[64];
            const ssize_t nSent = nServer < 0 ? -1 : ::recv(nServer, buf, sizeof buf, 0);
            return std::to_string(static_cast<int>(result.m_eFailure)) + " " +
                   std::to_string(nSent) + " " + TlsFailureText(result);
        });
        ASSERT_TRUE(report.has_value()) << "the handshake waited: a pass phrase was asked for";
        EXPECT_EQ(*report, std::to_string(static_cast<int>(ETlsFailure::ClientCertificate)) +
                               " 0 " + "TLS: client certificate: " + EncryptedKeyText(strPem));
    }
    EXPECT_EQ(EncryptedKeyText("/etc/x.pem"),
              "the key in /etc/x.pem is encrypted; fragrelay needs it without a pass phrase");
    // The unlocked key and the certificate alone, for contrast.
    EXPECT_EQ(InspectPemKeyFile(Certs().ClientPem()), EPemKey::Plain);
    EXPECT_EQ(InspectPemKeyFile(Certs().Client().m_strCert), EPemKey::None);
    EXPECT_EQ(InspectPemKeyFile(strDir + "/missing.pem"), EPemKey::Unreadable);
}

TEST_F(TlsStreamTest, ShutdownWakesABlockedReadAndAWriterRunsBesideIt) {
    CTlsTestServer server(Certs().Good().m_strCert, Certs().Good().m_strKey);
    ASSERT_TRUE(server.Start());
    CTlsStream stream;
    ASSERT_TRUE(stream.Handshake(ConnectTo(server.Port()), Trusting(), kHandshakeMs).Ok());

    std::atomic<int> nRead{-3};
    std::atomic<bool> bReading{false};
    std::thread reader([&] {
        char buf[256];
        int n;
        bReading.store(true);
        // Reads what the server echoes of the writer's lines, then blocks.
        while ((n = stream.Recv(buf, sizeof buf)) > 0) {
        }
        nRead.store(n);
    });
    ASSERT_TRUE(WaitUntil([&] { return bReading.load(); }));
    // The writer's lines reach the server while the reader sits in Recv.
    for (int i = 0; i < 200; ++i)
        ASSERT_EQ(stream.Send("PRIVMSG #c :line " + std::to_string(i) + "\r\n", 2000),
                  static_cast<int>(("PRIVMSG #c :line " + std::to_string(i) + "\r\n").size()));
    EXPECT_TRUE(server.WaitForReceived("PRIVMSG #c :line 199\r\n"));
    server.Send("PING :still here\r\n");
    stream.Shutdown();
    reader.join();
    EXPECT_EQ(nRead.load(), 0);
    EXPECT_FALSE(stream.IsOpen());
}

TEST_F(TlsStreamTest, SendToAServerThatStopsReadingEndsWithinItsLimit) {
    CTlsTestServer server(Certs().Good().m_strCert, Certs().Good().m_strKey);
    ASSERT_TRUE(server.Start());
    CTlsStream stream;
    ASSERT_TRUE(stream.Handshake(ConnectTo(server.Port()), Trusting(), kHandshakeMs).Ok());
    server.StopReading();
    const std::string strBlock(64 * 1024, 'x');
    int nResult = 0;
    // The socket buffers take a few megabytes at most; 64 MB cannot fit.
    for (int i = 0; i < 1024 && nResult >= 0; ++i) nResult = stream.Send(strBlock, 100);
    EXPECT_EQ(nResult, -1);
    // A record was left half written: the stream is done for.
    EXPECT_FALSE(stream.IsOpen());
    EXPECT_EQ(stream.Send("PING :x\r\n", 100), -1);
}

TEST(TlsFingerprint, PinsAreReadInEveryUsualForm) {
    const std::string strNormal =
        "AB:CD:EF:01:23:45:67:89:AB:CD:EF:01:23:45:67:89:AB:CD:EF:01:23:45:67:89:AB:CD:EF:01:23:"
        "45:67:89";
    struct Row {
        const char* m_pszName;
        std::string m_strText;
        bool m_bOk;
    };
    std::string strPlain;
    for (char c : strNormal)
        if (c != ':') strPlain += c;
    std::string strLower;
    for (char c : strNormal) strLower += static_cast<char>(std::tolower(c));
    const Row rows[] = {
        {"colons, upper case", strNormal, true},
        {"colons, lower case", strLower, true},
        {"no colons", strPlain, true},
        {"blanks around it", "  " + strNormal + "\t", true},
        {"empty", "", false},
        {"one digit short", strPlain.substr(1), false},
        {"one digit too many", strPlain + "0", false},
        {"not hex", "G" + strPlain.substr(1), false},
        {"a SHA-1 fingerprint", strPlain.substr(0, 40), false},
        {"blank inside", strPlain.substr(0, 10) + " " + strPlain.substr(10), false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.m_pszName);
        std::string strOut;
        EXPECT_EQ(ParseFingerprint(row.m_strText, &strOut), row.m_bOk);
        if (row.m_bOk) {
            EXPECT_EQ(strOut, strNormal);
        }
    }
}

TEST(TlsFingerprint, FailureTextNamesReasonAndFingerprintSeen) {
    CTlsHandshakeResult result;
    result.m_eFailure = ETlsFailure::Expired;
    result.m_strFingerprint = "AB:CD";
    EXPECT_EQ(TlsFailureText(result), "TLS: certificate expired (fingerprint seen: AB:CD)");
    result.m_eFailure = ETlsFailure::WrongName;
    result.m_strDetail = "irc.example.org";
    EXPECT_EQ(TlsFailureText(result),
              "TLS: certificate has the wrong name (not valid for irc.example.org) "
              "(fingerprint seen: AB:CD)");
    result.m_eFailure = ETlsFailure::TimedOut;
    result.m_strFingerprint.clear();
    EXPECT_EQ(TlsFailureText(result), "TLS: handshake timed out");
}

}  // namespace
