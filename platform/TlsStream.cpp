// CTlsStream with OpenSSL on a non-blocking POSIX socket. Every call into
// the SSL object is made under one mutex and never across a wait: a reader
// and a writer take turns on it and each waits for its socket readiness on
// its own, so one blocked side never holds up the other.
#include "platform/TlsStream.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "platform/Clock.h"
#include "platform/PemKey.h"

namespace platform {

namespace {

using Clock = std::chrono::steady_clock;

// Waits on the socket in slices this long, so that a stop is seen soon.
constexpr int kSliceMs = 50;

enum class EWait { Ready, TimedOut, Stopped };

// A deadline; "never" when the time limit is negative.
struct CDeadline {
    explicit CDeadline(int nTimeoutMs)
        : m_bNever(nTimeoutMs < 0),
          m_end(Clock::now() + std::chrono::milliseconds(std::max(nTimeoutMs, 0))) {}
    // Milliseconds left, -1 for never.
    int Left() const {
        if (m_bNever) return -1;
        const auto n =
            std::chrono::duration_cast<std::chrono::milliseconds>(m_end - Clock::now()).count();
        return static_cast<int>(std::max<long long>(n, 0));
    }
    bool m_bNever;
    Clock::time_point m_end;
};

std::string FingerprintOf(X509* pCert) {
    if (pCert == nullptr) return {};
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int nLen = 0;
    if (X509_digest(pCert, EVP_sha256(), digest, &nLen) != 1) return {};
    return FingerprintText(digest, nLen);
}

bool IsIpLiteral(const std::string& strHost) {
    unsigned char buf[16];
    return inet_pton(AF_INET, strHost.c_str(), buf) == 1 ||
           inet_pton(AF_INET6, strHost.c_str(), buf) == 1;
}

// "[::1]" names the address ::1.
std::string WithoutBrackets(const std::string& strHost) {
    if (strHost.size() >= 2 && strHost.front() == '[' && strHost.back() == ']')
        return strHost.substr(1, strHost.size() - 2);
    return strHost;
}

// Whether the file can be opened for reading; *pError gets why not.
bool Readable(const std::string& strPath, std::string* pError) {
    std::FILE* pFile = std::fopen(strPath.c_str(), "rb");
    if (pFile == nullptr) {
        *pError = "cannot read " + strPath + " (" + std::strerror(errno) + ")";
        return false;
    }
    std::fclose(pFile);
    return true;
}

std::string LibraryError() {
    const unsigned long nError = ERR_peek_last_error();
    if (nError == 0) return {};
    const char* pszReason = ERR_reason_error_string(nError);
    return pszReason != nullptr ? pszReason : "error " + std::to_string(nError);
}

ETlsFailure FailureOfVerifyError(long nError) {
    switch (nError) {
        case X509_V_ERR_CERT_HAS_EXPIRED:
            return ETlsFailure::Expired;
        case X509_V_ERR_CERT_NOT_YET_VALID:
            return ETlsFailure::NotYetValid;
        case X509_V_ERR_HOSTNAME_MISMATCH:
        case X509_V_ERR_IP_ADDRESS_MISMATCH:
            return ETlsFailure::WrongName;
        case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
            return ETlsFailure::SelfSigned;
        case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:  // the server sent its own, untrusted CA
        case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
        case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
        case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
            return ETlsFailure::UnknownIssuer;
        default:
            return ETlsFailure::Untrusted;
    }
}

// The socket under the TLS layer. OpenSSL's own socket BIO writes with
// write(), which raises SIGPIPE on a connection the peer closed; this one
// sends with MSG_NOSIGNAL, as CSocket does, so a lost link is a failed call.
int BioWrite(BIO* pBio, const char* pData, int nLen) {
    const int nFd = static_cast<int>(reinterpret_cast<intptr_t>(BIO_get_data(pBio)));
    BIO_clear_retry_flags(pBio);
    const ssize_t n = ::send(nFd, pData, static_cast<size_t>(nLen), MSG_NOSIGNAL);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
        BIO_set_retry_write(pBio);
    return static_cast<int>(n);
}

int BioRead(BIO* pBio, char* pBuf, int nLen) {
    const int nFd = static_cast<int>(reinterpret_cast<intptr_t>(BIO_get_data(pBio)));
    BIO_clear_retry_flags(pBio);
    const ssize_t n = ::recv(nFd, pBuf, static_cast<size_t>(nLen), 0);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
        BIO_set_retry_read(pBio);
    return static_cast<int>(n);
}

long BioCtrl(BIO*, int nCmd, long, void*) {
    return nCmd == BIO_CTRL_FLUSH ? 1 : 0;
}

int BioCreate(BIO* pBio) {
    BIO_set_init(pBio, 1);
    return 1;
}

const BIO_METHOD* SocketBioMethod() {
    static BIO_METHOD* s_pMethod = [] {
        BIO_METHOD* p =
            BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "fragrelay socket");
        if (p != nullptr) {
            BIO_meth_set_write(p, &BioWrite);
            BIO_meth_set_read(p, &BioRead);
            BIO_meth_set_ctrl(p, &BioCtrl);
            BIO_meth_set_create(p, &BioCreate);
        }
        return p;
    }();
    return s_pMethod;
}

}  // namespace

struct CTlsStream::CImpl {
    CSocket m_socket;
    std::atomic<int> m_nFd{-1};  // the socket's handle, for Shutdown from any thread
    SSL_CTX* m_pCtx = nullptr;
    SSL* m_pSsl = nullptr;
    std::mutex m_mutexSsl;   // every call into m_pSsl
    std::mutex m_mutexSend;  // one sender at a time: a record is never interleaved
    std::mutex m_mutexFd;    // Shutdown never touches a handle that Close is giving back
    std::atomic<bool> m_bShutdown{false};
    std::atomic<bool> m_bOpen{false};
    std::atomic<bool> m_bBroken{false};  // a fatal error or a half-written record

    // Filled during the handshake, by the verification callbacks.
    std::string m_strPin;   // normal form, empty when not pinned
    std::string m_strSeen;  // fingerprint of the server's certificate
    long m_nVerifyError = X509_V_OK;
    bool m_bPinMismatch = false;
    bool m_bKeyEncrypted = false;  // the client key asked for a pass phrase

    // Waits until the socket is ready for nEvents. With pStop, in slices.
    EWait WaitSocket(short nEvents, const CDeadline& deadline, const CStopSignal* pStop,
                     int nSliceMs = -1) const {
        for (;;) {
            if (m_bShutdown.load() || (pStop != nullptr && pStop->IsStopped()))
                return EWait::Stopped;
            const int nLeft = deadline.Left();
            if (nLeft == 0) return EWait::TimedOut;
            int nWait = nLeft;
            if (pStop != nullptr) nWait = nWait < 0 ? kSliceMs : std::min(nWait, kSliceMs);
            if (nSliceMs >= 0) nWait = nWait < 0 ? nSliceMs : std::min(nWait, nSliceMs);
            pollfd pfd{};
            pfd.fd = m_nFd.load();
            pfd.events = nEvents;
            const int rc = ::poll(&pfd, 1, nWait);
            if (rc > 0) return EWait::Ready;  // also on an error or hang-up: the call says which
            if (rc < 0 && errno != EINTR) return EWait::Ready;
        }
    }

    void Free() {
        if (m_pSsl != nullptr) SSL_free(m_pSsl);
        if (m_pCtx != nullptr) SSL_CTX_free(m_pCtx);
        m_pSsl = nullptr;
        m_pCtx = nullptr;
    }

    static CImpl* Of(X509_STORE_CTX* pStore) {
        SSL* pSsl = static_cast<SSL*>(
            X509_STORE_CTX_get_ex_data(pStore, SSL_get_ex_data_X509_STORE_CTX_idx()));
        return pSsl != nullptr ? static_cast<CImpl*>(SSL_get_app_data(pSsl)) : nullptr;
    }

    // Chain and name verification: keeps OpenSSL's verdict and remembers
    // the first error and the certificate's fingerprint for the operator.
    static int VerifyCallback(int nOk, X509_STORE_CTX* pStore) {
        CImpl* p = Of(pStore);
        if (p == nullptr) return nOk;
        if (p->m_strSeen.empty()) p->m_strSeen = FingerprintOf(X509_STORE_CTX_get0_cert(pStore));
        if (nOk == 0 && p->m_nVerifyError == X509_V_OK)
            p->m_nVerifyError = X509_STORE_CTX_get_error(pStore);
        return nOk;
    }

    // Asked for a key's pass phrase: there is nobody to answer, and the
    // library's own prompt would wait on the terminal. Refuses at once and
    // remembers why the key did not load.
    static int PassPhraseCallback(char*, int, int, void* pArg) {
        static_cast<CImpl*>(pArg)->m_bKeyEncrypted = true;
        return -1;
    }

    // Pinned: this replaces the whole chain verification. The certificate is
    // accepted exactly when its fingerprint is the pinned one.
    static int PinCallback(X509_STORE_CTX* pStore, void* pArg) {
        CImpl* p = static_cast<CImpl*>(pArg);
        p->m_strSeen = FingerprintOf(X509_STORE_CTX_get0_cert(pStore));
        if (!p->m_strSeen.empty() && p->m_strSeen == p->m_strPin) return 1;
        p->m_bPinMismatch = true;
        X509_STORE_CTX_set_error(pStore, X509_V_ERR_APPLICATION_VERIFICATION);
        return 0;
    }
};

CTlsStream::CTlsStream() : m_pImpl(std::make_unique<CImpl>()) {}

CTlsStream::~CTlsStream() {
    Close();
}

bool CTlsStream::IsOpen() const {
    return m_pImpl->m_bOpen.load() && !m_pImpl->m_bBroken.load() && !m_pImpl->m_bShutdown.load();
}

std::string CTlsStream::PeerFingerprint() const {
    return m_pImpl->m_bOpen.load() ? m_pImpl->m_strSeen : std::string();
}

std::string CTlsStream::Version() const {
    std::lock_guard<std::mutex> lock(m_pImpl->m_mutexSsl);
    return m_pImpl->m_pSsl != nullptr ? SSL_get_version(m_pImpl->m_pSsl) : "";
}

CTlsHandshakeResult CTlsStream::Handshake(CSocket socket, const CTlsOptions& options,
                                          int nTimeoutMs, const CStopSignal* pStop) {
    CImpl& impl = *m_pImpl;
    CTlsHandshakeResult result;
    const CDeadline deadline(nTimeoutMs);
    auto fail = [&](ETlsFailure eFailure, std::string strDetail = {}) {
        result.m_eFailure = eFailure;
        result.m_strDetail = std::move(strDetail);
        if (result.m_strFingerprint.empty()) result.m_strFingerprint = impl.m_strSeen;
        Close();
        return result;
    };
    if (impl.m_pSsl != nullptr || impl.m_nFd.load() >= 0)
        return fail(ETlsFailure::Protocol, "used twice");
    {
        std::lock_guard<std::mutex> lock(impl.m_mutexFd);
        impl.m_socket = std::move(socket);
        impl.m_nFd.store(impl.m_socket.Handle());
    }
    if (!impl.m_socket.IsValid()) return fail(ETlsFailure::PeerClosed);

    if (!options.m_strFingerprint.empty() &&
        !ParseFingerprint(options.m_strFingerprint, &impl.m_strPin))
        return fail(ETlsFailure::BadPin);

    impl.m_pCtx = SSL_CTX_new(TLS_client_method());
    if (impl.m_pCtx == nullptr) return fail(ETlsFailure::Protocol, LibraryError());
    SSL_CTX_set_min_proto_version(impl.m_pCtx, TLS1_2_VERSION);
    // No renegotiation: a write never has to wait for the server's reads.
    // A server that closes without close_notify ends the stream as TCP does.
    SSL_CTX_set_options(impl.m_pCtx, SSL_OP_NO_RENEGOTIATION | SSL_OP_IGNORE_UNEXPECTED_EOF);
    SSL_CTX_set_mode(impl.m_pCtx, SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    // Never a prompt on the terminal for a pass phrase, whatever file is read.
    SSL_CTX_set_default_passwd_cb(impl.m_pCtx, &CImpl::PassPhraseCallback);
    SSL_CTX_set_default_passwd_cb_userdata(impl.m_pCtx, &impl);

    std::string strError;
    if (!options.m_strClientCert.empty()) {
        const std::string& strPath = options.m_strClientCert;
        if (!Readable(strPath, &strError)) return fail(ETlsFailure::ClientCertificate, strError);
        ERR_clear_error();
        if (SSL_CTX_use_certificate_chain_file(impl.m_pCtx, strPath.c_str()) != 1 ||
            SSL_CTX_use_PrivateKey_file(impl.m_pCtx, strPath.c_str(), SSL_FILETYPE_PEM) != 1 ||
            SSL_CTX_check_private_key(impl.m_pCtx) != 1)
            return fail(ETlsFailure::ClientCertificate,
                        impl.m_bKeyEncrypted || InspectPemKeyFile(strPath) == EPemKey::Encrypted
                            ? EncryptedKeyText(strPath)
                            : strPath + " holds no certificate with its private key");
    }

    const std::string strHost = WithoutBrackets(options.m_strHost);
    const bool bIpLiteral = IsIpLiteral(strHost);
    if (!impl.m_strPin.empty()) {
        SSL_CTX_set_verify(impl.m_pCtx, SSL_VERIFY_PEER, nullptr);
        SSL_CTX_set_cert_verify_callback(impl.m_pCtx, &CImpl::PinCallback, &impl);
    } else {
        if (strHost.empty())
            return fail(ETlsFailure::Untrusted, "no host name to check it against");
        SSL_CTX_set_default_verify_paths(impl.m_pCtx);
        if (!options.m_strCaFile.empty()) {
            if (!Readable(options.m_strCaFile, &strError))
                return fail(ETlsFailure::CaFile, strError);
            ERR_clear_error();
            if (SSL_CTX_load_verify_locations(impl.m_pCtx, options.m_strCaFile.c_str(), nullptr) !=
                1)
                return fail(ETlsFailure::CaFile, options.m_strCaFile + " holds no CA certificate");
        }
        SSL_CTX_set_verify(impl.m_pCtx, SSL_VERIFY_PEER, &CImpl::VerifyCallback);
    }

    impl.m_pSsl = SSL_new(impl.m_pCtx);
    if (impl.m_pSsl == nullptr) return fail(ETlsFailure::Protocol, LibraryError());
    SSL_set_app_data(impl.m_pSsl, &impl);
    // SNI carries host names only, never an address literal.
    if (!strHost.empty() && !bIpLiteral) SSL_set_tlsext_host_name(impl.m_pSsl, strHost.c_str());
    if (impl.m_strPin.empty()) {
        const int nSet =
            bIpLiteral ? X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(impl.m_pSsl), strHost.c_str())
                       : SSL_set1_host(impl.m_pSsl, strHost.c_str());
        if (nSet != 1) return fail(ETlsFailure::WrongName, strHost);
    }

    const int nFd = impl.m_nFd.load();
    const int nFlags = ::fcntl(nFd, F_GETFL, 0);
    if (nFlags < 0 || ::fcntl(nFd, F_SETFL, nFlags | O_NONBLOCK) != 0)
        return fail(ETlsFailure::Protocol, "socket");
    BIO* pBio = SocketBioMethod() != nullptr ? BIO_new(SocketBioMethod()) : nullptr;
    if (pBio == nullptr) return fail(ETlsFailure::Protocol, LibraryError());
    BIO_set_data(pBio, reinterpret_cast<void*>(static_cast<intptr_t>(nFd)));
    SSL_set_bio(impl.m_pSsl, pBio, pBio);  // the SSL object owns it now

    for (;;) {
        if (impl.m_bShutdown.load() || (pStop != nullptr && pStop->IsStopped()))
            return fail(ETlsFailure::Stopped);
        ERR_clear_error();
        errno = 0;
        const int rc = SSL_connect(impl.m_pSsl);
        if (rc == 1) break;
        const int nError = SSL_get_error(impl.m_pSsl, rc);
        const int nErrno = errno;
        if (nError == SSL_ERROR_WANT_READ || nError == SSL_ERROR_WANT_WRITE) {
            const EWait eWait = impl.WaitSocket(nError == SSL_ERROR_WANT_READ ? POLLIN : POLLOUT,
                                                deadline, pStop, kSliceMs);
            if (eWait == EWait::TimedOut) return fail(ETlsFailure::TimedOut);
            if (eWait == EWait::Stopped) return fail(ETlsFailure::Stopped);
            continue;
        }
        if (impl.m_bPinMismatch) return fail(ETlsFailure::FingerprintMismatch, impl.m_strPin);
        long nVerify = impl.m_nVerifyError;
        if (nVerify == X509_V_OK) nVerify = SSL_get_verify_result(impl.m_pSsl);
        if (nVerify != X509_V_OK) {
            const ETlsFailure eFailure = FailureOfVerifyError(nVerify);
            std::string strDetail = eFailure == ETlsFailure::WrongName ? strHost : "";
            if (eFailure == ETlsFailure::Untrusted)
                strDetail = X509_verify_cert_error_string(nVerify);
            return fail(eFailure, strDetail);
        }
        if (impl.m_bShutdown.load()) return fail(ETlsFailure::Stopped);
        const unsigned long nLib = ERR_peek_error();
        if (nError == SSL_ERROR_ZERO_RETURN ||
            (nError == SSL_ERROR_SYSCALL && nLib == 0 &&
             (nErrno == 0 || nErrno == ECONNRESET || nErrno == EPIPE)) ||
            (nLib != 0 && ERR_GET_REASON(nLib) == SSL_R_UNEXPECTED_EOF_WHILE_READING))
            return fail(ETlsFailure::PeerClosed);
        std::string strDetail = LibraryError();
        if (strDetail.empty() && nErrno != 0) strDetail = std::strerror(nErrno);
        return fail(ETlsFailure::Protocol, strDetail);
    }

    if (impl.m_strSeen.empty())
        impl.m_strSeen = FingerprintOf(SSL_get0_peer_certificate(impl.m_pSsl));
    result.m_strFingerprint = impl.m_strSeen;
    impl.m_bOpen.store(true);
    return result;
}

int CTlsStream::Send(const void* pData, size_t nLen, int nTimeoutMs) {
    CImpl& impl = *m_pImpl;
    if (nLen == 0) return IsOpen() ? 0 : -1;
    if (nLen > static_cast<size_t>(INT32_MAX)) return -1;
    std::lock_guard<std::mutex> lockSend(impl.m_mutexSend);
    const CDeadline deadline(nTimeoutMs);
    for (;;) {
        if (!IsOpen()) return -1;
        int nError;
        {
            std::lock_guard<std::mutex> lock(impl.m_mutexSsl);
            ERR_clear_error();
            const int rc = SSL_write(impl.m_pSsl, pData, static_cast<int>(nLen));
            if (rc > 0) return rc;
            nError = SSL_get_error(impl.m_pSsl, rc);
        }
        if (nError != SSL_ERROR_WANT_WRITE && nError != SSL_ERROR_WANT_READ) {
            impl.m_bBroken.store(true);
            return -1;
        }
        // Short slices: while this side waits, the reader may move the
        // connection on for it.
        const EWait eWait = impl.WaitSocket(nError == SSL_ERROR_WANT_WRITE ? POLLOUT : POLLIN,
                                            deadline, nullptr, kSliceMs);
        if (eWait != EWait::Ready) {
            if (eWait == EWait::TimedOut) impl.m_bBroken.store(true);
            return -1;
        }
    }
}

int CTlsStream::Recv(void* pBuf, size_t nCap, int nTimeoutMs) {
    CImpl& impl = *m_pImpl;
    if (nCap == 0) return -1;
    const int nAsk = static_cast<int>(std::min<size_t>(nCap, INT32_MAX));
    const CDeadline deadline(nTimeoutMs);
    for (;;) {
        if (impl.m_bShutdown.load()) return 0;
        if (!impl.m_bOpen.load() || impl.m_bBroken.load()) return -1;
        int nError;
        {
            std::lock_guard<std::mutex> lock(impl.m_mutexSsl);
            ERR_clear_error();
            const int rc = SSL_read(impl.m_pSsl, pBuf, nAsk);
            if (rc > 0) return rc;
            nError = SSL_get_error(impl.m_pSsl, rc);
        }
        if (nError == SSL_ERROR_ZERO_RETURN) return 0;
        if (nError != SSL_ERROR_WANT_READ && nError != SSL_ERROR_WANT_WRITE) {
            impl.m_bBroken.store(true);
            return impl.m_bShutdown.load() ? 0 : -1;
        }
        const EWait eWait =
            impl.WaitSocket(nError == SSL_ERROR_WANT_READ ? POLLIN : POLLOUT, deadline, nullptr,
                            nError == SSL_ERROR_WANT_WRITE ? kSliceMs : -1);
        if (eWait == EWait::TimedOut) return kTimedOut;
        if (eWait == EWait::Stopped) return 0;
    }
}

EWaitResult CTlsStream::WaitReadable(int nTimeoutMs) {
    CImpl& impl = *m_pImpl;
    const CDeadline deadline(nTimeoutMs);
    for (;;) {
        if (impl.m_bShutdown.load() || !impl.m_bOpen.load() || impl.m_bBroken.load())
            return EWaitResult::Readable;  // Recv returns at once
        int nError;
        {
            std::lock_guard<std::mutex> lock(impl.m_mutexSsl);
            if (SSL_pending(impl.m_pSsl) > 0) return EWaitResult::Readable;
            // A peek reads records from the socket without taking their bytes:
            // a readable socket may hold only part of a record.
            ERR_clear_error();
            char c;
            const int rc = SSL_peek(impl.m_pSsl, &c, 1);
            if (rc > 0) return EWaitResult::Readable;
            nError = SSL_get_error(impl.m_pSsl, rc);
        }
        if (nError != SSL_ERROR_WANT_READ && nError != SSL_ERROR_WANT_WRITE)
            return EWaitResult::Readable;
        const EWait eWait =
            impl.WaitSocket(nError == SSL_ERROR_WANT_READ ? POLLIN : POLLOUT, deadline, nullptr,
                            nError == SSL_ERROR_WANT_WRITE ? kSliceMs : -1);
        if (eWait == EWait::TimedOut) return EWaitResult::TimedOut;
        if (eWait == EWait::Stopped) return EWaitResult::Readable;
    }
}

void CTlsStream::Shutdown() {
    m_pImpl->m_bShutdown.store(true);
    std::lock_guard<std::mutex> lock(m_pImpl->m_mutexFd);
    const int nFd = m_pImpl->m_nFd.load();
    if (nFd >= 0) ::shutdown(nFd, SHUT_RDWR);
}

void CTlsStream::Close() {
    CImpl& impl = *m_pImpl;
    {
        std::lock_guard<std::mutex> lock(impl.m_mutexSsl);
        if (impl.m_pSsl != nullptr && impl.m_bOpen.load() && !impl.m_bBroken.load() &&
            !impl.m_bShutdown.load()) {
            ERR_clear_error();
            SSL_shutdown(impl.m_pSsl);  // one try: the socket is non-blocking
        }
        impl.Free();
        ERR_clear_error();
    }
    impl.m_bOpen.store(false);
    std::lock_guard<std::mutex> lock(impl.m_mutexFd);
    impl.m_nFd.store(-1);
    impl.m_socket.Close();
}

}  // namespace platform
