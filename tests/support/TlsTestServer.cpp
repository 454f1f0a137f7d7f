#include "support/TlsTestServer.h"

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>

#include <cerrno>

#include "platform/TlsStream.h"
#include "support/Wait.h"

namespace testsupport {

namespace {

constexpr int kSliceMs = 20;

// Accepts any client certificate: the test only looks at its fingerprint.
int AcceptAnyClient(int, X509_STORE_CTX*) {
    return 1;
}

// Keeps the name the client asked for (SNI) while the handshake runs.
int NoteServerName(SSL* pSsl, int*, void* pArg) {
    const char* pszName = SSL_get_servername(pSsl, TLSEXT_NAMETYPE_host_name);
    if (pszName != nullptr) *static_cast<std::string*>(pArg) = pszName;
    return SSL_TLSEXT_ERR_OK;
}

}  // namespace

CTlsTestServer::CTlsTestServer(std::string strCert, std::string strKey, EMode eMode)
    : m_strCert(std::move(strCert)), m_strKey(std::move(strKey)), m_eMode(eMode) {}

CTlsTestServer::~CTlsTestServer() {
    m_bStop.store(true);
    m_listener.Shutdown();
    if (m_thread.joinable()) m_thread.join();
}

bool CTlsTestServer::Start() {
    m_listener = platform::CSocket::CreateTcp();
    if (!m_listener.IsValid() || !m_listener.Bind(platform::LoopbackAddress()) ||
        !m_listener.Listen())
        return false;
    m_nPort = m_listener.LocalPort();
    m_thread = std::thread([this] { Serve(); });
    return true;
}

std::string CTlsTestServer::Received() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_strReceived;
}

std::string CTlsTestServer::ServerName() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_strServerName;
}

std::string CTlsTestServer::ClientFingerprint() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_strClientFingerprint;
}

bool CTlsTestServer::WaitForReceived(const std::string& strPart,
                                     std::chrono::milliseconds timeout) const {
    return WaitUntil([&] { return Received().find(strPart) != std::string::npos; }, timeout);
}

void CTlsTestServer::Send(const std::string& strBytes) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_strToSend += strBytes;
}

void CTlsTestServer::CloseClient() {
    m_bCloseClient.store(true);
}

void CTlsTestServer::Serve() {
    // This server's writes into a closed connection must not end the test
    // process; the client under test is held to that on its own threads.
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    while (!m_bStop.load()) {
        if (m_listener.WaitReadable(kSliceMs) != platform::EWaitResult::Readable) continue;
        platform::CSocket client = m_listener.Accept();
        if (!client.IsValid()) continue;
        ++m_nAccepted;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_strReceived.clear();
            m_strClientFingerprint.clear();
            m_strServerName.clear();
        }
        m_bCloseClient.store(false);
        switch (m_eMode) {
            case EMode::Tls:
                ServeTls(client);
                break;
            case EMode::Silent:
                // Holds the connection open and answers nothing, until the
                // client hangs up or the test says so.
                for (bool bHeard = false; !m_bStop.load() && !m_bCloseClient.load();) {
                    if (client.WaitReadable(kSliceMs) != platform::EWaitResult::Readable) continue;
                    char buf[4096];
                    if (client.Recv(buf, sizeof buf) <= 0) break;
                    if (!bHeard) m_nHeardSilently.fetch_add(1);
                    bHeard = true;
                }
                break;
            case EMode::CloseAtOnce:
                break;
            case EMode::PlainText:
                client.Send(":irc.plain.test NOTICE * :*** Looking up your hostname...\r\n");
                // Waits for the client to give up, then hangs up.
                for (int i = 0; i < 250 && !m_bStop.load(); ++i)
                    if (client.WaitReadable(kSliceMs) == platform::EWaitResult::Readable) {
                        char buf[4096];
                        if (client.Recv(buf, sizeof buf) <= 0) break;
                    }
                break;
        }
        ++m_nFinished;
    }
}

void CTlsTestServer::ServeTls(platform::CSocket& client) {
    SSL_CTX* pCtx = SSL_CTX_new(TLS_server_method());
    SSL_CTX_set_verify(pCtx, SSL_VERIFY_PEER, &AcceptAnyClient);
    std::string strServerName;
    SSL_CTX_set_tlsext_servername_callback(pCtx, &NoteServerName);
    SSL_CTX_set_tlsext_servername_arg(pCtx, &strServerName);
    if (SSL_CTX_use_certificate_chain_file(pCtx, m_strCert.c_str()) != 1 ||
        SSL_CTX_use_PrivateKey_file(pCtx, m_strKey.c_str(), SSL_FILETYPE_PEM) != 1) {
        SSL_CTX_free(pCtx);
        return;
    }
    // The first bytes tell whether a client sent anything at all (a client
    // that fails before its handshake must send nothing).
    if (client.WaitReadable(2000) == platform::EWaitResult::Readable) {
        char buf[1];
        const ssize_t n = ::recv(client.Handle(), buf, sizeof buf, MSG_PEEK);
        if (n > 0) m_nRawBytes.fetch_add(static_cast<size_t>(n));
    }
    SSL* pSsl = SSL_new(pCtx);
    SSL_set_fd(pSsl, client.Handle());
    // A blocking handshake, bounded by a receive time-out.
    client.SetRecvTimeout(5000);
    if (SSL_accept(pSsl) == 1) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_strServerName = strServerName;
        }
        ++m_nHandshakes;
        if (X509* pPeer = SSL_get0_peer_certificate(pSsl)) {
            unsigned char digest[EVP_MAX_MD_SIZE];
            unsigned int nLen = 0;
            if (X509_digest(pPeer, EVP_sha256(), digest, &nLen) == 1) {
                std::lock_guard<std::mutex> lock(m_mutex);
                m_strClientFingerprint = platform::FingerprintText(digest, nLen);
            }
        }
        client.SetRecvTimeout(kSliceMs);
        bool bOpen = true;
        while (bOpen && !m_bStop.load() && !m_bCloseClient.load()) {
            std::string strOut;
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                strOut.swap(m_strToSend);
            }
            if (!strOut.empty() &&
                SSL_write(pSsl, strOut.data(), static_cast<int>(strOut.size())) <= 0)
                break;
            if (!m_bReading.load()) {
                ::poll(nullptr, 0, kSliceMs);
                continue;
            }
            if (SSL_pending(pSsl) == 0 &&
                client.WaitReadable(kSliceMs) != platform::EWaitResult::Readable)
                continue;
            char buf[16384];
            const int n = SSL_read(pSsl, buf, sizeof buf);
            if (n > 0) {
                m_nBytes.fetch_add(static_cast<uint64_t>(n));
                if (m_bKeep.load()) {
                    std::lock_guard<std::mutex> lock(m_mutex);
                    m_strReceived.append(buf, static_cast<size_t>(n));
                }
            } else {
                const int nError = SSL_get_error(pSsl, n);
                // A receive time-out shows as a read that wants more: go on.
                bOpen = nError == SSL_ERROR_WANT_READ ||
                        (nError == SSL_ERROR_SYSCALL && (errno == EAGAIN || errno == EWOULDBLOCK));
                ERR_clear_error();
            }
        }
        if (m_bCloseClient.load()) SSL_shutdown(pSsl);
    }
    ERR_clear_error();
    SSL_free(pSsl);
    SSL_CTX_free(pCtx);
}

}  // namespace testsupport
