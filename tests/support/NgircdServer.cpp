#include "support/NgircdServer.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "platform/Socket.h"
#include "support/Wait.h"

namespace testsupport {

namespace {

uint16_t FreeLoopbackPort() {
    platform::CSocket probe = platform::CSocket::CreateTcp();
    if (!probe.IsValid() || !probe.Bind(platform::LoopbackAddress())) return 0;
    return probe.LocalPort();
}

bool Accepts(platform::EAddressFamily eFamily, uint16_t nPort) {
    platform::CSocket probe = platform::CSocket::CreateTcp(eFamily);
    return probe.IsValid() && probe.Connect(platform::CNetAddress::Loopback(eFamily, nPort));
}

}  // namespace

bool CNgircdServer::Available() {
    return ::access(kBinary, X_OK) == 0;
}

CNgircdServer::CNgircdServer(bool bIpv6Too) : m_bIpv6Too(bIpv6Too) {
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
        const uint16_t nUse = nPort != 0 ? nPort : FreeLoopbackPort();
        if (nUse != 0 && StartOnce(nUse)) return true;
        if (nPort != 0 && nTry >= 2) break;
    }
    return false;
}

bool CNgircdServer::StartOnce(uint16_t nPort) {
    if (!WriteConfig(nPort)) return false;
    const std::string strConfig = m_strDir + "/ngircd.conf";
    const std::string strLog = m_strDir + "/ngircd.log";
    const int nLog = ::open(strLog.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    const int nNull = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (nLog < 0 || nNull < 0) {
        if (nLog >= 0) ::close(nLog);
        if (nNull >= 0) ::close(nNull);
        return false;
    }
    std::vector<std::string> args = {kBinary, "-n", "--config", strConfig};
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(nNull, 0);
        ::dup2(nLog, 1);
        ::dup2(nLog, 2);
        ::execv(kBinary, argv.data());
        ::_exit(127);
    }
    ::close(nLog);
    ::close(nNull);
    if (pid < 0) return false;
    m_pid = pid;
    m_nPort = nPort;

    bool bExited = false;
    const bool bUp = WaitUntil(
        [&] {
            int nStatus = 0;
            if (::waitpid(m_pid, &nStatus, WNOHANG) == m_pid) {
                bExited = true;
                return true;
            }
            return Accepts(platform::EAddressFamily::IPv4, nPort) &&
                   (!m_bIpv6Too || Accepts(platform::EAddressFamily::IPv6, nPort));
        },
        std::chrono::seconds(10));
    if (bExited) m_pid = -1;
    if (!bUp || bExited) {
        Stop();
        return false;
    }
    return true;
}

void CNgircdServer::Stop() {
    if (m_pid <= 0) return;
    ::kill(m_pid, SIGTERM);
    int nStatus = 0;
    const bool bEnded = WaitUntil([&] { return ::waitpid(m_pid, &nStatus, WNOHANG) == m_pid; },
                                  std::chrono::seconds(5));
    if (!bEnded) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, &nStatus, 0);
    }
    m_pid = -1;
}

std::string CNgircdServer::Log() const {
    std::ifstream in(m_strDir + "/ngircd.log");
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

}  // namespace testsupport
