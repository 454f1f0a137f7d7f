#include "web/ConnectionStream.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <thread>

#ifndef _WIN32
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#endif

namespace web {

namespace {

using Clock = std::chrono::steady_clock;

int MsLeft(Clock::time_point deadline) {
    auto n = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return n > 0 ? static_cast<int>(n) : 0;
}

int PollOnce(socket_t sock, bool bWrite, int nMs) {
#ifdef _WIN32
    WSAPOLLFD fd{};
    fd.fd = sock;
    fd.events = bWrite ? POLLWRNORM : POLLRDNORM;
    int n = WSAPoll(&fd, 1, nMs);
#else
    pollfd fd{};
    fd.fd = sock;
    fd.events = bWrite ? POLLOUT : POLLIN;
    int n = ::poll(&fd, 1, nMs);
#endif
    if (n < 0) return -1;
    if (n == 0) return 0;
    // A hang-up with bytes still to read is read first; a writer is done.
    if (bWrite && (fd.revents & (POLLERR | POLLHUP))) return -1;
    return 1;
}

// Both never block: each follows a wait that said the socket is ready, and
// a write that finds no room waits again rather than past its time.
// Returns the bytes moved, 0 for "not now", -1 for an error or a closed peer.
long RecvSome(socket_t sock, char* ptr, size_t size) {
#ifdef _WIN32
    int n = ::recv(sock, ptr, static_cast<int>(std::min<size_t>(size, 1 << 30)), 0);
    if (n < 0 && WSAGetLastError() == WSAEWOULDBLOCK) return 0;
    return n > 0 ? n : -1;
#else
    ssize_t n = ::recv(sock, ptr, size, MSG_DONTWAIT);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return 0;
    return n > 0 ? static_cast<long>(n) : -1;
#endif
}

long SendSome(socket_t sock, const char* ptr, size_t size) {
#ifdef _WIN32
    int n = ::send(sock, ptr, static_cast<int>(std::min<size_t>(size, 1 << 30)), 0);
    if (n < 0 && WSAGetLastError() == WSAEWOULDBLOCK) return 0;
    return n >= 0 ? n : -1;
#else
    // MSG_NOSIGNAL: a reader that went away is an error here, not a signal.
    ssize_t n = ::send(sock, ptr, size, MSG_DONTWAIT | MSG_NOSIGNAL);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) return 0;
    return n >= 0 ? static_cast<long>(n) : -1;
#endif
}

void NameOf(const sockaddr_storage& addr, socklen_t nLen, std::string& ip, int& port) {
    char host[NI_MAXHOST] = "";
    char serv[NI_MAXSERV] = "";
    if (getnameinfo(reinterpret_cast<const sockaddr*>(&addr), nLen, host, sizeof host, serv,
                    sizeof serv, NI_NUMERICHOST | NI_NUMERICSERV) == 0) {
        ip = host;
        port = std::atoi(serv);
    }
}

}  // namespace

CConnectionStream::CConnectionStream(socket_t sock, const CWebLimits& limits,
                                     const std::atomic<bool>& bStopping)
    : m_sock(sock), m_limits(limits), m_bStopping(bStopping) {
    // A reader that stops reading is noticed after this much, not megabytes.
    int nBuffer = limits.m_nSendBufferBytes;
    setsockopt(m_sock, SOL_SOCKET, SO_SNDBUF, reinterpret_cast<const char*>(&nBuffer),
               sizeof nBuffer);
#ifdef _WIN32
    u_long nOn = 1;  // Winsock has no per-call flag for it
    ioctlsocket(m_sock, FIONBIO, &nOn);
#endif
}

int CConnectionStream::Wait(bool bWrite, int nMs) const {
    auto deadline = Clock::now() + std::chrono::milliseconds(nMs);
    for (;;) {
        if (m_bStopping.load()) return 0;
        int nLeft = MsLeft(deadline);
        int n = PollOnce(m_sock, bWrite, std::min(nLeft, m_limits.m_nStopSliceMs));
        if (n != 0 || nLeft == 0) return n;
    }
}

ENextRequest CConnectionStream::ReadHead(int nIdleMs, const std::function<bool()>& takeBack) {
    CHeadLimits headLimits{m_limits.m_nHeadBytes, m_limits.m_nTargetBytes};
    m_check = CheckRequestHead(m_strBuffer, headLimits);
    if (m_strBuffer.empty()) {
        // The first byte: waited for in slices, so that a connection that
        // only idles gives its worker back when others wait.
        auto deadline = Clock::now() + std::chrono::milliseconds(nIdleMs);
        for (;;) {
            if (m_bStopping.load() || (takeBack && takeBack())) return ENextRequest::Gone;
            int nLeft = MsLeft(deadline);
            int n = PollOnce(m_sock, false, std::min(nLeft, m_limits.m_nStopSliceMs));
            if (n < 0) return ENextRequest::Gone;
            if (n > 0) break;
            if (nLeft == 0) return ENextRequest::Gone;
        }
    }
    auto deadline = Clock::now() + std::chrono::milliseconds(m_limits.m_nHeadMs);
    char chunk[4096];
    while (m_check.m_eVerdict == EHeadVerdict::NeedMore) {
        if (Clock::now() >= deadline)
            return m_strBuffer.empty() ? ENextRequest::Gone : ENextRequest::Slow;
        int n = Wait(false, MsLeft(deadline));
        if (m_bStopping.load() || n < 0) return ENextRequest::Gone;
        if (n == 0) return m_strBuffer.empty() ? ENextRequest::Gone : ENextRequest::Slow;
        size_t nRoom = m_limits.m_nHeadBytes - std::min(m_strBuffer.size(), m_limits.m_nHeadBytes);
        long nGot = RecvSome(m_sock, chunk, std::min(sizeof chunk, std::max<size_t>(nRoom, 1)));
        if (nGot < 0) return ENextRequest::Gone;
        if (nGot == 0) continue;
        m_strBuffer.append(chunk, static_cast<size_t>(nGot));
        m_check = CheckRequestHead(m_strBuffer, headLimits);
    }
    m_nReadPos = 0;
    if (m_check.m_eVerdict != EHeadVerdict::Complete) return ENextRequest::Refused;
    m_check.m_nHeadBytes -= DropRangeHeaders(m_strBuffer, m_check.m_nHeadBytes);
    return ENextRequest::Ready;
}

void CConnectionStream::EndRequest() {
    m_strBuffer.erase(0, std::min(m_check.m_nHeadBytes, m_strBuffer.size()));
    m_nReadPos = 0;
    m_check = CHeadCheck{};
}

bool CConnectionStream::WriteAll(std::string_view strData) {
    return write(strData.data(), strData.size()) == static_cast<ssize_t>(strData.size());
}

bool CConnectionStream::is_readable() const {
    return m_nReadPos < m_check.m_nHeadBytes;
}

bool CConnectionStream::is_writable() const {
    return Wait(true, m_limits.m_nWriteMs) > 0;
}

ssize_t CConnectionStream::read(char* ptr, size_t size) {
    // Only the head that passed: the library never reads the socket itself.
    size_t nEnd = std::min(m_check.m_nHeadBytes, m_strBuffer.size());
    size_t n = std::min(size, nEnd - std::min(m_nReadPos, nEnd));
    std::copy_n(m_strBuffer.data() + m_nReadPos, n, ptr);
    m_nReadPos += n;
    return static_cast<ssize_t>(n);
}

ssize_t CConnectionStream::write(const char* ptr, size_t size) {
    // All of it within one write time, or the reader is too slow to keep.
    auto deadline = Clock::now() + std::chrono::milliseconds(m_limits.m_nWriteMs);
    size_t nDone = 0;
    while (nDone < size) {
        if (Clock::now() >= deadline || Wait(true, MsLeft(deadline)) <= 0) return -1;
        long nSent = SendSome(m_sock, ptr + nDone, size - nDone);
        if (nSent < 0) return -1;
        // Writable by the wait, yet taking nothing (the system short of
        // memory): a short pause rather than spinning until the deadline.
        if (nSent == 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        nDone += static_cast<size_t>(nSent);
    }
    return static_cast<ssize_t>(size);
}

void CConnectionStream::get_remote_ip_and_port(std::string& ip, int& port) const {
    sockaddr_storage addr{};
    socklen_t nLen = sizeof addr;
    if (getpeername(m_sock, reinterpret_cast<sockaddr*>(&addr), &nLen) == 0)
        NameOf(addr, nLen, ip, port);
}

void CConnectionStream::get_local_ip_and_port(std::string& ip, int& port) const {
    sockaddr_storage addr{};
    socklen_t nLen = sizeof addr;
    if (getsockname(m_sock, reinterpret_cast<sockaddr*>(&addr), &nLen) == 0)
        NameOf(addr, nLen, ip, port);
}

}  // namespace web
