#pragma once
// Certificates made by the test itself with the openssl command line, in a
// temporary folder: a CA the tests trust, server certificates signed by it
// (a good one for localhost, 127.0.0.1 and ::1; one for another name; one
// that has expired), one from a CA nobody trusts, and a self-signed client
// certificate with its key in one PEM file. EC P-256 keys by default: quick
// to make; RSA where a peer reads EC signatures unreliably.
#include <string>
#include <vector>

namespace testsupport {

struct CServerCertificate {
    std::string m_strCert;         // PEM certificate (the chain's leaf)
    std::string m_strKey;          // PEM private key
    std::string m_strFingerprint;  // SHA-256 as openssl prints it, "AB:CD:..."
};

enum class EKeyType { Ec, Rsa };

class CTestCertificates {
public:
    static bool Available();  // the openssl program is there

    explicit CTestCertificates(EKeyType eKeys = EKeyType::Ec);
    ~CTestCertificates();  // removes the folder
    CTestCertificates(const CTestCertificates&) = delete;
    CTestCertificates& operator=(const CTestCertificates&) = delete;

    // Makes them all; false when a command failed (see Log()).
    bool Make();

    const std::string& Dir() const { return m_strDir; }
    std::string CaFile() const { return m_strDir + "/ca.pem"; }
    const CServerCertificate& Good() const { return m_good; }
    const CServerCertificate& WrongName() const { return m_wrongName; }
    const CServerCertificate& Expired() const { return m_expired; }
    const CServerCertificate& UnknownIssuer() const { return m_unknownIssuer; }
    // Certificate and key in one file, for a client that shows a CertFP.
    const CServerCertificate& Client() const { return m_client; }
    std::string ClientPem() const { return m_strDir + "/client-both.pem"; }
    // The commands run and what they printed.
    const std::string& Log() const { return m_strLog; }

private:
    bool Run(const std::vector<std::string>& vArgs);
    // vBefore, the options that make a new key of the chosen type, vAfter.
    std::vector<std::string> WithNewKey(std::vector<std::string> vBefore,
                                        const std::vector<std::string>& vAfter) const;
    bool MakeCa(const std::string& strName, const std::string& strSubject);
    bool MakeSigned(const std::string& strName, const std::string& strCa,
                    const std::string& strAltNames, CServerCertificate* pOut);
    bool MakeExpired();
    bool FingerprintOf(const std::string& strCert, std::string* pOut);

    std::string m_strDir;
    std::string m_strOpenssl;
    std::vector<std::string> m_vNewKey;
    std::string m_strLog;
    CServerCertificate m_good, m_wrongName, m_expired, m_unknownIssuer, m_client;
};

}  // namespace testsupport
