#pragma once
// The client certificate of a PEM file, for SChannel (TlsStreamWin32.cpp
// alone): the certificate and its private key as OpenSSL writes them, the
// key imported where SChannel finds it for the one handshake.
//
// The file holds a "CERTIFICATE" block (the first one is the client's) and
// a key: "PRIVATE KEY" (PKCS#8), "RSA PRIVATE KEY" (PKCS#1) or "EC PRIVATE
// KEY" (SEC1), in either order. A key under a pass phrase ("ENCRYPTED
// PRIVATE KEY", or "Proc-Type: 4,ENCRYPTED") is refused at once: nobody is
// there to type it. SChannel signs with a key that sits in a key store, not
// with one in memory: an RSA key goes into a key container of the Microsoft
// Enhanced RSA and AES provider (where SChannel, Wine's too, reads it), an
// EC key into the Microsoft Software Key Storage Provider; each under a name
// of its own, deleted again when the object goes (after the handshake).
// One thread uses an object.
#include <winsock2.h>
// winsock2.h first: it must come before windows.h.
#include <windows.h>
// Then what needs windows.h.
#include <wincrypt.h>

#include <string>
#include <vector>

namespace platform::win32 {

// A PEM file's text, read but not imported.
struct CClientPem {
    enum class EKey { None, Rsa, Ec };
    std::vector<BYTE> m_cert;  // DER of the first certificate; empty: none
    EKey m_eKey = EKey::None;
    std::vector<BYTE> m_key;  // RSA: PKCS#1 DER; EC: PKCS#8 DER
    bool m_bEncrypted = false;
    bool m_bOtherKey = false;  // a key neither RSA nor EC, or one that does not read
};

// Reads the PEM blocks of strPem. Pure but for the system's base64 and
// ASN.1 decoders; any thread.
CClientPem ReadClientPem(const std::string& strPem);

class CClientCertificate {
public:
    CClientCertificate() = default;
    ~CClientCertificate();  // deletes the imported key
    CClientCertificate(const CClientCertificate&) = delete;
    CClientCertificate& operator=(const CClientCertificate&) = delete;

    // Reads the file's text (strPath names it for the operator) and imports
    // its key. False with the operator's words in *pError: the key is
    // encrypted, half of it is missing, the key does not belong to the
    // certificate, or the system would not take it.
    bool Load(const std::string& strPem, const std::string& strPath, std::string* pError);

    // The certificate with its key attached, for the credentials; valid
    // while this object lives.
    PCCERT_CONTEXT Context() const { return m_pCert; }

    // Deletes the imported key from its store: once the handshake is over,
    // nothing signs with it again.
    void ForgetKey();
    // That, and lets the certificate go.
    void Release();

private:
    bool ImportRsa(const CClientPem& pem, std::string* pError);
    bool ImportEc(const CClientPem& pem, std::string* pError);

    PCCERT_CONTEXT m_pCert = nullptr;
    std::wstring m_strContainer;  // the imported key's name; empty: none
    bool m_bCng = false;          // in the key storage provider, else the RSA provider
};

// The system's words for a status or error code, with the code.
std::string StatusText(long nStatus);

}  // namespace platform::win32
