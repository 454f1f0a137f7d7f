// tls_peer: TLS servers on 127.0.0.1 for a TLS client that runs elsewhere,
// such as the Windows tests under Wine, which have no OpenSSL of their own.
//
//   tls_peer COMMAND [ARGS...]
//
// Makes the test certificates, starts one server per kind below on a free
// port, writes what the client needs to know into a file ("key=value"
// lines) named by FR_TLS_PEER in COMMAND's environment, runs COMMAND, stops
// the servers and exits with COMMAND's status. Every wait is bounded.
//
// After its handshake a TLS server sends, as two records,
//   ":peer NOTICE * :sni=NAME\r\n:peer PING :one\r\n:peer PI"  and  "NG :two\r\n"
// (NAME: the server name the client asked for, or nothing), then serves the
// client's lines:
//   ECHO TEXT   sends TEXT back as a line
//   FLOOD N     sends "LINE 1" ... "LINE N" in one write (several records)
//   STOPREAD    reads nothing more, so that the client's sends pile up
//   STALL       reads nothing more either; once the client's bytes have
//               piled up, sends a handshake message (TLS 1.2: a request to
//               renegotiate; TLS 1.3: a ticket and a key update asking for
//               one back) and then ":peer NOTICE * :while you wait"
//   BYE         close_notify, then hangs up
// The server "askcert" asks for a client certificate (any is taken) and
// sends ":peer NOTICE * :certfp=FP" first (FP: the SHA-256 of the client's
// certificate, "AB:CD:...", or "none").
//
// Besides the servers' ports and fingerprints, the file names client
// certificate files ("clientcert.NAME=PATH") in the forms a user may have:
// the key as PKCS#8, PKCS#1 and SEC1 (EC), before or after the certificate,
// encrypted both ways, and files lacking one half ("client.fp", "clientec.fp":
// the RSA and the EC certificate's fingerprints).
// Besides them, where ngircd is installed, ngircd with its TLS port and the
// good certificate ("ngircd.port", "ngircd.fp"): a real IRC server over TLS.
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/Socket.h"
#include "platform/TlsStream.h"
#include "support/ChildProcess.h"
#include "support/NgircdTlsServer.h"
#include "support/TestCertificates.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kSliceMs = 20;
// A connection no client speaks on for this long is dropped.
constexpr auto kIdleLimit = std::chrono::seconds(60);
// The command is given this long before it is killed.
constexpr auto kCommandLimit = std::chrono::minutes(10);

std::atomic<bool> g_bStop{false};

enum class EMode { Tls, Silent, CloseAtOnce, PlainText };

struct CPeer {
    std::string m_strName;
    EMode m_eMode;
    const testsupport::CServerCertificate* m_pCert;
    bool m_bAskCert;
    platform::CSocket m_listener;
    SSL_CTX* m_pCtx = nullptr;
    std::thread m_thread;
};

bool WriteAll(SSL* pSsl, const std::string& str) {
    return str.empty() || SSL_write(pSsl, str.data(), static_cast<int>(str.size())) > 0;
}

// The SHA-256 of the client's certificate, "AB:CD:...", or "none".
std::string ClientFingerprint(SSL* pSsl) {
    X509* pCert = SSL_get1_peer_certificate(pSsl);
    if (pCert == nullptr) return "none";
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int nLen = 0;
    const bool bOk = X509_digest(pCert, EVP_sha256(), digest, &nLen) == 1;
    X509_free(pCert);
    return bOk ? platform::FingerprintText(digest, nLen) : "unreadable";
}

// Bytes received on the socket and not read yet.
int Unread(int nFd) {
    int n = 0;
    return ::ioctl(nFd, FIONREAD, &n) == 0 ? n : 0;
}

// STALL: waits (bounded) until the client's bytes stop piling up unread,
// then sends a handshake message and a line behind it.
bool Stall(SSL* pSsl, int nFd) {
    const auto end = Clock::now() + std::chrono::seconds(10);
    int nLast = -1;
    int nSame = 0;
    while (!g_bStop.load() && Clock::now() < end && nSame < 10) {
        std::this_thread::sleep_for(std::chrono::milliseconds(kSliceMs));
        const int n = Unread(nFd);
        nSame = n > 0 && n == nLast ? nSame + 1 : 0;
        nLast = n;
    }
    if (SSL_version(pSsl) >= TLS1_3_VERSION) {
        SSL_new_session_ticket(pSsl);
        SSL_key_update(pSsl, SSL_KEY_UPDATE_REQUESTED);
    } else {
        SSL_renegotiate(pSsl);
    }
    // Sends the handshake message; the client's answer is never read.
    SSL_do_handshake(pSsl);
    ERR_clear_error();
    return WriteAll(pSsl, ":peer NOTICE * :while you wait\r\n");
}

// Holds the connection without reading, until the end.
void HoldWithoutReading() {
    const auto end = Clock::now() + std::chrono::seconds(30);
    while (!g_bStop.load() && Clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(kSliceMs));
}

void ServeTls(const CPeer& peer, platform::CSocket& client) {
    SSL* pSsl = SSL_new(peer.m_pCtx);
    SSL_set_fd(pSsl, client.Handle());
    client.SetRecvTimeout(5000);  // bounds the blocking handshake
    if (SSL_accept(pSsl) != 1) {
        ERR_clear_error();
        SSL_free(pSsl);
        return;
    }
    if (peer.m_bAskCert)
        WriteAll(pSsl, ":peer NOTICE * :certfp=" + ClientFingerprint(pSsl) + "\r\n");
    const char* pszName = SSL_get_servername(pSsl, TLSEXT_NAMETYPE_host_name);
    // Two records, a line cut between them: the client must join it.
    WriteAll(pSsl, std::string(":peer NOTICE * :sni=") + (pszName ? pszName : "") +
                       "\r\n:peer PING :one\r\n:peer PI");
    WriteAll(pSsl, "NG :two\r\n");
    client.SetRecvTimeout(kSliceMs);
    std::string strIn;
    auto lastHeard = Clock::now();
    bool bOpen = true;
    while (bOpen && !g_bStop.load() && Clock::now() - lastHeard < kIdleLimit) {
        char buf[16384];
        const int n = SSL_read(pSsl, buf, sizeof buf);
        if (n <= 0) {
            const int nError = SSL_get_error(pSsl, n);
            bOpen = nError == SSL_ERROR_WANT_READ ||
                    (nError == SSL_ERROR_SYSCALL && (errno == EAGAIN || errno == EWOULDBLOCK));
            ERR_clear_error();
            continue;
        }
        lastHeard = Clock::now();
        strIn.append(buf, static_cast<size_t>(n));
        for (size_t nEnd; bOpen && (nEnd = strIn.find("\r\n")) != std::string::npos;) {
            const std::string strLine = strIn.substr(0, nEnd);
            strIn.erase(0, nEnd + 2);
            if (strLine.rfind("ECHO ", 0) == 0) {
                bOpen = WriteAll(pSsl, strLine.substr(5) + "\r\n");
            } else if (strLine.rfind("FLOOD ", 0) == 0) {
                const int nLines = std::min(std::atoi(strLine.c_str() + 6), 100000);
                std::string strOut;
                for (int i = 1; i <= nLines; ++i) strOut += "LINE " + std::to_string(i) + "\r\n";
                bOpen = WriteAll(pSsl, strOut);
            } else if (strLine == "STOPREAD") {
                HoldWithoutReading();
                bOpen = false;
            } else if (strLine == "STALL") {
                if (Stall(pSsl, client.Handle())) HoldWithoutReading();
                bOpen = false;
            } else if (strLine == "BYE") {
                SSL_shutdown(pSsl);
                bOpen = false;
            }
        }
    }
    ERR_clear_error();
    SSL_free(pSsl);
}

void ServeOne(CPeer& peer, platform::CSocket client) {
    switch (peer.m_eMode) {
        case EMode::Tls:
            ServeTls(peer, client);
            break;
        case EMode::Silent:
        case EMode::PlainText: {
            if (peer.m_eMode == EMode::PlainText)
                client.Send(":irc.plain.test NOTICE * :*** Looking up your hostname...\r\n");
            // Answers nothing (more) until the client hangs up.
            const auto end = Clock::now() + kIdleLimit;
            while (!g_bStop.load() && Clock::now() < end) {
                if (client.WaitReadable(kSliceMs) != platform::EWaitResult::Readable) continue;
                char buf[4096];
                if (client.Recv(buf, sizeof buf) <= 0) break;
            }
            break;
        }
        case EMode::CloseAtOnce:
            break;
    }
}

void Serve(CPeer& peer) {
    std::list<std::thread> threads;
    while (!g_bStop.load()) {
        if (peer.m_listener.WaitReadable(kSliceMs) != platform::EWaitResult::Readable) continue;
        platform::CSocket client = peer.m_listener.Accept();
        if (!client.IsValid()) continue;
        threads.emplace_back([&peer](platform::CSocket s) { ServeOne(peer, std::move(s)); },
                             std::move(client));
    }
    for (std::thread& t : threads) t.join();
}

SSL_CTX* NewServerContext(const testsupport::CServerCertificate& cert, bool bAskCert) {
    SSL_CTX* pCtx = SSL_CTX_new(TLS_server_method());
    if (pCtx == nullptr) return nullptr;
    if (SSL_CTX_use_certificate_chain_file(pCtx, cert.m_strCert.c_str()) != 1 ||
        SSL_CTX_use_PrivateKey_file(pCtx, cert.m_strKey.c_str(), SSL_FILETYPE_PEM) != 1) {
        SSL_CTX_free(pCtx);
        return nullptr;
    }
    // Asked for, not required, and any certificate is taken: the services
    // go by its fingerprint, which the server reports.
    if (bAskCert) SSL_CTX_set_verify(pCtx, SSL_VERIFY_PEER, [](int, X509_STORE_CTX*) { return 1; });
    return pCtx;
}

// The client certificate files, made from the test certificates' client
// files with the openssl program: name and path of each.
std::vector<std::pair<std::string, std::string>> MakeClientFiles(
    const testsupport::CTestCertificates& certs, std::string* pEcFingerprint) {
    const std::string strDir = certs.Dir() + "/";
    const std::string strOpenssl = testsupport::FindProgram("openssl");
    auto run = [&](std::vector<std::string> vArgs) {
        vArgs.insert(vArgs.begin(), strOpenssl);
        testsupport::CChildProcess child;
        if (!child.Start(vArgs, certs.Dir())) return false;
        const int nStatus = child.Wait(std::chrono::seconds(20));
        if (nStatus != 0) std::fprintf(stderr, "tls_peer: %s", child.Output().c_str());
        return nStatus == 0;
    };
    auto read = [&](const std::string& strName) {
        std::ifstream in(strDir + strName);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    std::vector<std::pair<std::string, std::string>> vFiles;
    auto write = [&](const std::string& strName, const std::string& strText) {
        std::ofstream(strDir + "client-" + strName + ".pem") << strText;
        vFiles.emplace_back(strName, strDir + "client-" + strName + ".pem");
    };
    const bool bOk =
        run({"rsa", "-in", "client.key", "-traditional", "-out", "client-pkcs1.key"}) &&
        run({"rsa", "-in", "client.key", "-traditional", "-aes256", "-passout", "pass:secret",
             "-out", "client-pkcs1-enc.key"}) &&
        run({"pkcs8", "-topk8", "-in", "client.key", "-v2", "aes-256-cbc", "-passout",
             "pass:secret", "-out", "client-pkcs8-enc.key"}) &&
        run({"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
             "-keyout", "clientec.key", "-out", "clientec.pem", "-days", "3", "-subj",
             "/CN=fragbot-ec"}) &&
        run({"ec", "-in", "clientec.key", "-out", "clientec-sec1.key"}) &&
        run({"x509", "-in", "clientec.pem", "-noout", "-fingerprint", "-sha256", "-out",
             "clientec.fp"});
    if (!bOk) return {};
    const std::string strFp = read("clientec.fp");
    const size_t nEq = strFp.find('=');
    if (nEq != std::string::npos) *pEcFingerprint = strFp.substr(nEq + 1, 95);
    const std::string strCert = read("client.pem");
    write("pkcs8", read("client.key") + strCert);
    write("cert-first", strCert + read("client.key"));
    write("pkcs1", read("client-pkcs1.key") + strCert);
    write("ec-pkcs8", read("clientec.key") + read("clientec.pem"));
    write("ec-sec1", read("clientec-sec1.key") + read("clientec.pem"));
    write("pkcs1-encrypted", read("client-pkcs1-enc.key") + strCert);
    write("pkcs8-encrypted", read("client-pkcs8-enc.key") + strCert);
    write("cert-only", strCert);
    write("key-only", read("client.key"));
    return vFiles;
}

// Runs the command; its exit status, or 125 when it could not run or was killed.
int RunCommand(char** argv) {
    const pid_t pid = ::fork();
    if (pid < 0) return 125;
    if (pid == 0) {
        ::execvp(argv[0], argv);
        std::perror(argv[0]);
        ::_exit(127);
    }
    const auto end = Clock::now() + kCommandLimit;
    int nStatus = 0;
    while (::waitpid(pid, &nStatus, WNOHANG) == 0) {
        if (Clock::now() >= end) {
            std::fprintf(stderr, "tls_peer: %s ran too long, killed\n", argv[0]);
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &nStatus, 0);
            return 125;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : 125;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: tls_peer COMMAND [ARGS...]\n");
        return 2;
    }
    ::signal(SIGPIPE, SIG_IGN);  // a client that hung up is no reason to end
    // RSA: under Wine, the chain check now and then took a freshly made
    // ECDSA signature for invalid (chain status 0x8) and failed a row at random.
    testsupport::CTestCertificates certs(testsupport::EKeyType::Rsa);
    if (!certs.Make()) {
        std::fprintf(stderr, "tls_peer: making the certificates failed:\n%s\n",
                     certs.Log().c_str());
        return 2;
    }
    std::list<CPeer> peers;
    auto add = [&](const char* pszName, EMode eMode, const testsupport::CServerCertificate& cert,
                   bool bAskCert = false) {
        peers.push_back(
            {pszName, eMode, &cert, bAskCert, platform::CSocket::CreateTcp(), nullptr, {}});
    };
    add("good", EMode::Tls, certs.Good());
    add("wrongname", EMode::Tls, certs.WrongName());
    add("expired", EMode::Tls, certs.Expired());
    add("unknown", EMode::Tls, certs.UnknownIssuer());
    add("selfsigned", EMode::Tls, certs.Client());
    add("silent", EMode::Silent, certs.Good());
    add("close", EMode::CloseAtOnce, certs.Good());
    add("plain", EMode::PlainText, certs.Good());
    add("askcert", EMode::Tls, certs.Good(), true);
    std::string strEcFingerprint;
    const auto vClientFiles = MakeClientFiles(certs, &strEcFingerprint);
    if (vClientFiles.empty()) {
        std::fprintf(stderr, "tls_peer: making the client certificate files failed\n");
        return 2;
    }

    const std::string strFile = certs.Dir() + "/peers.txt";
    std::ofstream out(strFile);
    out << "dir=" << certs.Dir() << "\nca=" << certs.CaFile() << "\nclient=" << certs.ClientPem()
        << "\nclient.fp=" << certs.Client().m_strFingerprint << "\nclientec.fp=" << strEcFingerprint
        << "\n";
    for (const auto& [strName, strPath] : vClientFiles)
        out << "clientcert." << strName << "=" << strPath << "\n";
    bool bOk = true;
    for (CPeer& peer : peers) {
        if (peer.m_eMode == EMode::Tls) {
            peer.m_pCtx = NewServerContext(*peer.m_pCert, peer.m_bAskCert);
            bOk = bOk && peer.m_pCtx != nullptr;
        }
        bOk =
            bOk && peer.m_listener.Bind(platform::LoopbackAddress()) && peer.m_listener.Listen(16);
        out << peer.m_strName << ".port=" << peer.m_listener.LocalPort() << "\n"
            << peer.m_strName << ".fp=" << peer.m_pCert->m_strFingerprint << "\n";
    }
    testsupport::CNgircdTlsServer ngircd;
    if (testsupport::CNgircdTlsServer::Available()) {
        if (ngircd.Start(certs.Good().m_strCert, certs.Good().m_strKey))
            out << "ngircd.port=" << ngircd.TlsPort()
                << "\nngircd.fp=" << certs.Good().m_strFingerprint << "\n";
        else
            std::fprintf(stderr, "tls_peer: ngircd did not start:\n%s\n", ngircd.Log().c_str());
    }
    out.close();
    int nStatus = 2;
    if (!bOk || !out) {
        std::fprintf(stderr, "tls_peer: could not start the servers\n");
    } else {
        for (CPeer& peer : peers) peer.m_thread = std::thread([&peer] { Serve(peer); });
        ::setenv("FR_TLS_PEER", strFile.c_str(), 1);
        nStatus = RunCommand(argv + 1);
    }
    g_bStop.store(true);
    for (CPeer& peer : peers) {
        if (peer.m_thread.joinable()) peer.m_thread.join();
        if (peer.m_pCtx != nullptr) SSL_CTX_free(peer.m_pCtx);
    }
    return nStatus;
}
