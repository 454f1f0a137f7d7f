#include "support/TestCertificates.h"

#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "support/ChildProcess.h"

namespace testsupport {

namespace {

constexpr auto kCommandTimeout = std::chrono::seconds(20);

bool WriteFile(const std::string& strPath, const std::string& strText) {
    std::ofstream out(strPath, std::ios::trunc);
    out << strText;
    return static_cast<bool>(out.flush());
}

std::string ReadFile(const std::string& strPath) {
    std::ifstream in(strPath);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// The extensions of a server certificate for the given subjectAltName.
std::string ServerExtensions(const std::string& strAltNames) {
    return "basicConstraints=critical,CA:FALSE\n"
           "keyUsage=critical,digitalSignature\n"
           "extendedKeyUsage=serverAuth\n"
           "subjectAltName=" +
           strAltNames + "\n";
}

constexpr char kGoodNames[] = "DNS:localhost,IP:127.0.0.1,IP:::1";

}  // namespace

bool CTestCertificates::Available() {
    return !FindProgram("openssl").empty();
}

CTestCertificates::CTestCertificates(EKeyType eKeys)
    : m_strOpenssl(FindProgram("openssl")),
      m_vNewKey(eKeys == EKeyType::Rsa ? std::vector<std::string>{"-newkey", "rsa:2048"}
                                       : std::vector<std::string>{"-newkey", "ec", "-pkeyopt",
                                                                  "ec_paramgen_curve:prime256v1"}) {
    char tmpl[] = "/tmp/fragrelay-certs-XXXXXX";
    if (::mkdtemp(tmpl) != nullptr) m_strDir = tmpl;
}

CTestCertificates::~CTestCertificates() {
    if (m_strDir.empty()) return;
    std::error_code ec;
    std::filesystem::remove_all(m_strDir, ec);
}

std::vector<std::string> CTestCertificates::WithNewKey(
    std::vector<std::string> vBefore, const std::vector<std::string>& vAfter) const {
    vBefore.insert(vBefore.end(), m_vNewKey.begin(), m_vNewKey.end());
    vBefore.insert(vBefore.end(), vAfter.begin(), vAfter.end());
    return vBefore;
}

bool CTestCertificates::Run(const std::vector<std::string>& vArgs) {
    std::vector<std::string> vFull = {m_strOpenssl};
    vFull.insert(vFull.end(), vArgs.begin(), vArgs.end());
    for (const std::string& str : vFull) m_strLog += str + " ";
    m_strLog += "\n";
    CChildProcess child;
    if (!child.Start(vFull, m_strDir)) return false;
    const int nStatus = child.Wait(kCommandTimeout);
    m_strLog += child.Output();
    return nStatus == 0;
}

bool CTestCertificates::FingerprintOf(const std::string& strCert, std::string* pOut) {
    CChildProcess child;
    if (!child.Start({m_strOpenssl, "x509", "-noout", "-fingerprint", "-sha256", "-in", strCert}))
        return false;
    if (child.Wait(kCommandTimeout) != 0) return false;
    // "sha256 Fingerprint=AB:CD:..." (the word's case differs between versions)
    const std::string& strOut = child.Output();
    const size_t nEq = strOut.find('=');
    if (nEq == std::string::npos) return false;
    *pOut = strOut.substr(nEq + 1, strOut.find_first_of("\r\n", nEq) - nEq - 1);
    return pOut->size() == 95;
}

bool CTestCertificates::MakeCa(const std::string& strName, const std::string& strSubject) {
    return Run(WithNewKey({"req", "-x509"},
                          {"-nodes", "-keyout", strName + ".key", "-out", strName + ".pem", "-days",
                           "3", "-subj", strSubject, "-addext", "basicConstraints=critical,CA:TRUE",
                           "-addext", "keyUsage=critical,keyCertSign,cRLSign"}));
}

bool CTestCertificates::MakeSigned(const std::string& strName, const std::string& strCa,
                                   const std::string& strAltNames, CServerCertificate* pOut) {
    if (!WriteFile(m_strDir + "/" + strName + ".ext", ServerExtensions(strAltNames))) return false;
    if (!Run(WithNewKey({"req", "-new"},
                        {"-nodes", "-keyout", strName + ".key", "-out", strName + ".csr", "-subj",
                         "/CN=" + strName + ".fragrelay.test"})))
        return false;
    static int nSerial = 100;
    if (!Run({"x509", "-req", "-in", strName + ".csr", "-CA", strCa + ".pem", "-CAkey",
              strCa + ".key", "-set_serial", std::to_string(++nSerial), "-days", "3", "-sha256",
              "-extfile", strName + ".ext", "-out", strName + ".pem"}))
        return false;
    pOut->m_strCert = m_strDir + "/" + strName + ".pem";
    pOut->m_strKey = m_strDir + "/" + strName + ".key";
    return FingerprintOf(pOut->m_strCert, &pOut->m_strFingerprint);
}

// "openssl x509" cannot date a certificate in the past; "openssl ca" can.
bool CTestCertificates::MakeExpired() {
    const std::string& d = m_strDir;
    std::filesystem::create_directory(d + "/issued");
    if (!WriteFile(d + "/index.txt", "") || !WriteFile(d + "/serial", "1000\n") ||
        !WriteFile(d + "/expired.ext", ServerExtensions(kGoodNames)))
        return false;
    const std::string strConfig =
        "[ca]\ndefault_ca = test\n"
        "[test]\n"
        "database = " +
        d +
        "/index.txt\n"
        "new_certs_dir = " +
        d +
        "/issued\n"
        "certificate = " +
        d +
        "/ca.pem\n"
        "private_key = " +
        d +
        "/ca.key\n"
        "serial = " +
        d +
        "/serial\n"
        "default_md = sha256\n"
        "policy = any\n"
        "unique_subject = no\n"
        "[any]\ncommonName = supplied\n";
    if (!WriteFile(d + "/ca.cnf", strConfig)) return false;
    if (!Run(WithNewKey({"req", "-new"}, {"-nodes", "-keyout", "expired.key", "-out", "expired.csr",
                                          "-subj", "/CN=expired.fragrelay.test"})))
        return false;
    if (!Run({"ca", "-batch", "-notext", "-config", "ca.cnf", "-startdate", "20200101000000Z",
              "-enddate", "20200201000000Z", "-extfile", "expired.ext", "-in", "expired.csr",
              "-out", "expired.pem"}))
        return false;
    m_expired.m_strCert = d + "/expired.pem";
    m_expired.m_strKey = d + "/expired.key";
    return FingerprintOf(m_expired.m_strCert, &m_expired.m_strFingerprint);
}

bool CTestCertificates::Make() {
    if (m_strDir.empty() || m_strOpenssl.empty()) return false;
    if (!MakeCa("ca", "/CN=fragrelay test CA") || !MakeCa("other-ca", "/CN=nobody's CA"))
        return false;
    if (!MakeSigned("good", "ca", kGoodNames, &m_good) ||
        !MakeSigned("wrongname", "ca", "DNS:irc.elsewhere.test", &m_wrongName) ||
        !MakeSigned("unknown", "other-ca", kGoodNames, &m_unknownIssuer) || !MakeExpired())
        return false;
    // The client's certificate needs no CA: the services match its fingerprint.
    if (!Run(WithNewKey({"req", "-x509"}, {"-nodes", "-keyout", "client.key", "-out", "client.pem",
                                           "-days", "3", "-subj", "/CN=fragbot"})))
        return false;
    m_client.m_strCert = m_strDir + "/client.pem";
    m_client.m_strKey = m_strDir + "/client.key";
    if (!FingerprintOf(m_client.m_strCert, &m_client.m_strFingerprint)) return false;
    return WriteFile(ClientPem(), ReadFile(m_client.m_strKey) + ReadFile(m_client.m_strCert));
}

}  // namespace testsupport
