#include "platform/ClientCertWin32.h"

#include <ncrypt.h>

#include <atomic>
#include <cstdio>
#include <cstring>

#include "platform/FileWin32.h"
#include "platform/PemKey.h"

namespace platform::win32 {

namespace {

// One DER element: its tag and its content.
struct CDer {
    BYTE m_nTag = 0;
    const BYTE* m_p = nullptr;
    size_t m_n = 0;
};

// Reads the element at *pp, before pEnd, and moves *pp past it.
bool NextDer(const BYTE** pp, const BYTE* pEnd, CDer* pOut) {
    const BYTE* p = *pp;
    if (pEnd - p < 2) return false;
    pOut->m_nTag = *p++;
    size_t n = *p++;
    if ((n & 0x80) != 0) {
        const size_t nBytes = n & 0x7F;
        if (nBytes == 0 || nBytes > 4 || static_cast<size_t>(pEnd - p) < nBytes) return false;
        n = 0;
        for (size_t i = 0; i < nBytes; ++i) n = (n << 8) | *p++;
    }
    if (static_cast<size_t>(pEnd - p) < n) return false;
    pOut->m_p = p;
    pOut->m_n = n;
    *pp = p + n;
    return true;
}

void AppendDer(std::vector<BYTE>& out, BYTE nTag, const BYTE* p, size_t n) {
    out.push_back(nTag);
    if (n < 0x80) {
        out.push_back(static_cast<BYTE>(n));
    } else {
        BYTE len[sizeof(size_t)];
        int k = 0;
        for (size_t m = n; m != 0; m >>= 8) len[k++] = static_cast<BYTE>(m & 0xFF);
        out.push_back(static_cast<BYTE>(0x80 | k));
        while (k > 0) out.push_back(len[--k]);
    }
    out.insert(out.end(), p, p + n);
}

constexpr BYTE kTagInteger = 0x02, kTagBitString = 0x03, kTagOctetString = 0x04, kTagOid = 0x06,
               kTagSequence = 0x30, kTagContext0 = 0xA0, kTagContext1 = 0xA1;
constexpr BYTE kOidRsa[] = {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x01, 0x01};
constexpr BYTE kOidEcPublicKey[] = {0x2A, 0x86, 0x48, 0xCE, 0x3D, 0x02, 0x01};

template <size_t N>
bool IsOid(const CDer& der, const BYTE (&oid)[N]) {
    return der.m_nTag == kTagOid && der.m_n == N && std::memcmp(der.m_p, oid, N) == 0;
}

// The elements of a SEQUENCE that makes up the whole of [p, p + n).
bool Elements(const BYTE* p, size_t n, std::vector<CDer>* pOut) {
    const BYTE* const pEnd = p + n;
    CDer seq;
    if (!NextDer(&p, pEnd, &seq) || seq.m_nTag != kTagSequence || p != pEnd) return false;
    const BYTE* q = seq.m_p;
    const BYTE* const qEnd = q + seq.m_n;
    pOut->clear();
    for (CDer der; q < qEnd;) {
        if (!NextDer(&q, qEnd, &der) || pOut->size() > 16) return false;
        pOut->push_back(der);
    }
    return true;
}

// PKCS#8 PrivateKeyInfo: version, algorithm, the key.
bool ReadPkcs8(const std::vector<BYTE>& der, CClientPem* pPem) {
    std::vector<CDer> v, alg;
    if (!Elements(der.data(), der.size(), &v) || v.size() < 3 || v[0].m_nTag != kTagInteger ||
        v[2].m_nTag != kTagOctetString || v[1].m_nTag != kTagSequence)
        return false;
    // The algorithm's SEQUENCE, read as the whole of a buffer of its own.
    std::vector<BYTE> algDer;
    AppendDer(algDer, kTagSequence, v[1].m_p, v[1].m_n);
    if (!Elements(algDer.data(), algDer.size(), &alg) || alg.empty()) return false;
    if (IsOid(alg[0], kOidRsa)) {
        pPem->m_eKey = CClientPem::EKey::Rsa;
        pPem->m_key.assign(v[2].m_p, v[2].m_p + v[2].m_n);
        return true;
    }
    if (IsOid(alg[0], kOidEcPublicKey)) {
        pPem->m_eKey = CClientPem::EKey::Ec;
        pPem->m_key = der;
        return true;
    }
    return false;
}

// SEC1 ECPrivateKey (version, key, [0] curve, [1] public key) as PKCS#8,
// which names the curve in its algorithm.
bool Sec1ToPkcs8(const std::vector<BYTE>& der, std::vector<BYTE>* pOut) {
    std::vector<CDer> v;
    if (!Elements(der.data(), der.size(), &v) || v.size() < 3) return false;
    const CDer* pCurve = nullptr;
    CDer curve;
    for (size_t i = 2; i < v.size(); ++i) {
        const BYTE* p = v[i].m_p;
        if (v[i].m_nTag == kTagContext0 && NextDer(&p, v[i].m_p + v[i].m_n, &curve) &&
            curve.m_nTag == kTagOid)
            pCurve = &curve;
    }
    if (pCurve == nullptr) return false;
    std::vector<BYTE> alg, body;
    AppendDer(alg, kTagOid, kOidEcPublicKey, sizeof kOidEcPublicKey);
    AppendDer(alg, kTagOid, pCurve->m_p, pCurve->m_n);
    const BYTE zero = 0;
    AppendDer(body, kTagInteger, &zero, 1);
    AppendDer(body, kTagSequence, alg.data(), alg.size());
    AppendDer(body, kTagOctetString, der.data(), der.size());
    pOut->clear();
    AppendDer(*pOut, kTagSequence, body.data(), body.size());
    return true;
}

// The public point an EC key (PKCS#8) carries, when it does.
std::vector<BYTE> EcPublicPoint(const std::vector<BYTE>& pkcs8) {
    std::vector<CDer> v, inner;
    if (!Elements(pkcs8.data(), pkcs8.size(), &v) || v.size() < 3 ||
        !Elements(v[2].m_p, v[2].m_n, &inner))
        return {};
    for (size_t i = 2; i < inner.size(); ++i) {
        const BYTE* p = inner[i].m_p;
        CDer bits;
        if (inner[i].m_nTag == kTagContext1 && NextDer(&p, inner[i].m_p + inner[i].m_n, &bits) &&
            bits.m_nTag == kTagBitString && bits.m_n > 1)
            return {bits.m_p + 1, bits.m_p + bits.m_n};  // past the count of unused bits
    }
    return {};
}

std::vector<BYTE> Base64(const std::string& str) {
    DWORD cb = 0;
    if (str.empty() || !::CryptStringToBinaryA(str.c_str(), static_cast<DWORD>(str.size()),
                                               CRYPT_STRING_BASE64, nullptr, &cb, nullptr, nullptr))
        return {};
    std::vector<BYTE> der(cb);
    if (!::CryptStringToBinaryA(str.c_str(), static_cast<DWORD>(str.size()), CRYPT_STRING_BASE64,
                                der.data(), &cb, nullptr, nullptr))
        return {};
    der.resize(cb);
    return der;
}

bool EndsWith(const std::string& str, const std::string& strEnd) {
    return str.size() >= strEnd.size() &&
           str.compare(str.size() - strEnd.size(), std::string::npos, strEnd) == 0;
}

// A name no other key has: the process, a count, the time.
std::wstring NewKeyName() {
    static std::atomic<unsigned> s_nCount{0};
    wchar_t sz[96];
    std::swprintf(sz, sizeof sz / sizeof sz[0], L"fragrelay-client-%lu-%u-%llu",
                  static_cast<unsigned long>(::GetCurrentProcessId()), ++s_nCount,
                  static_cast<unsigned long long>(::GetTickCount64()));
    return sz;
}

// Whether an RSA private key blob (PRIVATEKEYBLOB) has the certificate's
// public key: the same size, exponent and modulus.
bool RsaBelongs(PCCERT_CONTEXT pCert, const BYTE* pPrivate, DWORD cbPrivate) {
    const CRYPT_BIT_BLOB& pub = pCert->pCertInfo->SubjectPublicKeyInfo.PublicKey;
    BYTE* pPublic = nullptr;
    DWORD cbPublic = 0;
    if (!::CryptDecodeObjectEx(X509_ASN_ENCODING, RSA_CSP_PUBLICKEYBLOB, pub.pbData, pub.cbData,
                               CRYPT_DECODE_ALLOC_FLAG, nullptr, &pPublic, &cbPublic))
        return false;
    constexpr size_t kHead = sizeof(BLOBHEADER) + sizeof(RSAPUBKEY);
    bool bSame = false;
    if (cbPublic >= kHead && cbPrivate >= kHead) {
        RSAPUBKEY a, b;
        std::memcpy(&a, pPublic + sizeof(BLOBHEADER), sizeof a);
        std::memcpy(&b, pPrivate + sizeof(BLOBHEADER), sizeof b);
        const size_t nModulus = a.bitlen / 8;
        bSame = a.bitlen == b.bitlen && a.pubexp == b.pubexp && cbPublic >= kHead + nModulus &&
                cbPrivate >= kHead + nModulus &&
                std::memcmp(pPublic + kHead, pPrivate + kHead, nModulus) == 0;
    }
    ::LocalFree(pPublic);
    return bSame;
}

}  // namespace

std::string StatusText(long nStatus) {
    char szCode[16];
    std::snprintf(szCode, sizeof szCode, "0x%08lX", static_cast<unsigned long>(nStatus));
    wchar_t* pszText = nullptr;
    const DWORD n = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(nStatus), 0, reinterpret_cast<wchar_t*>(&pszText), 0, nullptr);
    std::string str;
    if (n > 0 && pszText != nullptr) {
        str = Utf8(pszText);
        while (!str.empty() &&
               (str.back() == '\n' || str.back() == '\r' || str.back() == ' ' || str.back() == '.'))
            str.pop_back();
    }
    if (pszText != nullptr) ::LocalFree(pszText);
    return str.empty() ? std::string("error ") + szCode : str + " (" + szCode + ")";
}

CClientPem ReadClientPem(const std::string& strPem) {
    static const std::string kBegin = "-----BEGIN ";
    CClientPem pem;
    bool bKeySeen = false;  // the first key decides, as OpenSSL reads it
    size_t nPos = 0;
    for (int nBlocks = 0; nBlocks < 64; ++nBlocks) {
        const size_t nBegin = strPem.find(kBegin, nPos);
        if (nBegin == std::string::npos) break;
        const size_t nLabel = nBegin + kBegin.size();
        const size_t nLabelEnd = strPem.find("-----", nLabel);
        if (nLabelEnd == std::string::npos) break;
        const std::string strLabel = strPem.substr(nLabel, nLabelEnd - nLabel);
        const std::string strEnd = "-----END " + strLabel + "-----";
        const size_t nEnd = strPem.find(strEnd, nLabelEnd);
        if (nEnd == std::string::npos) break;
        nPos = nEnd + strEnd.size();
        const bool bKey = EndsWith(strLabel, "PRIVATE KEY");
        if ((bKey && bKeySeen) || (!bKey && (strLabel != "CERTIFICATE" || !pem.m_cert.empty())))
            continue;
        bKeySeen = bKeySeen || bKey;
        if (strLabel == "ENCRYPTED PRIVATE KEY") {
            pem.m_bEncrypted = true;
            continue;
        }
        // Headers ("Proc-Type: 4,ENCRYPTED", "DEK-Info: ...") come before
        // the base64 lines.
        std::string strBase64;
        bool bEncrypted = false;
        const std::string strBody = strPem.substr(nLabelEnd + 5, nEnd - nLabelEnd - 5);
        for (size_t nLine = 0; nLine < strBody.size();) {
            size_t nLf = strBody.find('\n', nLine);
            if (nLf == std::string::npos) nLf = strBody.size();
            const std::string strLine = strBody.substr(nLine, nLf - nLine);
            nLine = nLf + 1;
            if (strLine.find(':') == std::string::npos) {
                strBase64 += strLine;
            } else if (strLine.rfind("Proc-Type:", 0) == 0 &&
                       strLine.find("ENCRYPTED") != std::string::npos) {
                bEncrypted = true;
            }
        }
        if (bEncrypted) {
            pem.m_bEncrypted = true;
            continue;
        }
        std::vector<BYTE> der = Base64(strBase64);
        if (!bKey) {
            pem.m_cert = std::move(der);
            continue;
        }
        bool bRead = false;
        if (der.empty()) {
        } else if (strLabel == "PRIVATE KEY") {
            bRead = ReadPkcs8(der, &pem);
        } else if (strLabel == "RSA PRIVATE KEY") {
            pem.m_eKey = CClientPem::EKey::Rsa;
            pem.m_key = std::move(der);
            bRead = true;
        } else if (strLabel == "EC PRIVATE KEY") {
            bRead = Sec1ToPkcs8(der, &pem.m_key);
            if (bRead) pem.m_eKey = CClientPem::EKey::Ec;
        }
        pem.m_bOtherKey = !bRead;
    }
    return pem;
}

CClientCertificate::~CClientCertificate() {
    Release();
}

bool CClientCertificate::Load(const std::string& strPem, const std::string& strPath,
                              std::string* pError) {
    Release();
    const CClientPem pem = ReadClientPem(strPem);
    if (pem.m_bEncrypted) {
        *pError = platform::EncryptedKeyText(strPath);
        return false;
    }
    if (pem.m_cert.empty()) {
        *pError = strPath + " holds no certificate";
        return false;
    }
    if (pem.m_eKey == CClientPem::EKey::None) {
        *pError = pem.m_bOtherKey ? "the key in " + strPath + " is neither an RSA nor an EC key"
                                  : strPath + " holds no private key";
        return false;
    }
    // X.509 alone: Wine's SChannel takes no other encoding type.
    m_pCert = ::CertCreateCertificateContext(X509_ASN_ENCODING, pem.m_cert.data(),
                                             static_cast<DWORD>(pem.m_cert.size()));
    if (m_pCert == nullptr) {
        *pError = "the certificate in " + strPath + " cannot be read";
        return false;
    }
    const bool bOk =
        pem.m_eKey == CClientPem::EKey::Rsa ? ImportRsa(pem, pError) : ImportEc(pem, pError);
    if (!bOk) {
        if (!pError->empty()) *pError = strPath + ": " + *pError;
        Release();
    }
    return bOk;
}

bool CClientCertificate::ImportRsa(const CClientPem& pem, std::string* pError) {
    BYTE* pBlob = nullptr;
    DWORD cbBlob = 0;
    if (!::CryptDecodeObjectEx(X509_ASN_ENCODING | PKCS_7_ASN_ENCODING, PKCS_RSA_PRIVATE_KEY,
                               pem.m_key.data(), static_cast<DWORD>(pem.m_key.size()),
                               CRYPT_DECODE_ALLOC_FLAG, nullptr, &pBlob, &cbBlob)) {
        *pError = "the RSA key cannot be read (" + StatusText(::GetLastError()) + ")";
        return false;
    }
    if (!RsaBelongs(m_pCert, pBlob, cbBlob)) {
        ::LocalFree(pBlob);
        *pError = "the key does not belong to the certificate";
        return false;
    }
    const std::wstring strName = NewKeyName();
    HCRYPTPROV hProv = 0;
    if (!::CryptAcquireContextW(&hProv, strName.c_str(), MS_ENH_RSA_AES_PROV_W, PROV_RSA_AES,
                                CRYPT_NEWKEYSET | CRYPT_SILENT)) {
        ::LocalFree(pBlob);
        *pError = "no key container for the key (" + StatusText(::GetLastError()) + ")";
        return false;
    }
    m_strContainer = strName;
    m_bCng = false;
    HCRYPTKEY hKey = 0;
    // Not exportable: it is there to sign the handshake, nothing else.
    const BOOL bImported = ::CryptImportKey(hProv, pBlob, cbBlob, 0, 0, &hKey);
    const DWORD dwError = ::GetLastError();
    if (hKey != 0) ::CryptDestroyKey(hKey);
    ::CryptReleaseContext(hProv, 0);
    ::SecureZeroMemory(pBlob, cbBlob);
    ::LocalFree(pBlob);
    if (!bImported) {
        *pError = "the system would not take the key (" + StatusText(dwError) + ")";
        return false;
    }
    CRYPT_KEY_PROV_INFO info{};
    info.pwszContainerName = m_strContainer.data();
    info.pwszProvName = const_cast<wchar_t*>(MS_ENH_RSA_AES_PROV_W);
    info.dwProvType = PROV_RSA_AES;
    info.dwKeySpec = AT_KEYEXCHANGE;  // what a decoded PKCS#1 key is imported as
    if (!::CertSetCertificateContextProperty(m_pCert, CERT_KEY_PROV_INFO_PROP_ID, 0, &info)) {
        *pError =
            "the key could not be joined to the certificate (" + StatusText(::GetLastError()) + ")";
        return false;
    }
    return true;
}

bool CClientCertificate::ImportEc(const CClientPem& pem, std::string* pError) {
    const CRYPT_BIT_BLOB& pub = m_pCert->pCertInfo->SubjectPublicKeyInfo.PublicKey;
    const std::vector<BYTE> point = EcPublicPoint(pem.m_key);
    if (!point.empty() &&
        (point.size() != pub.cbData || std::memcmp(point.data(), pub.pbData, point.size()) != 0)) {
        *pError = "the key does not belong to the certificate";
        return false;
    }
    NCRYPT_PROV_HANDLE hProv = 0;
    SECURITY_STATUS status = ::NCryptOpenStorageProvider(&hProv, MS_KEY_STORAGE_PROVIDER, 0);
    if (status != ERROR_SUCCESS) {
        *pError = "no key store for the EC key (" + StatusText(status) + ")";
        return false;
    }
    std::wstring strName = NewKeyName();
    NCryptBuffer name{static_cast<ULONG>((strName.size() + 1) * sizeof(wchar_t)),
                      NCRYPTBUFFER_PKCS_KEY_NAME, strName.data()};
    NCryptBufferDesc params{NCRYPTBUFFER_VERSION, 1, &name};
    NCRYPT_KEY_HANDLE hKey = 0;
    // Named, so that it is kept where SChannel opens it; finalized once it
    // may sign.
    status = ::NCryptImportKey(
        hProv, 0, NCRYPT_PKCS8_PRIVATE_KEY_BLOB, &params, &hKey,
        const_cast<BYTE*>(pem.m_key.data()), static_cast<DWORD>(pem.m_key.size()),
        NCRYPT_OVERWRITE_KEY_FLAG | NCRYPT_DO_NOT_FINALIZE_FLAG | NCRYPT_SILENT_FLAG);
    if (status == ERROR_SUCCESS) {
        DWORD dwUsage = NCRYPT_ALLOW_ALL_USAGES;
        ::NCryptSetProperty(hKey, NCRYPT_KEY_USAGE_PROPERTY, reinterpret_cast<BYTE*>(&dwUsage),
                            sizeof dwUsage, 0);
        status = ::NCryptFinalizeKey(hKey, NCRYPT_SILENT_FLAG);
        if (status == ERROR_SUCCESS) {
            m_strContainer = strName;
            m_bCng = true;
            ::NCryptFreeObject(hKey);
        } else {
            ::NCryptDeleteKey(hKey, 0);
        }
    }
    ::NCryptFreeObject(hProv);
    if (status != ERROR_SUCCESS) {
        *pError = "the system would not take the EC key (" + StatusText(status) + ")";
        return false;
    }
    CRYPT_KEY_PROV_INFO info{};
    info.pwszContainerName = m_strContainer.data();
    info.pwszProvName = const_cast<wchar_t*>(MS_KEY_STORAGE_PROVIDER);
    info.dwProvType = 0;  // a key storage provider's key
    if (!::CertSetCertificateContextProperty(m_pCert, CERT_KEY_PROV_INFO_PROP_ID, 0, &info)) {
        *pError =
            "the key could not be joined to the certificate (" + StatusText(::GetLastError()) + ")";
        return false;
    }
    return true;
}

void CClientCertificate::Release() {
    ForgetKey();
    if (m_pCert != nullptr) {
        ::CertFreeCertificateContext(m_pCert);
        m_pCert = nullptr;
    }
}

void CClientCertificate::ForgetKey() {
    if (!m_strContainer.empty()) {
        if (m_bCng) {
            NCRYPT_PROV_HANDLE hProv = 0;
            NCRYPT_KEY_HANDLE hKey = 0;
            if (::NCryptOpenStorageProvider(&hProv, MS_KEY_STORAGE_PROVIDER, 0) == ERROR_SUCCESS) {
                if (::NCryptOpenKey(hProv, &hKey, m_strContainer.c_str(), 0, NCRYPT_SILENT_FLAG) ==
                    ERROR_SUCCESS)
                    ::NCryptDeleteKey(hKey, 0);
                ::NCryptFreeObject(hProv);
            }
        } else {
            HCRYPTPROV hProv = 0;
            ::CryptAcquireContextW(&hProv, m_strContainer.c_str(), MS_ENH_RSA_AES_PROV_W,
                                   PROV_RSA_AES, CRYPT_DELETEKEYSET | CRYPT_SILENT);
        }
        m_strContainer.clear();
    }
}

}  // namespace platform::win32
