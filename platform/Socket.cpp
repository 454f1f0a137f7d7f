#include "platform/Socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>
#include <mutex>
#include <utility>

#include "platform/Clock.h"
#include "platform/SockAddr.h"

namespace platform {

namespace {

using native::CSockAddr;
using native::FromSockAddr;
using native::ToSockAddr;

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

// ---- The host look-up.

namespace {

// The name and the hints for a host that is no plain literal.
void LookupRequest(const std::string& strHost, std::string* pName, addrinfo* pHints) {
    *pName = strHost;
    *pHints = addrinfo{};
    pHints->ai_family = AF_UNSPEC;
    pHints->ai_socktype = SOCK_STREAM;  // one entry per address, not one per socket type
    // A bracketed address that is no plain literal ("[fe80::1%eth0]", a
    // zone) is still an address: read by the system, never looked up.
    if (pName->size() >= 2 && pName->front() == '[' && pName->back() == ']') {
        *pName = pName->substr(1, pName->size() - 2);
        pHints->ai_family = AF_INET6;
        pHints->ai_flags = AI_NUMERICHOST;
    }
}

std::vector<CNetAddress> AddressesOf(const addrinfo* pResult, uint16_t nPort) {
    std::vector<CNetAddress> vAddrs;
    for (const addrinfo* p = pResult; p != nullptr; p = p->ai_next) {
        const CNetAddress addr =
            FromSockAddr(p->ai_addr, static_cast<socklen_t>(p->ai_addrlen)).WithPort(nPort);
        if (addr.IsValid() && std::find(vAddrs.begin(), vAddrs.end(), addr) == vAddrs.end())
            vAddrs.push_back(addr);
    }
    return vAddrs;
}

// One look-up handed to glibc's resolver threads (getaddrinfo_a). It must
// stay in place for as long as glibc works on it.
struct CAsyncLookup {
    std::string m_strName;
    addrinfo m_hints{};
    gaicb m_request{};

    ~CAsyncLookup() {
        if (m_request.ar_result != nullptr) freeaddrinfo(m_request.ar_result);
    }
};

// Look-ups given up by a stop while glibc still worked on them (a request
// already running cannot be cancelled). Each stays here until glibc is done
// with it; later look-ups free those that are. Process-wide, as glibc's
// resolver threads are, and never freed: the process's end must not take
// a request from under a resolver thread that still works on it.
std::mutex g_mutexAbandoned;
std::vector<std::unique_ptr<CAsyncLookup>>& Abandoned() {
    static auto* const s_pAbandoned = new std::vector<std::unique_ptr<CAsyncLookup>>();
    return *s_pAbandoned;
}

void FreeFinishedLookups() {
    std::lock_guard<std::mutex> lock(g_mutexAbandoned);
    std::erase_if(Abandoned(), [](const std::unique_ptr<CAsyncLookup>& p) {
        return gai_error(&p->m_request) != EAI_INPROGRESS;
    });
}

// glibc's resolver threads are made behind the thread sanitizer's back, and
// it cannot serve their allocations: its builds wait for the resolver.
#if defined(__SANITIZE_THREAD__)
constexpr bool kStoppableLookup = false;
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
constexpr bool kStoppableLookup = false;
#else
constexpr bool kStoppableLookup = true;
#endif
#else
constexpr bool kStoppableLookup = true;
#endif

// Waits for the resolver in slices this long, so that a stop is seen soon.
constexpr long kLookupSliceNs = 50L * 1000 * 1000;

std::vector<CNetAddress> LookupStoppable(const std::string& strName, const addrinfo& hints,
                                         uint16_t nPort, const CStopSignal& stop) {
    FreeFinishedLookups();
    if (stop.IsStopped()) return {};
    auto pLookup = std::make_unique<CAsyncLookup>();
    pLookup->m_strName = strName;
    pLookup->m_hints = hints;
    pLookup->m_request.ar_name = pLookup->m_strName.c_str();
    pLookup->m_request.ar_request = &pLookup->m_hints;
    gaicb* list[1] = {&pLookup->m_request};
    if (getaddrinfo_a(GAI_NOWAIT, list, 1, nullptr) != 0) return {};
    for (;;) {
        const int nState = gai_error(&pLookup->m_request);
        if (nState == 0) return AddressesOf(pLookup->m_request.ar_result, nPort);
        if (nState != EAI_INPROGRESS) return {};
        if (stop.IsStopped()) {
            // Cancelled (not started yet) or done meanwhile: it is ours to free.
            if (gai_cancel(&pLookup->m_request) == EAI_NOTCANCELED &&
                gai_error(&pLookup->m_request) == EAI_INPROGRESS) {
                std::lock_guard<std::mutex> lock(g_mutexAbandoned);
                Abandoned().push_back(std::move(pLookup));
            }
            return {};
        }
        const timespec slice{0, kLookupSliceNs};
        gai_suspend(list, 1, &slice);
    }
}

}  // namespace

std::vector<CNetAddress> LookupHost(const std::string& strHost, uint16_t nPort,
                                    const CStopSignal* pStop) {
    if (strHost.empty() || strHost.find('\0') != std::string::npos) return {};
    CNetAddress literal;
    if (CNetAddress::ParseHost(strHost, &literal)) return {literal.WithPort(nPort)};
    std::string strName;
    addrinfo hints{};
    LookupRequest(strHost, &strName, &hints);
    if (pStop != nullptr && kStoppableLookup) return LookupStoppable(strName, hints, nPort, *pStop);
    if (pStop != nullptr && pStop->IsStopped()) return {};
    addrinfo* pResult = nullptr;
    if (getaddrinfo(strName.c_str(), nullptr, &hints, &pResult) != 0) return {};
    std::vector<CNetAddress> vAddrs = AddressesOf(pResult, nPort);
    freeaddrinfo(pResult);
    return vAddrs;
}

// ---- Waking a thread that waits for a socket.

CSocketWake::CSocketWake() : m_nHandle(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

CSocketWake::~CSocketWake() {
    if (m_nHandle >= 0) ::close(m_nHandle);
}

void CSocketWake::Wake() {
    if (m_nHandle < 0) return;
    const uint64_t nOne = 1;
    // A full counter is a wake already given.
    [[maybe_unused]] const ssize_t n = ::write(m_nHandle, &nOne, sizeof nOne);
}

void CSocketWake::Take() const {
    uint64_t nCount = 0;
    [[maybe_unused]] const ssize_t n = ::read(m_nHandle, &nCount, sizeof nCount);
}

EWaitResult WaitReadableOrWoken(NativeSocket nSocket, const CSocketWake& wake, int nTimeoutMs) {
    if (nSocket < 0) return EWaitResult::Failed;
    // Without a wake handle the caller's state is looked at in slices.
    constexpr int kNoWakeSliceMs = 100;
    pollfd pfds[2]{};
    pfds[0].fd = nSocket;
    pfds[0].events = POLLIN;
    pfds[1].fd = wake.IsValid() ? wake.m_nHandle : -1;  // poll skips a negative one
    pfds[1].events = POLLIN;
    int nWaitMs = nTimeoutMs < 0 ? 0 : nTimeoutMs;
    if (!wake.IsValid()) nWaitMs = std::min(nWaitMs, kNoWakeSliceMs);
    const int rc = ::poll(pfds, 2, nWaitMs);
    if (rc < 0) return errno == EINTR ? EWaitResult::TimedOut : EWaitResult::Failed;
    if (pfds[1].revents != 0) wake.Take();
    if (pfds[0].revents & POLLNVAL) return EWaitResult::Failed;
    // POLLIN, POLLHUP and POLLERR all make recv return at once.
    return pfds[0].revents != 0 ? EWaitResult::Readable : EWaitResult::TimedOut;
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

EWaitResult CSocket::WaitReadable(int nTimeoutMs) const {
    if (m_nFd < 0) return EWaitResult::Failed;
    pollfd pfd{};
    pfd.fd = m_nFd;
    pfd.events = POLLIN;
    int rc = ::poll(&pfd, 1, nTimeoutMs < 0 ? 0 : nTimeoutMs);
    if (rc < 0) return errno == EINTR ? EWaitResult::TimedOut : EWaitResult::Failed;
    if (rc == 0) return EWaitResult::TimedOut;
    if (pfd.revents & POLLNVAL) return EWaitResult::Failed;
    return EWaitResult::Readable;  // POLLIN, POLLHUP and POLLERR all make recv return at once
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
