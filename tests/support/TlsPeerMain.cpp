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
//   BYE         close_notify, then hangs up
// Besides them, where ngircd is installed, ngircd with its TLS port and the
// good certificate ("ngircd.port", "ngircd.fp"): a real IRC server over TLS.
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/Socket.h"
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
    platform::CSocket m_listener;
    SSL_CTX* m_pCtx = nullptr;
    std::thread m_thread;
};

bool WriteAll(SSL* pSsl, const std::string& str) {
    return str.empty() || SSL_write(pSsl, str.data(), static_cast<int>(str.size())) > 0;
}

void ServeTls(SSL_CTX* pCtx, platform::CSocket& client) {
    SSL* pSsl = SSL_new(pCtx);
    SSL_set_fd(pSsl, client.Handle());
    client.SetRecvTimeout(5000);  // bounds the blocking handshake
    if (SSL_accept(pSsl) != 1) {
        ERR_clear_error();
        SSL_free(pSsl);
        return;
    }
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
                // Holds the connection without reading, until the end.
                const auto end = Clock::now() + std::chrono::seconds(30);
                while (!g_bStop.load() && Clock::now() < end)
                    std::this_thread::sleep_for(std::chrono::milliseconds(kSliceMs));
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
            ServeTls(peer.m_pCtx, client);
            break;
        case EMode::Silent:
        case EMode::PlainText: {
            if (peer.m_eMode == EMode::PlainText)
                client.Send(":irc.plain.test NOTICE * :*** Looking up your hostname...\r\n");
            // Answers nothing (more) until the client hangs up.
            const auto end = Clock::now() + kIdleLimit;
            while (!g_bStop.load() && Clock::now() < end) {
                if (client.WaitReadable(kSliceMs) != platform::WaitResult::Readable) continue;
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
        if (peer.m_listener.WaitReadable(kSliceMs) != platform::WaitResult::Readable) continue;
        platform::CSocket client = peer.m_listener.Accept();
        if (!client.IsValid()) continue;
        threads.emplace_back([&peer](platform::CSocket s) { ServeOne(peer, std::move(s)); },
                             std::move(client));
    }
    for (std::thread& t : threads) t.join();
}

SSL_CTX* NewServerContext(const testsupport::CServerCertificate& cert) {
    SSL_CTX* pCtx = SSL_CTX_new(TLS_server_method());
    if (pCtx == nullptr) return nullptr;
    if (SSL_CTX_use_certificate_chain_file(pCtx, cert.m_strCert.c_str()) != 1 ||
        SSL_CTX_use_PrivateKey_file(pCtx, cert.m_strKey.c_str(), SSL_FILETYPE_PEM) != 1) {
        SSL_CTX_free(pCtx);
        return nullptr;
    }
    return pCtx;
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
    auto add = [&](const char* pszName, EMode eMode, const testsupport::CServerCertificate& cert) {
        peers.push_back({pszName, eMode, &cert, platform::CSocket::CreateTcp(), nullptr, {}});
    };
    add("good", EMode::Tls, certs.Good());
    add("wrongname", EMode::Tls, certs.WrongName());
    add("expired", EMode::Tls, certs.Expired());
    add("unknown", EMode::Tls, certs.UnknownIssuer());
    add("selfsigned", EMode::Tls, certs.Client());
    add("silent", EMode::Silent, certs.Good());
    add("close", EMode::CloseAtOnce, certs.Good());
    add("plain", EMode::PlainText, certs.Good());

    const std::string strFile = certs.Dir() + "/peers.txt";
    std::ofstream out(strFile);
    out << "dir=" << certs.Dir() << "\nca=" << certs.CaFile() << "\nclient=" << certs.ClientPem()
        << "\n";
    bool bOk = true;
    for (CPeer& peer : peers) {
        if (peer.m_eMode == EMode::Tls) {
            peer.m_pCtx = NewServerContext(*peer.m_pCert);
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
