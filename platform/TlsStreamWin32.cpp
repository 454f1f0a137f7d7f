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
// readiness on its own. Waits go in short slices, so that Shutdown from
// another thread is seen soon without relying on select() waking up.
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

#include "platform/Clock.h"
#include "platform/FileWin32.h"
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

// The system's words for an SSPI or certificate status, with its code.
std::string StatusText(long nStatus) {
    wchar_t* pszText = nullptr;
    const DWORD n = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(nStatus), 0, reinterpret_cast<wchar_t*>(&pszText), 0, nullptr);
    std::string str;
    if (n > 0 && pszText != nullptr) {
        str = win32::Utf8(pszText);
        while (!str.empty() &&
               (str.back() == '\n' || str.back() == '\r' || str.back() == ' ' || str.back() == '.'))
            str.pop_back();
    }
    if (pszText != nullptr) ::LocalFree(pszText);
    return str.empty() ? "error " + HexCode(nStatus) : str + " (" + HexCode(nStatus) + ")";
}

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

    // The reader's side: received bytes not yet decrypted, decrypted bytes
    // not yet returned, and whether the server sent close_notify.
    std::vector<char> m_vIn;
    std::string m_strPlain;
    size_t m_nPlainPos = 0;
    bool m_bEnd = false;

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
    // One non-blocking receive into m_vIn. WSAEWOULDBLOCK shows as Some
    // with nothing added; the caller waits then.
    ERead ReadSome(bool* pWouldBlock) {
        *pWouldBlock = false;
        if (m_vIn.size() >= kMaxIn) return ERead::Failed;
        const size_t nOld = m_vIn.size();
        m_vIn.resize(kMaxIn);
        const int n = ::recv(Sock(), m_vIn.data() + nOld, static_cast<int>(kMaxIn - nOld), 0);
        m_vIn.resize(nOld + static_cast<size_t>(std::max(n, 0)));
        if (n > 0) return ERead::Some;
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

    // Keeps the last nExtra bytes of m_vIn, the ones SSPI did not use.
    void KeepExtra(size_t nExtra) {
        nExtra = std::min(nExtra, m_vIn.size());
        m_vIn.erase(m_vIn.begin(), m_vIn.end() - static_cast<std::ptrdiff_t>(nExtra));
    }

    enum class EDecrypt { Progress, NeedMore, End, Failed };
    // Decrypts one record from m_vIn into m_strPlain.
    EDecrypt DecryptOne() {
        SECURITY_STATUS status;
        size_t nExtra = 0;
        bool bRenegotiate = false;
        {
            std::lock_guard<std::mutex> lock(m_mutexCtx);
            if (!m_bCtx) return EDecrypt::Failed;
            SecBuffer buffers[4] = {};
            buffers[0].BufferType = SECBUFFER_DATA;
            buffers[0].pvBuffer = m_vIn.data();
            buffers[0].cbBuffer = static_cast<unsigned long>(m_vIn.size());
            for (int i = 1; i < 4; ++i) buffers[i].BufferType = SECBUFFER_EMPTY;
            SecBufferDesc desc{SECBUFFER_VERSION, 4, buffers};
            status = ::DecryptMessage(&m_ctx, &desc, 0, nullptr);
            if (status == SEC_E_INCOMPLETE_MESSAGE) return EDecrypt::NeedMore;
            if (status != SEC_E_OK && status != SEC_I_RENEGOTIATE &&
                status != SEC_I_CONTEXT_EXPIRED)
                return EDecrypt::Failed;
            for (int i = 1; i < 4; ++i) {
                if (buffers[i].BufferType == SECBUFFER_DATA && buffers[i].cbBuffer > 0) {
                    if (m_nPlainPos == m_strPlain.size()) {
                        m_strPlain.clear();
                        m_nPlainPos = 0;
                    }
                    m_strPlain.append(static_cast<const char*>(buffers[i].pvBuffer),
                                      buffers[i].cbBuffer);
                }
                if (buffers[i].BufferType == SECBUFFER_EXTRA) nExtra = buffers[i].cbBuffer;
            }
            bRenegotiate = status == SEC_I_RENEGOTIATE;
        }
        KeepExtra(nExtra);
        if (status == SEC_I_CONTEXT_EXPIRED) return EDecrypt::End;  // close_notify
        if (bRenegotiate) return AfterHandshakeMessage() ? EDecrypt::Progress : EDecrypt::Failed;
        return EDecrypt::Progress;
    }

    // A handshake message after the handshake (a TLS 1.3 ticket or key
    // update): SChannel wants it through InitializeSecurityContext. A new
    // handshake (renegotiation) is refused, as the OpenSSL side does.
    bool AfterHandshakeMessage() {
        std::lock_guard<std::mutex> lockSend(m_mutexSend);
        SecBuffer out[1] = {};
        out[0].BufferType = SECBUFFER_TOKEN;
        SECURITY_STATUS status;
        size_t nExtra = 0;
        {
            std::lock_guard<std::mutex> lock(m_mutexCtx);
            SecBuffer in[2] = {};
            in[0].BufferType = SECBUFFER_TOKEN;
            in[0].pvBuffer = m_vIn.data();
            in[0].cbBuffer = static_cast<unsigned long>(m_vIn.size());
            in[1].BufferType = SECBUFFER_EMPTY;
            SecBufferDesc inDesc{SECBUFFER_VERSION, 2, in};
            SecBufferDesc outDesc{SECBUFFER_VERSION, 1, out};
            unsigned long nAttrs = 0;
            status = ::InitializeSecurityContextW(
                &m_cred, &m_ctx, m_strTarget.empty() ? nullptr : m_strTarget.data(), RequestFlags(),
                0, 0, &inDesc, 0, nullptr, &outDesc, &nAttrs, nullptr);
            if (in[1].BufferType == SECBUFFER_EXTRA) nExtra = in[1].cbBuffer;
        }
        bool bFailed = false;
        if (out[0].pvBuffer != nullptr && out[0].cbBuffer > 0)
            SendAll(static_cast<const char*>(out[0].pvBuffer), out[0].cbBuffer, CDeadline(5000),
                    nullptr, &bFailed);
        if (out[0].pvBuffer != nullptr) ::FreeContextBuffer(out[0].pvBuffer);
        if (status != SEC_E_OK || bFailed) return false;
        KeepExtra(nExtra);
        return true;
    }

    static unsigned long RequestFlags() {
        return ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT | ISC_REQ_CONFIDENTIALITY |
               ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM | ISC_REQ_USE_SUPPLIED_CREDS;
    }

    enum class EPump { Data, End, Failed, TimedOut };
    // Moves the reader on until decrypted bytes are there, the stream ended,
    // it failed, or the deadline passed.
    EPump Pump(const CDeadline& deadline) {
        for (;;) {
            if (m_bShutdown.load()) return EPump::End;
            if (!m_bOpen.load() || m_bBroken.load()) return EPump::Failed;
            if (m_nPlainPos < m_strPlain.size()) return EPump::Data;
            if (m_bEnd) return EPump::End;
            if (!m_vIn.empty()) {
                const EDecrypt eDecrypt = DecryptOne();
                if (eDecrypt == EDecrypt::Progress) continue;
                if (eDecrypt == EDecrypt::End) {
                    m_bEnd = true;
                    continue;
                }
                if (eDecrypt == EDecrypt::Failed) {
                    m_bBroken.store(true);
                    return m_bShutdown.load() ? EPump::End : EPump::Failed;
                }
            }
            bool bWouldBlock = false;
            const ERead eRead = ReadSome(&bWouldBlock);
            if (eRead == ERead::End) {
                // A server that closes without close_notify ends the stream
                // as TCP does.
                m_bEnd = true;
                continue;
            }
            if (eRead == ERead::Failed) {
                m_bBroken.store(true);
                return m_bShutdown.load() ? EPump::End : EPump::Failed;
            }
            if (!bWouldBlock) continue;
            const EWait eWait = WaitSocket(true, deadline, nullptr);
            if (eWait == EWait::TimedOut) return EPump::TimedOut;
            if (eWait == EWait::Stopped) return EPump::End;
        }
    }

    void Free() {
        if (m_bCtx) ::DeleteSecurityContext(&m_ctx);
        if (m_bCred) ::FreeCredentialsHandle(&m_cred);
        m_bCtx = false;
        m_bCred = false;
    }

    // Credentials that leave the server's certificate to this file and show
    // no client certificate. SCH_CREDENTIALS first (TLS 1.3 on Windows 11);
    // the older SCHANNEL_CRED where the system does not know it.
    SECURITY_STATUS AcquireCredentials() {
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
        SECURITY_STATUS status = ::AcquireCredentialsHandleW(
            nullptr, const_cast<wchar_t*>(UNISP_NAME_W), SECPKG_CRED_OUTBOUND, nullptr, &cred,
            nullptr, nullptr, &m_cred, &expiry);
        if (status != SEC_E_OK) {
            SCHANNEL_CRED old{};
            old.dwVersion = SCHANNEL_CRED_VERSION;
            old.dwFlags = dwFlags;
            old.grbitEnabledProtocols = SP_PROT_TLS1_2_CLIENT;
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
        // A key from a PEM file would have to be imported into a key
        // storage provider for SChannel to sign with it; not done yet.
        const std::string& strPath = options.m_strClientCert;
        if (!ReadWholeFile(strPath, &strText, &strError))
            return fail(ETlsFailure::ClientCertificate, strError);
        return fail(ETlsFailure::ClientCertificate,
                    strPath + ": client certificates are not supported on this system yet");
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
            if (info.dwProtocol & SP_PROT_TLS1_3_CLIENT)
                impl.m_strVersion = "TLSv1.3";
            else if (info.dwProtocol & SP_PROT_TLS1_2_CLIENT)
                impl.m_strVersion = "TLSv1.2";
            else
                impl.m_strVersion = "TLS " + HexCode(static_cast<long>(info.dwProtocol));
        }
    }
    if (impl.m_sizes.cbMaximumMessage == 0)
        return fail(ETlsFailure::Protocol, "no record sizes from the system");

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
        }
        if (status != SEC_E_OK) {
            impl.m_bBroken.store(true);
            return -1;
        }
        // The trailer may come out shorter than the most it could be.
        const size_t nRecord = buffers[0].cbBuffer + buffers[1].cbBuffer + buffers[2].cbBuffer;
        bool bFailed = false;
        const EWait eWait = impl.SendAll(vRecord.data(), nRecord, deadline, nullptr, &bFailed);
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
        case CImpl::EPump::Data: {
            const size_t n = std::min(
                {nCap, impl.m_strPlain.size() - impl.m_nPlainPos, static_cast<size_t>(INT32_MAX)});
            std::memcpy(pBuf, impl.m_strPlain.data() + impl.m_nPlainPos, n);
            impl.m_nPlainPos += n;
            return static_cast<int>(n);
        }
        case CImpl::EPump::End:
            return 0;
        case CImpl::EPump::TimedOut:
            return kTimedOut;
        case CImpl::EPump::Failed:
            break;
    }
    return -1;
}

WaitResult CTlsStream::WaitReadable(int nTimeoutMs) {
    // A readable socket may hold only part of a record: the pump decrypts
    // whole records and keeps their bytes for Recv.
    return m_pImpl->Pump(CDeadline(nTimeoutMs)) == CImpl::EPump::TimedOut ? WaitResult::TimedOut
                                                                          : WaitResult::Readable;
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
