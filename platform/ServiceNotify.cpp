#include "platform/ServiceNotify.h"

#include <cstdlib>

#include "platform/Text.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstring>
#endif

namespace platform {

CServiceNotifier::CServiceNotifier()
    : CServiceNotifier(std::getenv("NOTIFY_SOCKET"), std::getenv("WATCHDOG_USEC"),
                       std::getenv("WATCHDOG_PID")) {}

#ifdef _WIN32

// No service manager speaks this protocol on Windows: nothing is opened.
CServiceNotifier::CServiceNotifier(const char*, const char*, const char*) {}
CServiceNotifier::~CServiceNotifier() = default;
void CServiceNotifier::OpenSocket(std::string_view) {}
bool CServiceNotifier::Send(std::string_view) {
    return false;
}
bool CServiceNotifier::Reloading() {
    return false;
}

#else

namespace {

// A decimal number of digits only, as systemd writes them; false for
// anything else, an empty text and a number past 64 bits among them.
bool ParseDecimal(const char* psz, uint64_t& nValue) {
    if (psz == nullptr || *psz == '\0') return false;
    uint64_t n = 0;
    for (; *psz != '\0'; ++psz) {
        if (*psz < '0' || *psz > '9') return false;
        const uint64_t nDigit = static_cast<uint64_t>(*psz - '0');
        if (n > (UINT64_MAX - nDigit) / 10) return false;
        n = n * 10 + nDigit;
    }
    nValue = n;
    return true;
}

}  // namespace

CServiceNotifier::CServiceNotifier(const char* pszNotifySocket, const char* pszWatchdogUsec,
                                   const char* pszWatchdogPid) {
    if (pszNotifySocket == nullptr || *pszNotifySocket == '\0') return;
    OpenSocket(pszNotifySocket);
    if (!IsActive()) return;
    uint64_t nUsec = 0;
    if (!ParseDecimal(pszWatchdogUsec, nUsec) || nUsec == 0) return;
    // Set by a manager for the process it started; a child that inherited
    // the environment is not the one watched.
    if (pszWatchdogPid != nullptr && *pszWatchdogPid != '\0') {
        uint64_t nPid = 0;
        if (!ParseDecimal(pszWatchdogPid, nPid) || nPid != static_cast<uint64_t>(::getpid())) {
            return;
        }
    }
    m_nWatchdogUsec = nUsec;
}

CServiceNotifier::~CServiceNotifier() {
    if (m_nSocket >= 0) ::close(static_cast<int>(m_nSocket));
}

void CServiceNotifier::OpenSocket(std::string_view strName) {
    if (strName.size() >= 2 && strName[0] == '@') {
        // Abstract: the name follows a NUL and has no NUL of its own at the end.
        m_strAddress.assign(1, '\0');
        m_strAddress.append(strName.substr(1));
    } else if (!strName.empty() && strName[0] == '/') {
        m_strAddress.assign(strName);
    } else {
        m_strProblem = "NOTIFY_SOCKET=" + std::string(strName) +
                       " is neither a path nor an abstract socket name";
        return;
    }
    // A path keeps room for its NUL.
    const size_t nRoom = sizeof(sockaddr_un::sun_path) - (m_strAddress[0] == '\0' ? 0 : 1);
    if (m_strAddress.size() > nRoom) {
        m_strProblem = "NOTIFY_SOCKET=" + std::string(strName) + " is too long for a socket name";
        m_strAddress.clear();
        return;
    }
    // Non-blocking: a manager that does not read must never hold a thread.
    const int nSocket = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (nSocket < 0) {
        m_strProblem = std::string("no socket for NOTIFY_SOCKET: ") + std::strerror(errno);
        m_strAddress.clear();
        return;
    }
    m_nSocket = nSocket;
}

bool CServiceNotifier::Send(std::string_view strMessage) {
    if (m_nSocket < 0) return false;
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::memcpy(addr.sun_path, m_strAddress.data(), m_strAddress.size());
    // A path is sent with its NUL, an abstract name by its exact length.
    const size_t nPathLen = m_strAddress.size() + (m_strAddress[0] == '\0' ? 0 : 1);
    const auto nAddrLen = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + nPathLen);
    ssize_t nSent = 0;
    do {
        nSent = ::sendto(static_cast<int>(m_nSocket), strMessage.data(), strMessage.size(),
                         MSG_NOSIGNAL | MSG_DONTWAIT, reinterpret_cast<const sockaddr*>(&addr),
                         nAddrLen);
    } while (nSent < 0 && errno == EINTR);
    return nSent == static_cast<ssize_t>(strMessage.size());
}

bool CServiceNotifier::Reloading() {
    // MONOTONIC_USEC lets a manager tell this reload from an earlier one.
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    const uint64_t nUsec =
        static_cast<uint64_t>(ts.tv_sec) * 1000000u + static_cast<uint64_t>(ts.tv_nsec) / 1000u;
    return Send("RELOADING=1\nMONOTONIC_USEC=" + std::to_string(nUsec));
}

#endif

bool CServiceNotifier::Ready() {
    return Send("READY=1");
}

bool CServiceNotifier::Stopping() {
    return Send("STOPPING=1");
}

bool CServiceNotifier::Status(std::string_view strText) {
    if (!IsActive()) return false;
    std::string strLine(strText.substr(0, MaxStatusBytes));
    for (char& c : strLine) {
        if (c == '\n' || c == '\r' || c == '\0') c = ' ';
    }
    return Send("STATUS=" + Cp1252ToUtf8(strLine));
}

bool CServiceNotifier::Watchdog() {
    if (m_nWatchdogUsec == 0) return false;
    return Send("WATCHDOG=1");
}

}  // namespace platform
