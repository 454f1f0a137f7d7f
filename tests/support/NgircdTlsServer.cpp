#include "support/NgircdTlsServer.h"

#include <stdlib.h>

#include <filesystem>

namespace testsupport {

CNgircdTlsServer::CNgircdTlsServer() {
    char tmpl[] = "/tmp/fragrelay-ngircd-tls-XXXXXX";
    if (::mkdtemp(tmpl) != nullptr) {
        m_strDir = tmpl;
        std::filesystem::create_directory(m_strDir + "/conf.d");
    }
}

CNgircdTlsServer::~CNgircdTlsServer() {
    Stop();
    if (m_strDir.empty()) return;
    std::error_code ec;
    std::filesystem::remove_all(m_strDir, ec);
}

bool CNgircdTlsServer::Start(const std::string& strCert, const std::string& strKey) {
    if (m_strDir.empty() || m_process.IsRunning()) return false;
    // A free port may be taken by someone else before the server binds it.
    for (int nTry = 0; nTry < 5; ++nTry)
        if (StartOnce(strCert, strKey)) return true;
    return false;
}

bool CNgircdTlsServer::StartOnce(const std::string& strCert, const std::string& strKey) {
    m_nPort = FreeLoopbackTcpPort();
    m_nTlsPort = FreeLoopbackTcpPort();
    if (m_nPort == 0 || m_nTlsPort == 0 || m_nPort == m_nTlsPort) return false;
    std::ofstream out(m_strDir + "/ngircd.conf", std::ios::trunc);
    out << "[Global]\n"
        << "Name = " << kServerName << "\n"
        << "Info = fragrelay TLS test server\n"
        << "AdminInfo1 = fragrelay tests\nAdminInfo2 = loopback only\n"
        << "AdminEMail = tests@localhost\n"
        << "Listen = 127.0.0.1,::1\n"
        << "Ports = " << m_nPort << "\n"
        << "MotdPhrase = fragrelay TLS test server\n"
        << "[Limits]\n"
        << "MaxConnectionsIP = 0\nMaxNickLength = 30\nMaxPenaltyTime = 0\n"
        << "PingTimeout = 600\nPongTimeout = 600\n"
        << "[Options]\n"
        << "IncludeDir = " << m_strDir << "/conf.d\n"  // keep the system's snippets out
        << "DNS = no\nIdent = no\nPAM = no\n"
        << "[SSL]\n"
        << "CertFile = " << strCert << "\n"
        << "KeyFile = " << strKey << "\n"
        << "Ports = " << m_nTlsPort << "\n";
    if (!out.flush()) return false;
    out.close();
    if (!m_process.Start({kBinary, "-n", "--config", m_strDir + "/ngircd.conf"},
                         m_strDir + "/ngircd.log"))
        return false;
    const bool bUp = m_process.WaitUntilUp(
        [&] {
            return AcceptsOnLoopback(m_nPort) && AcceptsOnLoopback(m_nTlsPort) &&
                   AcceptsOnLoopback(m_nPort, true) && AcceptsOnLoopback(m_nTlsPort, true);
        },
        std::chrono::seconds(10));
    if (!bUp) m_process.Stop();
    return bUp;
}

}  // namespace testsupport
