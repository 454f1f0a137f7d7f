// platform/Socket.h on Windows: Winsock 2. What differs from Linux and is
// mended here, so that callers see the same results on both:
//  - Winsock is started once, by the first socket or look-up;
//  - a datagram longer than the buffer fails with WSAEMSGSIZE (its first
//    bytes in the buffer): reported as truncated, not as a failure;
//  - a refused UDP port arrives as WSAECONNRESET on the next receive: a
//    failed receive, as ECONNREFUSED is on Linux;
//  - a blocking receive is not woken by shutdown() alone: Shutdown cancels
//    it too, and a receive after Shutdown sees the end of the stream;
//  - a failed non-blocking connect shows in the except set of select();
//  - send() has no flag for "don't wait": SendNow makes the socket
//    non-blocking for its one call, and a blocking receive that another
//    thread starts in that moment waits as a blocking one would.
#include <winsock2.h>
#include <ws2tcpip.h>
// winsock2.h first: windows.h would otherwise pull in the old winsock.h.
#include <windows.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>
#include <utility>

#include "platform/Clock.h"
#include "platform/SockAddr.h"
#include "platform/Socket.h"

namespace platform {

namespace {

// Started on first use and left running: the process's end cleans up.
bool StartWinsock() {
    static const bool s_bStarted = [] {
        WSADATA data{};
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return s_bStarted;
}

using native::CSockAddr;
using native::FromSockAddr;
using native::ToSockAddr;

SOCKET NewSocket(EAddressFamily eFamily, int nType) {
    if (eFamily == EAddressFamily::None || !StartWinsock()) return INVALID_SOCKET;
    // Not inherited by child processes, as SOCK_CLOEXEC does on Linux.
    const SOCKET s = ::WSASocketW(eFamily == EAddressFamily::IPv6 ? AF_INET6 : AF_INET, nType, 0,
                                  nullptr, 0, WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
    if (s != INVALID_SOCKET && eFamily == EAddressFamily::IPv6) {
        // The default on Windows; said anyway, as on Linux.
        DWORD dwOn = 1;
        ::setsockopt(s, IPPROTO_IPV6, IPV6_V6ONLY, reinterpret_cast<const char*>(&dwOn),
                     sizeof dwOn);
    }
    return s;
}

bool SetBlocking(SOCKET s, bool bBlocking) {
    u_long nNonBlocking = bBlocking ? 0 : 1;
    return ::ioctlsocket(s, FIONBIO, &nNonBlocking) == 0;
}

// Waits up to nMs for the socket in the sets asked for; select() takes
// SOCKET handles, not numbers below a limit, so one socket always fits.
int SelectOne(SOCKET s, bool bRead, bool bWrite, int nMs, bool* pReadable, bool* pWritable,
              bool* pFailed) {
    fd_set readSet, writeSet, exceptSet;
    FD_ZERO(&readSet);
    FD_ZERO(&writeSet);
    FD_ZERO(&exceptSet);
    if (bRead) FD_SET(s, &readSet);
    if (bWrite) {
        FD_SET(s, &writeSet);
        FD_SET(s, &exceptSet);
    }
    timeval tv{};
    tv.tv_sec = nMs / 1000;
    tv.tv_usec = (nMs % 1000) * 1000;
    const int rc = ::select(0, bRead ? &readSet : nullptr, bWrite ? &writeSet : nullptr,
                            bWrite ? &exceptSet : nullptr, &tv);
    if (rc > 0) {
        if (pReadable) *pReadable = FD_ISSET(s, &readSet) != 0;
        if (pWritable) *pWritable = FD_ISSET(s, &writeSet) != 0;
        if (pFailed) *pFailed = FD_ISSET(s, &exceptSet) != 0;
    }
    return rc;
}

// The rest of a blocking receive that found the socket non-blocking: waits
// in slices (a Shutdown ends the next receive) until data, the end, an
// error, or the socket's receive time limit.
int RecvAfterWait(SOCKET s, void* pBuf, int nCap, sockaddr_storage* pFrom, int* pFromLen) {
    constexpr int kSliceMs = 50;
    DWORD dwLimitMs = 0;  // 0: no limit, as SO_RCVTIMEO says
    int nOptLen = sizeof dwLimitMs;
    ::getsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<char*>(&dwLimitMs), &nOptLen);
    using Clock = std::chrono::steady_clock;
    const Clock::time_point end = Clock::now() + std::chrono::milliseconds(dwLimitMs);
    for (;;) {
        int nWaitMs = kSliceMs;
        if (dwLimitMs != 0) {
            const auto nLeft =
                std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
            if (nLeft <= 0) {
                ::WSASetLastError(WSAETIMEDOUT);
                return SOCKET_ERROR;
            }
            nWaitMs = static_cast<int>(std::min<long long>(nLeft, kSliceMs));
        }
        if (SelectOne(s, true, false, nWaitMs, nullptr, nullptr, nullptr) < 0) return SOCKET_ERROR;
        *pFromLen = sizeof *pFrom;
        const int n = ::recvfrom(s, static_cast<char*>(pBuf), nCap, 0,
                                 reinterpret_cast<sockaddr*>(pFrom), pFromLen);
        if (n != SOCKET_ERROR || ::WSAGetLastError() != WSAEWOULDBLOCK) return n;
    }
}

}  // namespace

std::vector<CNetAddress> LookupHost(const std::string& strHost, uint16_t nPort,
                                    const CStopSignal* pStop) {
    std::vector<CNetAddress> vAddrs;
    if (strHost.empty() || strHost.find('\0') != std::string::npos) return vAddrs;
    CNetAddress literal;
    if (CNetAddress::ParseHost(strHost, &literal)) {
        vAddrs.push_back(literal.WithPort(nPort));
        return vAddrs;
    }
    // The system's look-up is waited for; a stop given before it still counts.
    if (pStop != nullptr && pStop->IsStopped()) return vAddrs;
    if (!StartWinsock()) return vAddrs;
    // A bracketed address that is no plain literal ("[fe80::1%3]", a zone)
    // is still an address: read by the system, never looked up.
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
    if (::getaddrinfo(strName.c_str(), nullptr, &hints, &pResult) != 0) return vAddrs;
    for (const addrinfo* p = pResult; p != nullptr; p = p->ai_next) {
        const CNetAddress addr =
            FromSockAddr(p->ai_addr, static_cast<int>(p->ai_addrlen)).WithPort(nPort);
        if (addr.IsValid() && std::find(vAddrs.begin(), vAddrs.end(), addr) == vAddrs.end())
            vAddrs.push_back(addr);
    }
    ::freeaddrinfo(pResult);
    return vAddrs;
}

// ---- Waking a thread that waits for a socket: a datagram socket on
// 127.0.0.1 that sends to itself, since select() waits on sockets only.

CSocketWake::CSocketWake() {
    const SOCKET s = NewSocket(EAddressFamily::IPv4, SOCK_DGRAM);
    if (s == INVALID_SOCKET) return;
    CSockAddr sa = ToSockAddr(LoopbackAddress());
    int nLen = sizeof sa.m_storage;
    if (::bind(s, sa.Get(), sa.m_nLen) != 0 || ::getsockname(s, sa.Get(), &nLen) != 0 ||
        ::connect(s, sa.Get(), nLen) != 0 || !SetBlocking(s, false)) {
        ::closesocket(s);
        return;
    }
    m_nHandle = s;
}

CSocketWake::~CSocketWake() {
    if (m_nHandle != kNoSocket) ::closesocket(m_nHandle);
}

void CSocketWake::Wake() {
    if (m_nHandle == kNoSocket) return;
    const char c = 1;
    ::send(m_nHandle, &c, 1, 0);
}

void CSocketWake::Take() const {
    char buf[64];
    // Non-blocking: every datagram waiting, then WSAEWOULDBLOCK.
    for (int n = 0; n < 64 && ::recv(m_nHandle, buf, sizeof buf, 0) != SOCKET_ERROR; ++n) {
    }
}

EWaitResult WaitReadableOrWoken(NativeSocket nSocket, const CSocketWake& wake, int nTimeoutMs) {
    if (nSocket == kNoSocket) return EWaitResult::Failed;
    // Without a wake handle the caller's state is looked at in slices.
    constexpr int kNoWakeSliceMs = 100;
    int nWaitMs = nTimeoutMs < 0 ? 0 : nTimeoutMs;
    if (!wake.IsValid()) nWaitMs = std::min(nWaitMs, kNoWakeSliceMs);
    fd_set readSet;
    FD_ZERO(&readSet);
    FD_SET(nSocket, &readSet);
    if (wake.IsValid()) FD_SET(wake.m_nHandle, &readSet);
    timeval tv{};
    tv.tv_sec = nWaitMs / 1000;
    tv.tv_usec = (nWaitMs % 1000) * 1000;
    const int rc = ::select(0, &readSet, nullptr, nullptr, &tv);
    if (rc < 0) return EWaitResult::Failed;
    if (wake.IsValid() && FD_ISSET(wake.m_nHandle, &readSet)) wake.Take();
    return rc > 0 && FD_ISSET(nSocket, &readSet) ? EWaitResult::Readable : EWaitResult::TimedOut;
}

CSocket::~CSocket() {
    Close();
}

CSocket::CSocket(CSocket&& other) noexcept
    : m_nFd(std::exchange(other.m_nFd, kNoSocket)), m_bDatagram(other.m_bDatagram) {}

CSocket& CSocket::operator=(CSocket&& other) noexcept {
    if (this != &other) {
        Close();
        m_nFd = std::exchange(other.m_nFd, kNoSocket);
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
    if (!IsValid() || sa.m_nLen == 0) return false;
    return ::connect(m_nFd, sa.Get(), sa.m_nLen) == 0;
}

bool CSocket::Connect(const CNetAddress& addr, int nTimeoutMs, const CStopSignal* pStop) {
    if (!IsValid() || (pStop != nullptr && pStop->IsStopped())) return false;
    CSockAddr sa = ToSockAddr(addr);
    if (sa.m_nLen == 0 || !SetBlocking(m_nFd, false)) return false;
    bool bConnected = ::connect(m_nFd, sa.Get(), sa.m_nLen) == 0;
    if (!bConnected && ::WSAGetLastError() == WSAEWOULDBLOCK) {
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
            bool bWritable = false, bFailed = false;
            const int rc = SelectOne(m_nFd, false, true,
                                     static_cast<int>(std::min<long long>(nLeft, kSliceMs)),
                                     nullptr, &bWritable, &bFailed);
            if (rc < 0) break;
            if (rc > 0) {
                int nError = 0;
                int nLen = sizeof nError;
                const bool bNoError = ::getsockopt(m_nFd, SOL_SOCKET, SO_ERROR,
                                                   reinterpret_cast<char*>(&nError), &nLen) == 0 &&
                                      nError == 0;
                bConnected = bWritable && !bFailed && bNoError;
                break;
            }
        }
    }
    SetBlocking(m_nFd, true);
    return bConnected && !(pStop != nullptr && pStop->IsStopped());
}

bool CSocket::Bind(const CNetAddress& addr) {
    CSockAddr sa = ToSockAddr(addr);
    if (!IsValid() || sa.m_nLen == 0) return false;
    // No SO_REUSEADDR: on Windows it lets another socket take a bound port.
    // Exclusive use is what a listener expects here.
    BOOL bOn = TRUE;
    ::setsockopt(m_nFd, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&bOn),
                 sizeof bOn);
    return ::bind(m_nFd, sa.Get(), sa.m_nLen) == 0;
}

bool CSocket::Listen(int nBacklog) {
    return IsValid() && ::listen(m_nFd, nBacklog) == 0;
}

CSocket CSocket::Accept() {
    if (!IsValid()) return CSocket();
    const SOCKET s = ::accept(m_nFd, nullptr, nullptr);
    if (s != INVALID_SOCKET)
        ::SetHandleInformation(reinterpret_cast<HANDLE>(s), HANDLE_FLAG_INHERIT, 0);
    return CSocket(s, false);
}

uint16_t CSocket::LocalPort() const {
    return LocalAddress().Port();
}

CNetAddress CSocket::LocalAddress() const {
    CSockAddr sa;
    sa.m_nLen = sizeof sa.m_storage;
    if (!IsValid() || ::getsockname(m_nFd, sa.Get(), &sa.m_nLen) != 0) return {};
    return FromSockAddr(sa.Get(), sa.m_nLen);
}

int CSocket::Send(const void* pData, size_t nLen) {
    if (!IsValid()) return -1;
    const int nChunk = static_cast<int>(std::min<size_t>(nLen, 0x7FFFFFFF));
    const int n = ::send(m_nFd, static_cast<const char*>(pData), nChunk, 0);
    return n == SOCKET_ERROR ? -1 : n;
}

int CSocket::SendNow(const void* pData, size_t nLen) {
    if (!IsValid() || !SetBlocking(m_nFd, false)) return -1;
    const int nChunk = static_cast<int>(std::min<size_t>(nLen, 0x7FFFFFFF));
    const int n = ::send(m_nFd, static_cast<const char*>(pData), nChunk, 0);
    const int nError = n == SOCKET_ERROR ? ::WSAGetLastError() : 0;
    SetBlocking(m_nFd, true);
    if (n == SOCKET_ERROR) return nError == WSAEWOULDBLOCK ? 0 : -1;
    return n;
}

int CSocket::SendTo(const void* pData, size_t nLen, const CNetAddress& to) {
    CSockAddr sa = ToSockAddr(to);
    if (!IsValid() || sa.m_nLen == 0) return -1;
    const int nChunk = static_cast<int>(std::min<size_t>(nLen, 0x7FFFFFFF));
    const int n = ::sendto(m_nFd, static_cast<const char*>(pData), nChunk, 0, sa.Get(), sa.m_nLen);
    return n == SOCKET_ERROR ? -1 : n;
}

int CSocket::Recv(void* pBuf, size_t nCap, bool* pTruncated) {
    return RecvFrom(pBuf, nCap, nullptr, pTruncated);
}

int CSocket::RecvFrom(void* pBuf, size_t nCap, CNetAddress* pFrom, bool* pTruncated) {
    if (pTruncated) *pTruncated = false;
    if (!IsValid()) return -1;
    sockaddr_storage sa{};
    int len = sizeof sa;
    const int nCapInt = static_cast<int>(std::min<size_t>(nCap, 0x7FFFFFFF));
    int n = ::recvfrom(m_nFd, static_cast<char*>(pBuf), nCapInt, 0,
                       reinterpret_cast<sockaddr*>(&sa), &len);
    if (n == SOCKET_ERROR && ::WSAGetLastError() == WSAEWOULDBLOCK) {
        // Non-blocking only for a SendNow on another thread right now: wait
        // as a blocking receive does, within the receive time limit if one
        // is set, then take what came.
        n = RecvAfterWait(m_nFd, pBuf, nCapInt, &sa, &len);
    }
    if (n == SOCKET_ERROR) {
        switch (::WSAGetLastError()) {
            case WSAEMSGSIZE:
                // The buffer holds the datagram's first nCap bytes; the rest is lost.
                if (!m_bDatagram) return -1;
                if (pTruncated) *pTruncated = true;
                n = nCapInt;
                break;
            case WSAESHUTDOWN:
            case WSAEINTR:
            case WSA_OPERATION_ABORTED:
                // Shutdown from another thread: the end of the stream.
                return m_bDatagram ? -1 : 0;
            default:
                return -1;
        }
    }
    // A stream's peer is not given: no address.
    if (pFrom) *pFrom = FromSockAddr(reinterpret_cast<const sockaddr*>(&sa), len);
    return n;
}

bool CSocket::SetRecvTimeout(int nMs) {
    if (!IsValid() || nMs < 0) return false;
    const DWORD dwMs = static_cast<DWORD>(nMs);
    return ::setsockopt(m_nFd, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&dwMs),
                        sizeof dwMs) == 0;
}

EWaitResult CSocket::WaitReadable(int nTimeoutMs) const {
    if (!IsValid()) return EWaitResult::Failed;
    bool bReadable = false;
    const int rc = SelectOne(m_nFd, true, false, nTimeoutMs < 0 ? 0 : nTimeoutMs, &bReadable,
                             nullptr, nullptr);
    if (rc < 0) return EWaitResult::Failed;
    if (rc == 0) return EWaitResult::TimedOut;
    return EWaitResult::Readable;  // data, the end, or a pending error: recv returns at once
}

bool CSocket::WaitWritable(int nTimeoutMs) const {
    if (!IsValid()) return true;  // the send then fails at once
    const int rc =
        SelectOne(m_nFd, false, true, nTimeoutMs < 0 ? 0 : nTimeoutMs, nullptr, nullptr, nullptr);
    // An error counts as ready: the next send reports it.
    return rc != 0;
}

bool CSocket::SetSendBuffer(int nBytes) {
    if (!IsValid() || nBytes <= 0) return false;
    return ::setsockopt(m_nFd, SOL_SOCKET, SO_SNDBUF, reinterpret_cast<const char*>(&nBytes),
                        sizeof nBytes) == 0;
}

void CSocket::Shutdown() {
    if (!IsValid()) return;
    ::shutdown(m_nFd, SD_BOTH);
    // A receive blocked in another thread is not woken by shutdown() on
    // Windows; cancelling its I/O is.
    ::CancelIoEx(reinterpret_cast<HANDLE>(m_nFd), nullptr);
}

void CSocket::Close() {
    if (IsValid()) {
        ::closesocket(m_nFd);
        m_nFd = kNoSocket;
    }
}

}  // namespace platform
