// The SChannel TLS client against TLS servers on 127.0.0.1 that run on the
// Linux side (tests/support/TlsPeerMain.cpp starts them, with certificates
// made by the openssl program, and names them in the file FR_TLS_PEER).
// The same checks as the OpenSSL client's tests, from the outside.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "irc/IrcLineSplitter.h"
#include "platform/ClientCertWin32.h"
#include "platform/Clock.h"
#include "platform/TlsStream.h"
#include "support/Wait.h"
#include "support/Wine.h"

using namespace platform;
using testsupport::WaitUntil;

namespace {

constexpr int kHandshakeMs = 10000;

// What the Linux side wrote: "key=value" lines; paths as Wine sees them.
class CPeers {
public:
    bool Load() {
        const char* pszFile = std::getenv("FR_TLS_PEER");
        if (pszFile == nullptr) return false;
        std::ifstream in(WinePath(pszFile));
        for (std::string strLine; std::getline(in, strLine);) {
            const size_t nEq = strLine.find('=');
            if (nEq != std::string::npos)
                m_values[strLine.substr(0, nEq)] = strLine.substr(nEq + 1);
        }
        return !m_values.empty();
    }
    bool Has(const std::string& strName) const { return !Get(strName + ".port").empty(); }
    uint16_t Port(const std::string& strName) const {
        return static_cast<uint16_t>(std::atoi(Get(strName + ".port").c_str()));
    }
    std::string Fingerprint(const std::string& strName) const { return Get(strName + ".fp"); }
    std::string CaFile() const { return WinePath(Get("ca")); }
    std::string Dir() const { return WinePath(Get("dir")); }
    std::string ClientPem() const { return WinePath(Get("client")); }
    // A client certificate file by its form ("pkcs8", "ec-sec1", ...).
    std::string ClientFile(const std::string& strForm) const {
        return WinePath(Get("clientcert." + strForm));
    }
    std::string ClientFingerprint(bool bEc) const { return Get(bEc ? "clientec.fp" : "client.fp"); }

private:
    std::string Get(const std::string& strKey) const {
        const auto it = m_values.find(strKey);
        return it == m_values.end() ? std::string() : it->second;
    }
    // Wine shows the Linux root as drive Z:.
    static std::string WinePath(const std::string& strPath) {
        return !strPath.empty() && strPath[0] == '/' ? "Z:" + strPath : strPath;
    }
    std::map<std::string, std::string> m_values;
};

CSocket ConnectTo(uint16_t nPort) {
    CSocket socket = CSocket::CreateTcp();
    if (!socket.Connect(LoopbackAddress(nPort), 5000)) socket.Close();
    return socket;
}

// Reads until the splitter holds nLines lines, the stream ends or fails,
// or the deadline passes.
std::vector<std::string> ReadLines(CTlsStream& stream, size_t nLines,
                                   irc::CIrcLineSplitter& splitter) {
    std::vector<std::string> vLines;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (std::string strLine; vLines.size() < nLines && splitter.Next(strLine);)
        vLines.push_back(strLine);
    while (vLines.size() < nLines && std::chrono::steady_clock::now() < end) {
        char buf[512];
        const int n = stream.Recv(buf, sizeof buf, 100);
        if (n == 0 || n == -1) break;
        if (n > 0) splitter.Feed(buf, static_cast<size_t>(n));
        for (std::string strLine; vLines.size() < nLines && splitter.Next(strLine);)
            vLines.push_back(strLine);
    }
    return vLines;
}

std::vector<std::string> Greeting(const std::string& strSni) {
    return {":peer NOTICE * :sni=" + strSni, ":peer PING :one", ":peer PING :two"};
}

class TlsStreamWin32Test : public ::testing::Test {
protected:
    void SetUp() override {
        if (!m_peers.Load()) {
            if (std::getenv("FR_REQUIRE_PEERS") != nullptr)
                FAIL() << "FR_TLS_PEER names no servers (run under tests' tls_peer)";
            GTEST_SKIP() << "no TLS servers: run this under tls_peer";
        }
    }
    CTlsOptions Trusting(const std::string& strHost = "localhost") const {
        CTlsOptions options;
        options.m_strHost = strHost;
        options.m_strCaFile = m_peers.CaFile();
        return options;
    }
    CPeers m_peers;
};

TEST_F(TlsStreamWin32Test, VerifiedConnectionCarriesLinesBothWays) {
    CTlsStream stream;
    const CTlsHandshakeResult result =
        stream.Handshake(ConnectTo(m_peers.Port("good")), Trusting(), kHandshakeMs);
    ASSERT_TRUE(result.Ok()) << TlsFailureText(result);
    EXPECT_EQ(result.m_strFingerprint, m_peers.Fingerprint("good"));
    EXPECT_EQ(stream.PeerFingerprint(), m_peers.Fingerprint("good"));
    EXPECT_TRUE(stream.IsOpen());
    EXPECT_EQ(stream.Version().rfind("TLSv1.", 0), 0u) << stream.Version();

    // Several lines in one record, one line cut between two records; the
    // name went out as SNI.
    irc::CIrcLineSplitter splitter;
    EXPECT_EQ(ReadLines(stream, 3, splitter), Greeting("localhost"));

    ASSERT_EQ(stream.Send("ECHO PONG :one\r\n", 1000), 16);
    EXPECT_EQ(ReadLines(stream, 1, splitter), std::vector<std::string>{"PONG :one"});

    // More than a record holds, in one write: records back to back in one
    // receive, and one cut anywhere between two receives.
    ASSERT_GT(stream.Send("FLOOD 5000\r\n", 1000), 0);
    const std::vector<std::string> vFlood = ReadLines(stream, 5000, splitter);
    ASSERT_EQ(vFlood.size(), 5000u);
    for (size_t i = 0; i < vFlood.size(); ++i)
        ASSERT_EQ(vFlood[i], "LINE " + std::to_string(i + 1)) << "line " << i;

    // The server's close_notify ends the stream like a TCP close.
    ASSERT_GT(stream.Send("BYE\r\n", 1000), 0);
    char buf[64];
    int n = CTlsStream::kTimedOut;
    for (int i = 0; i < 50 && n == CTlsStream::kTimedOut; ++i)
        n = stream.Recv(buf, sizeof buf, 100);
    EXPECT_EQ(n, 0);
    int nSent = 0;
    for (int i = 0; i < 20 && nSent >= 0; ++i) {
        nSent = stream.Send("PRIVMSG #c :late\r\n", 500);
        if (nSent >= 0) WaitUntil([] { return false; }, std::chrono::milliseconds(10));
    }
    EXPECT_EQ(nSent, -1);
}

TEST_F(TlsStreamWin32Test, ServerCertificateChecks) {
    auto lowerPlain = [](std::string str) {
        std::string strOut;
        for (char ch : str)
            if (ch != ':') strOut += static_cast<char>(std::tolower(ch));
        return strOut;
    };
    struct Row {
        const char* m_pszName;
        std::string m_strPeer;
        std::string m_strHost;
        bool m_bTrustCa;
        std::string m_strPin;
        ETlsFailure m_eExpected;
    };
    const CPeers& p = m_peers;
    const Row rows[] = {
        {"good for localhost", "good", "localhost", true, "", ETlsFailure::None},
        {"good for its IPv4 address", "good", "127.0.0.1", true, "", ETlsFailure::None},
        {"good for its IPv6 address", "good", "::1", true, "", ETlsFailure::None},
        {"good for its IPv6 address in brackets", "good", "[::1]", true, "", ETlsFailure::None},
        {"host name of the wrong case", "good", "LocalHost", true, "", ETlsFailure::None},
        {"another address", "good", "127.0.0.2", true, "", ETlsFailure::WrongName},
        {"another IPv6 address", "good", "::2", true, "", ETlsFailure::WrongName},
        {"another name", "wrongname", "localhost", true, "", ETlsFailure::WrongName},
        {"CA not trusted", "good", "localhost", false, "", ETlsFailure::UnknownIssuer},
        {"unknown issuer", "unknown", "localhost", true, "", ETlsFailure::UnknownIssuer},
        {"expired", "expired", "localhost", true, "", ETlsFailure::Expired},
        {"self-signed", "selfsigned", "localhost", true, "", ETlsFailure::SelfSigned},
        // A pin replaces the checks: exactly its certificate passes.
        {"pinned, unknown issuer", "unknown", "localhost", false, p.Fingerprint("unknown"),
         ETlsFailure::None},
        {"pinned, expired", "expired", "localhost", false, p.Fingerprint("expired"),
         ETlsFailure::None},
        {"pinned in lower case without colons", "wrongname", "localhost", false,
         lowerPlain(p.Fingerprint("wrongname")), ETlsFailure::None},
        {"pinned, another certificate", "good", "localhost", true, p.Fingerprint("unknown"),
         ETlsFailure::FingerprintMismatch},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.m_pszName);
        CTlsOptions options;
        options.m_strHost = row.m_strHost;
        if (row.m_bTrustCa) options.m_strCaFile = p.CaFile();
        options.m_strFingerprint = row.m_strPin;
        CTlsStream stream;
        const CTlsHandshakeResult result =
            stream.Handshake(ConnectTo(p.Port(row.m_strPeer)), options, kHandshakeMs);
        EXPECT_EQ(result.m_eFailure, row.m_eExpected) << TlsFailureText(result);
        // The operator always learns which certificate the server showed.
        EXPECT_EQ(result.m_strFingerprint, p.Fingerprint(row.m_strPeer));
        EXPECT_EQ(stream.IsOpen(), row.m_eExpected == ETlsFailure::None);
        if (row.m_eExpected == ETlsFailure::None) {
            // The name goes out as SNI; an address never does.
            const bool bAddress =
                row.m_strHost.find_first_not_of("0123456789.:[]") == std::string::npos;
            irc::CIrcLineSplitter splitter;
            const std::vector<std::string> vLines = ReadLines(stream, 1, splitter);
            ASSERT_EQ(vLines.size(), 1u);
            EXPECT_EQ(vLines[0], Greeting(bAddress ? "" : row.m_strHost)[0]);
        } else {
            EXPECT_NE(TlsFailureText(result).find(p.Fingerprint(row.m_strPeer)), std::string::npos);
            char buf[8];
            EXPECT_EQ(stream.Recv(buf, sizeof buf, 0), -1);
            EXPECT_EQ(stream.Send("x", 1, 0), -1);
        }
    }
}

TEST_F(TlsStreamWin32Test, ServersThatAreNoTlsServers) {
    struct Row {
        const char* m_pszName;
        std::string m_strPeer;
        int m_nTimeoutMs;
        ETlsFailure m_eExpected;
    };
    const Row rows[] = {
        {"never speaks", "silent", 300, ETlsFailure::TimedOut},
        {"hangs up", "close", kHandshakeMs, ETlsFailure::PeerClosed},
        {"speaks plain text", "plain", kHandshakeMs, ETlsFailure::Protocol},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.m_pszName);
        CTlsStream stream;
        const CTlsHandshakeResult result =
            stream.Handshake(ConnectTo(m_peers.Port(row.m_strPeer)), Trusting(), row.m_nTimeoutMs);
        EXPECT_EQ(result.m_eFailure, row.m_eExpected) << TlsFailureText(result);
        EXPECT_FALSE(stream.IsOpen());
        EXPECT_EQ(result.m_strFingerprint, "");
    }
}

TEST_F(TlsStreamWin32Test, StopSignalAndShutdownEndAStalledHandshake) {
    {
        CStopSignal stop;
        CTlsStream stream;
        // Whenever the stop comes, before the handshake or during it, it ends it.
        std::thread stopper([&] { stop.Stop(); });
        const CTlsHandshakeResult result =
            stream.Handshake(ConnectTo(m_peers.Port("silent")), Trusting(), 60000, &stop);
        stopper.join();
        EXPECT_EQ(result.m_eFailure, ETlsFailure::Stopped);
    }
    {
        CTlsStream stream;
        std::thread stopper([&] { stream.Shutdown(); });
        const CTlsHandshakeResult result =
            stream.Handshake(ConnectTo(m_peers.Port("silent")), Trusting(), 60000);
        stopper.join();
        EXPECT_EQ(result.m_eFailure, ETlsFailure::Stopped);
    }
}

TEST_F(TlsStreamWin32Test, BadOptionsFailBeforeAByteIsSent) {
    const std::string strDir = m_peers.Dir();
    {
        std::ofstream junk(strDir + "/junk-win.pem");
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
        // Nobody is there to type a pass phrase: refused before a byte is sent.
        {"client key encrypted (PKCS#8)",
         with([&](CTlsOptions& o) { o.m_strClientCert = m_peers.ClientFile("pkcs8-encrypted"); }),
         ETlsFailure::ClientCertificate,
         "the key in " + m_peers.ClientFile("pkcs8-encrypted") +
             " is encrypted; fragrelay needs it without a pass phrase"},
        {"client key encrypted (Proc-Type)",
         with([&](CTlsOptions& o) { o.m_strClientCert = m_peers.ClientFile("pkcs1-encrypted"); }),
         ETlsFailure::ClientCertificate,
         "the key in " + m_peers.ClientFile("pkcs1-encrypted") +
             " is encrypted; fragrelay needs it without a pass phrase"},
        {"client certificate without its key",
         with([&](CTlsOptions& o) { o.m_strClientCert = m_peers.ClientFile("cert-only"); }),
         ETlsFailure::ClientCertificate, m_peers.ClientFile("cert-only") + " holds no private key"},
        {"client key without its certificate",
         with([&](CTlsOptions& o) { o.m_strClientCert = m_peers.ClientFile("key-only"); }),
         ETlsFailure::ClientCertificate, m_peers.ClientFile("key-only") + " holds no certificate"},
        {"client certificate file of junk",
         with([&](CTlsOptions& o) { o.m_strClientCert = strDir + "/junk-win.pem"; }),
         ETlsFailure::ClientCertificate, "holds no certificate"},
        {"CA file missing", with([&](CTlsOptions& o) { o.m_strCaFile = strDir + "/none.pem"; }),
         ETlsFailure::CaFile, strDir + "/none.pem"},
        {"CA file holds no certificate",
         with([&](CTlsOptions& o) { o.m_strCaFile = strDir + "/junk-win.pem"; }),
         ETlsFailure::CaFile, strDir + "/junk-win.pem"},
        {"pin too short", with([](CTlsOptions& o) { o.m_strFingerprint = "AB:CD"; }),
         ETlsFailure::BadPin, "SHA-256"},
        {"no host name to check", with([](CTlsOptions& o) { o.m_strHost.clear(); }),
         ETlsFailure::Untrusted, "no host name"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.m_pszName);
        CTlsStream stream;
        const CTlsHandshakeResult result =
            stream.Handshake(ConnectTo(m_peers.Port("good")), row.m_options, kHandshakeMs);
        EXPECT_EQ(result.m_eFailure, row.m_eExpected) << TlsFailureText(result);
        EXPECT_NE(TlsFailureText(result).find(row.m_strInText), std::string::npos)
            << TlsFailureText(result);
        EXPECT_FALSE(stream.IsOpen());
    }
}

TEST_F(TlsStreamWin32Test, ShutdownWakesABlockedReadAndAWriterRunsBesideIt) {
    CTlsStream stream;
    ASSERT_TRUE(stream.Handshake(ConnectTo(m_peers.Port("good")), Trusting(), kHandshakeMs).Ok());
    std::atomic<int> nRead{-3};
    std::atomic<bool> bLast{false};
    std::thread reader([&] {
        irc::CIrcLineSplitter splitter;
        char buf[256];
        int n;
        // Reads the echoes of the writer's lines, then blocks.
        while ((n = stream.Recv(buf, sizeof buf)) > 0) {
            splitter.Feed(buf, static_cast<size_t>(n));
            for (std::string strLine; splitter.Next(strLine);)
                if (strLine == "PRIVMSG #c :line 199") bLast.store(true);
        }
        nRead.store(n);
    });
    for (int i = 0; i < 200; ++i) {
        const std::string strLine = "ECHO PRIVMSG #c :line " + std::to_string(i) + "\r\n";
        ASSERT_EQ(stream.Send(strLine, 2000), static_cast<int>(strLine.size()));
    }
    EXPECT_TRUE(WaitUntil([&] { return bLast.load(); }, std::chrono::seconds(10)));
    stream.Shutdown();
    reader.join();
    EXPECT_EQ(nRead.load(), 0);
    EXPECT_FALSE(stream.IsOpen());
}

// A client certificate (SASL EXTERNAL, CertFP) in each form a PEM file may
// hold it: the server asks for one and reports the fingerprint it got.
TEST_F(TlsStreamWin32Test, ClientCertificateReachesTheServer) {
    struct Row {
        const char* m_pszForm;
        bool m_bEc;
    };
    const Row rows[] = {
        {"pkcs8", false},   {"cert-first", false}, {"pkcs1", false},
        {"ec-pkcs8", true}, {"ec-sec1", true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.m_pszForm);
        CTlsOptions options = Trusting();
        options.m_strClientCert = m_peers.ClientFile(row.m_pszForm);
        CTlsStream stream;
        const CTlsHandshakeResult result =
            stream.Handshake(ConnectTo(m_peers.Port("askcert")), options, kHandshakeMs);
        if (row.m_bEc && testsupport::RunningUnderWine()) {
            // Wine's key storage provider takes no PKCS#8 key (and its
            // SChannel signs with RSA keys alone): said, with the file.
            EXPECT_EQ(result.m_eFailure, ETlsFailure::ClientCertificate);
            EXPECT_NE(TlsFailureText(result).find(options.m_strClientCert + ": the system would "
                                                                            "not take the EC key"),
                      std::string::npos)
                << TlsFailureText(result);
            continue;
        }
        ASSERT_TRUE(result.Ok()) << TlsFailureText(result);
        irc::CIrcLineSplitter splitter;
        EXPECT_EQ(ReadLines(stream, 1, splitter),
                  std::vector<std::string>{":peer NOTICE * :certfp=" +
                                           m_peers.ClientFingerprint(row.m_bEc)});
    }
    // Without one, the server sees none.
    CTlsStream stream;
    ASSERT_TRUE(
        stream.Handshake(ConnectTo(m_peers.Port("askcert")), Trusting(), kHandshakeMs).Ok());
    irc::CIrcLineSplitter splitter;
    EXPECT_EQ(ReadLines(stream, 1, splitter),
              std::vector<std::string>{":peer NOTICE * :certfp=none"});
}

// The PEM reading behind it, on the same key in its several forms.
TEST_F(TlsStreamWin32Test, ClientPemFormsReadAsTheSameKey) {
    using platform::win32::CClientPem;
    auto read = [&](const char* pszForm) {
        std::ifstream in(m_peers.ClientFile(pszForm), std::ios::binary);
        return platform::win32::ReadClientPem(std::string(std::istreambuf_iterator<char>(in), {}));
    };
    // RSA: PKCS#8 is unwrapped to the PKCS#1 key, whichever comes first.
    const CClientPem pkcs1 = read("pkcs1");
    ASSERT_EQ(pkcs1.m_eKey, CClientPem::EKey::Rsa);
    ASSERT_FALSE(pkcs1.m_cert.empty());
    for (const char* pszForm : {"pkcs8", "cert-first"}) {
        SCOPED_TRACE(pszForm);
        const CClientPem pem = read(pszForm);
        EXPECT_EQ(pem.m_eKey, CClientPem::EKey::Rsa);
        EXPECT_EQ(pem.m_key, pkcs1.m_key);
        EXPECT_EQ(pem.m_cert, pkcs1.m_cert);
    }
    // EC: SEC1 becomes PKCS#8 with the algorithm and curve (P-256) of
    // openssl's own PKCS#8.
    const std::vector<BYTE> p256 = {0x30, 0x13, 0x06, 0x07, 0x2A, 0x86, 0x48,
                                    0xCE, 0x3D, 0x02, 0x01, 0x06, 0x08, 0x2A,
                                    0x86, 0x48, 0xCE, 0x3D, 0x03, 0x01, 0x07};
    auto names = [&](const std::vector<BYTE>& der) {
        return std::search(der.begin(), der.end(), p256.begin(), p256.end()) != der.end();
    };
    const CClientPem ecPkcs8 = read("ec-pkcs8");
    const CClientPem ecSec1 = read("ec-sec1");
    ASSERT_EQ(ecPkcs8.m_eKey, CClientPem::EKey::Ec);
    ASSERT_EQ(ecSec1.m_eKey, CClientPem::EKey::Ec);
    EXPECT_EQ(ecSec1.m_cert, ecPkcs8.m_cert);
    EXPECT_TRUE(names(ecPkcs8.m_key));
    EXPECT_TRUE(names(ecSec1.m_key));
    ASSERT_GE(ecSec1.m_key.size(), 2u);
    EXPECT_EQ(ecSec1.m_key[0], 0x30);  // one SEQUENCE, its length all there is
    EXPECT_EQ(ecSec1.m_key[1] & 0x80 ? ecSec1.m_key[2] + 3u : ecSec1.m_key[1] + 2u,
              ecSec1.m_key.size());
    // Under a pass phrase either way; one half missing.
    EXPECT_TRUE(read("pkcs8-encrypted").m_bEncrypted);
    EXPECT_TRUE(read("pkcs1-encrypted").m_bEncrypted);
    EXPECT_FALSE(read("pkcs8").m_bEncrypted);
    EXPECT_EQ(read("cert-only").m_eKey, CClientPem::EKey::None);
    EXPECT_TRUE(read("key-only").m_cert.empty());
}

// A writer stalled by a server that stops reading holds its turn at the
// socket for its whole time limit; what the server still sends, a handshake
// message among it, reaches the reader all the same.
TEST_F(TlsStreamWin32Test, AStalledWriterDoesNotHoldUpTheReader) {
    constexpr int kWriterLimitMs = 30000;
    CTlsStream stream;
    ASSERT_TRUE(stream.Handshake(ConnectTo(m_peers.Port("good")), Trusting(), kHandshakeMs).Ok());
    irc::CIrcLineSplitter splitter;
    ASSERT_EQ(ReadLines(stream, 3, splitter).size(), 3u);
    ASSERT_GT(stream.Send("STALL\r\n", 1000), 0);
    std::atomic<bool> bWriterDone{false};
    std::thread writer([&] {
        // More than the socket buffers on both sides can take.
        const std::string strBlock(64 << 20, 'x');
        stream.Send(strBlock, kWriterLimitMs);
        bWriterDone.store(true);
    });
    const std::vector<std::string> vLines = ReadLines(stream, 1, splitter);
    const bool bBeforeTheWriter = !bWriterDone.load();
    stream.Shutdown();  // ends the writer's wait
    writer.join();
    EXPECT_EQ(vLines, std::vector<std::string>{":peer NOTICE * :while you wait"});
    EXPECT_TRUE(bBeforeTheWriter) << "the line came only once the writer gave up";
}

// A real IRC server's TLS port: the client registers and is welcomed, with
// the chain verified and with the certificate pinned.
TEST_F(TlsStreamWin32Test, RegistersWithNgircdOverTls) {
    if (!m_peers.Has("ngircd")) {
        if (std::getenv("FR_REQUIRE_PEERS") != nullptr) FAIL() << "tls_peer started no ngircd";
        GTEST_SKIP() << "ngircd is not installed on the Linux side";
    }
    struct Row {
        const char* m_pszName;
        CTlsOptions m_options;
    };
    CTlsOptions pinned;
    pinned.m_strHost = "irc.elsewhere.test";  // a pin does not look at the name
    pinned.m_strFingerprint = m_peers.Fingerprint("ngircd");
    const Row rows[] = {{"verified", Trusting()}, {"pinned", pinned}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.m_pszName);
        CTlsStream stream;
        const CTlsHandshakeResult result =
            stream.Handshake(ConnectTo(m_peers.Port("ngircd")), row.m_options, kHandshakeMs);
        ASSERT_TRUE(result.Ok()) << TlsFailureText(result);
        const std::string strNick =
            std::string("fragwin") + (row.m_options.m_strFingerprint.empty() ? "v" : "p");
        ASSERT_GT(
            stream.Send("NICK " + strNick + "\r\nUSER fragwin 0 * :fragrelay on Windows\r\n", 1000),
            0);
        irc::CIrcLineSplitter splitter;
        bool bWelcomed = false;
        for (int i = 0; i < 50 && !bWelcomed; ++i) {
            const std::vector<std::string> vLines = ReadLines(stream, 1, splitter);
            if (vLines.empty()) break;
            bWelcomed = vLines[0].find(" 001 " + strNick + " ") != std::string::npos;
        }
        EXPECT_TRUE(bWelcomed);
        ASSERT_GT(stream.Send("QUIT :bye\r\n", 1000), 0);
    }
}

TEST_F(TlsStreamWin32Test, SendToAServerThatStopsReadingEndsWithinItsLimit) {
    CTlsStream stream;
    ASSERT_TRUE(stream.Handshake(ConnectTo(m_peers.Port("good")), Trusting(), kHandshakeMs).Ok());
    ASSERT_GT(stream.Send("STOPREAD\r\n", 1000), 0);
    const std::string strBlock(64 * 1024, 'x');
    int nResult = 0;
    // The socket buffers take a few megabytes at most; 64 MB cannot fit.
    for (int i = 0; i < 1024 && nResult >= 0; ++i) nResult = stream.Send(strBlock, 100);
    EXPECT_EQ(nResult, -1);
    // A record was left half written: the stream is done for.
    EXPECT_FALSE(stream.IsOpen());
    EXPECT_EQ(stream.Send("PING :x\r\n", 100), -1);
}

}  // namespace
