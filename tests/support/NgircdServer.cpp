#include "support/NgircdServer.h"

#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "support/DaemonProcess.h"

namespace testsupport {

bool CNgircdServer::Available() {
    return ::access(kBinary, X_OK) == 0;
}

CNgircdServer::CNgircdServer(bool bIpv6Too)
    : m_bIpv6Too(bIpv6Too), m_pProcess(std::make_unique<CDaemonProcess>()) {
    char tmpl[] = "/tmp/fragrelay-ngircd-XXXXXX";
    if (::mkdtemp(tmpl) != nullptr) {
        m_strDir = tmpl;
        std::filesystem::create_directory(m_strDir + "/conf.d");
    }
}

CNgircdServer::~CNgircdServer() {
    Stop();
    if (!m_strDir.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(m_strDir, ec);
    }
}

bool CNgircdServer::WriteConfig(uint16_t nPort) const {
    std::ofstream out(m_strDir + "/ngircd.conf", std::ios::trunc);
    out << "[Global]\n"
        << "Name = " << kServerName << "\n"
        << "Info = fragrelay test server\n"
        << "AdminInfo1 = fragrelay tests\nAdminInfo2 = loopback only\n"
        << "AdminEMail = tests@localhost\n"
        << "Listen = " << (m_bIpv6Too ? "127.0.0.1,::1" : "127.0.0.1") << "\n"
        << "Ports = " << nPort << "\n"
        << "MotdPhrase = fragrelay test server\n"
        << "[Limits]\n"
        << "MaxConnectionsIP = 0\n"
        << "MaxNickLength = 30\n"
        << "MaxPenaltyTime = 0\n"  // no flood penalty: tests send in bursts
        << "PingTimeout = 600\nPongTimeout = 600\n"
        << "ConnectRetry = 5\n"
        << "[Options]\n"
        << "IncludeDir = " << m_strDir << "/conf.d\n"  // keep the system's snippets out
        << "DNS = no\nIdent = no\nPAM = no\n"
        << "CloakHostModeX = " << kCloakedHost << "\n";
    return static_cast<bool>(out.flush());
}

bool CNgircdServer::Start(uint16_t nPort) {
    if (m_strDir.empty() || IsRunning()) return false;
    // A free port may be taken by someone else before the server binds it.
    for (int nTry = 0; nTry < 5; ++nTry) {
        const uint16_t nUse = nPort != 0 ? nPort : FreeLoopbackTcpPort();
        if (nUse != 0 && StartOnce(nUse)) return true;
        if (nPort != 0 && nTry >= 2) break;
    }
    return false;
}

bool CNgircdServer::StartOnce(uint16_t nPort) {
    if (!WriteConfig(nPort)) return false;
    if (!m_pProcess->Start({kBinary, "-n", "--config", m_strDir + "/ngircd.conf"},
                           m_strDir + "/ngircd.log"))
        return false;
    m_nPort = nPort;
    const bool bUp = m_pProcess->WaitUntilUp(
        [&] { return AcceptsOnLoopback(nPort) && (!m_bIpv6Too || AcceptsOnLoopback(nPort, true)); },
        std::chrono::seconds(10));
    if (!bUp) {
        Stop();
        return false;
    }
    return true;
}

bool CNgircdServer::IsRunning() const {
    return m_pProcess->IsRunning();
}

void CNgircdServer::Stop() {
    m_pProcess->Stop(std::chrono::seconds(5));
}

std::string CNgircdServer::Log() const {
    return ReadWholeFile(m_strDir + "/ngircd.log");
}

}  // namespace testsupport
