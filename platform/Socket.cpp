#include "platform/Socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <utility>

#include "platform/Clock.h"

namespace platform {

namespace {

sockaddr_in MakeAddress(uint32_t nAddr, uint16_t nPort) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(nPort);
    sa.sin_addr.s_addr = nAddr;
    return sa;
}

}  // namespace

bool LookupHostIPv4(const std::string& strHost, uint32_t* pAddr) {
    if (strHost.empty() || strHost.find('\0') != std::string::npos) return false;
    in_addr dotted{};
    if (inet_pton(AF_INET, strHost.c_str(), &dotted) == 1) {
        *pAddr = dotted.s_addr;
        return true;
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    addrinfo* pResult = nullptr;
    if (getaddrinfo(strHost.c_str(), nullptr, &hints, &pResult) != 0 || pResult == nullptr)
        return false;
    bool bFound = false;
    for (addrinfo* p = pResult; p != nullptr; p = p->ai_next) {
        if (p->ai_family == AF_INET && p->ai_addr != nullptr) {
            *pAddr = reinterpret_cast<sockaddr_in*>(p->ai_addr)->sin_addr.s_addr;
            bFound = true;
            break;
        }
    }
    freeaddrinfo(pResult);
    return bFound;
}

std::string AddressText(uint32_t nAddr) {
    in_addr a{};
    a.s_addr = nAddr;
    char buf[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &a, buf, sizeof buf);
    return buf;
}

uint32_t LoopbackAddress() {
    return htonl(INADDR_LOOPBACK);
}

CSocket::~CSocket() {
    Close();
}

CSocket::CSocket(CSocket&& other) noexcept
    : m_nFd(std::exchange(other.m_nFd, -1)), m_bDatagram(other.m_bDatagram) {}

CSocket& CSocket::operator=(CSocket&& other) noexcept {
    if (this != &other) {
        Close();
        m_nFd = std::exchange(other.m_nFd, -1);
        m_bDatagram = other.m_bDatagram;
    }
    return *this;
}

CSocket CSocket::CreateUdp() {
    return CSocket(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0), true);
}

CSocket CSocket::CreateTcp() {
    return CSocket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0), false);
}

bool CSocket::Connect(uint32_t nAddr, uint16_t nPort) {
    sockaddr_in sa = MakeAddress(nAddr, nPort);
    int rc;
    do {
        rc = ::connect(m_nFd, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
    } while (rc == -1 && errno == EINTR);
    return rc == 0;
}

bool CSocket::Connect(uint32_t nAddr, uint16_t nPort, int nTimeoutMs, const CStopSignal* pStop) {
    if (m_nFd < 0 || (pStop != nullptr && pStop->IsStopped())) return false;
    const int nFlags = ::fcntl(m_nFd, F_GETFL, 0);
    if (nFlags < 0 || ::fcntl(m_nFd, F_SETFL, nFlags | O_NONBLOCK) != 0) return false;
    sockaddr_in sa = MakeAddress(nAddr, nPort);
    bool bConnected = ::connect(m_nFd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0;
    // An interrupted non-blocking connect goes on in the background, as one
    // in progress does.
    if (!bConnected && (errno == EINPROGRESS || errno == EINTR)) {
        // The wait runs in short slices so that a stop is seen soon.
        constexpr int kSliceMs = 50;
        using Clock = std::chrono::steady_clock;
        const Clock::time_point end =
            Clock::now() + std::chrono::milliseconds(std::max(nTimeoutMs, 0));
        for (;;) {
            if (pStop != nullptr && pStop->IsStopped()) break;
            const auto nLeft =
                std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
            if (nLeft <= 0) break;
            pollfd pfd{};
            pfd.fd = m_nFd;
            pfd.events = POLLOUT;
            const int rc = ::poll(&pfd, 1, static_cast<int>(std::min<long long>(nLeft, kSliceMs)));
            if (rc < 0 && errno != EINTR) break;
            if (rc > 0) {
                int nError = 0;
                socklen_t nLen = sizeof nError;
                bConnected =
                    ::getsockopt(m_nFd, SOL_SOCKET, SO_ERROR, &nError, &nLen) == 0 && nError == 0;
                break;
            }
        }
    }
    ::fcntl(m_nFd, F_SETFL, nFlags);
    return bConnected && !(pStop != nullptr && pStop->IsStopped());
}

bool CSocket::Bind(uint32_t nAddr, uint16_t nPort) {
    int on = 1;
    setsockopt(m_nFd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in sa = MakeAddress(nAddr, nPort);
    return ::bind(m_nFd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0;
}

bool CSocket::Listen(int nBacklog) {
    return ::listen(m_nFd, nBacklog) == 0;
}

CSocket CSocket::Accept() {
    int fd;
    do {
        fd = ::accept4(m_nFd, nullptr, nullptr, SOCK_CLOEXEC);
    } while (fd == -1 && errno == EINTR);
    return CSocket(fd, false);
}

uint16_t CSocket::LocalPort() const {
    sockaddr_in sa{};
    socklen_t len = sizeof sa;
    if (getsockname(m_nFd, reinterpret_cast<sockaddr*>(&sa), &len) != 0) return 0;
    return ntohs(sa.sin_port);
}

int CSocket::Send(const void* pData, size_t nLen) {
    if (m_nFd < 0) return -1;
    ssize_t n;
    do {
        n = ::send(m_nFd, pData, nLen, MSG_NOSIGNAL);
    } while (n == -1 && errno == EINTR);
    return static_cast<int>(n);
}

int CSocket::SendNow(const void* pData, size_t nLen) {
    if (m_nFd < 0) return -1;
    ssize_t n;
    do {
        n = ::send(m_nFd, pData, nLen, MSG_NOSIGNAL | MSG_DONTWAIT);
    } while (n == -1 && errno == EINTR);
    if (n < 0) return (errno == EAGAIN || errno == EWOULDBLOCK) ? 0 : -1;
    return static_cast<int>(n);
}

int CSocket::SendTo(const void* pData, size_t nLen, uint32_t nAddr, uint16_t nPort) {
    if (m_nFd < 0) return -1;
    sockaddr_in sa = MakeAddress(nAddr, nPort);
    ssize_t n;
    do {
        n = ::sendto(m_nFd, pData, nLen, MSG_NOSIGNAL, reinterpret_cast<sockaddr*>(&sa), sizeof sa);
    } while (n == -1 && errno == EINTR);
    return static_cast<int>(n);
}

int CSocket::Recv(void* pBuf, size_t nCap, bool* pTruncated) {
    return RecvFrom(pBuf, nCap, nullptr, nullptr, pTruncated);
}

int CSocket::RecvFrom(void* pBuf, size_t nCap, uint32_t* pAddr, uint16_t* pPort, bool* pTruncated) {
    if (pTruncated) *pTruncated = false;
    if (m_nFd < 0) return -1;
    sockaddr_in sa{};
    socklen_t len = sizeof sa;
    // MSG_TRUNC makes a datagram socket report the datagram's real length, so
    // an oversized datagram is detected instead of silently cut. (On a stream
    // it would discard data, so it is only used for datagrams.)
    const int nFlags = m_bDatagram ? MSG_TRUNC : 0;
    ssize_t n;
    do {
        n = ::recvfrom(m_nFd, pBuf, nCap, nFlags, reinterpret_cast<sockaddr*>(&sa), &len);
    } while (n == -1 && errno == EINTR);
    if (n < 0) return -1;
    if (static_cast<size_t>(n) > nCap) {
        // Only datagrams report more than was asked for.
        if (pTruncated) *pTruncated = true;
        n = static_cast<ssize_t>(nCap);
    }
    if (pAddr) *pAddr = sa.sin_addr.s_addr;
    if (pPort) *pPort = ntohs(sa.sin_port);
    return static_cast<int>(n);
}

bool CSocket::SetRecvTimeout(int nMs) {
    if (m_nFd < 0 || nMs < 0) return false;
    timeval tv{};
    tv.tv_sec = nMs / 1000;
    tv.tv_usec = (nMs % 1000) * 1000;
    return setsockopt(m_nFd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv) == 0;
}

WaitResult CSocket::WaitReadable(int nTimeoutMs) const {
    if (m_nFd < 0) return WaitResult::Failed;
    pollfd pfd{};
    pfd.fd = m_nFd;
    pfd.events = POLLIN;
    int rc = ::poll(&pfd, 1, nTimeoutMs < 0 ? 0 : nTimeoutMs);
    if (rc < 0) return errno == EINTR ? WaitResult::TimedOut : WaitResult::Failed;
    if (rc == 0) return WaitResult::TimedOut;
    if (pfd.revents & POLLNVAL) return WaitResult::Failed;
    return WaitResult::Readable;  // POLLIN, POLLHUP and POLLERR all make recv return at once
}

bool CSocket::WaitWritable(int nTimeoutMs) const {
    if (m_nFd < 0) return true;  // the send then fails at once
    pollfd pfd{};
    pfd.fd = m_nFd;
    pfd.events = POLLOUT;
    const int rc = ::poll(&pfd, 1, nTimeoutMs < 0 ? 0 : nTimeoutMs);
    // An error or a hang-up counts as ready: the next send reports it.
    return rc != 0 && !(rc < 0 && errno == EINTR);
}

bool CSocket::SetSendBuffer(int nBytes) {
    if (m_nFd < 0 || nBytes <= 0) return false;
    return setsockopt(m_nFd, SOL_SOCKET, SO_SNDBUF, &nBytes, sizeof nBytes) == 0;
}

void CSocket::Shutdown() {
    if (m_nFd >= 0) ::shutdown(m_nFd, SHUT_RDWR);
}

void CSocket::Close() {
    if (m_nFd >= 0) {
        ::close(m_nFd);
        m_nFd = -1;
    }
}

}  // namespace platform
