#pragma once
// IPv4 and IPv6 sockets: the only place that talks to the operating system's
// network calls (Socket.cpp on Linux, SocketWin32.cpp on Windows). A send on
// a closed connection is a failed call, never a SIGPIPE.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/NetAddress.h"

namespace platform {

class CStopSignal;

// The system's handle of a socket: a descriptor on Linux, a SOCKET (which
// starts Winsock on first use) on Windows.
#ifdef _WIN32
using NativeSocket = uintptr_t;
inline constexpr NativeSocket kNoSocket = ~NativeSocket{0};
#else
using NativeSocket = int;
inline constexpr NativeSocket kNoSocket = -1;
#endif

// Every address of strHost, IPv4 and IPv6, in the resolver's order (each
// once), with nPort. A literal ("1.2.3.4", "::1", "[::1]") is its one
// address and never touches the network; anything else goes to
// getaddrinfo, which may ask a name server and wait for it. Empty when
// nothing was found. Thread-safe. With pStop, a stop ends the wait for the
// resolver within a short slice and gives nothing (on Windows the system's
// own answer is still waited for).
std::vector<CNetAddress> LookupHost(const std::string& strHost, uint16_t nPort = 0,
                                    const CStopSignal* pStop = nullptr);

// 127.0.0.1 with the port.
inline CNetAddress LoopbackAddress(uint16_t nPort = 0) {
    return CNetAddress::Loopback(EAddressFamily::IPv4, nPort);
}

enum class EWaitResult { Readable, TimedOut, Failed };

// One socket of either family, owned: closed when destroyed. Move-only. Not shared
// between threads, except that Shutdown may be called from another thread to
// wake one blocked in Recv or WaitReadable, and that one thread may write
// with SendNow and WaitWritable while another receives.
class CSocket {
public:
    CSocket() = default;
    ~CSocket();
    CSocket(CSocket&& other) noexcept;
    CSocket& operator=(CSocket&& other) noexcept;
    CSocket(const CSocket&) = delete;
    CSocket& operator=(const CSocket&) = delete;

    // A socket of the family (an IPv6 one takes IPv6 addresses only, on
    // every system).
    static CSocket CreateUdp(EAddressFamily eFamily = EAddressFamily::IPv4);
    static CSocket CreateTcp(EAddressFamily eFamily = EAddressFamily::IPv4);

    bool IsValid() const { return m_nFd != kNoSocket; }
    NativeSocket Handle() const { return m_nFd; }

    // The address must be of the socket's family. Blocks until the peer
    // answers or the system gives up (a datagram socket: at once).
    bool Connect(const CNetAddress& addr);
    // Connects within nTimeoutMs: false when refused, failed, timed out, or
    // when pStop (if given) is stopped before or while it waits. Leaves the
    // socket blocking again. Shutdown from another thread also ends the wait.
    bool Connect(const CNetAddress& addr, int nTimeoutMs, const CStopSignal* pStop = nullptr);
    // Binds to the address and its port (0 picks a free port); enables
    // address reuse on Linux.
    bool Bind(const CNetAddress& addr);
    bool Listen(int nBacklog = 8);
    // Accepts one connection; an invalid socket on failure.
    CSocket Accept();
    // The bound local port (host byte order), 0 on failure.
    uint16_t LocalPort() const;
    // The bound local address and port; no address on failure.
    CNetAddress LocalAddress() const;

    // Returns the bytes sent or -1.
    int Send(const void* pData, size_t nLen);
    // Sends what the connection takes at once, without waiting: the bytes
    // sent, 0 when its send buffer is full, -1 on failure.
    int SendNow(const void* pData, size_t nLen);
    int Send(const std::string& str) { return Send(str.data(), str.size()); }
    // UDP: sends one datagram to the given peer (unconnected sockets).
    int SendTo(const void* pData, size_t nLen, const CNetAddress& to);

    // Receives into a buffer of nCap bytes. Returns the bytes received, 0 at
    // the end of a stream, -1 on failure. For datagrams, *pTruncated (if given)
    // tells whether the datagram was longer than nCap; its excess is lost.
    int Recv(void* pBuf, size_t nCap, bool* pTruncated = nullptr);
    // UDP: receives one datagram and tells who sent it (*pFrom, if given).
    int RecvFrom(void* pBuf, size_t nCap, CNetAddress* pFrom, bool* pTruncated = nullptr);

    // Makes a blocking receive fail after nMs without data. A datagram that
    // made the socket readable can still be dropped (bad checksum) before the
    // receive takes it; this bounds that receive instead of blocking for good.
    bool SetRecvTimeout(int nMs);

    // Waits up to nTimeoutMs until the socket is readable (data, end of
    // stream, or a pending error).
    EWaitResult WaitReadable(int nTimeoutMs) const;
    // Waits up to nTimeoutMs until a send would take bytes (or fail at once).
    // False when the time ran out.
    bool WaitWritable(int nTimeoutMs) const;
    // Caps what the system buffers for sending, so that a peer that stops
    // reading is noticed after kilobytes, not megabytes.
    bool SetSendBuffer(int nBytes);

    // Wakes a thread blocked on this socket; further reads see the end.
    void Shutdown();
    void Close();

private:
    CSocket(NativeSocket nFd, bool bDatagram) : m_nFd(nFd), m_bDatagram(bDatagram) {}
    NativeSocket m_nFd = kNoSocket;
    bool m_bDatagram = false;
};

// Wakes a thread that waits for a socket (WaitReadableOrWoken) from any
// other thread, without touching the socket: the wait watches a handle of
// this object's own too (an eventfd on Linux, a loopback datagram socket on
// Windows). A wake given before the wait makes it return at once. Any thread.
class CSocketWake {
public:
    CSocketWake();
    ~CSocketWake();
    CSocketWake(const CSocketWake&) = delete;
    CSocketWake& operator=(const CSocketWake&) = delete;

    void Wake();
    // False when the system gave no handle: waits then come back in slices.
    bool IsValid() const { return m_nHandle != kNoSocket; }

private:
    friend EWaitResult WaitReadableOrWoken(NativeSocket nSocket, const CSocketWake& wake,
                                          int nTimeoutMs);
    // Takes every wake given so far. The waiting thread.
    void Take() const;
    NativeSocket m_nHandle = kNoSocket;
};

// Waits up to nTimeoutMs until nSocket is readable (Readable: data, the end,
// or a pending error) or wake was woken (TimedOut; the wake is taken).
// Failed when nSocket is no socket. The one thread that waits on the wake.
EWaitResult WaitReadableOrWoken(NativeSocket nSocket, const CSocketWake& wake, int nTimeoutMs);

enum class EConnectResult { Connected, NoSocket, Failed };

// Connects a TCP socket to the addresses in their order, a fresh socket of
// each one's family, each within nTimeoutMs, until one connects; pStop ends
// the attempts. fnBeforeConnect (if given) gets each socket before its
// connect, with the address it goes to: to set its options, or to publish
// it so that another thread can Shutdown it. On Connected, *ppSocket holds
// the connected socket; else it is null. NoSocket: no socket could be made
// for any of them (or none given); Failed: none connected, or pStop ended
// the attempts. Called by the thread that will own the connection.
EConnectResult ConnectInTurn(
    const std::vector<CNetAddress>& vAddrs, int nTimeoutMs, const CStopSignal* pStop,
    const std::function<void(const std::shared_ptr<CSocket>&, const CNetAddress&)>& fnBeforeConnect,
    std::shared_ptr<CSocket>* ppSocket);

}  // namespace platform
