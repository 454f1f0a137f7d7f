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
#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <utility>

#include "platform/Clock.h"

namespace platform {

namespace {

// A socket address of either family, as the calls take it.
struct CSockAddr {
    sockaddr_storage m_storage{};
    socklen_t m_nLen = 0;
    sockaddr* Get() { return reinterpret_cast<sockaddr*>(&m_storage); }
};

CSockAddr ToSockAddr(const CNetAddress& addr) {
    CSockAddr sa;
    if (addr.Family() == EAddressFamily::IPv4) {
        auto* p = reinterpret_cast<sockaddr_in*>(&sa.m_storage);
        p->sin_family = AF_INET;
        p->sin_port = htons(addr.Port());
        p->sin_addr.s_addr = htonl(addr.IPv4());
        sa.m_nLen = sizeof *p;
    } else if (addr.Family() == EAddressFamily::IPv6) {
        auto* p = reinterpret_cast<sockaddr_in6*>(&sa.m_storage);
        p->sin6_family = AF_INET6;
        p->sin6_port = htons(addr.Port());
        std::memcpy(&p->sin6_addr, addr.Bytes().data(), 16);
        p->sin6_scope_id = addr.ScopeId();
        sa.m_nLen = sizeof *p;
    }
    // No address: length 0, which every call refuses.
    return sa;
}

CNetAddress FromSockAddr(const sockaddr* pSa, socklen_t nLen) {
    if (pSa == nullptr) return {};
    if (pSa->sa_family == AF_INET && nLen >= static_cast<socklen_t>(sizeof(sockaddr_in))) {
        const auto* p = reinterpret_cast<const sockaddr_in*>(pSa);
        return CNetAddress::FromIPv4(ntohl(p->sin_addr.s_addr), ntohs(p->sin_port));
    }
    if (pSa->sa_family == AF_INET6 && nLen >= static_cast<socklen_t>(sizeof(sockaddr_in6))) {
        const auto* p = reinterpret_cast<const sockaddr_in6*>(pSa);
        std::array<uint8_t, 16> bytes{};
        std::memcpy(bytes.data(), &p->sin6_addr, 16);
        return CNetAddress::FromIPv6(bytes, ntohs(p->sin6_port), p->sin6_scope_id);
    }
    return {};
}

int NativeFamily(EAddressFamily eFamily) {
    return eFamily == EAddressFamily::IPv6 ? AF_INET6 : AF_INET;
}

int NewSocket(EAddressFamily eFamily, int nType) {
    if (eFamily == EAddressFamily::None) return -1;
    const int fd = ::socket(NativeFamily(eFamily), nType | SOCK_CLOEXEC, 0);
    if (fd >= 0 && eFamily == EAddressFamily::IPv6) {
        // IPv6 only, as Windows has it by default: an IPv6 socket never
        // talks IPv4 through mapped addresses.
        int on = 1;
        setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &on, sizeof on);
    }
    return fd;
}

}  // namespace

std::vector<CNetAddress> LookupHost(const std::string& strHost, uint16_t nPort) {
    std::vector<CNetAddress> vAddrs;
    if (strHost.empty() || strHost.find('\0') != std::string::npos) return vAddrs;
    CNetAddress literal;
    if (CNetAddress::ParseHost(strHost, &literal)) {
        vAddrs.push_back(literal.WithPort(nPort));
        return vAddrs;
    }
    // A bracketed address that is no plain literal ("[fe80::1%eth0]", a
    // zone) is still an address: read by the system, never looked up.
    std::string strName = strHost;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;  // one entry per address, not one per socket type
    if (strName.size() >= 2 && strName.front() == '[' && strName.back() == ']') {
        strName = strName.substr(1, strName.size() - 2);
        hints.ai_family = AF_INET6;
        hints.ai_flags = AI_NUMERICHOST;
    }
    addrinfo* pResult = nullptr;
    if (getaddrinfo(strName.c_str(), nullptr, &hints, &pResult) != 0) return vAddrs;
    for (const addrinfo* p = pResult; p != nullptr; p = p->ai_next) {
        const CNetAddress addr =
            FromSockAddr(p->ai_addr, static_cast<socklen_t>(p->ai_addrlen)).WithPort(nPort);
        if (addr.IsValid() && std::find(vAddrs.begin(), vAddrs.end(), addr) == vAddrs.end())
            vAddrs.push_back(addr);
    }
    freeaddrinfo(pResult);
    return vAddrs;
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

CSocket CSocket::CreateUdp(EAddressFamily eFamily) {
    return CSocket(NewSocket(eFamily, SOCK_DGRAM), true);
}

CSocket CSocket::CreateTcp(EAddressFamily eFamily) {
    return CSocket(NewSocket(eFamily, SOCK_STREAM), false);
}

bool CSocket::Connect(const CNetAddress& addr) {
    CSockAddr sa = ToSockAddr(addr);
    if (m_nFd < 0 || sa.m_nLen == 0) return false;
    int rc;
    do {
        rc = ::connect(m_nFd, sa.Get(), sa.m_nLen);
    } while (rc == -1 && errno == EINTR);
    return rc == 0;
}

bool CSocket::Connect(const CNetAddress& addr, int nTimeoutMs, const CStopSignal* pStop) {
    if (m_nFd < 0 || (pStop != nullptr && pStop->IsStopped())) return false;
    CSockAddr sa = ToSockAddr(addr);
    if (sa.m_nLen == 0) return false;
    const int nFlags = ::fcntl(m_nFd, F_GETFL, 0);
    if (nFlags < 0 || ::fcntl(m_nFd, F_SETFL, nFlags | O_NONBLOCK) != 0) return false;
    bool bConnected = ::connect(m_nFd, sa.Get(), sa.m_nLen) == 0;
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

bool CSocket::Bind(const CNetAddress& addr) {
    CSockAddr sa = ToSockAddr(addr);
    if (m_nFd < 0 || sa.m_nLen == 0) return false;
    int on = 1;
    setsockopt(m_nFd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    return ::bind(m_nFd, sa.Get(), sa.m_nLen) == 0;
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
    return LocalAddress().Port();
}

CNetAddress CSocket::LocalAddress() const {
    CSockAddr sa;
    sa.m_nLen = sizeof sa.m_storage;
    if (m_nFd < 0 || getsockname(m_nFd, sa.Get(), &sa.m_nLen) != 0) return {};
    return FromSockAddr(sa.Get(), sa.m_nLen);
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

int CSocket::SendTo(const void* pData, size_t nLen, const CNetAddress& to) {
    CSockAddr sa = ToSockAddr(to);
    if (m_nFd < 0 || sa.m_nLen == 0) return -1;
    ssize_t n;
    do {
        n = ::sendto(m_nFd, pData, nLen, MSG_NOSIGNAL, sa.Get(), sa.m_nLen);
    } while (n == -1 && errno == EINTR);
    return static_cast<int>(n);
}

int CSocket::Recv(void* pBuf, size_t nCap, bool* pTruncated) {
    return RecvFrom(pBuf, nCap, nullptr, pTruncated);
}

int CSocket::RecvFrom(void* pBuf, size_t nCap, CNetAddress* pFrom, bool* pTruncated) {
    if (pTruncated) *pTruncated = false;
    if (m_nFd < 0) return -1;
    CSockAddr sa;
    socklen_t len = sizeof sa.m_storage;
    // MSG_TRUNC makes a datagram socket report the datagram's real length, so
    // an oversized datagram is detected instead of silently cut. (On a stream
    // it would discard data, so it is only used for datagrams.)
    const int nFlags = m_bDatagram ? MSG_TRUNC : 0;
    ssize_t n;
    do {
        n = ::recvfrom(m_nFd, pBuf, nCap, nFlags, sa.Get(), &len);
    } while (n == -1 && errno == EINTR);
    if (n < 0) return -1;
    if (static_cast<size_t>(n) > nCap) {
        // Only datagrams report more than was asked for.
        if (pTruncated) *pTruncated = true;
        n = static_cast<ssize_t>(nCap);
    }
    // A stream's peer is not given: no address.
    if (pFrom) *pFrom = FromSockAddr(sa.Get(), len);
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
