// CTlsStream with SChannel (SSPI) on a non-blocking Winsock socket.
//
// SChannel is told to leave the server's certificate alone
// (SCH_CRED_MANUAL_CRED_VALIDATION): after the handshake this file checks it
// itself, so that a pin replaces the chain check exactly, the extra CA file
// is honoured, and every failure has its own reason. The chain is built by
// CertGetCertificateChain with the certificates the server sent and the
// extra CA file as additional stores; a chain that ends in a root of that
// file counts as trusted (the same on Windows and under Wine, where an
// engine with an exclusive root store is not to be relied on). The host name
// goes through CERT_CHAIN_POLICY_SSL; an address literal is compared with
// the certificate's IP addresses here, which every Windows version does alike.
//
// Every SSPI call on the context is made under one mutex and never across a
// wait: a reader and a writer take turns on it and each waits for socket
// readiness on its own. The writer holds its own turn at the socket across
// its waits (a record is never interleaved); the reader never waits for that
// turn, so a writer stalled by a server that stops reading cannot hold up
// what the server still sends. The records are read by CTlsRecordPump.
// Waits go in short slices, so that Shutdown from another thread is seen
// soon without relying on select() waking up.
// CERT_CHAIN_PARA with its time limit for fetching certificates.
#define CERT_CHAIN_PARA_HAS_EXTRA_FIELDS
#include <winsock2.h>
#include <ws2tcpip.h>
// winsock2.h first: it must come before windows.h.
#include <windows.h>
#define SECURITY_WIN32
// SCH_CREDENTIALS and TLS_PARAMETERS are declared only with this, and
// need UNICODE_STRING from subauth.h before them.
#define SCHANNEL_USE_BLACKLISTS
#include <subauth.h>
// Then the rest.
#include <schannel.h>
#include <security.h>
#include <wincrypt.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <vector>

#include "platform/ClientCertWin32.h"
#include "platform/Clock.h"
#include "platform/FileWin32.h"
#include "platform/TlsRecordPump.h"
#include "platform/TlsStream.h"

namespace platform {

namespace {

using Clock = std::chrono::steady_clock;

// Waits on the socket in slices this long, so that a stop is seen soon.
constexpr int kSliceMs = 50;
// The most received and not yet decrypted bytes held: a TLS record is at
// most 16 KiB plus its overhead, a handshake message a little more.
constexpr size_t kMaxIn = 64 * 1024;

enum class EWait { Ready, TimedOut, Stopped };

// TLS record content types a server's first record may have.
constexpr unsigned char kRecordAlert = 21;
constexpr unsigned char kRecordHandshake = 22;

// The SSL chain policy's checks to leave out (wininet.h's values, which
// that header would bring in with much else).
#ifndef SECURITY_FLAG_IGNORE_UNKNOWN_CA
constexpr DWORD SECURITY_FLAG_IGNORE_UNKNOWN_CA = 0x00000100;
#endif
#ifndef SECURITY_FLAG_IGNORE_CERT_CN_INVALID
constexpr DWORD SECURITY_FLAG_IGNORE_CERT_CN_INVALID = 0x00001000;
#endif

struct CDeadline {
    explicit CDeadline(int nTimeoutMs)
        : m_bNever(nTimeoutMs < 0),
          m_end(Clock::now() + std::chrono::milliseconds(std::max(nTimeoutMs, 0))) {}
    int Left() const {
        if (m_bNever) return -1;
        const auto n =
            std::chrono::duration_cast<std::chrono::milliseconds>(m_end - Clock::now()).count();
        return static_cast<int>(std::max<long long>(n, 0));
    }
    bool m_bNever;
    Clock::time_point m_end;
};

std::string HexCode(long nCode) {
    char sz[16];
    std::snprintf(sz, sizeof sz, "0x%08lX", static_cast<unsigned long>(nCode));
    return sz;
}

using win32::StatusText;

// "[::1]" names the address ::1.
std::string WithoutBrackets(const std::string& strHost) {
    if (strHost.size() >= 2 && strHost.front() == '[' && strHost.back() == ']')
        return strHost.substr(1, strHost.size() - 2);
    return strHost;
}

// The address bytes of an IP literal (4 or 16), empty for a name.
std::vector<unsigned char> AddressBytes(const std::string& strHost) {
    unsigned char buf[16];
    if (::inet_pton(AF_INET, strHost.c_str(), buf) == 1) return {buf, buf + 4};
    if (::inet_pton(AF_INET6, strHost.c_str(), buf) == 1) return {buf, buf + 16};
    return {};
}

// The whole file, or false with *pError saying why not.
bool ReadWholeFile(const std::string& strPath, std::string* pOut, std::string* pError) {
    std::FILE* pFile = ::_wfopen(win32::Wide(strPath).c_str(), L"rb");
    if (pFile == nullptr) {
        *pError = "cannot read " + strPath + " (" + std::strerror(errno) + ")";
        return false;
    }
    char buf[4096];
    size_t n;
    pOut->clear();
    // A CA file is a few kilobytes; a megabyte is plenty.
    while ((n = std::fread(buf, 1, sizeof buf, pFile)) > 0 && pOut->size() < (1u << 20))
        pOut->append(buf, n);
    const bool bError = std::ferror(pFile) != 0;
    std::fclose(pFile);
    if (bError) *pError = "cannot read " + strPath;
    return !bError;
}

// Adds every PEM certificate of strPem to the store; returns how many.
int AddPemCertificates(const std::string& strPem, HCERTSTORE hStore) {
    static constexpr char kBegin[] = "-----BEGIN CERTIFICATE-----";
    static constexpr char kEnd[] = "-----END CERTIFICATE-----";
    int nAdded = 0;
    size_t nPos = 0;
    for (;;) {
        const size_t nBegin = strPem.find(kBegin, nPos);
        if (nBegin == std::string::npos) break;
        const size_t nEnd = strPem.find(kEnd, nBegin);
        if (nEnd == std::string::npos) break;
        nPos = nEnd + sizeof kEnd - 1;
        const std::string strBlock = strPem.substr(nBegin, nPos - nBegin);
        DWORD cb = 0;
        if (!::CryptStringToBinaryA(strBlock.c_str(), static_cast<DWORD>(strBlock.size()),
                                    CRYPT_STRING_BASE64HEADER, nullptr, &cb, nullptr, nullptr))
            continue;
        std::vector<BYTE> der(cb);
        if (!::CryptStringToBinaryA(strBlock.c_str(), static_cast<DWORD>(strBlock.size()),
                                    CRYPT_STRING_BASE64HEADER, der.data(), &cb, nullptr, nullptr))
            continue;
        if (::CertAddEncodedCertificateToStore(hStore, X509_ASN_ENCODING, der.data(), cb,
                                               CERT_STORE_ADD_USE_EXISTING, nullptr))
            ++nAdded;
    }
    return nAdded;
}

std::string FingerprintOf(PCCERT_CONTEXT pCert) {
    if (pCert == nullptr) return {};
    BYTE digest[32];
    DWORD cb = sizeof digest;
    if (!::CryptHashCertificate2(BCRYPT_SHA256_ALGORITHM, 0, nullptr, pCert->pbCertEncoded,
                                 pCert->cbCertEncoded, digest, &cb) ||
        cb != sizeof digest)
        return {};
    return FingerprintText(digest, cb);
}

// Whether the certificate names the address among its IP addresses.
bool HasAddress(PCCERT_CONTEXT pCert, const std::vector<unsigned char>& vAddress) {
    const PCERT_EXTENSION pExt = ::CertFindExtension(
        szOID_SUBJECT_ALT_NAME2, pCert->pCertInfo->cExtension, pCert->pCertInfo->rgExtension);
    if (pExt == nullptr) return false;
    CERT_ALT_NAME_INFO* pInfo = nullptr;
    DWORD cb = 0;
    if (!::CryptDecodeObjectEx(X509_ASN_ENCODING, X509_ALTERNATE_NAME, pExt->Value.pbData,
                               pExt->Value.cbData, CRYPT_DECODE_ALLOC_FLAG, nullptr, &pInfo, &cb))
        return false;
    bool bFound = false;
    for (DWORD i = 0; i < pInfo->cAltEntry && !bFound; ++i) {
        const CERT_ALT_NAME_ENTRY& entry = pInfo->rgAltEntry[i];
        bFound = entry.dwAltNameChoice == CERT_ALT_NAME_IP_ADDRESS &&
                 entry.IPAddress.cbData == vAddress.size() &&
                 std::memcmp(entry.IPAddress.pbData, vAddress.data(), vAddress.size()) == 0;
    }
    ::LocalFree(pInfo);
    return bFound;
}

// Which end of its validity a certificate of the chain is past.
ETlsFailure TimeFailure(PCCERT_CHAIN_CONTEXT pChain) {
    FILETIME now;
    ::GetSystemTimeAsFileTime(&now);
    const CERT_SIMPLE_CHAIN* pSimple = pChain->rgpChain[0];
    for (DWORD i = 0; i < pSimple->cElement; ++i) {
        const CERT_CHAIN_ELEMENT* pElement = pSimple->rgpElement[i];
        if ((pElement->TrustStatus.dwErrorStatus & CERT_TRUST_IS_NOT_TIME_VALID) == 0) continue;
        if (::CompareFileTime(&now, &pElement->pCertContext->pCertInfo->NotBefore) < 0)
            return ETlsFailure::NotYetValid;
        return ETlsFailure::Expired;
    }
    return ETlsFailure::Expired;
}

}  // namespace

struct CTlsStream::CImpl {
    CSocket m_socket;
    std::atomic<NativeSocket> m_nFd{kNoSocket};  // for Shutdown from any thread
    CredHandle m_cred{};
    CtxtHandle m_ctx{};
    win32::CClientCertificate m_clientCert;  // with a key for this handshake only
    bool m_bCred = false;
    bool m_bCtx = false;
    SecPkgContext_StreamSizes m_sizes{};
    std::wstring m_strTarget;  // the server name for SNI, empty for an address
    std::string m_strVersion;
    std::string m_strSeen;  // fingerprint of the server's certificate

    std::mutex m_mutexCtx;   // every SSPI call on m_ctx
    std::mutex m_mutexSend;  // one sender at a time: a record is never interleaved
    std::mutex m_mutexFd;    // Shutdown never touches a handle that Close is giving back
    std::atomic<bool> m_bShutdown{false};
    std::atomic<bool> m_bOpen{false};
    std::atomic<bool> m_bBroken{false};  // a fatal error or a half-written record

    // The handshake's received bytes; after it, the reader's pump holds them.
    std::vector<char> m_vIn;
    CTlsRecordPump m_pump{kMaxIn};
    bool m_bTcpEnd = false;  // the server closed the connection (reader's)
    bool m_bTls13 = false;
    // What the handshake step answered the server after the handshake (a
    // key update's reply). Under m_mutexCtx: it must leave before any record
    // encrypted after it, so whoever sends takes it with the next record.
    std::string m_strOwed;

    SOCKET Sock() const { return static_cast<SOCKET>(m_nFd.load()); }

    EWait WaitSocket(bool bRead, const CDeadline& deadline, const CStopSignal* pStop) const {
        for (;;) {
            if (m_bShutdown.load() || (pStop != nullptr && pStop->IsStopped()))
                return EWait::Stopped;
            const int nLeft = deadline.Left();
            if (nLeft == 0) return EWait::TimedOut;
            const int nWait = nLeft < 0 ? kSliceMs : std::min(nLeft, kSliceMs);
            const SOCKET s = Sock();
            fd_set set, exceptSet;
            FD_ZERO(&set);
            FD_ZERO(&exceptSet);
            FD_SET(s, &set);
            FD_SET(s, &exceptSet);
            timeval tv{};
            tv.tv_sec = nWait / 1000;
            tv.tv_usec = (nWait % 1000) * 1000;
            const int rc =
                ::select(0, bRead ? &set : nullptr, bRead ? nullptr : &set, &exceptSet, &tv);
            // Also on an error: the next call says which.
            if (rc != 0) return EWait::Ready;
        }
    }

    // Sends all bytes, waiting for room within the deadline.
    // Ready: all sent; Stopped; TimedOut; or false in *pFailed.
    EWait SendAll(const char* pData, size_t nLen, const CDeadline& deadline,
                  const CStopSignal* pStop, bool* pFailed) const {
        *pFailed = false;
        while (nLen > 0) {
            const int n =
                ::send(Sock(), pData, static_cast<int>(std::min<size_t>(nLen, 1 << 20)), 0);
            if (n > 0) {
                pData += n;
                nLen -= static_cast<size_t>(n);
                continue;
            }
            if (n == SOCKET_ERROR && ::WSAGetLastError() == WSAEWOULDBLOCK) {
                const EWait eWait = WaitSocket(false, deadline, pStop);
                if (eWait != EWait::Ready) return eWait;
                continue;
            }
            *pFailed = true;
            return EWait::Ready;
        }
        return EWait::Ready;
    }

    enum class ERead { Some, End, Failed };
    // One non-blocking receive of up to nRoom bytes into p; *pnGot says how
    // many. WSAEWOULDBLOCK shows as Some with nothing; the caller waits then.
    ERead ReadInto(char* p, size_t nRoom, size_t* pnGot, bool* pWouldBlock) const {
        *pWouldBlock = false;
        *pnGot = 0;
        if (nRoom == 0) return ERead::Failed;
        const int n = ::recv(Sock(), p, static_cast<int>(std::min<size_t>(nRoom, INT32_MAX)), 0);
        if (n > 0) {
            *pnGot = static_cast<size_t>(n);
            return ERead::Some;
        }
        if (n == 0) return ERead::End;
        const int nError = ::WSAGetLastError();
        if (nError == WSAEWOULDBLOCK) {
            *pWouldBlock = true;
            return ERead::Some;
        }
        return nError == WSAECONNRESET || nError == WSAECONNABORTED || nError == WSAESHUTDOWN
                   ? ERead::End
                   : ERead::Failed;
    }

    // The handshake's receive into m_vIn.
    ERead ReadSome(bool* pWouldBlock) {
        const size_t nOld = m_vIn.size();
        if (nOld >= kMaxIn) return ERead::Failed;
        m_vIn.resize(kMaxIn);
        size_t nGot = 0;
        const ERead eRead = ReadInto(m_vIn.data() + nOld, kMaxIn - nOld, &nGot, pWouldBlock);
        m_vIn.resize(nOld + nGot);
        return eRead;
    }

    // Keeps the last nExtra bytes of m_vIn, the ones SSPI did not use.
    void KeepExtra(size_t nExtra) {
        nExtra = std::min(nExtra, m_vIn.size());
        m_vIn.erase(m_vIn.begin(), m_vIn.end() - static_cast<std::ptrdiff_t>(nExtra));
    }

    // The reader's pump calls SSPI through this: one record at a time,
    // each call under m_mutexCtx and none across a wait.
    class CCodec final : public ITlsRecordCodec {
    public:
        explicit CCodec(CImpl& impl) : m_impl(impl) {}

        CTlsCodecResult Decrypt(char* pData, size_t nLen) override {
            CTlsCodecResult result;
            std::lock_guard<std::mutex> lock(m_impl.m_mutexCtx);
            if (!m_impl.m_bCtx) return result;
            SecBuffer buffers[4] = {};
            buffers[0].BufferType = SECBUFFER_DATA;
            buffers[0].pvBuffer = pData;
            buffers[0].cbBuffer = static_cast<unsigned long>(nLen);
            for (int i = 1; i < 4; ++i) buffers[i].BufferType = SECBUFFER_EMPTY;
            SecBufferDesc desc{SECBUFFER_VERSION, 4, buffers};
            const SECURITY_STATUS status = ::DecryptMessage(&m_impl.m_ctx, &desc, 0, nullptr);
            switch (status) {
                case SEC_E_OK:
                    result.m_eStatus = ETlsCodecStatus::Ok;
                    break;
                case SEC_E_INCOMPLETE_MESSAGE:
                    result.m_eStatus = ETlsCodecStatus::Incomplete;
                    break;
                case SEC_I_RENEGOTIATE:
                    result.m_eStatus = ETlsCodecStatus::Renegotiate;
                    break;
                case SEC_I_CONTEXT_EXPIRED:
                    result.m_eStatus = ETlsCodecStatus::Closed;
                    break;
                default:
                    result.m_strDetail = StatusText(status);
                    return result;
            }
            // The first buffer is what was given until the call replaces it.
            for (int i = 1; i < 4; ++i) Add(buffers[i], &result);
            return result;
        }

        CTlsCodecResult AfterHandshake(char* pData, size_t nLen) override {
            CTlsCodecResult result;
            if (!m_impl.m_bTls13) {
                // TLS 1.2: the server asks for a new handshake. None is
                // made (as on Linux); the records go on as they were.
                result.m_eStatus = ETlsCodecStatus::Ok;
                result.Add(ETlsPieceKind::Extra, nLen);
                return result;
            }
            // TLS 1.3: a ticket or a key update, for the handshake step.
            std::lock_guard<std::mutex> lock(m_impl.m_mutexCtx);
            if (!m_impl.m_bCtx) return result;
            SecBuffer in[2] = {};
            in[0].BufferType = SECBUFFER_TOKEN;
            in[0].pvBuffer = pData;
            in[0].cbBuffer = static_cast<unsigned long>(nLen);
            in[1].BufferType = SECBUFFER_EMPTY;
            SecBufferDesc inDesc{SECBUFFER_VERSION, 2, in};
            SecBuffer out[1] = {};
            out[0].BufferType = SECBUFFER_TOKEN;
            SecBufferDesc outDesc{SECBUFFER_VERSION, 1, out};
            unsigned long nAttrs = 0;
            const SECURITY_STATUS status = ::InitializeSecurityContextW(
                &m_impl.m_cred, &m_impl.m_ctx,
                m_impl.m_strTarget.empty() ? nullptr : m_impl.m_strTarget.data(), RequestFlags(), 0,
                0, &inDesc, 0, nullptr, &outDesc, &nAttrs, nullptr);
            if (out[0].pvBuffer != nullptr) {
                // The answer goes before any record encrypted from now on.
                if (status == SEC_E_OK && out[0].cbBuffer > 0)
                    m_impl.m_strOwed.append(static_cast<const char*>(out[0].pvBuffer),
                                            out[0].cbBuffer);
                ::FreeContextBuffer(out[0].pvBuffer);
            }
            if (status == SEC_E_OK) {
                result.m_eStatus = ETlsCodecStatus::Ok;
                Add(in[1], &result);
            } else if (status == SEC_E_INCOMPLETE_MESSAGE) {
                result.m_eStatus = ETlsCodecStatus::Incomplete;
                Add(in[1], &result);
            } else if (status == SEC_I_CONTINUE_NEEDED) {
                result.m_strDetail = "the server wants a new handshake, which is not done";
            } else {
                result.m_strDetail = StatusText(status);
            }
            return result;
        }

    private:
        static void Add(const SecBuffer& buffer, CTlsCodecResult* pResult) {
            switch (buffer.BufferType) {
                case SECBUFFER_DATA:
                    pResult->Add(ETlsPieceKind::Data, buffer.cbBuffer,
                                 static_cast<const char*>(buffer.pvBuffer));
                    break;
                case SECBUFFER_EXTRA:
                    pResult->Add(ETlsPieceKind::Extra, buffer.cbBuffer);
                    break;
                case SECBUFFER_MISSING:
                    pResult->Add(ETlsPieceKind::Missing, buffer.cbBuffer);
                    break;
                default:
                    break;
            }
        }
        CImpl& m_impl;
    };

    static unsigned long RequestFlags() {
        return ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT | ISC_REQ_CONFIDENTIALITY |
               ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM | ISC_REQ_USE_SUPPLIED_CREDS;
    }

    // Sends what the handshake step owes the server, if no writer is at the
    // socket and as far as it goes at once: the reader never waits for the
    // writer, who sends it ahead of its next record otherwise. Reader's.
    void SendOwed() {
        std::unique_lock<std::mutex> lockSend(m_mutexSend, std::try_to_lock);
        if (!lockSend.owns_lock()) return;
        std::string strOwed;
        {
            std::lock_guard<std::mutex> lock(m_mutexCtx);
            strOwed.swap(m_strOwed);
        }
        size_t nSent = 0;
        while (nSent < strOwed.size()) {
            const int n =
                ::send(Sock(), strOwed.data() + nSent,
                       static_cast<int>(std::min<size_t>(strOwed.size() - nSent, 1 << 20)), 0);
            if (n > 0) {
                nSent += static_cast<size_t>(n);
                continue;
            }
            if (n == SOCKET_ERROR && ::WSAGetLastError() == WSAEWOULDBLOCK) break;
            m_bBroken.store(true);
            return;
        }
        if (nSent < strOwed.size()) {
            // Only this thread adds to it, and it holds the send turn: the
            // rest goes back to the front unchanged.
            std::lock_guard<std::mutex> lock(m_mutexCtx);
            m_strOwed.insert(0, strOwed, nSent, std::string::npos);
        }
    }

    bool Owes() {
        std::lock_guard<std::mutex> lock(m_mutexCtx);
        return !m_strOwed.empty();
    }

    enum class EPump { Data, End, Failed, TimedOut };
    // Moves the reader on until decrypted bytes are there, the stream ended,
    // it failed, or the deadline passed.
    EPump Pump(const CDeadline& deadline) {
        CCodec codec(*this);
        for (;;) {
            if (m_bShutdown.load()) return EPump::End;
            if (!m_bOpen.load() || m_bBroken.load()) return EPump::Failed;
            if (m_pump.HasPlain()) return EPump::Data;
            const CTlsRecordPump::EState eState = m_pump.Run(codec);
            const bool bOwes = Owes();
            if (bOwes) SendOwed();
            if (eState == CTlsRecordPump::EState::Data) return EPump::Data;
            if (eState == CTlsRecordPump::EState::End) return EPump::End;
            if (eState == CTlsRecordPump::EState::Failed) {
                m_bBroken.store(true);
                return m_bShutdown.load() ? EPump::End : EPump::Failed;
            }
            // A server that closes without close_notify ends the stream as
            // TCP does.
            if (m_bTcpEnd) return EPump::End;
            size_t nRoom = 0;
            char* p = m_pump.Space(&nRoom);
            size_t nGot = 0;
            bool bWouldBlock = false;
            const ERead eRead = ReadInto(p, nRoom, &nGot, &bWouldBlock);
            m_pump.Received(nGot);
            if (eRead == ERead::End) {
                m_bTcpEnd = true;
                continue;
            }
            if (eRead == ERead::Failed) {
                m_bBroken.store(true);
                return m_bShutdown.load() ? EPump::End : EPump::Failed;
            }
            if (!bWouldBlock) continue;
            // While something is owed, a slice at a time: the writer may
            // leave the socket to it meanwhile.
            const CDeadline slice(
                bOwes ? std::min(deadline.Left() < 0 ? kSliceMs : deadline.Left(), kSliceMs) : -1);
            const EWait eWait = WaitSocket(true, bOwes ? slice : deadline, nullptr);
            if (eWait == EWait::Stopped) return EPump::End;
            if (eWait == EWait::TimedOut && deadline.Left() == 0) return EPump::TimedOut;
        }
    }

    void Free() {
        if (m_bCtx) ::DeleteSecurityContext(&m_ctx);
        if (m_bCred) ::FreeCredentialsHandle(&m_cred);
        m_bCtx = false;
        m_bCred = false;
        m_clientCert.Release();
    }

    // Credentials that leave the server's certificate to this file and show
    // the client certificate, if there is one, and no other. SCH_CREDENTIALS
    // first (TLS 1.3 on Windows 11); the older SCHANNEL_CRED where the
    // system does not know it.
    SECURITY_STATUS AcquireCredentials() {
        PCCERT_CONTEXT pClientCert = m_clientCert.Context();
        const DWORD dwFlags =
            SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS | SCH_USE_STRONG_CRYPTO;
        TimeStamp expiry;
        TLS_PARAMETERS tlsParameters{};
        tlsParameters.grbitDisabledProtocols = SP_PROT_SSL2_CLIENT | SP_PROT_SSL3_CLIENT |
                                               SP_PROT_TLS1_0_CLIENT | SP_PROT_TLS1_1_CLIENT;
        SCH_CREDENTIALS cred{};
        cred.dwVersion = SCH_CREDENTIALS_VERSION;
        cred.dwFlags = dwFlags;
        cred.cTlsParameters = 1;
        cred.pTlsParameters = &tlsParameters;
        if (pClientCert != nullptr) {
            cred.cCreds = 1;
            cred.paCred = &pClientCert;
        }
        SECURITY_STATUS status = ::AcquireCredentialsHandleW(
            nullptr, const_cast<wchar_t*>(UNISP_NAME_W), SECPKG_CRED_OUTBOUND, nullptr, &cred,
            nullptr, nullptr, &m_cred, &expiry);
        if (status != SEC_E_OK) {
            SCHANNEL_CRED old{};
            old.dwVersion = SCHANNEL_CRED_VERSION;
            old.dwFlags = dwFlags;
            old.grbitEnabledProtocols = SP_PROT_TLS1_2_CLIENT;
            if (pClientCert != nullptr) {
                old.cCreds = 1;
                old.paCred = &pClientCert;
            }
            status = ::AcquireCredentialsHandleW(nullptr, const_cast<wchar_t*>(UNISP_NAME_W),
                                                 SECPKG_CRED_OUTBOUND, nullptr, &old, nullptr,
                                                 nullptr, &m_cred, &expiry);
        }
        m_bCred = status == SEC_E_OK;
        return status;
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
    std::lock_guard<std::mutex> lock(m_pImpl->m_mutexCtx);
    return m_pImpl->m_bCtx ? m_pImpl->m_strVersion : "";
}

namespace {

// The server certificate's checks without a pin: the chain to a trusted
// root (the system's or the extra CA file's), its dates, and the name.
CTlsHandshakeResult VerifyServer(PCCERT_CONTEXT pLeaf, HCERTSTORE hCaStore,
                                 const std::string& strHost, const CDeadline& deadline) {
    CTlsHandshakeResult result;
    HCERTSTORE hExtra = pLeaf->hCertStore;  // what the server sent with its certificate
    HCERTSTORE hCollection = nullptr;
    if (hCaStore != nullptr) {
        hCollection = ::CertOpenStore(CERT_STORE_PROV_COLLECTION, 0, 0, 0, nullptr);
        if (hCollection != nullptr) {
            ::CertAddStoreToCollection(hCollection, pLeaf->hCertStore, 0, 0);
            ::CertAddStoreToCollection(hCollection, hCaStore, 0, 0);
            hExtra = hCollection;
        }
    }
    char szServerAuth[] = szOID_PKIX_KP_SERVER_AUTH;
    char* rgUsage[] = {szServerAuth};
    CERT_CHAIN_PARA para{};
    para.cbSize = sizeof para;
    para.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
    para.RequestedUsage.Usage.cUsageIdentifier = 1;
    para.RequestedUsage.Usage.rgpszUsageIdentifier = rgUsage;
    // Windows may fetch a missing intermediate or root over the network
    // (its URL in the certificate): within what is left of the time limit.
    const int nLeftMs = deadline.Left();
    para.dwUrlRetrievalTimeout = static_cast<DWORD>(nLeftMs < 0 ? 15000 : std::max(nLeftMs, 1));
    PCCERT_CHAIN_CONTEXT pChain = nullptr;
    const BOOL bChain =
        ::CertGetCertificateChain(nullptr, pLeaf, nullptr, hExtra, &para, 0, nullptr, &pChain);
    if (hCollection != nullptr) ::CertCloseStore(hCollection, 0);
    if (!bChain || pChain == nullptr || pChain->cChain == 0) {
        result.m_eFailure = ETlsFailure::Untrusted;
        result.m_strDetail = "no chain: " + StatusText(static_cast<long>(::GetLastError()));
        if (pChain != nullptr) ::CertFreeCertificateChain(pChain);
        return result;
    }
    const CERT_SIMPLE_CHAIN* pSimple = pChain->rgpChain[0];
    DWORD dwErrors = pChain->TrustStatus.dwErrorStatus;
    // Revocation is not asked for; a report that it could not be checked is no verdict.
    dwErrors &= ~static_cast<DWORD>(CERT_TRUST_REVOCATION_STATUS_UNKNOWN |
                                    CERT_TRUST_IS_OFFLINE_REVOCATION);
    bool bOurRoot = false;
    if ((dwErrors & CERT_TRUST_IS_UNTRUSTED_ROOT) != 0 && hCaStore != nullptr &&
        pSimple->cElement > 0) {
        PCCERT_CONTEXT pRoot = pSimple->rgpElement[pSimple->cElement - 1]->pCertContext;
        PCCERT_CONTEXT pFound = ::CertFindCertificateInStore(hCaStore, X509_ASN_ENCODING, 0,
                                                             CERT_FIND_EXISTING, pRoot, nullptr);
        if (pFound != nullptr) {
            ::CertFreeCertificateContext(pFound);
            bOurRoot = true;
            dwErrors &= ~static_cast<DWORD>(CERT_TRUST_IS_UNTRUSTED_ROOT);
        }
    }
    // In the order the OpenSSL side meets them: the issuer, then the dates.
    if ((dwErrors & (CERT_TRUST_IS_UNTRUSTED_ROOT | CERT_TRUST_IS_PARTIAL_CHAIN)) != 0) {
        const bool bAlone = pSimple->cElement == 1 && (dwErrors & CERT_TRUST_IS_PARTIAL_CHAIN) == 0;
        result.m_eFailure = bAlone ? ETlsFailure::SelfSigned : ETlsFailure::UnknownIssuer;
    } else if ((dwErrors & CERT_TRUST_IS_NOT_TIME_VALID) != 0) {
        result.m_eFailure = TimeFailure(pChain);
    } else if (dwErrors != 0) {
        result.m_eFailure = ETlsFailure::Untrusted;
        result.m_strDetail = "chain status " + HexCode(static_cast<long>(dwErrors));
    }
    if (!result.Ok()) {
        ::CertFreeCertificateChain(pChain);
        return result;
    }

    const std::vector<unsigned char> vAddress = AddressBytes(strHost);
    std::wstring strName = win32::Wide(strHost);
    SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl{};
    ssl.cbSize = sizeof ssl;
    ssl.dwAuthType = AUTHTYPE_SERVER;
    ssl.fdwChecks = bOurRoot ? SECURITY_FLAG_IGNORE_UNKNOWN_CA : 0;
    if (!vAddress.empty()) ssl.fdwChecks |= SECURITY_FLAG_IGNORE_CERT_CN_INVALID;  // checked below
    ssl.pwszServerName = strName.data();
    CERT_CHAIN_POLICY_PARA policy{};
    policy.cbSize = sizeof policy;
    policy.pvExtraPolicyPara = &ssl;
    CERT_CHAIN_POLICY_STATUS status{};
    status.cbSize = sizeof status;
    if (!::CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, pChain, &policy, &status)) {
        result.m_eFailure = ETlsFailure::Untrusted;
        result.m_strDetail = StatusText(static_cast<long>(::GetLastError()));
    } else if (status.dwError == static_cast<DWORD>(CERT_E_CN_NO_MATCH)) {
        result.m_eFailure = ETlsFailure::WrongName;
        result.m_strDetail = strHost;
    } else if (status.dwError == static_cast<DWORD>(CERT_E_EXPIRED)) {
        result.m_eFailure = TimeFailure(pChain);
    } else if (status.dwError == static_cast<DWORD>(CERT_E_UNTRUSTEDROOT) ||
               status.dwError == static_cast<DWORD>(CERT_E_CHAINING)) {
        result.m_eFailure = ETlsFailure::UnknownIssuer;
    } else if (status.dwError != 0) {
        result.m_eFailure = ETlsFailure::Untrusted;
        result.m_strDetail = StatusText(static_cast<long>(status.dwError));
    } else if (!vAddress.empty() && !HasAddress(pLeaf, vAddress)) {
        result.m_eFailure = ETlsFailure::WrongName;
        result.m_strDetail = strHost;
    }
    ::CertFreeCertificateChain(pChain);
    return result;
}

}  // namespace

CTlsHandshakeResult CTlsStream::Handshake(CSocket socket, const CTlsOptions& options,
                                          int nTimeoutMs, const CStopSignal* pStop) {
    CImpl& impl = *m_pImpl;
    CTlsHandshakeResult result;
    const CDeadline deadline(nTimeoutMs);
    HCERTSTORE hCaStore = nullptr;
    auto fail = [&](ETlsFailure eFailure, std::string strDetail = {}) {
        result.m_eFailure = eFailure;
        result.m_strDetail = std::move(strDetail);
        if (result.m_strFingerprint.empty()) result.m_strFingerprint = impl.m_strSeen;
        if (hCaStore != nullptr) ::CertCloseStore(hCaStore, 0);
        Close();
        return result;
    };
    if (impl.m_bCred || impl.m_nFd.load() != kNoSocket)
        return fail(ETlsFailure::Protocol, "used twice");
    {
        std::lock_guard<std::mutex> lock(impl.m_mutexFd);
        impl.m_socket = std::move(socket);
        impl.m_nFd.store(impl.m_socket.Handle());
    }
    if (!impl.m_socket.IsValid()) return fail(ETlsFailure::PeerClosed);

    std::string strPin;
    if (!options.m_strFingerprint.empty() && !ParseFingerprint(options.m_strFingerprint, &strPin))
        return fail(ETlsFailure::BadPin);

    std::string strError;
    std::string strText;
    if (!options.m_strClientCert.empty()) {
        const std::string& strPath = options.m_strClientCert;
        if (!ReadWholeFile(strPath, &strText, &strError) ||
            !impl.m_clientCert.Load(strText, strPath, &strError))
            return fail(ETlsFailure::ClientCertificate, strError);
    }

    const std::string strHost = WithoutBrackets(options.m_strHost);
    const bool bIpLiteral = !AddressBytes(strHost).empty();
    if (strPin.empty()) {
        if (strHost.empty())
            return fail(ETlsFailure::Untrusted, "no host name to check it against");
        if (!options.m_strCaFile.empty()) {
            if (!ReadWholeFile(options.m_strCaFile, &strText, &strError))
                return fail(ETlsFailure::CaFile, strError);
            hCaStore = ::CertOpenStore(CERT_STORE_PROV_MEMORY, 0, 0, 0, nullptr);
            if (hCaStore == nullptr || AddPemCertificates(strText, hCaStore) == 0)
                return fail(ETlsFailure::CaFile, options.m_strCaFile + " holds no CA certificate");
        }
    }
    // SNI carries host names only, never an address literal.
    impl.m_strTarget = !strHost.empty() && !bIpLiteral ? win32::Wide(strHost) : std::wstring();

    const SECURITY_STATUS statusCred = impl.AcquireCredentials();
    if (statusCred != SEC_E_OK) return fail(ETlsFailure::Protocol, StatusText(statusCred));

    u_long nNonBlocking = 1;
    if (::ioctlsocket(impl.Sock(), FIONBIO, &nNonBlocking) != 0)
        return fail(ETlsFailure::Protocol, "socket");

    // The handshake: each call of InitializeSecurityContext takes what the
    // server sent and gives what goes back, until it says done.
    bool bFirst = true;
    bool bNeedRead = false;
    bool bSeenRecord = false;
    for (;;) {
        if (impl.m_bShutdown.load() || (pStop != nullptr && pStop->IsStopped()))
            return fail(ETlsFailure::Stopped);
        if (bNeedRead) {
            bool bWouldBlock = false;
            const auto eRead = impl.ReadSome(&bWouldBlock);
            if (eRead == CImpl::ERead::End) {
                if (impl.m_bShutdown.load()) return fail(ETlsFailure::Stopped);
                return fail(ETlsFailure::PeerClosed);
            }
            if (eRead == CImpl::ERead::Failed) {
                if (impl.m_bShutdown.load()) return fail(ETlsFailure::Stopped);
                return fail(ETlsFailure::Protocol, impl.m_vIn.size() >= kMaxIn
                                                       ? "handshake message too long"
                                                       : "receive failed");
            }
            if (bWouldBlock) {
                const EWait eWait = impl.WaitSocket(true, deadline, pStop);
                if (eWait == EWait::TimedOut) return fail(ETlsFailure::TimedOut);
                if (eWait == EWait::Stopped) return fail(ETlsFailure::Stopped);
                continue;
            }
            bNeedRead = false;
            // The server's first bytes must open a TLS record (a handshake
            // message or an alert, version 3.x). A plain-text server's
            // greeting otherwise reads as the header of a long record, and
            // the handshake would wait for the rest until its time limit.
            if (!bSeenRecord && impl.m_vIn.size() >= 2) {
                const auto nType = static_cast<unsigned char>(impl.m_vIn[0]);
                if ((nType != kRecordHandshake && nType != kRecordAlert) || impl.m_vIn[1] != 3)
                    return fail(ETlsFailure::Protocol, "the server does not speak TLS");
                bSeenRecord = true;
            }
            if (!bSeenRecord) {
                bNeedRead = true;
                continue;
            }
        }
        SecBuffer in[2] = {};
        in[0].BufferType = SECBUFFER_TOKEN;
        in[0].pvBuffer = impl.m_vIn.data();
        in[0].cbBuffer = static_cast<unsigned long>(impl.m_vIn.size());
        in[1].BufferType = SECBUFFER_EMPTY;
        SecBufferDesc inDesc{SECBUFFER_VERSION, 2, in};
        SecBuffer out[1] = {};
        out[0].BufferType = SECBUFFER_TOKEN;
        SecBufferDesc outDesc{SECBUFFER_VERSION, 1, out};
        unsigned long nAttrs = 0;
        SECURITY_STATUS status;
        {
            std::lock_guard<std::mutex> lock(impl.m_mutexCtx);
            status = ::InitializeSecurityContextW(
                &impl.m_cred, bFirst ? nullptr : &impl.m_ctx,
                impl.m_strTarget.empty() ? nullptr : impl.m_strTarget.data(), CImpl::RequestFlags(),
                0, 0, bFirst ? nullptr : &inDesc, 0, bFirst ? &impl.m_ctx : nullptr, &outDesc,
                &nAttrs, nullptr);
            if (bFirst && (status == SEC_E_OK || status == SEC_I_CONTINUE_NEEDED ||
                           status == SEC_E_INCOMPLETE_MESSAGE))
                impl.m_bCtx = true;
        }
        bFirst = false;
        if (out[0].pvBuffer != nullptr && out[0].cbBuffer > 0) {
            bool bFailed = false;
            const EWait eWait = impl.SendAll(static_cast<const char*>(out[0].pvBuffer),
                                             out[0].cbBuffer, deadline, pStop, &bFailed);
            ::FreeContextBuffer(out[0].pvBuffer);
            if (eWait == EWait::TimedOut) return fail(ETlsFailure::TimedOut);
            if (eWait == EWait::Stopped) return fail(ETlsFailure::Stopped);
            // A Shutdown from another thread fails the send it raced with.
            if (bFailed && impl.m_bShutdown.load()) return fail(ETlsFailure::Stopped);
            if (bFailed) return fail(ETlsFailure::PeerClosed);
        } else if (out[0].pvBuffer != nullptr) {
            ::FreeContextBuffer(out[0].pvBuffer);
        }
        if (status == SEC_E_INCOMPLETE_MESSAGE) {
            bNeedRead = true;
            continue;
        }
        if (status == SEC_I_INCOMPLETE_CREDENTIALS) continue;  // asked for a certificate: none
        if (status != SEC_E_OK && status != SEC_I_CONTINUE_NEEDED) {
            if (impl.m_bShutdown.load()) return fail(ETlsFailure::Stopped);
            return fail(ETlsFailure::Protocol, StatusText(status));
        }
        impl.KeepExtra(in[1].BufferType == SECBUFFER_EXTRA ? in[1].cbBuffer : 0);
        if (status == SEC_E_OK) break;
        bNeedRead = impl.m_vIn.empty();
    }

    // Nothing signs with the client's key after the handshake.
    impl.m_clientCert.ForgetKey();

    // The server's certificate, checked here (manual validation).
    PCCERT_CONTEXT pLeaf = nullptr;
    {
        std::lock_guard<std::mutex> lock(impl.m_mutexCtx);
        if (::QueryContextAttributesW(&impl.m_ctx, SECPKG_ATTR_REMOTE_CERT_CONTEXT, &pLeaf) !=
            SEC_E_OK)
            pLeaf = nullptr;
    }
    if (pLeaf == nullptr) return fail(ETlsFailure::Protocol, "the server showed no certificate");
    impl.m_strSeen = FingerprintOf(pLeaf);
    if (impl.m_strSeen.empty()) {
        ::CertFreeCertificateContext(pLeaf);
        return fail(ETlsFailure::Protocol, "no SHA-256 of the server's certificate");
    }
    if (!strPin.empty()) {
        ::CertFreeCertificateContext(pLeaf);
        // Pinned: exactly this certificate passes, whoever issued it.
        if (impl.m_strSeen != strPin) return fail(ETlsFailure::FingerprintMismatch, strPin);
    } else {
        const CTlsHandshakeResult verdict = VerifyServer(pLeaf, hCaStore, strHost, deadline);
        ::CertFreeCertificateContext(pLeaf);
        if (!verdict.Ok()) return fail(verdict.m_eFailure, verdict.m_strDetail);
    }
    if (hCaStore != nullptr) {
        ::CertCloseStore(hCaStore, 0);
        hCaStore = nullptr;
    }

    {
        std::lock_guard<std::mutex> lock(impl.m_mutexCtx);
        if (::QueryContextAttributesW(&impl.m_ctx, SECPKG_ATTR_STREAM_SIZES, &impl.m_sizes) !=
                SEC_E_OK ||
            impl.m_sizes.cbMaximumMessage == 0)
            impl.m_sizes = {};
        SecPkgContext_ConnectionInfo info{};
        if (::QueryContextAttributesW(&impl.m_ctx, SECPKG_ATTR_CONNECTION_INFO, &info) ==
            SEC_E_OK) {
            impl.m_bTls13 = (info.dwProtocol & SP_PROT_TLS1_3_CLIENT) != 0;
            if (impl.m_bTls13)
                impl.m_strVersion = "TLSv1.3";
            else if (info.dwProtocol & SP_PROT_TLS1_2_CLIENT)
                impl.m_strVersion = "TLSv1.2";
            else
                impl.m_strVersion = "TLS " + HexCode(static_cast<long>(info.dwProtocol));
        }
    }
    if (impl.m_sizes.cbMaximumMessage == 0)
        return fail(ETlsFailure::Protocol, "no record sizes from the system");
    // Records that came with the handshake's last message are the reader's.
    if (!impl.m_pump.Feed(impl.m_vIn.data(), impl.m_vIn.size()))
        return fail(ETlsFailure::Protocol, "too much after the handshake");
    impl.m_vIn = {};

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
    const SecPkgContext_StreamSizes& sizes = impl.m_sizes;
    std::vector<char> vRecord;
    std::string strOwed;
    const char* p = static_cast<const char*>(pData);
    size_t nLeft = nLen;
    while (nLeft > 0) {
        if (!IsOpen()) return -1;
        const size_t nChunk = std::min<size_t>(nLeft, sizes.cbMaximumMessage);
        vRecord.resize(sizes.cbHeader + nChunk + sizes.cbTrailer);
        std::memcpy(vRecord.data() + sizes.cbHeader, p, nChunk);
        SecBuffer buffers[4] = {};
        buffers[0] = {sizes.cbHeader, SECBUFFER_STREAM_HEADER, vRecord.data()};
        buffers[1] = {static_cast<unsigned long>(nChunk), SECBUFFER_DATA,
                      vRecord.data() + sizes.cbHeader};
        buffers[2] = {sizes.cbTrailer, SECBUFFER_STREAM_TRAILER,
                      vRecord.data() + sizes.cbHeader + nChunk};
        buffers[3].BufferType = SECBUFFER_EMPTY;
        SecBufferDesc desc{SECBUFFER_VERSION, 4, buffers};
        SECURITY_STATUS status;
        {
            std::lock_guard<std::mutex> lock(impl.m_mutexCtx);
            status =
                impl.m_bCtx ? ::EncryptMessage(&impl.m_ctx, 0, &desc, 0) : SEC_E_INVALID_HANDLE;
            // What the reader's handshake step owes the server goes first:
            // this record may be under keys that its answer announces.
            strOwed.swap(impl.m_strOwed);
        }
        if (status != SEC_E_OK) {
            impl.m_bBroken.store(true);
            return -1;
        }
        // The trailer may come out shorter than the most it could be.
        const size_t nRecord = buffers[0].cbBuffer + buffers[1].cbBuffer + buffers[2].cbBuffer;
        bool bFailed = false;
        EWait eWait = EWait::Ready;
        if (!strOwed.empty()) {
            eWait = impl.SendAll(strOwed.data(), strOwed.size(), deadline, nullptr, &bFailed);
            strOwed.clear();
        }
        if (!bFailed && eWait == EWait::Ready)
            eWait = impl.SendAll(vRecord.data(), nRecord, deadline, nullptr, &bFailed);
        if (bFailed || eWait != EWait::Ready) {
            // A record was left half written (or never went): done for.
            if (bFailed || eWait == EWait::TimedOut) impl.m_bBroken.store(true);
            return -1;
        }
        p += nChunk;
        nLeft -= nChunk;
    }
    return static_cast<int>(nLen);
}

int CTlsStream::Recv(void* pBuf, size_t nCap, int nTimeoutMs) {
    CImpl& impl = *m_pImpl;
    if (nCap == 0) return -1;
    switch (impl.Pump(CDeadline(nTimeoutMs))) {
        case CImpl::EPump::Data:
            return static_cast<int>(
                impl.m_pump.Take(pBuf, std::min(nCap, static_cast<size_t>(INT32_MAX))));
        case CImpl::EPump::End:
            return 0;
        case CImpl::EPump::TimedOut:
            return kTimedOut;
        case CImpl::EPump::Failed:
            break;
    }
    return -1;
}

EWaitResult CTlsStream::WaitReadable(int nTimeoutMs) {
    // A readable socket may hold only part of a record: the pump decrypts
    // whole records and keeps their bytes for Recv.
    return m_pImpl->Pump(CDeadline(nTimeoutMs)) == CImpl::EPump::TimedOut ? EWaitResult::TimedOut
                                                                          : EWaitResult::Readable;
}

void CTlsStream::Shutdown() {
    m_pImpl->m_bShutdown.store(true);
    std::lock_guard<std::mutex> lock(m_pImpl->m_mutexFd);
    const NativeSocket nFd = m_pImpl->m_nFd.load();
    if (nFd != kNoSocket) ::shutdown(static_cast<SOCKET>(nFd), SD_BOTH);
}

void CTlsStream::Close() {
    CImpl& impl = *m_pImpl;
    {
        std::lock_guard<std::mutex> lock(impl.m_mutexCtx);
        if (impl.m_bCtx && impl.m_bOpen.load() && !impl.m_bBroken.load() &&
            !impl.m_bShutdown.load()) {
            // close_notify, one try: the socket is non-blocking.
            DWORD dwType = SCHANNEL_SHUTDOWN;
            SecBuffer control{sizeof dwType, SECBUFFER_TOKEN, &dwType};
            SecBufferDesc controlDesc{SECBUFFER_VERSION, 1, &control};
            if (!impl.m_strOwed.empty())
                ::send(impl.Sock(), impl.m_strOwed.data(), static_cast<int>(impl.m_strOwed.size()),
                       0);
            if (::ApplyControlToken(&impl.m_ctx, &controlDesc) == SEC_E_OK) {
                SecBuffer out{0, SECBUFFER_TOKEN, nullptr};
                SecBufferDesc outDesc{SECBUFFER_VERSION, 1, &out};
                unsigned long nAttrs = 0;
                const SECURITY_STATUS status = ::InitializeSecurityContextW(
                    &impl.m_cred, &impl.m_ctx,
                    impl.m_strTarget.empty() ? nullptr : impl.m_strTarget.data(),
                    CImpl::RequestFlags(), 0, 0, nullptr, 0, nullptr, &outDesc, &nAttrs, nullptr);
                if ((status == SEC_E_OK || status == SEC_I_CONTEXT_EXPIRED) &&
                    out.pvBuffer != nullptr && out.cbBuffer > 0)
                    ::send(impl.Sock(), static_cast<const char*>(out.pvBuffer),
                           static_cast<int>(out.cbBuffer), 0);
                if (out.pvBuffer != nullptr) ::FreeContextBuffer(out.pvBuffer);
            }
        }
        impl.Free();
    }
    impl.m_bOpen.store(false);
    std::lock_guard<std::mutex> lock(impl.m_mutexFd);
    impl.m_nFd.store(kNoSocket);
    impl.m_socket.Close();
}

}  // namespace platform
