#pragma once
// A server program run by a test: in the foreground, its output appended to
// a log file, stopped by its process id (SIGTERM, then SIGKILL after a grace
// time). Every wait has a deadline. Also the loopback port helpers the
// server fixtures share.
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/Socket.h"
#include "support/Wait.h"

namespace testsupport {

// A TCP port on 127.0.0.1 that was free a moment ago (0 when none).
inline uint16_t FreeLoopbackTcpPort() {
    platform::CSocket probe = platform::CSocket::CreateTcp();
    if (!probe.IsValid() || !probe.Bind(platform::LoopbackAddress())) return 0;
    return probe.LocalPort();
}

// Whether something accepts TCP connections on 127.0.0.1 (or ::1) at nPort.
inline bool AcceptsOnLoopback(uint16_t nPort, bool bIpv6 = false) {
    const platform::EAddressFamily eFamily =
        bIpv6 ? platform::EAddressFamily::IPv6 : platform::EAddressFamily::IPv4;
    platform::CSocket probe = platform::CSocket::CreateTcp(eFamily);
    return probe.IsValid() && probe.Connect(platform::CNetAddress::Loopback(eFamily, nPort));
}

inline std::string ReadWholeFile(const std::string& strPath) {
    std::ifstream in(strPath);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

class CDaemonProcess {
public:
    CDaemonProcess() = default;
    CDaemonProcess(const CDaemonProcess&) = delete;
    CDaemonProcess& operator=(const CDaemonProcess&) = delete;
    ~CDaemonProcess() { Stop(); }

    // Starts vArgs[0] (a path) with its arguments; stdin from /dev/null,
    // stdout and stderr appended to strLog.
    bool Start(std::vector<std::string> vArgs, const std::string& strLog) {
        if (vArgs.empty() || m_pid > 0) return false;
        const int nLog = ::open(strLog.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
        const int nNull = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
        std::vector<char*> vArgv;
        for (std::string& str : vArgs) vArgv.push_back(str.data());
        vArgv.push_back(nullptr);
        pid_t pid = -1;
        if (nLog >= 0 && nNull >= 0) pid = ::fork();
        if (pid == 0) {
            // A server that crashes on its way out (InspIRCd does on SIGTERM)
            // leaves no core file in the test's working directory.
            const rlimit noCore{0, 0};
            ::setrlimit(RLIMIT_CORE, &noCore);
            ::dup2(nNull, 0);
            ::dup2(nLog, 1);
            ::dup2(nLog, 2);
            ::execv(vArgv[0], vArgv.data());
            ::_exit(127);
        }
        if (nLog >= 0) ::close(nLog);
        if (nNull >= 0) ::close(nNull);
        m_pid = pid;
        return pid > 0;
    }

    bool IsRunning() const { return m_pid > 0; }

    // True (and forgotten) once the process has ended by itself.
    bool HasExited() {
        if (m_pid <= 0) return true;
        int nStatus = 0;
        if (::waitpid(m_pid, &nStatus, WNOHANG) != m_pid) return false;
        m_pid = -1;
        return true;
    }

    // Waits until pred holds, giving up early when the process ends.
    template <typename Pred>
    bool WaitUntilUp(Pred pred, std::chrono::milliseconds timeout) {
        bool bExited = false;
        const bool bDone = WaitUntil(
            [&] {
                if (HasExited()) {
                    bExited = true;
                    return true;
                }
                return pred();
            },
            timeout);
        return bDone && !bExited;
    }

    void Stop(std::chrono::milliseconds grace = std::chrono::seconds(5)) {
        if (m_pid <= 0) return;
        ::kill(m_pid, SIGTERM);
        int nStatus = 0;
        if (!WaitUntil([&] { return ::waitpid(m_pid, &nStatus, WNOHANG) == m_pid; }, grace)) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, &nStatus, 0);
        }
        m_pid = -1;
    }

private:
    pid_t m_pid = -1;
};

}  // namespace testsupport
